// The name list and the search on the screen, shown from prepared views, and
// the index by last name that the search and print share.
#include "console/record_views.h"

#include "console/console_io.h"

namespace {

// Appends a formatted text, as the console shows it, to a buffer sized for
// kMaxRecords of its layout.
std::size_t append_text(char* buffer, std::size_t used, const LayoutText& text) {
    return static_cast<std::size_t>(put_shown(text_of(text), buffer + used) - buffer);
}

void index_last_names(const RecordTable& table, LastNameIndex& index) {
    std::size_t group_of[kMaxRecords] = {};
    std::size_t first_of_group[kMaxRecords];
    index.group_count = 0;
    for (std::size_t slot = 0; slot < table.count; ++slot) {
        // A stored last name holds no NUL, so matching it is equality of texts.
        std::string_view last_name = field_text(table.slots[slot].last_name);
        std::size_t group = 0;
        while (group < index.group_count && !last_name_matches(table.slots[first_of_group[group]], last_name)) ++group;
        if (group == index.group_count) first_of_group[index.group_count++] = slot;
        group_of[slot] = group;
    }
    // Group after group, each in table order.
    std::size_t placed = 0;
    index.group_ends[0] = 0;
    for (std::size_t group = 0; group < index.group_count; ++group) {
        for (std::size_t slot = 0; slot < table.count; ++slot) {
            if (group_of[slot] == group) index.slots[placed++] = slot;
        }
        index.group_ends[group + 1] = placed;
    }
}

}  // namespace

void prepare_record_views(const RecordTable& table, RecordViews& views) {
    index_last_names(table, views.by_last_name);
    views.names_length = 0;
    views.view_ends[0] = 0;
    for (std::size_t slot = 0; slot < table.count; ++slot) {
        const CustomerRecord& record = table.slots[slot];
        views.names_length = append_text(views.names, views.names_length, format_record(record, kNameLine));
        views.view_ends[slot + 1] = append_text(views.views, views.view_ends[slot], format_record(record, kScreenView));
    }
}

SlotRange find_by_last_name(const RecordTable& table, const RecordViews& views, std::string_view name) {
    const LastNameIndex& index = views.by_last_name;
    for (std::size_t group = 0; group < index.group_count; ++group) {
        const std::size_t* first = index.slots + index.group_ends[group];
        if (last_name_matches(table.slots[*first], name)) return {first, index.group_ends[group + 1] - index.group_ends[group]};
    }
    return {index.slots, 0};
}

void display_all_names(const RecordViews& views) {
    write_text(std::string_view(views.names, views.names_length));
}

bool search_records(const RecordTable& table, const RecordViews& views) {
    ConsoleLine name;
    if (!ask_last_name(name)) return false;
    SlotRange found = find_by_last_name(table, views, line_text(name));
    for (std::size_t i = 0; i < found.count; ++i) {
        std::size_t slot = found.slots[i];
        write_text(std::string_view(views.views + views.view_ends[slot], views.view_ends[slot + 1] - views.view_ends[slot]));
    }
    return true;
}
