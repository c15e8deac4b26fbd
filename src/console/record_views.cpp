// The layouts of a record, and the name list and search on the screen. The table
// never changes after start-up, so its name lines and views are formatted once.
#include "console/record_views.h"

#include <cstring>
#include <initializer_list>
#include <string_view>

namespace {

// Writes the pieces one after another into a buffer known to have room; returns their length.
std::size_t join(char* out, std::initializer_list<std::string_view> pieces) {
    std::size_t length = 0;
    for (std::string_view piece : pieces) {
        std::memcpy(out + length, piece.data(), piece.size());
        length += piece.size();
    }
    return length;
}

struct PreparedViews {
    std::size_t name_ends[kMaxRecords + 1];  // name line i is names[name_ends[i], name_ends[i+1])
    char names[kMaxRecords * kLongestNameLine];
    std::size_t view_ends[kMaxRecords + 1];
    char views[kMaxRecords * kLongestRecordText];
};

PreparedViews g_prepared;

std::string_view prepared_view(std::size_t slot) {
    return std::string_view(g_prepared.views + g_prepared.view_ends[slot],
                            g_prepared.view_ends[slot + 1] - g_prepared.view_ends[slot]);
}

}  // namespace

std::size_t format_name_line(const CustomerRecord& record, char* out) {
    return join(out, {"\n", field_text(record.last_name), "  ", field_text(record.first_name)});
}

std::size_t format_record(const CustomerRecord& record, const RecordSpacing& spacing, char* out) {
    return join(out, {spacing.before, field_text(record.last_name), spacing.between_names,
                      field_text(record.first_name), "\n",
                      field_text(record.address), "  ", field_text(record.city), "\n",
                      field_text(record.province_code), spacing.before_postal, field_text(record.postal_code), "\n",
                      field_text(record.telephone), "\n",
                      field_text(record.year_model), "\n"});
}

void prepare_record_views(const RecordTable& table) {
    g_prepared.name_ends[0] = 0;
    g_prepared.view_ends[0] = 0;
    for (std::size_t i = 0; i < table.count; ++i) {
        std::size_t name = g_prepared.name_ends[i];
        std::size_t view = g_prepared.view_ends[i];
        g_prepared.name_ends[i + 1] = name + format_name_line(table.slots[i], g_prepared.names + name);
        g_prepared.view_ends[i + 1] = view + format_record(table.slots[i], kScreenView, g_prepared.views + view);
    }
}

void display_all_names(const RecordTable& table) {
    write_text(std::string_view(g_prepared.names, g_prepared.name_ends[table.count]));
}

bool search_records(const RecordTable& table) {
    ConsoleLine name;
    if (!ask_last_name(name)) return false;
    std::string_view wanted = line_text(name);
    for (std::size_t i = 0; i < table.count; ++i) {
        if (last_name_matches(table.slots[i], wanted)) write_text(prepared_view(i));
    }
    return true;
}

bool ask_last_name(ConsoleLine& name) {
    discard_pending_input();
    write_text("Please Enter The Last Name of the Customer\n");  // the program's own text, byte for byte
    return read_console_line(name);
}
