// Decoding a vCard value a byte at a time: quoted-printable first, then the
// character set, then the escapes and the components of the UTF-8 that gives.
#include "import/vcard_values.h"

#include <cstring>

#include "import/vcard_lines.h"

namespace {

struct ValueDecoder {
    DecodedValue* out;
    bool structured;
    bool escaped;  // after a backslash
};

void add_to_text(DecodedText& text, char c) {
    if (c == ' ') {
        text.last_space = text.whole.text.length;
        text.spaced = true;
        text.last_word = {};
    } else {
        append_to_field(text.last_word, c);
    }
    if (c == '\n' && text.first_line_feed == kNotHeld) text.first_line_feed = text.whole.text.length;
    if (c == '\0' && text.first_nul == kNotHeld) text.first_nul = text.whole.text.length;
    append_to_field(text.whole, c);
}

void add_to_component(ValueDecoder& decoder, char c) {
    DecodedValue& value = *decoder.out;
    if (value.count - 1 < kComponentsKept) add_to_text(value.components[value.count - 1], c);
}

// A byte of the value's UTF-8: escapes, and the components of N and ADR.
void take_text(ValueDecoder& decoder, char c) {
    if (!decoder.escaped && c == '\\') {
        decoder.escaped = true;
        return;
    }
    if (!decoder.escaped && c == ';' && decoder.structured) {
        ++decoder.out->count;
        return;
    }
    bool escape = decoder.escaped;
    decoder.escaped = false;
    // An escape vCard does not know keeps its backslash.
    bool known = c == '\\' || c == ',' || c == ';' || c == 'n' || c == 'N';
    if (escape && !known) add_to_component(decoder, '\\');
    add_to_component(decoder, escape && (c == 'n' || c == 'N') ? '\n' : c);
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = upper_case(c);
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// The bytes the transfer encoding gives, a byte of `charset` each.
void take_decoded(ValueDecoder& decoder, Charset charset, std::string_view bytes) {
    for (char c : bytes) {
        char utf8[kMaxUtf8Bytes];
        char* end = file_byte_in_utf8(charset, c, utf8);
        for (const char* at = utf8; at != end; ++at) take_text(decoder, *at);
    }
}

// Quoted-printable: "=XX" is the byte XX, and "=\n" a soft break, which is
// nothing; any other '=' is text.
void take_printable(ValueDecoder& decoder, Charset charset, std::string_view value) {
    std::size_t at = 0;
    while (at < value.size()) {
        if (value.substr(at, 2) == "=\n") {
            at += 2;
            continue;
        }
        bool escape = value[at] == '=' && at + 2 < value.size() && hex_digit(value[at + 1]) >= 0 &&
                      hex_digit(value[at + 2]) >= 0;
        if (!escape) {
            take_decoded(decoder, charset, value.substr(at, 1));
            ++at;
            continue;
        }
        char byte = static_cast<char>(hex_digit(value[at + 1]) * 16 + hex_digit(value[at + 2]));
        take_decoded(decoder, charset, std::string_view(&byte, 1));
        at += 3;
    }
}

}  // namespace

void decode_value(std::string_view value, const ValueForm& form, DecodedValue& out) {
    out.count = 1;
    for (DecodedText& text : out.components) {
        text = {};
        text.first_line_feed = kNotHeld;
        text.first_nul = kNotHeld;
    }
    ValueDecoder decoder{&out, form.structured, false};
    if (form.quoted_printable) {
        take_printable(decoder, form.charset, value);
    } else {
        take_decoded(decoder, form.charset, value);
    }
}

FieldText text_head(const DecodedText& text, std::size_t length) {
    FieldText head{};
    std::string_view kept = kept_part(text.whole.text);
    keep_bytes(head.text, kept.substr(0, length));
    head.text.length = length;
    head.line_break = text.first_line_feed != kNotHeld && text.first_line_feed < length;
    head.nul = text.first_nul != kNotHeld && text.first_nul < length;
    return head;
}
