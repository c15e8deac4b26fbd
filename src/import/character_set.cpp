// Which character set a file is in, and its bytes as UTF-8: code page 850 from
// the list's own table, 1252 and ISO-8859-1 from theirs.
#include "import/character_set.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include "record_store/code_page.h"

namespace {

constexpr unsigned char kUpperHalf = 0x80;

// Bytes 0x80 to 0x9F of code page 1252; from 0xA0 on it is ISO-8859-1. The five
// bytes it leaves unassigned are read as the control characters of the same
// numbers, as Windows reads them.
constexpr char32_t kCodePage1252Low[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

static_assert(utf8_length(*std::max_element(std::begin(kCodePage1252Low), std::end(kCodePage1252Low))) <=
                  kLongestUtf8OfFileByte,
              "a byte of 1252 takes at most three bytes of UTF-8");
static_assert(kLongestUtf8OfByte <= kLongestUtf8OfFileByte, "so does a byte of 850");

// The accented letters of the Western European languages, by case: a byte that
// reads as one of these between two ASCII letters of its case is a sign of the
// code page it reads so in.
constexpr char32_t kAccentedLower[] = {0xE0, 0xE2, 0xE4, 0xE1, 0xE3, 0xE5, 0xE6, 0xE7, 0xE9, 0xE8, 0xEA, 0xEB,
                                       0xED, 0xEC, 0xEE, 0xEF, 0xF1, 0x153, 0xF3, 0xF2, 0xF4, 0xF6, 0xF5, 0xFA,
                                       0xF9, 0xFB, 0xFC, 0xFF, 0xDF};
constexpr char32_t kAccentedUpper[] = {0xC0, 0xC2, 0xC4, 0xC1, 0xC3, 0xC5, 0xC6, 0xC7, 0xC9, 0xC8, 0xCA, 0xCB,
                                       0xCD, 0xCC, 0xCE, 0xCF, 0xD1, 0x152, 0xD3, 0xD2, 0xD4, 0xD6, 0xD5, 0xDA,
                                       0xD9, 0xDB, 0xDC, 0x178};

char32_t character_of(Charset charset, unsigned char byte) {
    if (byte < kUpperHalf) return byte;
    switch (charset) {
        case Charset::kCp850:
            return kCodePage850[byte - kUpperHalf];
        case Charset::kCp1252:
            return byte < 0xA0 ? kCodePage1252Low[byte - kUpperHalf] : byte;
        case Charset::kLatin1:
        case Charset::kUtf8:
            break;
    }
    return byte;
}

bool is_one_of(char32_t c, const char32_t* first, const char32_t* last) {
    return std::find(first, last, c) != last;
}

// Whether `middle`, read in `charset`, is an accented letter of the same case as
// the ASCII letters `before` and `after`.
bool accented_between_letters(Charset charset, unsigned char before, unsigned char middle, unsigned char after) {
    bool lower = before >= 'a' && before <= 'z' && after >= 'a' && after <= 'z';
    bool upper = before >= 'A' && before <= 'Z' && after >= 'A' && after <= 'Z';
    char32_t c = character_of(charset, middle);
    return (lower && is_one_of(c, std::begin(kAccentedLower), std::end(kAccentedLower))) ||
           (upper && is_one_of(c, std::begin(kAccentedUpper), std::end(kAccentedUpper)));
}

void refuse_line(CharsetEvidence& evidence, ImportRead& utf8_read, std::size_t line) {
    evidence.valid_utf8 = false;
    if (evidence.refused_line == line) return;
    evidence.refused_line = line;
    refuse(utf8_read, line, ImportProblem::kNotUtf8, kNoField);
}

// One byte against UTF-8's rules.
void weigh_utf8(CharsetEvidence& evidence, ImportRead& utf8_read, unsigned char byte) {
    if (evidence.continuations_due > 0) {
        if (byte >= evidence.next_low && byte <= evidence.next_high) {
            --evidence.continuations_due;
            evidence.next_low = 0x80;
            evidence.next_high = 0xBF;
            return;
        }
        // The character is cut short; the byte that cut it starts afresh.
        evidence.continuations_due = 0;
        refuse_line(evidence, utf8_read, evidence.character_line);
    }
    if (byte < kUpperHalf) return;
    Utf8Lead lead = utf8_lead(byte);
    if (lead.length == 0) {
        refuse_line(evidence, utf8_read, evidence.line);
        return;
    }
    evidence.continuations_due = lead.length - 1;
    evidence.next_low = lead.second_low;
    evidence.next_high = lead.second_high;
    evidence.character_line = evidence.line;
}

// One byte of the text, against UTF-8 and for the accented letters.
void weigh_byte(CharsetEvidence& evidence, ImportRead& utf8_read, unsigned char byte) {
    weigh_utf8(evidence, utf8_read, byte);
    if (evidence.one_back >= kUpperHalf) {
        if (accented_between_letters(Charset::kCp850, evidence.two_back, evidence.one_back, byte)) {
            ++evidence.accented_between_letters[0];
        }
        if (accented_between_letters(Charset::kCp1252, evidence.two_back, evidence.one_back, byte)) {
            ++evidence.accented_between_letters[1];
        }
    }
    evidence.two_back = evidence.one_back;
    evidence.one_back = byte;
}

}  // namespace

const char* charset_name(Charset charset) {
    switch (charset) {
        case Charset::kCp850:
            return "cp850";
        case Charset::kCp1252:
            return "cp1252";
        case Charset::kLatin1:
            return "iso-8859-1";
        case Charset::kUtf8:
            break;
    }
    return "utf-8";
}

char* file_byte_in_utf8(Charset charset, char c, char* out) {
    if (charset == Charset::kUtf8) {
        *out++ = c;
        return out;
    }
    // The list's own code page by the conversion the console and the exporter use.
    if (charset == Charset::kCp850) return list_to_utf8(std::string_view(&c, 1), out);
    return code_point_to_utf8(character_of(charset, static_cast<unsigned char>(c)), out);
}

void append_file_byte(FieldText& field, Charset charset, char c) {
    char utf8[kLongestUtf8OfFileByte];
    char* end = file_byte_in_utf8(charset, c, utf8);
    for (const char* at = utf8; at != end; ++at) append_to_field(field, *at);
}

void begin_charset_evidence(CharsetEvidence& evidence, bool unfold) {
    evidence = {};
    evidence.unfold = unfold;
    evidence.valid_utf8 = true;
    evidence.line = 1;
}

void weigh_charset_piece(CharsetEvidence& evidence, ImportRead& utf8_read, const char* bytes, std::size_t length) {
    using HeldEnd = CharsetEvidence::HeldEnd;
    for (std::size_t at = 0; at < length; ++at) {
        unsigned char byte = static_cast<unsigned char>(bytes[at]);
        if (byte == '\n') ++evidence.line;
        if (evidence.unfold) {
            HeldEnd held = evidence.held_end;
            evidence.held_end = HeldEnd::kNone;
            if (held == HeldEnd::kLf && (byte == ' ' || byte == '\t')) continue;  // a fold: neither is text
            if (byte == '\n' && held != HeldEnd::kLf) {
                evidence.held_end = HeldEnd::kLf;
                continue;
            }
            // A line end breaks a character and parts letters alike, whatever its bytes.
            if (held != HeldEnd::kNone) weigh_byte(evidence, utf8_read, '\n');
            if (byte == '\r' || byte == '\n') {
                evidence.held_end = byte == '\r' ? HeldEnd::kCr : HeldEnd::kLf;
                continue;
            }
        }
        weigh_byte(evidence, utf8_read, byte);
    }
}

void end_charset_evidence(CharsetEvidence& evidence, ImportRead& utf8_read) {
    if (evidence.held_end != CharsetEvidence::HeldEnd::kNone) weigh_byte(evidence, utf8_read, '\n');
    if (evidence.continuations_due > 0) {
        evidence.continuations_due = 0;
        refuse_line(evidence, utf8_read, evidence.character_line);
    }
}

Charset charset_of_file(const CharsetEvidence& evidence) {
    if (evidence.valid_utf8) return Charset::kUtf8;
    return evidence.accented_between_letters[1] > evidence.accented_between_letters[0] ? Charset::kCp1252
                                                                                        : Charset::kCp850;
}
