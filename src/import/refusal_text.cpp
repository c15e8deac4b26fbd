// The words of each refusal, and the text of a file made safe to show.
#include "import/refusal_text.h"

#include <algorithm>
#include <cstdio>

namespace {

const char* label_of(Field field) {
    return layout_of(field).label.data();
}

// The words of a problem that need nothing but the field it is in, if any;
// null for one that needs more.
const char* fixed_words(ImportProblem problem) {
    switch (problem) {
        case ImportProblem::kQuoteInBareField:
            return "a quote inside a field that does not start with one";
        case ImportProblem::kTextAfterQuote:
            return "text after the closing quote of a field";
        case ImportProblem::kQuoteNeverClosed:
            return "a quoted field is never closed";
        case ImportProblem::kNotAProperty:
            return "not a property (NAME:VALUE)";
        case ImportProblem::kOutsideCard:
            return "outside any card (BEGIN:VCARD ... END:VCARD)";
        case ImportProblem::kNeverEnded:
            return "the card has no END:VCARD";
        case ImportProblem::kNoName:
            return "the card has no name (neither N nor FN)";
        case ImportProblem::kNotUtf8:
            return "a byte that is not UTF-8";
        case ImportProblem::kMissingColumn:
        case ImportProblem::kUnknownColumn:
        case ImportProblem::kRepeatedColumn:
        case ImportProblem::kWrongFieldCount:
        case ImportProblem::kTooLong:
        case ImportProblem::kLineBreak:
        case ImportProblem::kNul:
            break;
    }
    return nullptr;
}

// The words of a problem that name a column, a count or a field's limit.
void measured_words(const ImportRefusal& refusal, const char* text, const char* label, char* out, std::size_t size) {
    switch (refusal.problem) {
        case ImportProblem::kMissingColumn:
            (void)std::snprintf(out, size, "no column \"%s\" in the header", label);
            return;
        case ImportProblem::kUnknownColumn:
            (void)std::snprintf(out, size, "unknown column \"%s\" in the header", text);
            return;
        case ImportProblem::kRepeatedColumn:
            (void)std::snprintf(out, size, "column \"%s\" named twice in the header", label);
            return;
        case ImportProblem::kWrongFieldCount:
            (void)std::snprintf(out, size, "%zu field%s, where the header names %zu", refusal.count,
                                refusal.count == 1 ? "" : "s", kFieldCount);
            return;
        case ImportProblem::kTooLong:
            (void)std::snprintf(out, size, "%s is longer than %zu characters", label, layout_of(refusal.field).limit);
            return;
        case ImportProblem::kLineBreak:
        case ImportProblem::kNul:
            (void)std::snprintf(out, size, "%s holds %s", label,
                                refusal.problem == ImportProblem::kNul ? "a NUL byte" : "a line break");
            return;
        case ImportProblem::kQuoteInBareField:
        case ImportProblem::kTextAfterQuote:
        case ImportProblem::kQuoteNeverClosed:
        case ImportProblem::kNotAProperty:
        case ImportProblem::kOutsideCard:
        case ImportProblem::kNeverEnded:
        case ImportProblem::kNoName:
        case ImportProblem::kNotUtf8:
            return;  // fixed_words has their words
    }
}

// The problem itself, after the line and the card. A quote problem names the
// field once the header has said which it is.
void problem_words(const ImportRefusal& refusal, const char* text, char* out, std::size_t size) {
    const char* label = refusal.field != Field::kNone ? label_of(refusal.field) : "";
    const char* fixed = fixed_words(refusal.problem);
    if (fixed == nullptr) {
        measured_words(refusal, text, label, out, size);
    } else if (refusal.field != Field::kNone) {
        (void)std::snprintf(out, size, "%s (%s)", fixed, label);
    } else {
        (void)std::snprintf(out, size, "%s", fixed);
    }
}

// One byte of the list's code page as the terminal shows it.
char* shown_byte(char c, bool utf8, char* out) {
    static constexpr char kDigits[] = "0123456789abcdef";
    auto byte = static_cast<unsigned char>(c);
    const char* escape = c == '\r' ? "\\r" : c == '\n' ? "\\n" : c == '\t' ? "\\t" : c == '\\' ? "\\\\" : nullptr;
    if (escape != nullptr) {
        *out++ = escape[0];
        *out++ = escape[1];
    } else if (byte < 0x20 || byte == 0x7F) {
        *out++ = '\\';
        *out++ = 'x';
        *out++ = kDigits[byte >> 4];
        *out++ = kDigits[byte & 0xF];
    } else if (utf8) {
        out = list_to_utf8(std::string_view(&c, 1), out);
    } else {
        *out++ = c;
    }
    return out;
}

}  // namespace

char* shown_text(std::string_view text, bool utf8, std::size_t count, bool& cut, char* out) {
    std::size_t at = 0;
    for (std::size_t shown = 0; shown < count && at < text.size(); ++shown) {
        Utf8Unit unit = next_utf8_unit(text.data() + at, text.size() - at);
        char byte = unit.valid ? list_byte_of(unit.code_point) : text[at];
        if (unit.valid && utf8 && byte != kNoSuchCharacter) {
            // A character the code page has: its own UTF-8, escaped if it is a control character.
            out = unit.length == 1 ? shown_byte(byte, utf8, out) : std::copy_n(text.data() + at, unit.length, out);
        } else {
            out = shown_byte(byte, utf8, out);
        }
        at += unit.length;
    }
    cut = at < text.size();
    return out;
}

void refusal_line(const ImportRefusal& refusal, bool utf8, char (&out)[kRefusalLineSize]) {
    constexpr std::string_view kCut = "...";
    char text[kRefusalCharactersShown * kLongestShownCharacter + kCut.size() + 1];
    bool cut = false;
    char* end = shown_text(kept_part(refusal.text), utf8, kRefusalCharactersShown, cut, text);
    if (cut) end = std::copy(kCut.begin(), kCut.end(), end);
    *end = '\0';
    char words[kRefusalLineSize / 2];
    problem_words(refusal, text, words, sizeof words);
    if (refusal.named) {
        (void)std::snprintf(out, sizeof out, "line %zu: card \"%s\": %s", refusal.line, text, words);
    } else {
        (void)std::snprintf(out, sizeof out, "line %zu: %s", refusal.line, words);
    }
}
