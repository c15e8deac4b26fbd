// The vCard reader: bytes become unfolded lines, each a property read a byte at a
// time through its name, parameters and value, each value decoded into the card's
// fields. Its own characters are ASCII: a fold inside a UTF-8 character leaves it whole.
#include "import/vcard_import.h"

#include <cstring>
#include <string_view>

#include "record_store/code_page.h"

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

void add_to_word(VcardWord& word, char c) {
    if (word.length < sizeof word.bytes) word.bytes[word.length] = upper(c);
    ++word.length;
}

bool word_is(const VcardWord& word, std::string_view text) {
    return word.length == text.size() && std::string_view(word.bytes, word.length) == text;
}

// ---- the card ------------------------------------------------------------

void add_to_name(VcardName& name, char c) {
    if (c == ' ') {
        name.last_space = name.whole.length;
        name.spaced = true;
        name.last_word = {};
    } else {
        append_to_field(name.last_word, c);
    }
    if (c == '\n' && name.first_line_feed == kNone) name.first_line_feed = name.whole.length;
    if (c == '\0' && name.first_nul == kNone) name.first_nul = name.whole.length;
    append_to_field(name.whole, c);
}

// The first `length` bytes of a name.
FieldText name_head(const VcardName& name, std::size_t length) {
    FieldText head{};
    std::size_t kept = length < sizeof head.bytes ? length : sizeof head.bytes;
    std::memcpy(head.bytes, name.whole.bytes, kept);
    head.length = length;
    head.line_break = name.first_line_feed != kNone && name.first_line_feed < length;
    head.nul = name.first_nul != kNone && name.first_nul < length;
    return head;
}

// `from` added at the end of `to`, whether or not all of either was kept.
void append_field(FieldText& to, const FieldText& from) {
    std::size_t kept = from.length < sizeof from.bytes ? from.length : sizeof from.bytes;
    for (std::size_t at = 0; at < kept; ++at) append_to_field(to, from.bytes[at]);
    to.length += from.length - kept;
    to.line_break = to.line_break || from.line_break;
    to.nul = to.nul || from.nul;
}

// A tel: URI's text without its scheme.
void drop_tel_scheme(FieldText& telephone) {
    constexpr std::string_view kScheme = "TEL:";
    if (telephone.length < kScheme.size()) return;
    for (std::size_t at = 0; at < kScheme.size(); ++at) {
        if (upper(telephone.bytes[at]) != kScheme[at]) return;
    }
    std::size_t kept = telephone.length < sizeof telephone.bytes ? telephone.length : sizeof telephone.bytes;
    std::memmove(telephone.bytes, telephone.bytes + kScheme.size(), kept - kScheme.size());
    telephone.length -= kScheme.size();
}

void open_card(VcardCard& card, std::size_t line) {
    card = {};
    card.open = true;
    card.line = line;
    card.full_name.first_line_feed = kNone;
    card.full_name.first_nul = kNone;
}

// END:VCARD: the card's fields to the record rules, named by its FN.
void close_card(VcardCard& card, ImportRead& read) {
    card.open = false;
    if (card.broken) return;
    read.left_out += card.left_out;
    char name[kFieldBytesKept];
    std::size_t name_length = card.has_fn ? field_in_list(card.full_name.whole, name) : 0;
    std::string_view shown(name, name_length);
    if (!card.has_n && !card.has_fn) {
        refuse(read, card.line, ImportProblem::kNoName, kNoField);
        return;
    }
    if (!card.has_n) {
        // The last word of FN is the last name, the rest the first name.
        const VcardName& full = card.full_name;
        card.last_name = full.spaced ? full.last_word : full.whole;
        card.first_name = full.spaced ? name_head(full, full.last_space) : FieldText{};
    }
    FieldText address = card.address.extended;
    if (address.length > 0 && card.address.street.length > 0) append_to_field(address, ' ');
    append_field(address, card.address.street);
    bool uri = card.telephone_uri_given || (card.version == 4 && !card.telephone_text_given);
    if (uri) drop_tel_scheme(card.telephone);
    const FieldText* const fields[kFieldCount] = {
        &card.last_name, &card.first_name, &address, &card.address.city, &card.address.region,
        &card.address.postal_code, &card.telephone, &card.note,
    };
    (void)take_entry(read, card.line, fields, shown, card.has_fn);
}

