// The two commands that show loaded records on the screen: the list of all names
// (d) and the search by last name (s), from the views prepared once after loading.
#pragma once

#include <cstddef>

#include "console/record_layouts.h"
#include "record_store/customer_record.h"

// The table never changes after start-up, so its screen texts are formatted
// once, as the console shows them: the whole name list, and each slot's screen view.
struct RecordViews {
    char names[kMaxRecords * longest_shown(kNameLine)];
    std::size_t names_length;
    char views[kMaxRecords * longest_shown(kScreenView)];
    std::size_t view_ends[kMaxRecords + 1];  // slot i's view is views[view_ends[i], view_ends[i+1])
};

void prepare_record_views(const RecordTable& table, RecordViews& views);

void display_all_names(const RecordViews& views);

// The s command. Returns false when the console input ended at the question.
bool search_records(const RecordTable& table, const LastNameIndex& index, const RecordViews& views);
