// The Print command. Nothing about the printer is ever written to the screen.
#include "console/printer_output.h"

#include "console/console_io.h"
#include "console/record_layouts.h"
#include "platform/platform.h"

bool print_records(const RecordTable& table) {
    ConsoleLine name;
    if (!ask_last_name(name)) return false;
    SlotList found = find_by_last_name(table, line_text(name));
    for (std::size_t i = 0; i < found.count; ++i) print_record(table.slots[found.slots[i]]);
    return true;
}

void print_record(const CustomerRecord& record) {
    platform_print_job(text_of(format_record(record, kPrintedBlock)));
}
