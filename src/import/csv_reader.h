// Splitting a whole CSV text (RFC 4180, as the exporter and spreadsheets write
// it) into fields and rows, pulled one at a time. What a field means is not
// known here.
#pragma once

#include <cstddef>
#include <string_view>

#include "import/character_set.h"
#include "import/record_rules.h"

// A quote out of its place, found in a row.
enum class CsvFault { kNone, kQuoteInBareField, kTextAfterQuote, kQuoteNeverClosed };

enum class CsvState { kRowStart, kFieldStart, kBare, kQuoted, kQuoteInQuoted };

struct CsvReader {
    std::string_view bytes;  // the file, in `charset`
    Charset charset;         // its fields are given in UTF-8
    std::size_t at;          // the next byte
    bool ended;              // the end of the file has been read
    CsvState state;
    std::size_t line;        // of the next byte, from 1
    // The row being read: the column of its field being read, from 0, the line
    // it starts on, and its first quote fault with that fault's column.
    std::size_t column;
    std::size_t row_line;
    CsvFault fault;
    std::size_t fault_column;
};

// One field: its text, its column, and its row's start and quote fault so far;
// whether it ends its row, and the line of the byte that ended it (kFoundAtEnd
// for the end of the file).
struct CsvField {
    FieldText text;
    std::size_t column;
    std::size_t row_line;
    bool row_ends;
    CsvFault fault;
    std::size_t fault_column;
    std::size_t found_on;
};

// One row: its first kFieldCount fields, how many it has, its start line and
// fault, and the line of the byte that ended it.
struct CsvRow {
    FieldText fields[kFieldCount];
    std::size_t columns;
    std::size_t line;
    CsvFault fault;
    std::size_t fault_column;
    std::size_t found_on;
};

// Starts reading `bytes`, after a UTF-8 byte-order mark if they start with one.
void begin_csv(CsvReader& reader, std::string_view bytes, Charset charset);
// The next field; false when there is none. An empty line has none.
bool next_csv_field(CsvReader& reader, CsvField& field);
// The fields up to the end of the row; false when there is none.
bool next_csv_row(CsvReader& reader, CsvRow& row);
