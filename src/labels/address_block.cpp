// Making a record's address block: which parts go on which line, with which spaces.
#include "labels/address_block.h"

#include <glib.h>

#include <cstring>
#include <string_view>

namespace {

// The list's text of one line, before it is converted.
struct ListLine {
    char bytes[kLongestNameLine];
    std::size_t length;
};

void append(ListLine& line, std::string_view text) {
    std::memcpy(line.bytes + line.length, text.data(), text.size());
    line.length += text.size();
}

// A part after the one before it, with `spaces` between; an empty part is left
// out with its spaces.
void append_part(ListLine& line, std::string_view part, std::string_view spaces) {
    if (part.empty()) return;
    if (line.length > 0) append(line, spaces);
    append(line, part);
}

bool is_ascii_letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool is_ascii_digit(char c) {
    return c >= '0' && c <= '9';
}

// A6A6A6 in either case: a Canadian postal code stored without its space.
bool is_unspaced_postal_code(std::string_view code) {
    if (code.size() != 6) return false;
    for (std::size_t i = 0; i < code.size(); ++i) {
        if (i % 2 == 0 ? !is_ascii_letter(code[i]) : !is_ascii_digit(code[i])) return false;
    }
    return true;
}

bool only_spaces(const ListLine& line) {
    for (std::size_t i = 0; i < line.length; ++i) {
        if (line.bytes[i] != ' ') return false;
    }
    return true;
}

bool add_line(const ListLine& line, bool upper, AddressBlock& block) {
    if (only_spaces(line)) return true;
    char* out = block.lines[block.count];
    std::size_t length =
        static_cast<std::size_t>(list_to_utf8(std::string_view(line.bytes, line.length), out) - out);
    if (upper) {
        gchar* raised = g_utf8_strup(out, static_cast<gssize>(length));
        if (raised == nullptr) return false;
        length = std::strlen(raised);
        bool fits = length <= kLineCapacity;
        if (fits) std::memcpy(out, raised, length);
        g_free(raised);
        if (!fits) return false;
    }
    block.lengths[block.count++] = length;
    return true;
}

}  // namespace

bool make_address_block(const CustomerRecord& record, bool upper, AddressBlock& block) {
    block.count = 0;
    ListLine name{};
    append_part(name, field_text(record.first_name), "");
    append_part(name, field_text(record.last_name), " ");
    ListLine address{};
    append(address, field_text(record.address));
    ListLine place{};
    append_part(place, field_text(record.city), "");
    append_part(place, field_text(record.province_code), " ");
    std::string_view postal_code = field_text(record.postal_code);
    if (is_unspaced_postal_code(postal_code)) {
        char spaced[7] = {postal_code[0], postal_code[1], postal_code[2], ' ',
                          postal_code[3], postal_code[4], postal_code[5]};
        append_part(place, std::string_view(spaced, sizeof spaced), "  ");
    } else {
        append_part(place, postal_code, "  ");
    }
    return add_line(name, upper, block) && add_line(address, upper, block) && add_line(place, upper, block);
}
