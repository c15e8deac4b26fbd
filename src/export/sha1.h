// SHA-1 (FIPS 180-4) of a short message in memory, for the name-based UUIDs of
// the vCards; the standard library has none.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t kSha1DigestSize = 20;

void sha1(const std::uint8_t* message, std::size_t length, std::uint8_t (&digest)[kSha1DigestSize]);
