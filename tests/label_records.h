// Customer records for the labels' unit tests, built from their fields' texts
// in the list's own code page, 850.
#pragma once

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "record_store/customer_record.h"

// The fields in record order, those not given empty; a text as long as its
// field fills it without a NUL, as a record read from a file may.
inline CustomerRecord customer(std::initializer_list<std::string_view> fields) {
    CustomerRecord record{};
    char* bytes = reinterpret_cast<char*>(&record);
    std::size_t index = 0;
    for (std::string_view field : fields) {
        const FieldLayout& layout = kFieldLayouts[index++];
        std::memcpy(bytes + layout.offset, field.data(), std::min(field.size(), layout.width));
    }
    return record;
}
