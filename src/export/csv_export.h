// The list as CSV (RFC 4180) for a spreadsheet: a header row of the entry
// labels, then one row a record, every row ended by CR LF.
#pragma once

#include <cstddef>

#include "record_store/customer_record.h"

// A row at its longest: every byte of every field a quote, doubled, inside the
// field's two quotes; a comma between fields; CR LF. The header is shorter.
constexpr std::size_t kLongestCsvRow = 2 * kRecordSize + 2 * kFieldCount + (kFieldCount - 1) + 2;
constexpr std::size_t kCsvCapacity = (1 + kMaxRecords) * kLongestCsvRow;

struct CsvText {
    char bytes[kCsvCapacity];
    std::size_t length;
};

// The header and every record of the table, in table order; bytes as stored.
void format_csv(const RecordTable& table, CsvText& csv);
