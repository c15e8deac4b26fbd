// The name list and the five-line screen view of a record.
#include "console/record_views.h"

void display_all_names(const RecordTable& table) {
    for (std::size_t i = 0; i < table.count; ++i) show_name_line(table.slots[i]);
}

bool search_records(const RecordTable& table) {
    ConsoleLine name;
    if (!ask_last_name(name)) return false;
    for (std::size_t i = 0; i < table.count; ++i) {
        if (last_name_matches(table.slots[i], line_text(name))) show_record(table.slots[i]);
    }
    return true;
}

void show_name_line(const CustomerRecord& record) {
    write_text("\n");
    write_text(field_text(record.last_name));
    write_text("  ");
    write_text(field_text(record.first_name));
}

void show_record(const CustomerRecord& record) {
    write_text("\n\n");
    write_text(field_text(record.last_name));
    write_text("   ");
    write_text(field_text(record.first_name));
    write_text("\n");
    write_text(field_text(record.address));
    write_text("  ");
    write_text(field_text(record.city));
    write_text("\n");
    write_text(field_text(record.province_code));
    write_text("    ");
    write_text(field_text(record.postal_code));
    write_text("\n");
    write_text(field_text(record.telephone));
    write_text("\n");
    write_text(field_text(record.year_model));
    write_text("\n");
}

bool ask_last_name(ConsoleLine& name) {
    discard_pending_input();
    write_text("Please Enter The Last Name of the Customer\n");
    return read_console_line(name);
}
