// The list as CSV (RFC 4180) for a spreadsheet, in UTF-8: a header row of the
// entry labels, then one row a record, every row ended by CR LF.
#pragma once

#include <cstddef>
#include <string_view>

#include "record_store/code_page.h"
#include "record_store/customer_record.h"

// A field holding one of these is quoted, its quotes doubled.
constexpr std::string_view kCharactersToQuote = ",\"\r\n";

// The header row's length, the fields' labels with commas between; 0 when a
// label would need quotes, which its room does not allow for.
constexpr std::size_t csv_header_length() {
    std::size_t length = (kFieldCount - 1) + 2;
    for (const FieldLayout& layout : kFieldLayouts) {
        if (layout.label.find_first_of(kCharactersToQuote) != std::string_view::npos) return 0;
        length += layout.label.size();
    }
    return length;
}
static_assert(csv_header_length() > 0, "the header row is written bare");

// A row at its longest: every byte of every field at its longest in UTF-8 (a
// quote is 2, doubled), inside the field's two quotes; a comma between fields; CR LF.
static_assert(kLongestUtf8OfByte >= 2, "a doubled quote is no longer than the longest character");
constexpr std::size_t kLongestCsvRow = kLongestUtf8OfByte * kRecordSize + 2 * kFieldCount + (kFieldCount - 1) + 2;
constexpr std::size_t kCsvCapacity = kByteOrderMark.size() + csv_header_length() + kMaxRecords * kLongestCsvRow;

struct CsvText {
    std::size_t length;
    char bytes[kCsvCapacity];
};

// The header and every record of the table, in table order, converted from the
// list's code page; after the byte-order mark when `marked`.
void format_csv(const RecordTable& table, bool marked, CsvText& csv);