// ---- a line ----------------------------------------------------------------

VcardProperty property_named(const VcardWord& name) {
    if (word_is(name, "BEGIN")) return VcardProperty::kBegin;
    if (word_is(name, "END")) return VcardProperty::kEnd;
    if (word_is(name, "VERSION")) return VcardProperty::kVersion;
    if (word_is(name, "N")) return VcardProperty::kN;
    if (word_is(name, "FN")) return VcardProperty::kFn;
    if (word_is(name, "ADR")) return VcardProperty::kAdr;
    if (word_is(name, "TEL")) return VcardProperty::kTel;
    if (word_is(name, "NOTE")) return VcardProperty::kNote;
    return VcardProperty::kOther;
}

void start_line(VcardLine& line, std::size_t at, Charset charset) {
    line = {};
    line.line = at;
    line.charset = charset;
    line.empty = true;
    line.rank.preference = kNoPreference;
}

// One value of a parameter (`TYPE=home,work` has two), or a bare 2.1 parameter.
void take_parameter_value(VcardLine& line, const VcardWord& parameter, const VcardWord& value) {
    if (word_is(parameter, "TYPE") || parameter.length == 0) {
        if (word_is(value, "HOME")) line.rank.home = true;
        if (word_is(value, "PREF") && line.rank.preference > 1) line.rank.preference = 1;
        if (word_is(value, "QUOTED-PRINTABLE")) line.quoted_printable = true;
    } else if (word_is(parameter, "PREF")) {
        unsigned preference = 0;
        for (std::size_t at = 0; at < value.length && at < sizeof value.bytes; ++at) {
            char c = value.bytes[at];
            if (c < '0' || c > '9' || preference >= kNoPreference) return;
            preference = preference * 10 + static_cast<unsigned>(c - '0');
        }
        if (value.length > 0 && preference < line.rank.preference) line.rank.preference = preference;
    } else if (word_is(parameter, "VALUE")) {
        line.uri = line.uri || word_is(value, "URI");
        line.text = line.text || word_is(value, "TEXT");
    } else if (word_is(parameter, "ENCODING")) {
        line.quoted_printable = line.quoted_printable || word_is(value, "QUOTED-PRINTABLE");
    } else if (word_is(parameter, "CHARSET")) {
        // The sets it can read; any other leaves the file's.
        if (word_is(value, "UTF-8")) line.charset = Charset::kUtf8;
        if (word_is(value, "ISO-8859-1")) line.charset = Charset::kLatin1;
        if (word_is(value, "WINDOWS-1252")) line.charset = Charset::kCp1252;
        if (word_is(value, "IBM850")) line.charset = Charset::kCp850;
    }
}

bool ranks_before(const VcardRank& a, const VcardRank& b) {
    return a.preference != b.preference ? a.preference < b.preference : a.home && !b.home;
}

// The colon: the property is known, and whether its value is wanted.
void start_value(VcardReader& reader) {
    VcardLine& line = reader.current;
    VcardCard& card = reader.card;
    line.place = VcardPlace::kValue;
    line.property = property_named(line.name);
    switch (line.property) {
        case VcardProperty::kN:
            line.taken = !card.has_n;
            card.has_n = true;
            break;
        case VcardProperty::kFn:
            line.taken = !card.has_fn;
            card.has_fn = true;
            break;
        case VcardProperty::kNote:
            line.taken = !card.has_note;
            card.has_note = true;
            break;
        case VcardProperty::kAdr:
            line.taken = !card.has_adr || ranks_before(line.rank, card.address_rank);
            break;
        case VcardProperty::kTel:
            line.taken = !card.has_tel || ranks_before(line.rank, card.telephone_rank);
            break;
        case VcardProperty::kBegin:
        case VcardProperty::kEnd:
        case VcardProperty::kVersion:
        case VcardProperty::kOther:
            break;
    }
    // What a card holds and no field takes is counted; so is an ADR or TEL passed over.
    bool counted = line.property == VcardProperty::kOther || (!line.taken && line.property != VcardProperty::kBegin &&
                                                               line.property != VcardProperty::kEnd &&
                                                               line.property != VcardProperty::kVersion);
    if (counted && card.open) ++card.left_out;
}

