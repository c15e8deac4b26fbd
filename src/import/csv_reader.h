// Splitting CSV bytes (RFC 4180, as the exporter and spreadsheets write them)
// into rows of fields, fed piece by piece: any split of the input gives the same
// fields. What a field means is not known here.
#pragma once

#include <cstddef>

#include "import/character_set.h"
#include "import/record_rules.h"

// A quote out of its place, found in a row.
enum class CsvFault { kNone, kQuoteInBareField, kTextAfterQuote, kQuoteNeverClosed };

enum class CsvState { kRowStart, kFieldStart, kBare, kQuoted, kQuoteInQuoted };

struct CsvReader {
    Charset charset;           // of the file: its fields are kept in UTF-8
    std::size_t mark_matched;  // bytes of a byte-order mark met at the start
    bool at_start;             // no byte but those of a byte-order mark read yet
    CsvState state;
    bool cr_pending;           // a CR outside quotes, which a LF right after makes a line end
    bool field_given;          // the last read ended a field, to be dropped before the next byte
    std::size_t line;          // of the byte being read, from 1
    // The field just ended, when a read says so: its text (in UTF-8), its column from 0, the line its row starts on, whether it
    // ends its row, and the row's first quote fault with its column.
    FieldText field;
    std::size_t column;
    std::size_t row_line;
    bool row_ended;
    CsvFault fault;
    std::size_t fault_column;
};

void begin_csv(CsvReader& reader, Charset charset);
// Reads `bytes` up to the end of the next field; returns how many it used.
// `field_ended` says whether a field ended with the last of them.
std::size_t read_csv(CsvReader& reader, const char* bytes, std::size_t length, bool& field_ended);
// The input has ended: true when a last field ends there.
bool end_csv(CsvReader& reader);
