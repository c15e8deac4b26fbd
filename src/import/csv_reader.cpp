// The CSV reader: a byte at a time through the states of RFC 4180. Its own
// characters are ASCII in every set a file is read in: the bytes are split as
// they are, and each byte of a field is turned into UTF-8 as it is taken.
#include "import/csv_reader.h"

#include "record_store/code_page.h"

namespace {

void fault(CsvReader& reader, CsvFault what) {
    if (reader.fault != CsvFault::kNone) return;
    reader.fault = what;
    reader.fault_column = reader.column;
}

// The field read ends, on the line `found_on`; the next starts a column on, or a row.
bool end_field(CsvReader& reader, CsvField& field, bool row_ends, std::size_t found_on) {
    field.column = reader.column;
    field.row_line = reader.row_line;
    field.row_ends = row_ends;
    field.fault = reader.fault;
    field.fault_column = reader.fault_column;
    field.found_on = found_on;
    reader.state = row_ends ? CsvState::kRowStart : CsvState::kFieldStart;
    reader.column = row_ends ? 0 : reader.column + 1;
    if (row_ends) reader.fault = CsvFault::kNone;
    return true;
}

// A line end outside quotes: the end of a row, or an empty line.
bool line_end(CsvReader& reader, CsvField& field, std::size_t found_on) {
    return reader.state != CsvState::kRowStart && end_field(reader, field, true, found_on);
}

void append(const CsvReader& reader, CsvField& field, char c) {
    append_file_byte(field.text, reader.charset, c);
}

// A byte other than a line end outside quotes; true when it ends a field. A
// quote out of its place is a fault of the row, and text from then on: the row
// still ends at the first line end outside quotes, so that the rest of a faulty
// row is never read as a row of its own.
bool take(CsvReader& reader, CsvField& field, char c) {
    if (reader.state == CsvState::kQuoted) {
        if (c == '"') {
            reader.state = CsvState::kQuoteInQuoted;
        } else {
            append(reader, field, c);
        }
        return false;
    }
    if (reader.state == CsvState::kRowStart) {
        reader.row_line = reader.line;
        reader.state = CsvState::kFieldStart;
    }
    if (c == ',') return end_field(reader, field, false, reader.line);
    if (c == '"' && reader.state != CsvState::kBare) {
        // An opening quote, or a doubled quote, which is one quote of the text.
        if (reader.state == CsvState::kQuoteInQuoted) append(reader, field, c);
        reader.state = CsvState::kQuoted;
        return false;
    }
    if (reader.state == CsvState::kQuoteInQuoted) fault(reader, CsvFault::kTextAfterQuote);
    if (c == '"') fault(reader, CsvFault::kQuoteInBareField);
    reader.state = CsvState::kBare;
    append(reader, field, c);
    return false;
}

// The next byte; true when a field ends with it. A CR outside quotes is part of
// the line end before a LF, and at the very end of the file; before anything
// else it is text (which the entry form can store).
bool step(CsvReader& reader, CsvField& field) {
    char c = reader.bytes[reader.at++];
    std::size_t on = reader.line;
    if (c == '\n') ++reader.line;
    if (reader.state == CsvState::kQuoted) return take(reader, field, c);
    if (c == '\n') return line_end(reader, field, on);
    if (c == '\r' && reader.at == reader.bytes.size()) return line_end(reader, field, kFoundAtEnd);
    if (c == '\r' && reader.bytes[reader.at] == '\n') {
        ++reader.at;
        ++reader.line;
        return line_end(reader, field, on);
    }
    return take(reader, field, c);
}

}  // namespace

void begin_csv(CsvReader& reader, std::string_view bytes, Charset charset) {
    reader = {};
    if (bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark) bytes.remove_prefix(kByteOrderMark.size());
    reader.bytes = bytes;
    reader.charset = charset;
    reader.state = CsvState::kRowStart;
    reader.line = 1;
    reader.row_line = 1;
}

bool next_csv_field(CsvReader& reader, CsvField& field) {
    field.text = {};
    while (reader.at < reader.bytes.size()) {
        if (step(reader, field)) return true;
    }
    if (reader.ended) return false;
    reader.ended = true;
    if (reader.state == CsvState::kQuoted) fault(reader, CsvFault::kQuoteNeverClosed);
    return line_end(reader, field, kFoundAtEnd);
}

bool next_csv_row(CsvReader& reader, CsvRow& row) {
    CsvField field;
    row.columns = 0;
    while (next_csv_field(reader, field)) {
        if (field.column < kFieldCount) row.fields[field.column] = field.text;
        if (!field.row_ends) continue;
        row.columns = field.column + 1;
        row.line = field.row_line;
        row.fault = field.fault;
        row.fault_column = field.fault_column;
        row.found_on = field.found_on;
        return true;
    }
    return false;
}
