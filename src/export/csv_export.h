// The list as CSV (RFC 4180) for a spreadsheet: a header row of the entry
// labels, then one row a record, every row ended by CR LF.
#pragma once

#include <cstddef>
#include <string_view>

#include "record_store/customer_record.h"

// A field holding one of these is quoted, its quotes doubled.
constexpr std::string_view kCharactersToQuote = ",\"\r\n";

// The labels of the entry form, in record order.
constexpr std::string_view kCsvHeaderLabels[kFieldCount] = {
    "Last Name",     "First Name",  "Address",          "City",
    "Province Code", "Postal Code", "Telephone Number", "Year & Model",
};

// The header row's length; 0 when a label would need quotes, which its room
// does not allow for.
constexpr std::size_t csv_header_length() {
    std::size_t length = (kFieldCount - 1) + 2;
    for (std::string_view label : kCsvHeaderLabels) {
        if (label.find_first_of(kCharactersToQuote) != std::string_view::npos) return 0;
        length += label.size();
    }
    return length;
}
static_assert(csv_header_length() > 0, "the header row is written bare");

// A row at its longest: every byte of every field a quote, doubled, inside the
// field's two quotes; a comma between fields; CR LF.
constexpr std::size_t kLongestCsvRow = 2 * kRecordSize + 2 * kFieldCount + (kFieldCount - 1) + 2;
constexpr std::size_t kCsvCapacity = csv_header_length() + kMaxRecords * kLongestCsvRow;

struct CsvText {
    std::size_t length;
    char bytes[kCsvCapacity];
};

// The header and every record of the table, in table order; bytes as stored.
void format_csv(const RecordTable& table, CsvText& csv);
