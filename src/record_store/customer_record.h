// The customer record: eight fixed-width, NUL-terminated text fields, 136 bytes,
// laid out identically in memory and in the data file; and the table of loaded records.
#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <string_view>

constexpr std::size_t kRecordSize = 136;
constexpr std::size_t kMaxRecords = 100;
constexpr std::size_t kFieldCount = 8;

struct CustomerRecord {
    char last_name[20];
    char first_name[20];
    char address[30];
    char city[20];
    char province_code[3];
    char postal_code[8];
    char telephone[15];
    char year_model[20];
};

struct RecordTable {
    CustomerRecord slots[kMaxRecords];
    std::size_t count;
};

// Where a field lies in the record, the longest text it accepts at entry, and
// its label: the entry form asks for it by the label, the CSV header names its
// column by it.
struct FieldLayout {
    std::size_t offset;
    std::size_t width;
    std::size_t limit;
    std::string_view label;
};

// In record order. Every field takes as many characters as its width holds
// beside the NUL.
constexpr FieldLayout kFieldLayouts[kFieldCount] = {
    {offsetof(CustomerRecord, last_name), sizeof(CustomerRecord::last_name), sizeof(CustomerRecord::last_name) - 1,
     "Last Name"},
    {offsetof(CustomerRecord, first_name), sizeof(CustomerRecord::first_name), sizeof(CustomerRecord::first_name) - 1,
     "First Name"},
    {offsetof(CustomerRecord, address), sizeof(CustomerRecord::address), sizeof(CustomerRecord::address) - 1,
     "Address"},
    {offsetof(CustomerRecord, city), sizeof(CustomerRecord::city), sizeof(CustomerRecord::city) - 1, "City"},
    {offsetof(CustomerRecord, province_code), sizeof(CustomerRecord::province_code),
     sizeof(CustomerRecord::province_code) - 1, "Province Code"},
    {offsetof(CustomerRecord, postal_code), sizeof(CustomerRecord::postal_code),
     sizeof(CustomerRecord::postal_code) - 1, "Postal Code"},
    {offsetof(CustomerRecord, telephone), sizeof(CustomerRecord::telephone), sizeof(CustomerRecord::telephone) - 1,
     "Telephone Number"},
    {offsetof(CustomerRecord, year_model), sizeof(CustomerRecord::year_model), sizeof(CustomerRecord::year_model) - 1,
     "Year & Model"},
};

// Field by field from `field` on (std::all_of is constexpr only from C++20).
constexpr bool every_limit_leaves_room_for_the_nul(std::size_t field = 0) {
    return field == kFieldCount || (kFieldLayouts[field].limit + 1 == kFieldLayouts[field].width &&
                                    every_limit_leaves_room_for_the_nul(field + 1));
}
static_assert(every_limit_leaves_room_for_the_nul(), "a field takes its width less the NUL");
static_assert(kFieldLayouts[5].limit == 7, "a Canadian postal code with its space fits");

static_assert(sizeof(CustomerRecord) == kRecordSize, "the record is 136 bytes with no padding");
static_assert(alignof(CustomerRecord) == 1, "the record is a plain byte layout");
static_assert(kFieldLayouts[0].offset == 0 && kFieldLayouts[1].offset == 20 &&
                  kFieldLayouts[2].offset == 40 && kFieldLayouts[3].offset == 70 &&
                  kFieldLayouts[4].offset == 90 && kFieldLayouts[5].offset == 93 &&
                  kFieldLayouts[6].offset == 101 && kFieldLayouts[7].offset == 116,
              "field offsets are part of the file format");
static_assert(kFieldLayouts[7].offset + kFieldLayouts[7].width == kRecordSize,
              "nothing follows the last field");

constexpr std::size_t kWidestField =
    std::max_element(std::begin(kFieldLayouts), std::end(kFieldLayouts),
                     [](const FieldLayout& a, const FieldLayout& b) { return a.width < b.width; })->width;

// The text of a field: its bytes up to the NUL, or the whole width when a field
// read from a file has no NUL.
std::string_view field_text(const char* field, std::size_t width);

template <std::size_t Width>
std::string_view field_text(const char (&field)[Width]) {
    return field_text(field, Width);
}

// Matching by name: equal length and equal bytes, case-sensitive.
bool last_name_matches(const CustomerRecord& record, std::string_view name);
