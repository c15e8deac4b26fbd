// The Print command. Nothing about the printer is ever written to the screen.
#include "console/printer_output.h"

#include "console/console_io.h"
#include "console/record_layouts.h"
#include "platform/platform.h"

bool print_records(const RecordTable& table, const RecordViews& views) {
    ConsoleLine name;
    if (!ask_last_name(name)) return false;
    SlotRange found = find_by_last_name(table, views, line_text(name));
    for (std::size_t i = 0; i < found.count; ++i) print_record(table.slots[found.slots[i]]);
    return true;
}

void print_record(const CustomerRecord& record) {
    // In the screen's character set: a spooler reads text as the terminal does.
    char job[longest_shown(kPrintedBlock)];
    const char* end = put_shown(text_of(format_record(record, kPrintedBlock)), job);
    platform_print_job(std::string_view(job, static_cast<std::size_t>(end - job)));
}
