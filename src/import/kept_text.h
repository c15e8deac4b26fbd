// The importer's one bounded text: the first bytes of a text of any length, and
// that whole length, so that a text too long to keep is still known to be.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

template <std::size_t Capacity>
struct KeptText {
    char bytes[Capacity];  // its first bytes
    std::size_t length;    // all of it, kept or not
};

template <std::size_t Capacity>
constexpr std::size_t kept_length(const KeptText<Capacity>& text) {
    return text.length < Capacity ? text.length : Capacity;
}

template <std::size_t Capacity>
std::string_view kept_part(const KeptText<Capacity>& text) {
    return {text.bytes, kept_length(text)};
}

template <std::size_t Capacity>
void keep_byte(KeptText<Capacity>& text, char c) {
    if (text.length < Capacity) text.bytes[text.length] = c;
    ++text.length;
}

// Keeps what fits of `bytes`, and counts them all.
template <std::size_t Capacity>
void keep_bytes(KeptText<Capacity>& text, std::string_view bytes) {
    std::size_t room = text.length < Capacity ? Capacity - text.length : 0;
    std::size_t copied = bytes.size() < room ? bytes.size() : room;
    if (copied > 0) std::memcpy(text.bytes + text.length, bytes.data(), copied);
    text.length += bytes.size();
}
