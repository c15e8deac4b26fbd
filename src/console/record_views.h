// The two commands that show loaded records on the screen: the list of all names
// (d) and the search by last name (s), from the views prepared once after
// loading; and the lookup by last name that search and print share.
#pragma once

#include <cstddef>
#include <string_view>

#include "console/record_layouts.h"
#include "record_store/customer_record.h"

// The table's slots grouped by last name, each group in table order. The table
// never changes after loading, so this is built once; a lookup then compares a
// name with each distinct last name once, not with every record.
struct LastNameIndex {
    std::size_t slots[kMaxRecords];           // group after group
    std::size_t group_ends[kMaxRecords + 1];  // group g is slots[group_ends[g], group_ends[g+1])
    std::size_t group_count;
};

// Slots of a table, in table order.
struct SlotRange {
    const std::size_t* slots;
    std::size_t count;
};

// The table never changes after start-up, so what the commands read of it is
// prepared once: the screen texts, as the console shows them (the whole name
// list, and each slot's screen view), and the index by last name.
struct RecordViews {
    char names[kMaxRecords * longest_shown(kNameLine)];
    std::size_t names_length;
    char views[kMaxRecords * longest_shown(kScreenView)];
    std::size_t view_ends[kMaxRecords + 1];  // slot i's view is views[view_ends[i], view_ends[i+1])
    LastNameIndex by_last_name;
};

void prepare_record_views(const RecordTable& table, RecordViews& views);

void display_all_names(const RecordViews& views);

// The slots whose last name matches `name`: the one lookup that search and print share.
SlotRange find_by_last_name(const RecordTable& table, const RecordViews& views, std::string_view name);

// The s command. Returns false when the console input ended at the question.
bool search_records(const RecordTable& table, const RecordViews& views);
