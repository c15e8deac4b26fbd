// The printed block of a record: no leading newlines, and narrower spacing than
// the screen view. Nothing about the printer is ever written to the screen.
#include "console/printer_output.h"

#include <string>

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
    std::string lines;
    lines.reserve(kRecordSize + 16);
    lines.append(field_text(record.last_name)).append("  ").append(field_text(record.first_name)).append("\n");
    lines.append(field_text(record.address)).append("  ").append(field_text(record.city)).append("\n");
    lines.append(field_text(record.province_code)).append("   ").append(field_text(record.postal_code)).append("\n");
    lines.append(field_text(record.telephone)).append("\n");
    lines.append(field_text(record.year_model)).append("\n");
    platform_print_job(lines);
}
