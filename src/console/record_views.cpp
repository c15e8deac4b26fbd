// The name list and the search on the screen, shown from prepared views.
#include "console/record_views.h"

#include "console/console_io.h"

namespace {

// Appends a formatted text, as the console shows it, to a buffer sized for
// kMaxRecords of its layout.
std::size_t append_text(char* buffer, std::size_t used, const LayoutText& text) {
    return static_cast<std::size_t>(put_shown(text_of(text), buffer + used) - buffer);
}

}  // namespace

void prepare_record_views(const RecordTable& table, RecordViews& views) {
    views.names_length = 0;
    views.view_ends[0] = 0;
    for (std::size_t slot = 0; slot < table.count; ++slot) {
        const CustomerRecord& record = table.slots[slot];
        views.names_length = append_text(views.names, views.names_length, format_record(record, kNameLine));
        views.view_ends[slot + 1] = append_text(views.views, views.view_ends[slot], format_record(record, kScreenView));
    }
}

void display_all_names(const RecordViews& views) {
    write_text(std::string_view(views.names, views.names_length));
}

bool search_records(const RecordTable& table, const LastNameIndex& index, const RecordViews& views) {
    ConsoleLine name;
    if (!ask_last_name(name)) return false;
    SlotRange found = find_by_last_name(table, index, line_text(name));
    for (std::size_t i = 0; i < found.count; ++i) {
        std::size_t slot = found.slots[i];
        write_text(std::string_view(views.views + views.view_ends[slot], views.view_ends[slot + 1] - views.view_ends[slot]));
    }
    return true;
}