// Where a byte of a value goes: the component of the field it belongs to.
FieldText* value_field(VcardReader& reader) {
    VcardLine& line = reader.current;
    VcardCard& card = reader.card;
    switch (line.property) {
        case VcardProperty::kN:
            return line.component == 0 ? &card.last_name : line.component == 1 ? &card.first_name : nullptr;
        case VcardProperty::kAdr: {
            FieldText* const components[] = {nullptr, &line.address.extended, &line.address.street, &line.address.city,
                                             &line.address.region, &line.address.postal_code};
            return line.component < sizeof components / sizeof components[0] ? components[line.component] : nullptr;
        }
        case VcardProperty::kTel:
            return &line.telephone;
        case VcardProperty::kNote:
            return &card.note;
        case VcardProperty::kFn:
        case VcardProperty::kBegin:
        case VcardProperty::kEnd:
        case VcardProperty::kVersion:
        case VcardProperty::kOther:
            break;
    }
    return nullptr;
}

// A byte of the value's text, decoded: escapes, and the components of N and ADR.
void take_text(VcardReader& reader, char c) {
    VcardLine& line = reader.current;
    bool structured = line.property == VcardProperty::kN || line.property == VcardProperty::kAdr;
    if (!line.escaped && c == '\\') {
        line.escaped = true;
        return;
    }
    if (!line.escaped && c == ';' && structured) {
        ++line.component;
        return;
    }
    bool escape = line.escaped;
    line.escaped = false;
    char text = escape && (c == 'n' || c == 'N') ? '\n' : c;
    // An escape vCard does not know keeps its backslash.
    bool known = c == '\\' || c == ',' || c == ';' || c == 'n' || c == 'N';
    if (line.property == VcardProperty::kFn) {
        if (escape && !known) add_to_name(reader.card.full_name, '\\');
        add_to_name(reader.card.full_name, text);
        return;
    }
    FieldText* field = value_field(reader);
    if (field == nullptr) return;
    if (escape && !known) append_to_field(*field, '\\');
    append_to_field(*field, text);
}

