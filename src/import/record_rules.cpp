// The rules of the entry form applied to an entry read from a file, and the
// refusals gathered for the user.
#include "import/record_rules.h"

#include <algorithm>
#include <cstring>

#include "record_store/code_page.h"

void begin_import_read(ImportRead& read) {
    read.entries = 0;
    read.refusal_count = 0;
    read.left_out = 0;
    read.lacking = 0;
}

void refuse(ImportRead& read, std::size_t line, ImportProblem problem, std::size_t field, std::size_t count,
            std::string_view text, bool named) {
    if (read.refusal_count < kRefusalsKept) {
        ImportRefusal& refusal = read.refusals[read.refusal_count];
        refusal = {line, problem, field, count, named, {}, 0, false};
        refusal.text_length = text.size() < kRefusalTextKept ? text.size() : kRefusalTextKept;
        refusal.text_cut = text.size() > kRefusalTextKept;
        // An empty view may have no bytes at all to point at.
        if (refusal.text_length > 0) std::memcpy(refusal.text, text.data(), refusal.text_length);
    }
    ++read.refusal_count;
}

std::size_t field_in_list(const FieldText& field, char* out) {
    std::size_t unfinished = 0;
    std::size_t kept = field.length < sizeof field.bytes ? field.length : sizeof field.bytes;
    return utf8_to_list(field.bytes, kept, out, false, unfinished);
}

bool take_entry(ImportRead& read, std::size_t line, const FieldText* const (&fields)[kFieldCount],
                std::string_view name, bool named) {
    char texts[kFieldCount][kFieldBytesKept];
    std::size_t lengths[kFieldCount] = {};
    std::size_t refused = read.refusal_count;
    for (std::size_t field = 0; field < kFieldCount; ++field) {
        const FieldText& text = *fields[field];
        std::size_t limit = kFieldLayouts[field].limit;
        // Past limit * 4 bytes, no UTF-8 is within the limit: such a text is not kept whole.
        bool too_long = text.length > limit * kLongestUtf8Character;
        if (!too_long) {
            lengths[field] = field_in_list(text, texts[field]);
            too_long = lengths[field] > limit;
        }
        if (too_long) refuse(read, line, ImportProblem::kTooLong, field, 0, name, named);
        if (text.line_break) refuse(read, line, ImportProblem::kLineBreak, field, 0, name, named);
        if (text.nul) refuse(read, line, ImportProblem::kNul, field, 0, name, named);
    }
    if (read.refusal_count > refused) return false;
    // A stand-in in a field that its text did not hold is a character the code page lacks.
    for (std::size_t field = 0; field < kFieldCount; ++field) {
        const FieldText& text = *fields[field];
        read.lacking += static_cast<std::size_t>(std::count(texts[field], texts[field] + lengths[field], kNoSuchCharacter)) -
                        static_cast<std::size_t>(std::count(text.bytes, text.bytes + text.length, kNoSuchCharacter));
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
