// Code page 850 to UTF-8 and back, through tables derived once from kCodePage850.
#include "record_store/code_page.h"

#include <array>

namespace {

constexpr std::size_t kUpperHalf = 0x80;

struct Utf8Bytes {
    unsigned char length;
    char bytes[kLongestUtf8OfByte];
};

constexpr std::array<Utf8Bytes, kUpperHalf> utf8_of_upper_bytes() {
    std::array<Utf8Bytes, kUpperHalf> table{};
    for (std::size_t i = 0; i < kUpperHalf; ++i) {
        Utf8Bytes& out = table[i];
        out.length = static_cast<unsigned char>(code_point_to_utf8(kCodePage850[i], out.bytes) - out.bytes);
    }
    return table;
}

constexpr std::array<Utf8Bytes, kUpperHalf> kUtf8OfUpperBytes = utf8_of_upper_bytes();

// The code page's byte of each of U+0080 to U+00FF, 0 where it has none; the
// few characters it holds above those are looked up in the table itself.
constexpr std::array<unsigned char, kUpperHalf> bytes_of_latin1_half() {
    std::array<unsigned char, kUpperHalf> table{};
    for (std::size_t i = 0; i < kUpperHalf; ++i) {
        if (kCodePage850[i] < 2 * kUpperHalf) table[kCodePage850[i] - kUpperHalf] = static_cast<unsigned char>(kUpperHalf + i);
    }
    return table;
}

constexpr std::array<unsigned char, kUpperHalf> kBytesOfLatin1Half = bytes_of_latin1_half();

}  // namespace

char list_byte_of(char32_t c) {
    if (c < kUpperHalf) return static_cast<char>(c);
    if (c < 2 * kUpperHalf) {
        unsigned char byte = kBytesOfLatin1Half[c - kUpperHalf];
        return byte != 0 ? static_cast<char>(byte) : kNoSuchCharacter;
    }
    for (std::size_t i = 0; i < kUpperHalf; ++i) {
        if (kCodePage850[i] == c) return static_cast<char>(kUpperHalf + i);
    }
    return kNoSuchCharacter;
}

Utf8Lead utf8_lead(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return {2, 0x80, 0xBF, lead & 0x1Fu};
    if (lead == 0xE0) return {3, 0xA0, 0xBF, 0};
    if (lead == 0xED) return {3, 0x80, 0x9F, 0xD};
    if (lead >= 0xE1 && lead <= 0xEF) return {3, 0x80, 0xBF, lead & 0x0Fu};
    if (lead == 0xF0) return {4, 0x90, 0xBF, 0};
    if (lead >= 0xF1 && lead <= 0xF3) return {4, 0x80, 0xBF, lead & 0x07u};
    if (lead == 0xF4) return {4, 0x80, 0x8F, 4};
    return {0, 0, 0, 0};
}

char* list_to_utf8(std::string_view text, char* out) {
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte < kUpperHalf) {
            *out++ = c;
            continue;
        }
        const Utf8Bytes& utf8 = kUtf8OfUpperBytes[byte - kUpperHalf];
        for (unsigned char i = 0; i < utf8.length; ++i) *out++ = utf8.bytes[i];
    }
    return out;
}

Utf8Unit next_utf8_unit(const char* text, std::size_t length) {
    const unsigned char* in = reinterpret_cast<const unsigned char*>(text);
    Utf8Lead lead = utf8_lead(in[0]);
    if (lead.length == 0) return {false, 1, in[0], 0};
    // How many bytes after the lead continue it validly, up to its length.
    std::size_t valid = 1;
    char32_t bits = lead.bits;
    while (valid < lead.length && valid < length) {
        unsigned char next = in[valid];
        bool fits = valid == 1 ? next >= lead.second_low && next <= lead.second_high : (next & 0xC0) == 0x80;
        if (!fits) break;
        bits = (bits << 6) | (next & 0x3Fu);
        ++valid;
    }
    if (valid == lead.length) return {true, valid, bits, valid};
    return {false, 1, in[0], valid};
}

std::size_t utf8_to_list(const char* text, std::size_t length, char* out, bool more_follows, std::size_t& unfinished) {
    std::size_t written = 0;
    std::size_t at = 0;
    unfinished = 0;
    while (at < length) {
        Utf8Unit unit = next_utf8_unit(text + at, length - at);
        // A byte that starts no valid character is taken as it is, alone.
        if (!unit.valid && unit.matched > 0 && at + unit.matched == length && more_follows) {
            unfinished = unit.matched;
            break;
        }
        out[written++] = unit.valid ? list_byte_of(unit.code_point) : text[at];
        at += unit.length;
    }
    return written;
}
