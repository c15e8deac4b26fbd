// Reading a CSV list (RFC 4180, as the exporter and spreadsheets write it) into
// records: the header's labels name the columns in any order, and a row is taken
// only if the entry form could have stored it.
#pragma once

#include <cstddef>
#include <string_view>

#include "record_store/customer_record.h"

// What is wrong with a row or the header.
enum class CsvProblem {
    kNoHeader,         // the file holds no row at all
    kMissingColumn,    // `field` has no column
    kUnknownColumn,    // a label no field has, kept in `text`
    kRepeatedColumn,   // `field` has two columns
    kQuoteInBareField, // in `field`
    kTextAfterQuote,   // in `field`
    kQuoteNeverClosed, // in `field`
    kWrongFieldCount,  // the row has `count` fields
    kTooLong,          // `field` is longer than its limit
    kLineBreak,        // `field` holds a line feed
    kNul,              // `field` holds a NUL
};

// The field of a problem that has none.
constexpr std::size_t kNoField = kFieldCount;
// The first refusals are kept to be reported; the rest are counted.
constexpr std::size_t kRefusalsKept = 20;
// Enough of an unknown label to name it.
constexpr std::size_t kLabelKept = 24;

struct CsvRefusal {
    std::size_t line;   // where the row starts, from 1
    CsvProblem problem;
    std::size_t field;  // in record order; kNoField where the problem has none
    std::size_t count;  // kWrongFieldCount: how many the row has
    char text[kLabelKept];  // kUnknownColumn: the label, cut to kLabelKept
    std::size_t text_length;
};

// The whole of a read, gathered as the bytes come in. Records past kMaxRecords
// are read and checked but not kept: no list can take them.
struct CsvRead {
    CustomerRecord records[kMaxRecords];
    std::size_t rows;  // every data row read and found sound
    CsvRefusal refusals[kRefusalsKept];
    std::size_t refusal_count;  // every refusal, kept or not
};

// The reader's state between two pieces of input, set up by begin_csv_read.
enum class CsvState { kFieldStart, kBare, kQuoted, kQuoteInQuoted, kSkipLine, kIgnoreRest };

struct CsvField {
    char text[kWidestField];  // its first bytes; a longer text is refused anyway
    std::size_t length;
    bool line_break;
    bool nul;
};

// Input is converted to the list's code page this much at a time.
constexpr std::size_t kCsvWorkSize = 4096;

struct CsvReader {
    char work[kCsvWorkSize];
    std::size_t cut_length;    // of a character cut by the last piece, at work's start
    bool past_byte_order_mark;
    CsvState state;
    bool cr_pending;           // a CR outside quotes, which a LF right after makes a line end
    std::size_t line;          // of the byte being read, from 1
    std::size_t row_line;      // where the current row starts
    bool row_started;
    bool header_read;
    std::size_t column_field[kFieldCount];  // the field each column holds
    std::size_t field_column[kFieldCount];  // the column of each field
    CsvField current;
    CsvField fields[kFieldCount];  // the current row's, by column
    std::size_t columns;           // finished in the current row
};

// Starts a read into `read`.
void begin_csv_read(CsvReader& reader, CsvRead& read);
// Reads the next piece of the file's bytes (UTF-8, or code page 850 bytes).
void read_csv_piece(CsvReader& reader, CsvRead& read, const char* bytes, std::size_t length);
// The file has ended: the last row is read and the header's checks made.
void end_csv_read(CsvReader& reader, CsvRead& read);
