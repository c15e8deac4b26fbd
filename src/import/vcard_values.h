// A vCard value decoded into UTF-8 texts: its quoted-printable, its character
// set, its escapes, and the components of a structured value (N, ADR).
#pragma once

#include <cstddef>
#include <string_view>

#include "import/character_set.h"
#include "import/record_rules.h"

// A text decoded, with where it can be cut into a head and a last word: a card
// without N takes its last name and first name from FN that way.
struct DecodedText {
    FieldText whole;
    FieldText last_word;            // after the last space
    std::size_t last_space;         // where it is in `whole`; none when `spaced` is false
    bool spaced;
    std::size_t first_line_feed;    // of `whole`, or kNotHeld
    std::size_t first_nul;          // of `whole`, or kNotHeld
};

constexpr std::size_t kNotHeld = static_cast<std::size_t>(-1);

// The components a field is taken from: ADR's first six (post office box,
// extended address, street, city, region, postal code); N's first two.
constexpr std::size_t kComponentsKept = 6;

struct DecodedValue {
    DecodedText components[kComponentsKept];
    std::size_t count;  // every component, kept or not
};

// How a value is written: its transfer encoding, the character set of its
// bytes, and whether ';' parts its components.
struct ValueForm {
    bool quoted_printable;
    Charset charset;
    bool structured;
};

// Decodes `value`. In quoted-printable, "=\n" is a soft break, and an '=' that
// neither two hex digits nor a line feed follow is text; a backslash before
// anything but '\', ',', ';', 'n' or 'N' is text too.
void decode_value(std::string_view value, const ValueForm& form, DecodedValue& out);

// The first `length` bytes of a decoded text, as a field.
FieldText text_head(const DecodedText& text, std::size_t length);
