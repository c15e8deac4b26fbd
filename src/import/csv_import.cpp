// The CSV file's own rules between the reader's rows and the record rules: the
// header, the number of fields in a row, and the quote faults the reader found.
#include "import/csv_import.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string_view>

#include "record_store/code_page.h"

namespace {

constexpr std::size_t kLabelShown = 24;

// An unknown label, refused with as much of it as names it, in the list's code page.
void refuse_label(ImportRead& read, std::size_t line, const FieldText& label) {
    char text[kFieldBytesKept];
    std::size_t kept = label.length < kLabelShown ? label.length : kLabelShown;
    std::size_t unfinished = 0;
    std::size_t length = utf8_to_list(label.bytes, kept, text, false, unfinished);
    refuse(read, line, ImportProblem::kUnknownColumn, kNoField, 0, std::string_view(text, length));
}

void take_label(CsvImport& csv, ImportRead& read) {
    const CsvReader& reader = csv.reader;
    const FieldText& label = reader.field;
    // A label longer than the bytes kept of it is no field's.
    bool kept_whole = label.length <= sizeof label.bytes;
    std::size_t field = kept_whole ? 0 : kFieldCount;
    while (field < kFieldCount && kFieldLayouts[field].label != std::string_view(label.bytes, label.length)) ++field;
    if (field == kFieldCount) {
        refuse_label(read, reader.row_line, label);
    } else if (csv.field_column[field] != kNoColumn) {
        refuse(read, reader.row_line, ImportProblem::kRepeatedColumn, field);
    } else {
        csv.field_column[field] = reader.column;
        if (reader.column < kFieldCount) csv.column_field[reader.column] = field;
    }
}

ImportProblem problem_of(CsvFault fault) {
    switch (fault) {
        case CsvFault::kQuoteInBareField:
            return ImportProblem::kQuoteInBareField;
        case CsvFault::kTextAfterQuote:
            return ImportProblem::kTextAfterQuote;
        case CsvFault::kNone:
        case CsvFault::kQuoteNeverClosed:
            break;
    }
    return ImportProblem::kQuoteNeverClosed;
}

void end_header(CsvImport& csv, ImportRead& read) {
    const CsvReader& reader = csv.reader;
    csv.header_read = true;
    if (reader.fault != CsvFault::kNone) {
        // A header refused for a quote: what it names is unknown.
        refuse(read, reader.row_line, problem_of(reader.fault), kNoField);
        csv.ignoring = true;
        return;
    }
    std::size_t refused = read.refusal_count;
    for (std::size_t field = 0; field < kFieldCount; ++field) {
        if (csv.field_column[field] == kNoColumn) refuse(read, reader.row_line, ImportProblem::kMissingColumn, field);
    }
    // Every field named once, in exactly kFieldCount columns; otherwise no row
    // can be read into a record.
    csv.ignoring = read.refusal_count > refused || reader.column + 1 != kFieldCount;
}

void end_row(CsvImport& csv, ImportRead& read) {
    const CsvReader& reader = csv.reader;
    std::size_t columns = reader.column + 1;
    if (reader.fault != CsvFault::kNone) {
        std::size_t field = reader.fault_column < kFieldCount ? csv.column_field[reader.fault_column] : kNoField;
        refuse(read, reader.row_line, problem_of(reader.fault), field);
    } else if (columns != kFieldCount) {
        refuse(read, reader.row_line, ImportProblem::kWrongFieldCount, kNoField, columns);
    } else {
        const FieldText* named[kFieldCount];
        for (std::size_t field = 0; field < kFieldCount; ++field) named[field] = &csv.fields[csv.field_column[field]];
        (void)take_entry(read, reader.row_line, named);
    }
}

void take_field(CsvImport& csv, ImportRead& read) {
    const CsvReader& reader = csv.reader;
    if (csv.ignoring) return;
    if (!csv.header_read) {
        // A header refused for a quote names nothing: its labels are not looked at.
        if (reader.fault == CsvFault::kNone) take_label(csv, read);
        if (reader.row_ended) end_header(csv, read);
        return;
    }
    if (reader.column < kFieldCount) csv.fields[reader.column] = reader.field;
    if (reader.row_ended) end_row(csv, read);
}

}  // namespace

void begin_csv_import(CsvImport& csv, ImportRead& read, Charset charset) {
    begin_csv(csv.reader, charset);
    csv.header_read = false;
    csv.ignoring = false;
    std::fill(std::begin(csv.field_column), std::end(csv.field_column), kNoColumn);
    begin_import_read(read);
}

void read_csv_piece(CsvImport& csv, ImportRead& read, const char* bytes, std::size_t length) {
    while (length > 0) {
        bool field_ended = false;
        std::size_t used = read_csv(csv.reader, bytes, length, field_ended);
        if (field_ended) take_field(csv, read);
        bytes += used;
        length -= used;
    }
}

void end_csv_import(CsvImport& csv, ImportRead& read) {
    if (end_csv(csv.reader)) take_field(csv, read);
}
