// The CSV file's own rules between the reader's rows and the record rules: the
// header, the number of fields in a row, and the quote faults the reader found.
#include "import/csv_import.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include "import/csv_reader.h"

namespace {

// No column: apart from every column number, however many a header has.
constexpr std::size_t kNoColumn = static_cast<std::size_t>(-1);
// As much of an unknown label as names it, in bytes of UTF-8.
constexpr std::size_t kLabelShown = 24;

// The columns the header named.
struct CsvHeader {
    std::size_t field_column[kFieldCount];  // the column of each field, kNoColumn until named
    bool sound;                             // every field named once, in exactly kFieldCount columns
};

ImportRefusal refusal_at(const CsvField& field, ImportProblem problem, Field named) {
    return {field.row_line, field.found_on, problem, named, 0, false, {}};
}

void take_label(CsvHeader& header, ImportRead& read, const CsvField& label) {
    // A label longer than the bytes kept of it is longer than any field's.
    std::string_view text = kept_part(label.text.text);
    std::size_t field = 0;
    while (field < kFieldCount && kFieldLayouts[field].label != text) ++field;
    if (field == kFieldCount) {
        ImportRefusal refusal = refusal_at(label, ImportProblem::kUnknownColumn, Field::kNone);
        keep_bytes(refusal.text, text.substr(0, kLabelShown));
        refuse(read.refusals, refusal);
    } else if (header.field_column[field] != kNoColumn) {
        refuse(read.refusals, refusal_at(label, ImportProblem::kRepeatedColumn, static_cast<Field>(field)));
    } else {
        header.field_column[field] = label.column;
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

// The header, its labels taken as they come; refused whole for a quote, when
// what it names is unknown.
void read_header(CsvReader& reader, CsvHeader& header, ImportRead& read) {
    std::fill(std::begin(header.field_column), std::end(header.field_column), kNoColumn);
    header.sound = false;
    CsvField label;
    bool more = next_csv_field(reader, label);
    for (; more; more = next_csv_field(reader, label)) {
        // A header refused for a quote names nothing: its labels are not looked at.
        if (label.fault == CsvFault::kNone) take_label(header, read, label);
        if (label.row_ends) break;
    }
    if (!more) return;  // an empty file
    if (label.fault != CsvFault::kNone) {
        refuse(read.refusals, refusal_at(label, problem_of(label.fault), Field::kNone));
        return;
    }
    std::size_t refused = read.refusals.count;
    for (std::size_t field = 0; field < kFieldCount; ++field) {
        if (header.field_column[field] == kNoColumn) {
            refuse(read.refusals, refusal_at(label, ImportProblem::kMissingColumn, static_cast<Field>(field)));
        }
    }
    header.sound = read.refusals.count == refused && label.column + 1 == kFieldCount;
}

// The field whose column holds a quote fault, once the header has said which it is.
Field field_of_column(const CsvHeader& header, std::size_t column) {
    const std::size_t* found = std::find(std::begin(header.field_column), std::end(header.field_column), column);
    return static_cast<Field>(found - std::begin(header.field_column));
}

void take_row(const CsvHeader& header, const CsvRow& row, ImportRead& read) {
    if (row.fault != CsvFault::kNone) {
        ImportRefusal refusal{row.line, row.found_on, problem_of(row.fault), field_of_column(header, row.fault_column),
                              0, false, {}};
        refuse(read.refusals, refusal);
    } else if (row.columns != kFieldCount) {
        refuse(read.refusals, {row.line, row.found_on, ImportProblem::kWrongFieldCount, Field::kNone, row.columns,
                               false, {}});
    } else {
        Entry entry{{}, row.line, row.found_on, nullptr};
        for (std::size_t field = 0; field < kFieldCount; ++field) {
            entry.fields[field] = &row.fields[header.field_column[field]];
        }
        (void)take_entry(read, entry);
    }
}

}  // namespace

void read_csv(std::string_view bytes, Charset charset, ImportRead& read) {
    begin_import_read(read);
    CsvReader reader;
    begin_csv(reader, bytes, charset);
    CsvHeader header;
    read_header(reader, header, read);
    // Without a sound header no row can be read into a record.
    if (!header.sound) return;
    CsvRow row;
    while (next_csv_row(reader, row)) take_row(header, row, read);
}
