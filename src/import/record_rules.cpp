// The rules of the entry form applied to an entry read from a file, and the
// refusals gathered for the user.
#include "import/record_rules.h"

#include <algorithm>
#include <cstring>

#include "record_store/code_page.h"

namespace {

// What a text of `limit` characters takes at the most in UTF-8; past it, no
// text is within the limit, and none is kept whole.
constexpr std::size_t utf8_bytes_within(std::size_t limit) {
    return limit * kMaxUtf8Bytes;
}
static_assert(utf8_bytes_within(kWidestLimit) <= kFieldBytesKept, "a text within its limit is kept whole");

void refuse_field(ImportRead& read, const Entry& entry, ImportProblem problem, std::size_t field) {
    ImportRefusal refusal{entry.line, entry.found_on, problem, static_cast<Field>(field), 0, entry.name != nullptr, {}};
    if (entry.name != nullptr) keep_bytes(refusal.text, kept_part(entry.name->text));
    refuse(read.refusals, refusal);
}

// Each field in the list's code page, at `texts`; false, having refused every
// fault, when the form could not have stored one.
bool fields_in_list(ImportRead& read, const Entry& entry, char (&texts)[kFieldCount][kFieldBytesKept],
                    std::size_t (&lengths)[kFieldCount]) {
    std::size_t refused = read.refusals.count;
    for (std::size_t field = 0; field < kFieldCount; ++field) {
        const FieldText& text = *entry.fields[field];
        std::size_t limit = kFieldLayouts[field].limit;
        bool too_long = text.text.length > utf8_bytes_within(limit);
        if (!too_long) {
            lengths[field] = field_in_list(text, texts[field]);
            too_long = lengths[field] > limit;
        }
        if (too_long) refuse_field(read, entry, ImportProblem::kTooLong, field);
        if (text.line_break) refuse_field(read, entry, ImportProblem::kLineBreak, field);
        if (text.nul) refuse_field(read, entry, ImportProblem::kNul, field);
    }
    return read.refusals.count == refused;
}

}  // namespace

void begin_import_read(ImportRead& read) {
    read.entries = 0;
    read.refusals.count = 0;
    read.left_out = 0;
    read.lacking = 0;
}

void refuse(RefusalList& refusals, const ImportRefusal& refusal) {
    if (refusals.count < kRefusalsKept) refusals.kept[refusals.count] = refusal;
    ++refusals.count;
}

void merge_refusals(const RefusalList& first, const RefusalList& second, RefusalList& out) {
    std::size_t kept_first = std::min(first.count, kRefusalsKept);
    std::size_t kept_second = std::min(second.count, kRefusalsKept);
    std::size_t a = 0;
    std::size_t b = 0;
    out.count = 0;
    while (out.count < kRefusalsKept && (a < kept_first || b < kept_second)) {
        bool from_first = b == kept_second || (a < kept_first && first.kept[a].found_on <= second.kept[b].found_on);
        out.kept[out.count++] = from_first ? first.kept[a++] : second.kept[b++];
    }
    out.count = first.count + second.count;
}

std::size_t field_in_list(const FieldText& field, char* out) {
    std::size_t unfinished = 0;
    std::string_view kept = kept_part(field.text);
    return utf8_to_list(kept.data(), kept.size(), out, false, unfinished);
}

bool take_entry(ImportRead& read, const Entry& entry) {
    char texts[kFieldCount][kFieldBytesKept];
    std::size_t lengths[kFieldCount] = {};
    if (!fields_in_list(read, entry, texts, lengths)) return false;
    // A stand-in in a field that its text did not hold is a character the code page lacks.
    for (std::size_t field = 0; field < kFieldCount; ++field) {
        std::string_view text = kept_part(entry.fields[field]->text);
        read.lacking += static_cast<std::size_t>(std::count(texts[field], texts[field] + lengths[field], kNoSuchCharacter)) -
                        static_cast<std::size_t>(std::count(text.begin(), text.end(), kNoSuchCharacter));
    }
    if (read.entries < kMaxRecords) {
        // Zeros after each text, as the entry form leaves them.
        char* record = reinterpret_cast<char*>(&read.records[read.entries]);
        std::memset(record, 0, kRecordSize);
        for (std::size_t field = 0; field < kFieldCount; ++field) {
            std::memcpy(record + kFieldLayouts[field].offset, texts[field], lengths[field]);
        }
    }
    ++read.entries;
    return true;
}
