// The printed block of a record: no leading newlines, and narrower spacing than
// the screen view. Nothing about the printer is ever written to the screen.
#include "console/printer_output.h"

#include "console/console_io.h"
#include "console/record_views.h"
#include "platform/platform.h"

bool print_records(const RecordTable& table) {
    ConsoleLine name;
    if (!ask_last_name(name)) return false;
    std::string_view wanted = line_text(name);
    for (std::size_t i = 0; i < table.count; ++i) {
        if (last_name_matches(table.slots[i], wanted)) print_record(table.slots[i]);
    }
    return true;
}

void print_record(const CustomerRecord& record) {
    char block[kLongestRecordText];
    platform_print_job(std::string_view(block, format_record(record, kPrintedBlock, block)));
}
