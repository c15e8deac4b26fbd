// The CSV reader: a byte at a time through the states of RFC 4180, after the
// input is converted from UTF-8 to the list's code page. CSV's own characters
// (comma, quote, CR, LF) are ASCII, which the conversion never makes nor takes.
#include "import/csv_import.h"

#include <cstring>

#include "record_store/code_page.h"

namespace {

void refuse(CsvRead& read, std::size_t line, CsvProblem problem, std::size_t field, std::size_t count = 0,
            const CsvField* label = nullptr) {
    if (read.refusal_count < kRefusalsKept) {
        CsvRefusal& refusal = read.refusals[read.refusal_count];
        refusal = {line, problem, field, count, {}, 0};
        if (label != nullptr) {
            refusal.text_length = label->length < kLabelKept ? label->length : kLabelKept;
            std::memcpy(refusal.text, label->text, refusal.text_length);
        }
    }
    ++read.refusal_count;
}

void start_row(CsvReader& reader) {
    reader.state = CsvState::kFieldStart;
    reader.row_started = false;
    reader.columns = 0;
    reader.current = {};
}

// The field the column being read holds, once the header has said.
std::size_t current_field(const CsvReader& reader) {
    return reader.header_read && reader.columns < kFieldCount ? reader.column_field[reader.columns] : kNoField;
}

// A quote where none may be: the row is refused and the rest of its line
// skipped; in the header, no row can be read after it.
void refuse_row(CsvReader& reader, CsvRead& read, CsvProblem problem) {
    refuse(read, reader.row_line, problem, current_field(reader));
    reader.state = reader.header_read ? CsvState::kSkipLine : CsvState::kIgnoreRest;
    reader.header_read = true;
}

void take_label(CsvReader& reader, CsvRead& read) {
    const CsvField& label = reader.current;
    // A label longer than the bytes kept of it is no field's, and its view never
    // reaches past them.
    bool kept_whole = label.length <= sizeof label.text;
    std::size_t field = kept_whole ? 0 : kFieldCount;
    while (field < kFieldCount && kFieldLayouts[field].label != std::string_view(label.text, label.length)) ++field;
    if (field == kFieldCount) {
        refuse(read, reader.row_line, CsvProblem::kUnknownColumn, kNoField, 0, &label);
    } else if (reader.field_column[field] != kNoField) {
        refuse(read, reader.row_line, CsvProblem::kRepeatedColumn, field);
    } else {
        reader.field_column[field] = reader.columns;
        if (reader.columns < kFieldCount) reader.column_field[reader.columns] = field;
    }
}

void end_field(CsvReader& reader, CsvRead& read) {
    if (!reader.header_read) {
        take_label(reader, read);
    } else if (reader.columns < kFieldCount) {
        reader.fields[reader.columns] = reader.current;
    }
    ++reader.columns;
    reader.current = {};
    reader.state = CsvState::kFieldStart;
}

void end_header(CsvReader& reader, CsvRead& read) {
    bool missing = false;
    for (std::size_t field = 0; field < kFieldCount; ++field) {
        if (reader.field_column[field] != kNoField) continue;
        refuse(read, reader.row_line, CsvProblem::kMissingColumn, field);
        missing = true;
    }
    reader.header_read = true;
    // Every field found in exactly kFieldCount columns: no column is unknown or
    // repeated. Otherwise no row can be read into a record.
    if (missing || reader.columns != kFieldCount) reader.state = CsvState::kIgnoreRest;
}

// A row as the entry form would take it: each field within its limit, with no
// line feed and no NUL (both end a typed answer).
void end_data_row(CsvReader& reader, CsvRead& read) {
    if (reader.columns != kFieldCount) {
        refuse(read, reader.row_line, CsvProblem::kWrongFieldCount, kNoField, reader.columns);
        return;
    }
    std::size_t refused = read.refusal_count;
    for (std::size_t field = 0; field < kFieldCount; ++field) {
        const CsvField& text = reader.fields[reader.field_column[field]];
        if (text.length > kFieldLayouts[field].limit) refuse(read, reader.row_line, CsvProblem::kTooLong, field);
        if (text.line_break) refuse(read, reader.row_line, CsvProblem::kLineBreak, field);
        if (text.nul) refuse(read, reader.row_line, CsvProblem::kNul, field);
    }
    if (read.refusal_count > refused) return;
    if (read.rows < kMaxRecords) {
        // Zeros after each text, as the entry form leaves them.
        char* record = reinterpret_cast<char*>(&read.records[read.rows]);
        std::memset(record, 0, kRecordSize);
        for (std::size_t field = 0; field < kFieldCount; ++field) {
            const CsvField& text = reader.fields[reader.field_column[field]];
            std::memcpy(record + kFieldLayouts[field].offset, text.text, text.length);
        }
    }
    ++read.rows;
}

void end_row(CsvReader& reader, CsvRead& read) {
    end_field(reader, read);
    if (!reader.header_read) {
        end_header(reader, read);
        if (reader.state == CsvState::kIgnoreRest) return;
    } else {
        end_data_row(reader, read);
    }
    start_row(reader);
}

void append(CsvReader& reader, char c) {
    CsvField& field = reader.current;
    if (field.length < sizeof field.text) field.text[field.length] = c;
    ++field.length;
    field.line_break = field.line_break || c == '\n';
    field.nul = field.nul || c == '\0';
}

// A CR outside quotes that no LF follows: text, which may start a row; after a
// closing quote, text where none may be.
void take_lone_cr(CsvReader& reader, CsvRead& read) {
    if (reader.state == CsvState::kQuoteInQuoted) {
        refuse_row(reader, read, CsvProblem::kTextAfterQuote);
        return;
    }
    if (!reader.row_started) {
        reader.row_started = true;
        reader.row_line = reader.line;
    }
    reader.state = CsvState::kBare;
    append(reader, '\r');
}

// One byte of the list's code page. A CR outside quotes waits for the next
// byte: before a LF it is part of the line end, before anything else it is text.
void read_byte(CsvReader& reader, CsvRead& read, char c) {
    if (reader.cr_pending && c != '\n') take_lone_cr(reader, read);
    reader.cr_pending = false;
    if (c == '\n') ++reader.line;
    switch (reader.state) {
        case CsvState::kIgnoreRest:
            return;
        case CsvState::kSkipLine:
            if (c == '\n') start_row(reader);
            return;
        case CsvState::kQuoted:
            if (c == '"') {
                reader.state = CsvState::kQuoteInQuoted;
            } else {
                append(reader, c);
            }
            return;
        case CsvState::kFieldStart:
        case CsvState::kBare:
        case CsvState::kQuoteInQuoted:
            break;
    }
    bool line_end = c == '\n';
    if (!reader.row_started) {
        if (line_end) return;  // an empty line
        if (c == '\r') {
            reader.cr_pending = true;
            return;
        }
        reader.row_started = true;
        reader.row_line = reader.line;
    }
    if (c == ',') {
        end_field(reader, read);
    } else if (line_end) {
        end_row(reader, read);
    } else if (c == '\r') {
        reader.cr_pending = true;
    } else if (c == '"' && reader.state == CsvState::kFieldStart) {
        reader.state = CsvState::kQuoted;
    } else if (reader.state == CsvState::kQuoteInQuoted) {
        // A doubled quote is one quote of the text; anything else may not follow the closing one.
        if (c != '"') {
            refuse_row(reader, read, CsvProblem::kTextAfterQuote);
            return;
        }
        append(reader, c);
        reader.state = CsvState::kQuoted;
    } else if (c == '"') {
        refuse_row(reader, read, CsvProblem::kQuoteInBareField);
    } else {
        reader.state = CsvState::kBare;
        append(reader, c);
    }
}

void read_converted(CsvReader& reader, CsvRead& read, const char* bytes, std::size_t length) {
    for (std::size_t at = 0; at < length; ++at) read_byte(reader, read, bytes[at]);
}

// Converts what `work` holds, leaving at its start a character that may go on
// in the next piece.
void convert_work(CsvReader& reader, CsvRead& read, std::size_t filled, bool more_follows) {
    std::size_t start = 0;
    if (!reader.past_byte_order_mark) {
        std::string_view head(reader.work, filled < kByteOrderMark.size() ? filled : kByteOrderMark.size());
        bool could_be_mark = kByteOrderMark.substr(0, head.size()) == head;
        if (could_be_mark && head.size() < kByteOrderMark.size() && more_follows) {
            reader.cut_length = filled;  // too short yet to tell
            return;
        }
        reader.past_byte_order_mark = true;
        if (head == kByteOrderMark) start = head.size();
    }
    std::size_t cut = 0;
    std::size_t converted = utf8_to_list(reader.work + start, filled - start, reader.work + start, more_follows, cut);
    read_converted(reader, read, reader.work + start, converted);
    std::memmove(reader.work, reader.work + filled - cut, cut);
    reader.cut_length = cut;
}

}  // namespace

