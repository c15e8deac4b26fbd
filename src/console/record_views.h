// The three layouts of a record (the name line, the screen view, the printed
// block) and the two commands that show loaded records on the screen: the list of
// all names (d) and the search by last name (s).
#pragma once

#include <cstddef>

#include "console/console_io.h"
#include "record_store/customer_record.h"

// The screen view and the printed block are the same five lines with other spacing.
struct RecordSpacing {
    const char* before;         // the leading newlines
    const char* between_names;  // last and first name
    const char* before_postal;  // province and postal code
};
constexpr RecordSpacing kScreenView{"\n\n", "   ", "    "};
constexpr RecordSpacing kPrintedBlock{"", "  ", "   "};

// The longest texts the layouts make: every field at its full width, no NUL.
constexpr std::size_t kLongestNameLine =
    1 + sizeof(CustomerRecord::last_name) + 2 + sizeof(CustomerRecord::first_name);
constexpr std::size_t kLongestRecordText = 2 + kRecordSize + 3 + 2 + 4 + 5;

// Each writes into `out`, which has room for the longest text, and returns the length.
// "\n%s  %s": a newline, the last name, two spaces, the first name.
std::size_t format_name_line(const CustomerRecord& record, char* out);
// The five lines: names, address and city, province and postal code, telephone, year and model.
std::size_t format_record(const CustomerRecord& record, const RecordSpacing& spacing, char* out);

// Formats the name list and every record's screen view once, after loading: the
// table never changes afterwards. The commands below show what was prepared.
void prepare_record_views(const RecordTable& table);

void display_all_names(const RecordTable& table);

// The s command. Returns false when the console input ended at the question.
bool search_records(const RecordTable& table);

// The name question shared with the Print command; false when the input ended.
bool ask_last_name(ConsoleLine& name);
