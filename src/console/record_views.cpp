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

// Records with the same last name form a group: a search shows one group, its
// views laid end to end in table order, so it looks at each last name once.
struct PreparedViews {
    std::size_t name_ends[kMaxRecords + 1];  // name line i is names[name_ends[i], name_ends[i+1])
    char names[kMaxRecords * kLongestNameLine];
    std::size_t group_count;
    std::size_t group_member[kMaxRecords];  // the first slot of each group
    std::size_t group_ends[kMaxRecords + 1];
    char views[kMaxRecords * kLongestRecordText];
};

PreparedViews g_prepared;

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
    PreparedViews& prepared = g_prepared;
    std::size_t group_of[kMaxRecords] = {};
    prepared.group_count = 0;
    prepared.name_ends[0] = 0;
    for (std::size_t i = 0; i < table.count; ++i) {
        // A stored last name holds no NUL, so matching it is equality of texts.
        std::string_view last_name = field_text(table.slots[i].last_name);
        std::size_t group = 0;
        while (group < prepared.group_count &&
               !last_name_matches(table.slots[prepared.group_member[group]], last_name)) {
            ++group;
        }
        if (group == prepared.group_count) prepared.group_member[prepared.group_count++] = i;
        group_of[i] = group;
        std::size_t name = prepared.name_ends[i];
        prepared.name_ends[i + 1] = name + format_name_line(table.slots[i], prepared.names + name);
    }
    prepared.group_ends[0] = 0;
    for (std::size_t group = 0; group < prepared.group_count; ++group) {
        std::size_t length = prepared.group_ends[group];
        for (std::size_t i = prepared.group_member[group]; i < table.count; ++i) {
            if (group_of[i] == group) length += format_record(table.slots[i], kScreenView, prepared.views + length);
        }
        prepared.group_ends[group + 1] = length;
    }
}

void display_all_names(const RecordTable& table) {
    write_text(std::string_view(g_prepared.names, g_prepared.name_ends[table.count]));
}

bool search_records(const RecordTable& table) {
    ConsoleLine name;
    if (!ask_last_name(name)) return false;
    std::string_view wanted = line_text(name);
    for (std::size_t group = 0; group < g_prepared.group_count; ++group) {
        if (!last_name_matches(table.slots[g_prepared.group_member[group]], wanted)) continue;
        std::size_t start = g_prepared.group_ends[group];
        write_text(std::string_view(g_prepared.views + start, g_prepared.group_ends[group + 1] - start));
        break;
    }
    return true;
}

bool ask_last_name(ConsoleLine& name) {
    discard_pending_input();
    write_text("Please Enter The Last Name of the Customer\n");  // the program's own text, byte for byte
    return read_console_line(name);
}
