// Any bytes as a vCard file in any of the sets a file is read in: its logical
// lines hold no line feed but a soft break's, after an '=', and start on later
// lines each, found no earlier than they start; every record taken is one the entry form could have stored; and
// the refusals kept are in the order they were found.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

#include "import/vcard_import.h"

namespace {

ImportRead g_read;
std::vector<char> g_copy;

void check(bool holds) {
    if (!holds) std::abort();
}

std::size_t kept(const ImportRead& read) {
    return read.entries < kMaxRecords ? read.entries : kMaxRecords;
}

void copy_in(const std::uint8_t* data, std::size_t size) {
    g_copy.assign(data, data + size);
    g_copy.push_back('\0');  // room for the pointer one past the end, when empty
}

void check_lines(const std::uint8_t* data, std::size_t size) {
    copy_in(data, size);
    VcardSource source;
    begin_vcard_source(source, g_copy.data(), size);
    LogicalLine line;
    std::size_t last = 0;
    while (unfold(source, line)) {
        for (std::size_t at = line.text.find('\n'); at != std::string_view::npos; at = line.text.find('\n', at + 1)) {
            check(at > 0 && line.text[at - 1] == '=');
        }
        check(line.line > last && line.found_on > line.line);
        last = line.line;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    check_lines(data, size);
    copy_in(data, size);
    Charset charset = kFileCharsetList[size % std::size(kFileCharsetList)];
    read_vcard(g_copy.data(), size, charset, g_read);
    for (std::size_t at = 1; at < g_read.refusals.count && at < kRefusalsKept; ++at) {
        check(g_read.refusals.kept[at - 1].found_on <= g_read.refusals.kept[at].found_on);
    }
    for (std::size_t entry = 0; entry < kept(g_read); ++entry) {
        const char* record = reinterpret_cast<const char*>(&g_read.records[entry]);
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
