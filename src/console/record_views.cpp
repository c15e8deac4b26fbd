// The name list and the search on the screen, each text made when first shown
// and kept, and the index by last name that the search and print share.
#include "console/record_views.h"

#include <algorithm>

#include "console/console_io.h"

namespace {

// Appends a record in a layout, as the console shows it, to a buffer with room
// for longest_shown of that layout past `used`.
std::size_t append_shown(char* buffer, std::size_t used, const CustomerRecord& record, const RecordLayout& layout) {
    return static_cast<std::size_t>(put_shown(text_of(format_record(record, layout)), buffer + used) - buffer);
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
    // The program may run the menu again on another list (the tests do): nothing
    // made for the last one may be shown.
    views.names_made = false;
    std::fill(views.view_made, views.view_made + table.count, false);
}

SlotRange find_by_last_name(const RecordTable& table, const RecordViews& views, std::string_view name) {
    const LastNameIndex& index = views.by_last_name;
    for (std::size_t group = 0; group < index.group_count; ++group) {
        const std::size_t* first = index.slots + index.group_ends[group];
        if (last_name_matches(table.slots[*first], name)) return {first, index.group_ends[group + 1] - index.group_ends[group]};
    }
    return {index.slots, 0};
}

void display_all_names(const RecordTable& table, RecordViews& views) {
    if (!views.names_made) {
        views.names_length = 0;
        for (std::size_t slot = 0; slot < table.count; ++slot) {
            views.names_length = append_shown(views.names, views.names_length, table.slots[slot], kNameLine);
        }
        views.names_made = true;
    }
    write_text(std::string_view(views.names, views.names_length));
}

bool search_records(const RecordTable& table, RecordViews& views) {
    ConsoleLine name;
    if (!ask_last_name(name)) return false;
    SlotRange found = find_by_last_name(table, views, line_text(name));
    for (std::size_t i = 0; i < found.count; ++i) {
        std::size_t slot = found.slots[i];
        if (!views.view_made[slot]) {
            views.view_lengths[slot] = append_shown(views.views[slot], 0, table.slots[slot], kScreenView);
            views.view_made[slot] = true;
        }
        write_text(std::string_view(views.views[slot], views.view_lengths[slot]));
    }
    return true;
}
