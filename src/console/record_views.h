// The two commands that show loaded records on the screen: the list of all
// names (d) and the search by last name (s).
#pragma once

#include "console/console_io.h"
#include "record_store/customer_record.h"

void display_all_names(const RecordTable& table);

// Formats the name list and every record's view once, after loading: the table
// never changes afterwards. The commands format on the spot for any other table.
void prepare_record_views(const RecordTable& table);

// The s command. Returns false when the console input ended at the question.
bool search_records(const RecordTable& table);

void show_name_line(const CustomerRecord& record);
void show_record(const CustomerRecord& record);

// The name question shared with the Print command; false when the input ended.
bool ask_last_name(ConsoleLine& name);
