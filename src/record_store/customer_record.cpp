// Reading the text of a record's fields, and finding records by last name.
#include "record_store/customer_record.h"

#include <cstring>

std::string_view field_text(const char* field, std::size_t width) {
    const void* nul = std::memchr(field, '\0', width);
    std::size_t length = nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - field) : width;
    return std::string_view(field, length);
}

bool last_name_matches(const CustomerRecord& record, std::string_view name) {
    // The same as comparing field_text with the name, without searching every
    // field for its NUL: the text must end right where the name does.
    constexpr std::size_t width = sizeof record.last_name;
    if (name.size() > width) return false;
    if (name.size() < width && record.last_name[name.size()] != '\0') return false;
    return std::memcmp(record.last_name, name.data(), name.size()) == 0 &&
           std::memchr(name.data(), '\0', name.size()) == nullptr;
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

SlotRange find_by_last_name(const RecordTable& table, const LastNameIndex& index, std::string_view name) {
    for (std::size_t group = 0; group < index.group_count; ++group) {
        const std::size_t* first = index.slots + index.group_ends[group];
        if (last_name_matches(table.slots[*first], name)) return {first, index.group_ends[group + 1] - index.group_ends[group]};
    }
    return {index.slots, 0};
}
