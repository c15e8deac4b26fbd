// The list's character set, code page 850 (the original console's): its upper 128
// bytes as Unicode, and the conversions to and from UTF-8 that the console's edge,
// the exporter and the importer share. Bytes below 0x80 are ASCII either way.
#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <string_view>

// Bytes 0x80 to 0xFF, in order.
constexpr char32_t kCodePage850[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0,
    0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4,
    0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE,
    0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE,
    0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4,
    0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,
};

// Grows with the code point.
constexpr std::size_t utf8_length(char32_t code_point) {
    return code_point < 0x80 ? 1 : code_point < 0x800 ? 2 : code_point < 0x10000 ? 3 : 4;
}

// The most bytes one list byte takes in UTF-8 (the box-drawing characters').
constexpr std::size_t kLongestUtf8OfByte =
    utf8_length(*std::max_element(std::begin(kCodePage850), std::end(kCodePage850)));
static_assert(kLongestUtf8OfByte == 3, "code page 850 lies in the Basic Multilingual Plane");

// The most bytes any UTF-8 character takes: that of the last code point, U+10FFFF.
constexpr std::size_t kMaxUtf8Bytes = utf8_length(0x10FFFF);
static_assert(kLongestUtf8OfByte <= kMaxUtf8Bytes, "a byte of the list is one character");

// Writes the UTF-8 of `c` at `out`, which has room for utf8_length(c) bytes;
// returns the end of what it wrote.
constexpr char* code_point_to_utf8(char32_t c, char* out) {
    std::size_t length = utf8_length(c);
    if (length == 1) {
        *out++ = static_cast<char>(c);
        return out;
    }
    // The lead byte: as many high bits as bytes, then what is left of the code point.
    constexpr unsigned char kLeads[] = {0, 0, 0xC0, 0xE0, 0xF0};
    *out++ = static_cast<char>(kLeads[length] | (c >> (6 * (length - 1))));
    for (std::size_t shift = 6 * (length - 1); shift > 0; shift -= 6) {
        *out++ = static_cast<char>(0x80 | ((c >> (shift - 6)) & 0x3F));
    }
    return out;
}

// What a valid UTF-8 character starting with `lead` is: its length, the range
// its second byte must lie in (which rules out overlong forms, surrogates and
// code points past U+10FFFF), and the bits the lead byte carries. Length 0: no
// lead byte.
struct Utf8Lead {
    std::size_t length;
    unsigned char second_low;
    unsigned char second_high;
    char32_t bits;
};

Utf8Lead utf8_lead(unsigned char lead);

// What starts `text`: a valid UTF-8 character of `length` bytes with its
// `code_point`; or, `valid` false, a byte that starts none, of which `matched`
// bytes (its lead and the continuations after it) were right before the text
// ended or broke it: 0 when it is no lead byte.
struct Utf8Unit {
    bool valid;
    std::size_t length;
    char32_t code_point;
    std::size_t matched;
};

Utf8Unit next_utf8_unit(const char* text, std::size_t length);

// The UTF-8 byte-order mark, which some files start with and some readers want.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The stand-in for a character that code page 850 has no place for.
constexpr char kNoSuchCharacter = '?';

// The list's byte for a code point; kNoSuchCharacter where the code page has none.
char list_byte_of(char32_t code_point);

// Writes the UTF-8 of `text`, in the list's code page, at `out`, which has room
// for kLongestUtf8OfByte bytes a byte; returns the end of what it wrote.
char* list_to_utf8(std::string_view text, char* out);

// Converts UTF-8 to the list's code page, writing at `out`, which may be the
// text itself: nothing grows. A character the code page has is its byte; one it
// lacks is kNoSuchCharacter; a byte that starts no valid UTF-8 character
// (overlong, a surrogate, past U+10FFFF, cut or stray) is taken as the byte it is.
// With `more_follows`, a character cut by the end of `text` is left for the next
// piece: `unfinished` says how many bytes of it end the text. Returns the length written.
std::size_t utf8_to_list(const char* text, std::size_t length, char* out, bool more_follows, std::size_t& unfinished);
