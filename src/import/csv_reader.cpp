// The CSV reader: a byte at a time through the states of RFC 4180. Its own
// characters are ASCII, which no byte of a longer UTF-8 character is: the bytes
// are split as they come, and converted only as whole fields, by the record rules.
#include "import/csv_reader.h"

#include "record_store/code_page.h"

namespace {

// Drops the field given by the last read, and its row with it when it was the row's last.
void next_field(CsvReader& reader) {
    if (!reader.field_given) return;
    reader.field_given = false;
    reader.field = {};
    if (reader.row_ended) {
        reader.column = 0;
        reader.fault = CsvFault::kNone;
        reader.row_ended = false;
    } else {
        ++reader.column;
    }
}

void fault(CsvReader& reader, CsvFault what) {
    if (reader.fault != CsvFault::kNone) return;
    reader.fault = what;
    reader.fault_column = reader.column;
}

bool end_field(CsvReader& reader, bool row_ends) {
    reader.row_ended = row_ends;
    reader.field_given = true;
    reader.state = row_ends ? CsvState::kRowStart : CsvState::kFieldStart;
    return true;
}

// A line end outside quotes: the end of a row, or an empty line.
bool line_end(CsvReader& reader) {
    return reader.state != CsvState::kRowStart && end_field(reader, true);
}

// A byte other than a line end outside quotes. A quote out of its place is a
// fault of the row, and text from then on: the row still ends at the first line
// end outside quotes, so that the rest of a faulty row is never read as a row of
// its own.
bool take(CsvReader& reader, char c) {
    switch (reader.state) {
        case CsvState::kQuoted:
            if (c == '"') {
                reader.state = CsvState::kQuoteInQuoted;
            } else {
                append_file_byte(reader.field, reader.charset, c);
            }
            return false;
        case CsvState::kRowStart:
            reader.row_line = reader.line;
            reader.state = CsvState::kFieldStart;
            break;
        case CsvState::kFieldStart:
        case CsvState::kBare:
        case CsvState::kQuoteInQuoted:
            break;
    }
    if (c == ',') return end_field(reader, false);
    if (c == '"' && reader.state == CsvState::kFieldStart) {
        reader.state = CsvState::kQuoted;
        return false;
    }
    if (c == '"' && reader.state == CsvState::kQuoteInQuoted) {
        // A doubled quote is one quote of the text.
        append_file_byte(reader.field, reader.charset, c);
        reader.state = CsvState::kQuoted;
        return false;
    }
    if (reader.state == CsvState::kQuoteInQuoted) fault(reader, CsvFault::kTextAfterQuote);
    if (c == '"') fault(reader, CsvFault::kQuoteInBareField);
    reader.state = CsvState::kBare;
    append_file_byte(reader.field, reader.charset, c);
    return false;
}

// One byte; true when a field ends with it. A CR outside quotes waits for the
// next byte: before a LF it is part of the line end, before anything else it is
// text (which the entry form can store).
bool step(CsvReader& reader, char c) {
    if (c == '\n') ++reader.line;
    if (reader.cr_pending) {
        reader.cr_pending = false;
        if (c == '\n') return line_end(reader);
        (void)take(reader, '\r');  // a CR is never a field's end
    }
    if (reader.state != CsvState::kQuoted) {
        if (c == '\n') return line_end(reader);
        if (c == '\r') {
            reader.cr_pending = true;
            return false;
        }
    }
    return take(reader, c);
}

// The start of a byte-order mark that the file did not go on with is text.
void give_back_mark(CsvReader& reader) {
    reader.at_start = false;
    for (std::size_t at = 0; at < reader.mark_matched; ++at) (void)step(reader, kByteOrderMark[at]);
}

}  // namespace

void begin_csv(CsvReader& reader, Charset charset) {
    reader = {};
    reader.charset = charset;
    reader.at_start = true;
    reader.state = CsvState::kRowStart;
    reader.line = 1;
    reader.row_line = 1;
}

std::size_t read_csv(CsvReader& reader, const char* bytes, std::size_t length, bool& field_ended) {
    next_field(reader);
    field_ended = false;
    std::size_t used = 0;
    while (used < length) {
        char c = bytes[used++];
        if (reader.at_start) {
            if (c == kByteOrderMark[reader.mark_matched]) {
                if (++reader.mark_matched == kByteOrderMark.size()) reader.at_start = false;
                continue;
            }
            give_back_mark(reader);
        }
        if (step(reader, c)) {
            field_ended = true;
            break;
        }
    }
    return used;
}

bool end_csv(CsvReader& reader) {
    next_field(reader);
    if (reader.at_start) give_back_mark(reader);
    // A CR at the very end is the file's last line end.
    if (reader.cr_pending) {
        reader.cr_pending = false;
        return line_end(reader);
    }
    if (reader.state == CsvState::kQuoted) fault(reader, CsvFault::kQuoteNeverClosed);
    return line_end(reader);
}