void begin_csv_read(CsvReader& reader, CsvRead& read) {
    reader.cut_length = 0;
    reader.past_byte_order_mark = false;
    reader.cr_pending = false;
    reader.line = 1;
    reader.row_line = 1;
    reader.header_read = false;
    for (std::size_t field = 0; field < kFieldCount; ++field) reader.field_column[field] = kNoField;
    start_row(reader);
    read.rows = 0;
    read.refusal_count = 0;
}

void read_csv_piece(CsvReader& reader, CsvRead& read, const char* bytes, std::size_t length) {
    while (length > 0) {
        std::size_t room = kCsvWorkSize - reader.cut_length;
        std::size_t taken = length < room ? length : room;
        std::memcpy(reader.work + reader.cut_length, bytes, taken);
        convert_work(reader, read, reader.cut_length + taken, true);
        bytes += taken;
        length -= taken;
    }
}

void end_csv_read(CsvReader& reader, CsvRead& read) {
    // A character cut by the end of the file is taken byte by byte.
    convert_work(reader, read, reader.cut_length, false);
    if (reader.cr_pending) take_lone_cr(reader, read);
    reader.cr_pending = false;
    switch (reader.state) {
        case CsvState::kQuoted:
            refuse_row(reader, read, CsvProblem::kQuoteNeverClosed);
            break;
        case CsvState::kFieldStart:
        case CsvState::kBare:
        case CsvState::kQuoteInQuoted:
            // The last row may have no line end.
            if (reader.row_started) end_row(reader, read);
            break;
        case CsvState::kSkipLine:
        case CsvState::kIgnoreRest:
            break;
    }
    if (!reader.header_read) refuse(read, 1, CsvProblem::kNoHeader, kNoField);
}
