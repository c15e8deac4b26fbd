// The name list and the five-line screen view of a record. The table never
// changes after start-up, so both are formatted once, right after loading.
#include "console/record_views.h"

#include <cstring>

namespace {

// A newline, two names at their widest (no NUL) and the two spaces between.
constexpr std::size_t kLongestNameLine =
    1 + sizeof(CustomerRecord::last_name) + 2 + sizeof(CustomerRecord::first_name);
// The five lines of the screen view with every field at its widest.
constexpr std::size_t kLongestView = 2 + (20 + 3 + 20 + 1) + (30 + 2 + 20 + 1) + (3 + 4 + 8 + 1) + (15 + 1) + (20 + 1);
static_assert(kLongestView >= kRecordSize + 2 + 3 + 2 + 4 + 5, "room for every field at full width");

// Texts are appended to a buffer that is known to have room for them.
struct Text {
    char* bytes;
    std::size_t length;
};

void append(Text& text, std::string_view piece) {
    std::memcpy(text.bytes + text.length, piece.data(), piece.size());
    text.length += piece.size();
}

void format_name_line(const CustomerRecord& record, Text& text) {
    append(text, "\n");
    append(text, field_text(record.last_name));
    append(text, "  ");
    append(text, field_text(record.first_name));
}

void format_record_view(const CustomerRecord& record, Text& text) {
    append(text, "\n\n");
    append(text, field_text(record.last_name));
    append(text, "   ");
    append(text, field_text(record.first_name));
    append(text, "\n");
    append(text, field_text(record.address));
    append(text, "  ");
    append(text, field_text(record.city));
    append(text, "\n");
    append(text, field_text(record.province_code));
    append(text, "    ");
    append(text, field_text(record.postal_code));
    append(text, "\n");
    append(text, field_text(record.telephone));
    append(text, "\n");
    append(text, field_text(record.year_model));
    append(text, "\n");
}

struct PreparedViews {
    const RecordTable* table;
    std::size_t names_length;
    char names[kMaxRecords * kLongestNameLine];
    std::size_t view_starts[kMaxRecords + 1];
    char views[kMaxRecords * kLongestView];
};

PreparedViews g_prepared;

bool prepared_for(const RecordTable& table) {
    return g_prepared.table == &table;
}

std::string_view prepared_view(std::size_t slot) {
    return std::string_view(g_prepared.views + g_prepared.view_starts[slot],
                            g_prepared.view_starts[slot + 1] - g_prepared.view_starts[slot]);
}

}  // namespace

void prepare_record_views(const RecordTable& table) {
    g_prepared.table = &table;
    Text names{g_prepared.names, 0};
    Text views{g_prepared.views, 0};
    for (std::size_t i = 0; i < table.count; ++i) {
        format_name_line(table.slots[i], names);
        g_prepared.view_starts[i] = views.length;
        format_record_view(table.slots[i], views);
    }
    g_prepared.names_length = names.length;
    g_prepared.view_starts[table.count] = views.length;
}

void display_all_names(const RecordTable& table) {
    if (prepared_for(table)) {
        write_text(std::string_view(g_prepared.names, g_prepared.names_length));
        return;
    }
    for (std::size_t i = 0; i < table.count; ++i) show_name_line(table.slots[i]);
}

bool search_records(const RecordTable& table) {
    ConsoleLine name;
    if (!ask_last_name(name)) return false;
    std::string_view wanted = line_text(name);
    for (std::size_t i = 0; i < table.count; ++i) {
        if (!last_name_matches(table.slots[i], wanted)) continue;
        if (prepared_for(table)) {
            write_text(prepared_view(i));
        } else {
            show_record(table.slots[i]);
        }
    }
    return true;
}

void show_name_line(const CustomerRecord& record) {
    char line[kLongestNameLine];
    Text text{line, 0};
    format_name_line(record, text);
    write_text(std::string_view(line, text.length));
}

void show_record(const CustomerRecord& record) {
    char view[kLongestView];
    Text text{view, 0};
    format_record_view(record, text);
    write_text(std::string_view(view, text.length));
}

bool ask_last_name(ConsoleLine& name) {
    discard_pending_input();
    write_text("Please Enter The Last Name of the Customer\n");
    return read_console_line(name);
}
