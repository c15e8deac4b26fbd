// Reading a CSV list into records: the header's labels name the columns in any
// order, and each row's fields go to the record rules by the header's names.
#pragma once

#include <cstddef>

#include "import/csv_reader.h"
#include "import/record_rules.h"

// No column: apart from every column number, however many a header has.
constexpr std::size_t kNoColumn = static_cast<std::size_t>(-1);

struct CsvImport {
    CsvReader reader;
    bool header_read;
    bool ignoring;                          // the header was refused: no row can be read
    std::size_t field_column[kFieldCount];  // the column of each field, kNoColumn until named
    std::size_t column_field[kFieldCount];  // the field each of the first columns holds
    FieldText fields[kFieldCount];          // the current row's first columns
};

// Starts a read into `read` of a file in `charset`.
void begin_csv_import(CsvImport& csv, ImportRead& read, Charset charset);
// Reads the next piece of the file's bytes.
void read_csv_piece(CsvImport& csv, ImportRead& read, const char* bytes, std::size_t length);
// The file has ended: the last row is read.
void end_csv_import(CsvImport& csv, ImportRead& read);
