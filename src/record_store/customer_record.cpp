// Reading the text of a record's fields, and the record's rule for matching a last name.
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
