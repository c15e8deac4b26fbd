// Formats the record table as CSV: quoting, the header row and the row ends.
#include "export/csv_export.h"

namespace {

// Appends one field at `out`, quoted only when a spreadsheet would misread it
// bare; returns the end of what was written.
char* put_field(char* out, std::string_view text) {
    bool quoted = text.find_first_of(kCharactersToQuote) != std::string_view::npos;
    if (quoted) *out++ = '"';
    for (char c : text) {
        if (c == '"') *out++ = '"';
        *out++ = c;
    }
    if (quoted) *out++ = '"';
    return out;
}

char* end_row(char* out) {
    *out++ = '\r';
    *out++ = '\n';
    return out;
}

}  // namespace

void format_csv(const RecordTable& table, CsvText& csv) {
    char* out = csv.bytes;
    for (std::size_t field = 0; field < kFieldCount; ++field) {
        if (field > 0) *out++ = ',';
        out = put_field(out, kCsvHeaderLabels[field]);
    }
    out = end_row(out);
    for (std::size_t row = 0; row < table.count; ++row) {
        const char* record = reinterpret_cast<const char*>(&table.slots[row]);
        for (std::size_t field = 0; field < kFieldCount; ++field) {
            if (field > 0) *out++ = ',';
            const FieldLayout& layout = kFieldLayouts[field];
            out = put_field(out, field_text(record + layout.offset, layout.width));
        }
        out = end_row(out);
    }
    csv.length = static_cast<std::size_t>(out - csv.bytes);
}
