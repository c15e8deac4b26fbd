// The two commands that show loaded records on the screen: the list of all names
// (d) and the search by last name (s), each text made once, when first shown;
// and the lookup by last name that search and print share.
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

// The table never changes after start-up, so each screen text is made once, as
// the console shows it: the whole name list at the first d, a slot's screen view
// the first time a search shows it. None is made at start-up, where most of
// them would never be shown; only the index by last name is.
struct RecordViews {
    char names[kMaxRecords * longest_shown(kNameLine)];
    std::size_t names_length;
    bool names_made;
    char views[kMaxRecords][longest_shown(kScreenView)];
    std::size_t view_lengths[kMaxRecords];
    bool view_made[kMaxRecords];
    LastNameIndex by_last_name;
};

// Indexes the table by last name; no screen text is made yet.
void prepare_record_views(const RecordTable& table, RecordViews& views);

// The d command.
void display_all_names(const RecordTable& table, RecordViews& views);

// The slots whose last name matches `name`: the one lookup that search and print share.
SlotRange find_by_last_name(const RecordTable& table, const RecordViews& views, std::string_view name);

// The s command. Returns false when the console input ended at the question.
bool search_records(const RecordTable& table, RecordViews& views);
