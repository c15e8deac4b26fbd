// The words of each refusal, and the text of a file made safe to show.
#include "import/refusal_text.h"

#include <cstdio>

namespace {

const char* label_of(std::size_t field) {
    return kFieldLayouts[field].label.data();
}

// The problem itself, after the line and the card.
void problem_words(const ImportRefusal& refusal, const char* text, char* out, std::size_t size) {
    const char* label = refusal.field < kFieldCount ? label_of(refusal.field) : "";
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
        case ImportProblem::kQuoteInBareField:
        case ImportProblem::kTextAfterQuote:
        case ImportProblem::kQuoteNeverClosed: {
            const char* what = refusal.problem == ImportProblem::kQuoteInBareField ? "a quote inside a field that does not start with one"
                               : refusal.problem == ImportProblem::kTextAfterQuote ? "text after the closing quote of a field"
                                                                                    : "a quoted field is never closed";
            // A quote problem names the field once the header has said which it is.
            if (refusal.field < kFieldCount) {
                (void)std::snprintf(out, size, "%s (%s)", what, label);
            } else {
                (void)std::snprintf(out, size, "%s", what);
            }
            return;
        }
        case ImportProblem::kWrongFieldCount:
            (void)std::snprintf(out, size, "%zu field%s, where the header names %zu", refusal.count,
                                refusal.count == 1 ? "" : "s", kFieldCount);
            return;
        case ImportProblem::kNotAProperty:
            (void)std::snprintf(out, size, "not a property (NAME:VALUE)");
            return;
        case ImportProblem::kOutsideCard:
            (void)std::snprintf(out, size, "outside any card (BEGIN:VCARD ... END:VCARD)");
            return;
        case ImportProblem::kNeverEnded:
            (void)std::snprintf(out, size, "the card has no END:VCARD");
            return;
        case ImportProblem::kNoName:
            (void)std::snprintf(out, size, "the card has no name (neither N nor FN)");
            return;
        case ImportProblem::kNotUtf8:
            (void)std::snprintf(out, size, "a byte that is not UTF-8");
            return;
        case ImportProblem::kTooLong:
            (void)std::snprintf(out, size, "%s is longer than %zu characters", label, kFieldLayouts[refusal.field].limit);
            return;
        case ImportProblem::kLineBreak:
            (void)std::snprintf(out, size, "%s holds a line break", label);
            return;
        case ImportProblem::kNul:
            (void)std::snprintf(out, size, "%s holds a NUL byte", label);
            return;
    }
}

}  // namespace

char* shown_text(std::string_view text, bool utf8, char* out) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
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
    }
    return out;
}

void refusal_line(const ImportRefusal& refusal, bool utf8, char (&out)[kRefusalLineSize]) {
    char text[kRefusalTextKept * kLongestShownByte + 4];
    char* end = shown_text(std::string_view(refusal.text, refusal.text_length), utf8, text);
    if (refusal.text_cut) {
        for (char c : std::string_view("...")) *end++ = c;
    }
    *end = '\0';
    char words[kRefusalLineSize / 2];
    problem_words(refusal, text, words, sizeof words);
    if (refusal.named) {
        (void)std::snprintf(out, sizeof out, "line %zu: card \"%s\": %s", refusal.line, text, words);
    } else {
        (void)std::snprintf(out, sizeof out, "line %zu: %s", refusal.line, words);
    }
}
