// Formats the record table as CSV: quoting, the header row and the row ends.
#include "export/csv_export.h"

#include <algorithm>

namespace {

// Appends one field at `out` in UTF-8, quoted only when a spreadsheet would
// misread it bare; returns the end of what was written.
char* put_field(char* out, std::string_view text) {
    bool quoted = text.find_first_of(kCharactersToQuote) != std::string_view::npos;
    if (quoted) *out++ = '"';
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '"') *out++ = '"';
        out = list_to_utf8(text.substr(at, 1), out);
    }
    if (quoted) *out++ = '"';
    return out;
}

// Appends one row of kFieldCount fields, commas between them, CR LF after.
char* put_row(char* out, const std::string_view (&fields)[kFieldCount]) {
    for (std::size_t field = 0; field < kFieldCount; ++field) {
        if (field > 0) *out++ = ',';
        out = put_field(out, fields[field]);
    }
    *out++ = '\r';
    *out++ = '\n';
    return out;
}

}  // namespace

void format_csv(const RecordTable& table, bool marked, CsvText& csv) {
    char* out = csv.bytes;
    if (marked) out = std::copy(kByteOrderMark.begin(), kByteOrderMark.end(), out);
    std::string_view labels[kFieldCount];
    for (std::size_t field = 0; field < kFieldCount; ++field) labels[field] = kFieldLayouts[field].label;
    out = put_row(out, labels);
    for (std::size_t row = 0; row < table.count; ++row) {
        const char* record = reinterpret_cast<const char*>(&table.slots[row]);
        std::string_view fields[kFieldCount];
        for (std::size_t field = 0; field < kFieldCount; ++field) {
            fields[field] = field_text(record + kFieldLayouts[field].offset, kFieldLayouts[field].width);
        }
        out = put_row(out, fields);
    }
    csv.length = static_cast<std::size_t>(out - csv.bytes);
}