// A byte of the value as the transfer encoding and the character set give it.
void take_decoded(VcardReader& reader, char c) {
    const VcardLine& line = reader.current;
    if (!line.taken) return;
    char utf8[kLongestUtf8OfFileByte];
    char* end = file_byte_in_utf8(line.charset, c, utf8);
    for (const char* at = utf8; at != end; ++at) take_text(reader, *at);
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = upper(c);
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// What was held of an '=' that no two hex digits followed is text.
void flush_printable(VcardReader& reader) {
    VcardLine& line = reader.current;
    if (line.printable_state >= 1) take_decoded(reader, '=');
    if (line.printable_state == 2) take_decoded(reader, line.printable_digit);
    line.printable_state = 0;
}

// Quoted-printable is decoded in every value, taken or not, so that its '=' at
// a line's end always joins the next line.
void take_value_byte(VcardReader& reader, char c) {
    VcardLine& line = reader.current;
    if (line.property == VcardProperty::kBegin || line.property == VcardProperty::kEnd ||
        line.property == VcardProperty::kVersion) {
        add_to_word(line.value_word, c);
        return;
    }
    if (!line.quoted_printable) {
        take_decoded(reader, c);
        return;
    }
    if (line.printable_state == 0 && c != '=') {
        take_decoded(reader, c);
    } else if (line.printable_state == 0) {
        line.printable_state = 1;
    } else if (line.printable_state == 1 && hex_digit(c) >= 0) {
        line.printable_digit = c;
        line.printable_state = 2;
    } else if (line.printable_state == 2 && hex_digit(c) >= 0) {
        take_decoded(reader, static_cast<char>(hex_digit(line.printable_digit) * 16 + hex_digit(c)));
        line.printable_state = 0;
    } else {
        flush_printable(reader);
        take_value_byte(reader, c);  // with nothing held, it goes on at once
    }
}

// A byte of a line's name or parameters.
void take_head_byte(VcardReader& reader, char c) {
    VcardLine& line = reader.current;
    switch (line.place) {
        case VcardPlace::kName:
            if (c == '.') {
                line.name = {};  // a group prefix: item1.ADR
            } else if (c == ';') {
                line.property = property_named(line.name);
                line.place = VcardPlace::kParameterName;
            } else if (c == ':') {
                start_value(reader);
            } else {
                add_to_word(line.name, c);
            }
            return;
        case VcardPlace::kParameterName:
            if (c == '=') {
                line.place = VcardPlace::kParameterValue;
            } else if (c == ';' || c == ':') {
                // A bare parameter (2.1): HOME, PREF, QUOTED-PRINTABLE.
                take_parameter_value(line, VcardWord{}, line.parameter);
                line.parameter = {};
                if (c == ':') start_value(reader);
            } else {
                add_to_word(line.parameter, c);
            }
            return;
        case VcardPlace::kParameterValue:
            if (c == '"' && line.value_word.length == 0) {
                line.place = VcardPlace::kQuotedParameterValue;
            } else if (c == ',' || c == ';' || c == ':') {
                take_parameter_value(line, line.parameter, line.value_word);
                line.value_word = {};
                if (c != ',') line.parameter = {};
                if (c == ';') line.place = VcardPlace::kParameterName;
                if (c == ':') start_value(reader);
            } else {
                add_to_word(line.value_word, c);
            }
            return;
        case VcardPlace::kQuotedParameterValue:
            // Inside quotes, ':' and ';' are text; a comma still parts two values.
            if (c == '"') {
                line.place = VcardPlace::kParameterValue;
            } else if (c == ',') {
                take_parameter_value(line, line.parameter, line.value_word);
                line.value_word = {};
            } else {
                add_to_word(line.value_word, c);
            }
            return;
        case VcardPlace::kValue:
            take_value_byte(reader, c);
            return;
    }
}

// A whole logical line has been read.
void end_line(VcardReader& reader, ImportRead& read) {
    VcardLine& line = reader.current;
    VcardCard& card = reader.card;
    if (line.empty) return;  // a blank line, before, between, after or in cards
    if (line.place != VcardPlace::kValue) {
        refuse(read, line.line, card.open ? ImportProblem::kNotAProperty : ImportProblem::kOutsideCard, kNoField);
        card.broken = card.broken || card.open;
        return;
    }
    flush_printable(reader);
    // Spaces after BEGIN's, END's and VERSION's value mean nothing.
    while (line.value_word.length > 0 && line.value_word.length <= sizeof line.value_word.bytes &&
           line.value_word.bytes[line.value_word.length - 1] == ' ') {
        --line.value_word.length;
    }
    bool is_card = word_is(line.value_word, "VCARD");
    if (!card.open) {
        if (line.property == VcardProperty::kBegin && is_card) {
            open_card(card, line.line);
        } else {
            refuse(read, line.line, ImportProblem::kOutsideCard, kNoField);
        }
        return;
    }
    switch (line.property) {
        case VcardProperty::kBegin:
            if (!is_card) {
                ++card.left_out;
                return;
            }
            // A card begun in a card: the first never ended.
            refuse(read, card.line, ImportProblem::kNeverEnded, kNoField);
            open_card(card, line.line);
            return;
        case VcardProperty::kEnd:
            if (is_card) {
                close_card(card, read);
            } else {
                ++card.left_out;
            }
            return;
        case VcardProperty::kVersion:
            card.version = line.value_word.length > 0 && line.value_word.bytes[0] >= '2' && line.value_word.bytes[0] <= '4'
                               ? static_cast<unsigned>(line.value_word.bytes[0] - '0')
                               : 0;
            return;
        case VcardProperty::kAdr:
            if (!line.taken) return;
            if (card.has_adr) ++card.left_out;  // the one passed over
            card.has_adr = true;
            card.address = line.address;
            card.address_rank = line.rank;
            return;
        case VcardProperty::kTel:
            if (!line.taken) return;
            if (card.has_tel) ++card.left_out;
            card.has_tel = true;
            card.telephone = line.telephone;
            card.telephone_rank = line.rank;
            card.telephone_uri_given = line.uri;
            card.telephone_text_given = line.text;
            return;
        case VcardProperty::kN:
        case VcardProperty::kFn:
        case VcardProperty::kNote:
        case VcardProperty::kOther:
            return;
    }
}

void take_line_byte(VcardReader& reader, char c) {
    VcardLine& line = reader.current;
    if (line.empty && c != ' ' && c != '\t') line.empty = false;
    if (line.empty) return;
    take_head_byte(reader, c);
}

// A line end that no space or tab folded away.
void end_logical_line(VcardReader& reader, ImportRead& read) {
    reader.break_pending = false;
    end_line(reader, read);
    start_line(reader.current, reader.physical_line, reader.charset);
}

void step(VcardReader& reader, ImportRead& read, char c) {
    if (reader.break_pending) {
        reader.break_pending = false;
        if (c == ' ' || c == '\t') return;  // a fold: the line goes on
        end_logical_line(reader, read);
    }
    if (reader.cr_pending) {
        reader.cr_pending = false;
        if (c != '\n') take_line_byte(reader, '\r');
    }
    if (c == '\n') {
        ++reader.physical_line;
        VcardLine& line = reader.current;
        // A quoted-printable '=' at the end of a line joins the next to it, as it is.
        if (line.place == VcardPlace::kValue && line.quoted_printable && line.printable_state == 1) {
            line.printable_state = 0;
            return;
        }
        reader.break_pending = true;
        return;
    }
    if (c == '\r') {
        reader.cr_pending = true;
        return;
    }
    take_line_byte(reader, c);
}

void give_back_mark(VcardReader& reader, ImportRead& read) {
    reader.at_start = false;
    for (std::size_t at = 0; at < reader.mark_matched; ++at) step(reader, read, kByteOrderMark[at]);
}

}  // namespace

