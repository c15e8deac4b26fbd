// Any bytes as a CSV file in any of the sets a file is read in: every record
// taken is one the entry form could have stored; the refusals kept are in the
// order they were found, as merging them with others needs; and the records
// taken, written out as the exporter writes them, read back the same.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string_view>

#include "export/csv_export.h"
#include "import/csv_import.h"
#include "import/record_rules.h"

namespace {

ImportRead g_read;
ImportRead g_again;
RecordTable g_table;
CsvText g_csv;

void check(bool holds) {
    if (!holds) std::abort();
}

std::size_t kept(const ImportRead& read) {
    return read.entries < kMaxRecords ? read.entries : kMaxRecords;
}

void check_records(const ImportRead& read) {
    for (std::size_t row = 0; row < kept(read); ++row) {
        const char* record = reinterpret_cast<const char*>(&read.records[row]);
        for (const FieldLayout& field : kFieldLayouts) {
            const char* text = record + field.offset;
            std::size_t length = field_text(text, field.width).size();
            check(length <= field.limit && std::memchr(text, '\n', length) == nullptr);
            // Zeros after the text, as the form leaves them.
            for (std::size_t at = length; at < field.width; ++at) check(text[at] == '\0');
        }
    }
}

void check_refusal_order(const RefusalList& refusals) {
    for (std::size_t at = 1; at < refusals.count && at < kRefusalsKept; ++at) {
        check(refusals.kept[at - 1].found_on <= refusals.kept[at].found_on);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Charset charset = kFileCharsetList[size % std::size(kFileCharsetList)];
    read_csv(bytes, charset, g_read);
    check_records(g_read);
    check_refusal_order(g_read.refusals);
    if (g_read.refusals.count > 0) return 0;
    std::memcpy(g_table.slots, g_read.records, kept(g_read) * kRecordSize);
    g_table.count = kept(g_read);
    format_csv(g_table, size % 2 == 0, g_csv);
    read_csv(std::string_view(g_csv.bytes, g_csv.length), Charset::kUtf8, g_again);
    check(g_again.refusals.count == 0 && g_again.entries == g_table.count);
    check(std::memcmp(g_again.records, g_table.slots, g_table.count * kRecordSize) == 0);
    return 0;
}
