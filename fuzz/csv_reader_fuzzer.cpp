// Any bytes as a CSV file in any of the sets a file is read in, read whole and
// read in two pieces: both reads agree;
// every record taken is one the entry form could have stored; and the records
// taken, written out as the exporter writes them, read back the same.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "export/csv_export.h"
#include "import/csv_import.h"
#include "import/record_rules.h"

namespace {

CsvImport g_import;
ImportRead g_whole;
ImportRead g_pieces;
ImportRead g_again;
RecordTable g_table;
CsvText g_csv;

void check(bool holds) {
    if (!holds) std::abort();
}

void read_all(ImportRead& read, const char* bytes, std::size_t size, std::size_t cut, Charset charset) {
    begin_csv_import(g_import, read, charset);
    read_csv_piece(g_import, read, bytes, cut);
    read_csv_piece(g_import, read, bytes + cut, size - cut);
    end_csv_import(g_import, read);
}

std::size_t kept(const ImportRead& read) {
    return read.entries < kMaxRecords ? read.entries : kMaxRecords;
}

bool same(const ImportRead& a, const ImportRead& b) {
    return a.entries == b.entries && a.refusal_count == b.refusal_count &&
           std::memcmp(a.records, b.records, kept(a) * kRecordSize) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    Charset charset = kFileCharsetList[size % kFileCharsets];
    read_all(g_whole, bytes, size, 0, charset);
    read_all(g_pieces, bytes, size, size > 0 ? data[0] % size : 0, charset);
    check(same(g_whole, g_pieces));

    for (std::size_t row = 0; row < kept(g_whole); ++row) {
        const char* record = reinterpret_cast<const char*>(&g_whole.records[row]);
        for (const FieldLayout& field : kFieldLayouts) {
            const char* text = record + field.offset;
            std::size_t length = field_text(text, field.width).size();
            check(length <= field.limit && std::memchr(text, '\n', length) == nullptr);
            // Zeros after the text, as the form leaves them.
            for (std::size_t at = length; at < field.width; ++at) check(text[at] == '\0');
        }
    }
    if (g_whole.refusal_count > 0) return 0;
    std::memcpy(g_table.slots, g_whole.records, kept(g_whole) * kRecordSize);
    g_table.count = kept(g_whole);
    format_csv(g_table, size % 2 == 0, g_csv);
    read_all(g_again, g_csv.bytes, g_csv.length, 0, Charset::kUtf8);
    check(g_again.refusal_count == 0 && g_again.entries == g_table.count);
    check(std::memcmp(g_again.records, g_table.slots, g_table.count * kRecordSize) == 0);
    return 0;
}