void begin_vcard_read(VcardReader& reader, ImportRead& read, Charset charset) {
    reader = {};
    reader.charset = charset;
    reader.at_start = true;
    reader.physical_line = 1;
    start_line(reader.current, 1, charset);
    begin_import_read(read);
}

void read_vcard_piece(VcardReader& reader, ImportRead& read, const char* bytes, std::size_t length) {
    for (std::size_t at = 0; at < length; ++at) {
        char c = bytes[at];
        if (reader.at_start) {
            if (c == kByteOrderMark[reader.mark_matched]) {
                if (++reader.mark_matched == kByteOrderMark.size()) reader.at_start = false;
                continue;
            }
            give_back_mark(reader, read);
        }
        step(reader, read, c);
    }
}

void end_vcard_read(VcardReader& reader, ImportRead& read) {
    if (reader.at_start) give_back_mark(reader, read);
    if (reader.cr_pending) {
        reader.cr_pending = false;
        reader.break_pending = true;
    }
    end_logical_line(reader, read);
    if (reader.card.open) {
        refuse(read, reader.card.line, ImportProblem::kNeverEnded, kNoField);
        reader.card.open = false;
    }
}

bool starts_as_vcard(const char* bytes, std::size_t length) {
    std::string_view text(bytes, length);
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
    while (!text.empty() && (text.front() == '\r' || text.front() == '\n')) text.remove_prefix(1);
    constexpr std::string_view kBegin = "BEGIN:VCARD";
    if (text.size() < kBegin.size()) return false;
    for (std::size_t at = 0; at < kBegin.size(); ++at) {
        if (upper(text[at]) != kBegin[at]) return false;
    }
    text.remove_prefix(kBegin.size());
    return text.empty() || text.front() == '\r' || text.front() == '\n' || text.front() == ' ';
}
