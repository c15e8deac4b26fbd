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
                  kMaxUtf8Bytes,
              "a byte of 1252 is one character");

// The accented letters of the Western European languages, by case: a byte that
// reads as one of these between two ASCII letters of its case is a sign of the
// code page it reads so in.
constexpr char32_t kAccentedLower[] = {0xE0, 0xE2, 0xE4, 0xE1, 0xE3, 0xE5, 0xE6, 0xE7, 0xE9, 0xE8, 0xEA, 0xEB,
                                       0xED, 0xEC, 0xEE, 0xEF, 0xF1, 0x153, 0xF3, 0xF2, 0xF4, 0xF6, 0xF5, 0xFA,
                                       0xF9, 0xFB, 0xFC, 0xFF, 0xDF};
constexpr char32_t kAccentedUpper[] = {0xC0, 0xC2, 0xC4, 0xC1, 0xC3, 0xC5, 0xC6, 0xC7, 0xC9, 0xC8, 0xCA, 0xCB,
                                       0xCD, 0xCC, 0xCE, 0xCF, 0xD1, 0x152, 0xD3, 0xD2, 0xD4, 0xD6, 0xD5, 0xDA,
                                       0xD9, 0xDB, 0xDC, 0x178};

// The two code pages weighed, in the order of CharsetEvidence's counts.
constexpr Charset kWeighedPages[] = {Charset::kCp850, Charset::kCp1252};
static_assert(std::size(kWeighedPages) == std::size(CharsetEvidence{}.accented_between_letters), "a count a page");

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

// The walk over the file's bytes.
struct Weighing {
    CharsetEvidence* evidence;
    // A vCard's line end, held until the next byte says whether it folds.
    enum class HeldEnd { kNone, kCr, kLf } held_end;
    // UTF-8: continuation bytes still due, the range the next one must lie in,
    // and the line the character they continue starts on.
    std::size_t continuations_due;
    unsigned char next_low;
    unsigned char next_high;
    std::size_t character_line;
    std::size_t line;          // of the next byte, from 1
    std::size_t found_on;      // the line of the byte being read: a line feed is on the line it ends
    std::size_t noted_line;    // the last line noted for a byte that is not UTF-8; 0 for none
    // The two bytes before the next one, for the letters around an accented one.
    unsigned char two_back;
    unsigned char one_back;
};

void note_not_utf8(Weighing& weighing, std::size_t line) {
    if (weighing.noted_line == line) return;
    weighing.noted_line = line;
    LinesNotUtf8& lines = weighing.evidence->not_utf8;
    if (lines.count < kRefusalsKept) {
        lines.line[lines.count] = line;
        lines.found_on[lines.count] = weighing.found_on;
    }
    ++lines.count;
}

// One byte against UTF-8's rules.
void weigh_utf8(Weighing& weighing, unsigned char byte) {
    if (weighing.continuations_due > 0) {
        if (byte >= weighing.next_low && byte <= weighing.next_high) {
            --weighing.continuations_due;
            weighing.next_low = 0x80;
            weighing.next_high = 0xBF;
            return;
        }
        // The character is cut short; the byte that cut it starts afresh.
        weighing.continuations_due = 0;
        note_not_utf8(weighing, weighing.character_line);
    }
    if (byte < kUpperHalf) return;
    Utf8Lead lead = utf8_lead(byte);
    if (lead.length == 0) {
        note_not_utf8(weighing, weighing.line);
        return;
    }
    weighing.continuations_due = lead.length - 1;
    weighing.next_low = lead.second_low;
    weighing.next_high = lead.second_high;
    weighing.character_line = weighing.line;
}

// One byte of the text, against UTF-8 and for the accented letters.
void weigh_byte(Weighing& weighing, unsigned char byte) {
    weigh_utf8(weighing, byte);
    if (weighing.one_back >= kUpperHalf) {
        for (std::size_t page = 0; page < std::size(kWeighedPages); ++page) {
            if (accented_between_letters(kWeighedPages[page], weighing.two_back, weighing.one_back, byte)) {
                ++weighing.evidence->accented_between_letters[page];
            }
        }
    }
    weighing.two_back = weighing.one_back;
    weighing.one_back = byte;
}

// One byte of a vCard: a line end is held until the next byte, and neither a
// fold's line end nor its space or tab is text.
void weigh_unfolding(Weighing& weighing, unsigned char byte) {
    using HeldEnd = Weighing::HeldEnd;
    HeldEnd held = weighing.held_end;
    weighing.held_end = HeldEnd::kNone;
    if (held == HeldEnd::kLf && (byte == ' ' || byte == '\t')) return;
    if (byte == '\n' && held != HeldEnd::kLf) {
        weighing.held_end = HeldEnd::kLf;
        return;
    }
    // A line end breaks a character and parts letters alike, whatever its bytes.
    if (held != HeldEnd::kNone) weigh_byte(weighing, '\n');
    if (byte == '\r' || byte == '\n') {
        weighing.held_end = byte == '\r' ? HeldEnd::kCr : HeldEnd::kLf;
        return;
    }
    weigh_byte(weighing, byte);
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
    char utf8[kMaxUtf8Bytes];
    char* end = file_byte_in_utf8(charset, c, utf8);
    for (const char* at = utf8; at != end; ++at) append_to_field(field, *at);
}

void weigh_charset(std::string_view bytes, bool unfold, CharsetEvidence& evidence) {
    evidence = {};
    Weighing weighing{};
    weighing.evidence = &evidence;
    weighing.line = 1;
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        weighing.found_on = weighing.line;
        if (byte == '\n') ++weighing.line;
        if (unfold) {
            weigh_unfolding(weighing, byte);
        } else {
            weigh_byte(weighing, byte);
        }
    }
    // The file has ended: a line end held is one, and a character it cuts short is not UTF-8.
    weighing.found_on = kFoundAtEnd;
    if (weighing.held_end != Weighing::HeldEnd::kNone) weigh_byte(weighing, '\n');
    if (weighing.continuations_due > 0) note_not_utf8(weighing, weighing.character_line);
}

Charset charset_of_file(const CharsetEvidence& evidence) {
    if (evidence.not_utf8.count == 0) return Charset::kUtf8;
    return evidence.accented_between_letters[1] > evidence.accented_between_letters[0] ? Charset::kCp1252
                                                                                        : Charset::kCp850;
}
