// Any bytes as a vCard file in any of the sets a file is read in, read whole and
// read in two pieces: both reads
// agree, and every record taken is one the entry form could have stored.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "import/vcard_import.h"

namespace {

VcardReader g_reader;
ImportRead g_whole;
ImportRead g_pieces;

void check(bool holds) {
    if (!holds) std::abort();
}

void read_all(ImportRead& read, const char* bytes, std::size_t size, std::size_t cut, Charset charset) {
    begin_vcard_read(g_reader, read, charset);
    read_vcard_piece(g_reader, read, bytes, cut);
    read_vcard_piece(g_reader, read, bytes + cut, size - cut);
    end_vcard_read(g_reader, read);
}

std::size_t kept(const ImportRead& read) {
    return read.entries < kMaxRecords ? read.entries : kMaxRecords;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    Charset charset = kFileCharsetList[size % kFileCharsets];
    read_all(g_whole, bytes, size, 0, charset);
    read_all(g_pieces, bytes, size, size > 0 ? data[0] % size : 0, charset);
    check(g_whole.entries == g_pieces.entries && g_whole.refusal_count == g_pieces.refusal_count &&
          g_whole.left_out == g_pieces.left_out);
    check(std::memcmp(g_whole.records, g_pieces.records, kept(g_whole) * kRecordSize) == 0);
    for (std::size_t entry = 0; entry < kept(g_whole); ++entry) {
        const char* record = reinterpret_cast<const char*>(&g_whole.records[entry]);
        for (const FieldLayout& field : kFieldLayouts) {
            const char* text = record + field.offset;
            std::size_t length = field_text(text, field.width).size();
            check(length <= field.limit && std::memchr(text, '\n', length) == nullptr);
            // Zeros after the text, as the form leaves them.
            for (std::size_t at = length; at < field.width; ++at) check(text[at] == '\0');
        }
    }
    return 0;
}
