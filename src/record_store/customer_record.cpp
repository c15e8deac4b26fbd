// Reading the text of a record's fields.
#include "record_store/customer_record.h"

#include <cstring>

std::string_view field_text(const char* field, std::size_t width) {
    const void* nul = std::memchr(field, '\0', width);
    std::size_t length = nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - field) : width;
    return std::string_view(field, length);
}

bool last_name_matches(const CustomerRecord& record, std::string_view name) {
    return field_text(record.last_name) == name;
}
