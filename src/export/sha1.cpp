// SHA-1 over 64-byte blocks: the message, then 0x80, zeros, and its length in
// bits as a big-endian 64-bit number, which ends the last block.
#include "export/sha1.h"

#include <algorithm>

namespace {

constexpr std::size_t kBlockSize = 64;
constexpr std::size_t kLengthSize = 8;

std::uint32_t rotate_left(std::uint32_t value, int bits) {
    return (value << bits) | (value >> (32 - bits));
}

void add_block(const std::uint8_t* block, std::uint32_t (&state)[5]) {
    std::uint32_t w[80];
    for (std::size_t t = 0; t < 16; ++t) {
        const std::uint8_t* word = block + 4 * t;
        w[t] = static_cast<std::uint32_t>(word[0]) << 24 | static_cast<std::uint32_t>(word[1]) << 16 |
               static_cast<std::uint32_t>(word[2]) << 8 | word[3];
    }
    for (std::size_t t = 16; t < 80; ++t) w[t] = rotate_left(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    for (std::size_t t = 0; t < 80; ++t) {
        std::uint32_t f, k;
        if (t < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999;
        } else if (t < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (t < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDC;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6;
        }
        std::uint32_t next = rotate_left(a, 5) + f + e + k + w[t];
        e = d;
        d = c;
        c = rotate_left(b, 30);
        b = a;
        a = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
}

}  // namespace

void sha1(const std::uint8_t* message, std::size_t length, std::uint8_t (&digest)[kSha1DigestSize]) {
    std::uint32_t state[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    std::size_t whole = length - length % kBlockSize;
    for (std::size_t at = 0; at < whole; at += kBlockSize) add_block(message + at, state);
    // The rest, the 0x80 and the length take one block, or two when the rest
    // leaves no room for the length after the 0x80.
    std::uint8_t tail[2 * kBlockSize] = {};
    std::size_t rest = length - whole;
    std::copy(message + whole, message + length, tail);
    tail[rest] = 0x80;
    std::size_t tail_size = rest + 1 + kLengthSize <= kBlockSize ? kBlockSize : 2 * kBlockSize;
    std::uint64_t bits = static_cast<std::uint64_t>(length) * 8;
    for (std::size_t i = 0; i < kLengthSize; ++i) {
        tail[tail_size - 1 - i] = static_cast<std::uint8_t>(bits >> (8 * i));
    }
    for (std::size_t at = 0; at < tail_size; at += kBlockSize) add_block(tail + at, state);
    for (std::size_t i = 0; i < kSha1DigestSize; ++i) {
        digest[i] = static_cast<std::uint8_t>(state[i / 4] >> (24 - 8 * (i % 4)));
    }
}
