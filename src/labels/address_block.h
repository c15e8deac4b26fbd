// The address block of a label, in the order Canada Post asks for: the name,
// the address, then city, province and postal code; in UTF-8, one line each.
#pragma once

#include <cstddef>

#include "record_store/code_page.h"
#include "record_store/customer_record.h"

constexpr std::size_t kMostBlockLines = 3;

// The longest line in the list's bytes: a field read from a file may fill its
// whole width. The name line is the longest: last, a space, first.
constexpr std::size_t kLongestNameLine = sizeof(CustomerRecord::first_name) + 1 + sizeof(CustomerRecord::last_name);
constexpr std::size_t kLongestPlaceLine = sizeof(CustomerRecord::city) + 1 + sizeof(CustomerRecord::province_code) +
                                          2 + sizeof(CustomerRecord::postal_code) + 1;  // + the space put in
static_assert(kLongestNameLine >= kLongestPlaceLine && kLongestNameLine >= sizeof(CustomerRecord::address),
              "the name line is the longest");
// Unicode's full upper-casing at most triples the UTF-8 of a text: U+0390, two
// bytes, becomes three letters of two bytes each.
constexpr std::size_t kUpperCaseGrowth = 3;
constexpr std::size_t kLineCapacity = kLongestNameLine * kLongestUtf8OfByte * kUpperCaseGrowth;

struct AddressBlock {
    char lines[kMostBlockLines][kLineCapacity];
    std::size_t lengths[kMostBlockLines];
    std::size_t count;  // 0 for a record with nothing to show: its label stays blank
};

// The block of `record`: empty parts and lines of spaces left out, a postal code
// of six letters and digits spaced as A1A 1A1, all in upper case with `upper`.
// False when the upper-casing fails.
bool make_address_block(const CustomerRecord& record, bool upper, AddressBlock& block);
