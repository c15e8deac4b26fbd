// The vCard reader: logical lines (vcard_lines) become cards, each property's
// value decoded (vcard_values) into the field it is chosen for, and each card
// that ends becomes an entry for the record rules.
#include "import/vcard_import.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "record_store/code_page.h"

namespace {

void refuse_at(RefusalList& refusals, std::size_t line, std::size_t found_on, ImportProblem problem) {
    refuse(refusals, {line, found_on, problem, Field::kNone, 0, false, {}});
}

void open_card(VcardCard& card, std::size_t line) {
    card = {};
    card.open = true;
    card.line = line;
    card.full_name.first_line_feed = kNotHeld;
    card.full_name.first_nul = kNotHeld;
}

bool ranks_before(const VcardRank& a, const VcardRank& b) {
    return a.preference != b.preference ? a.preference < b.preference : a.home && !b.home;
}

// Whether the open card takes the value of a property line: the first N, FN and
// NOTE, the ADR and TEL that rank first. What the card holds and no field takes
// is counted as left out.
bool claim(VcardCard& card, const VcardLine& line) {
    bool taken = false;
    switch (line.property) {
        case VcardProperty::kN:
            taken = !card.has_n;
            card.has_n = true;
            break;
        case VcardProperty::kFn:
            taken = !card.has_fn;
            card.has_fn = true;
            break;
        case VcardProperty::kNote:
            taken = !card.has_note;
            card.has_note = true;
            break;
        case VcardProperty::kAdr:
            taken = !card.has_adr || ranks_before(line.rank, card.address_rank);
            break;
        case VcardProperty::kTel:
            taken = !card.has_tel || ranks_before(line.rank, card.telephone_rank);
            break;
        case VcardProperty::kBegin:
        case VcardProperty::kEnd:
        case VcardProperty::kVersion:
        case VcardProperty::kOther:
            break;
    }
    if (!taken) ++card.left_out;
    return taken;
}

// An ADR or TEL chosen over one taken before, which is then counted as left out.
void take_address(VcardCard& card, const VcardLine& line, const DecodedText (&parts)[kComponentsKept]) {
    if (card.has_adr) ++card.left_out;
    card.has_adr = true;
    card.address = {parts[1].whole, parts[2].whole, parts[3].whole, parts[4].whole, parts[5].whole};
    card.address_rank = line.rank;
}

void take_telephone(VcardCard& card, const VcardLine& line, const DecodedText& text) {
    if (card.has_tel) ++card.left_out;
    card.has_tel = true;
    card.telephone = text.whole;
    card.telephone_rank = line.rank;
    card.telephone_uri_given = line.uri;
    card.telephone_text_given = line.text;
}

// The value of a property the card takes, decoded into its field.
void take_value(VcardCard& card, const VcardLine& line, Charset file_charset) {
    bool structured = line.property == VcardProperty::kN || line.property == VcardProperty::kAdr;
    DecodedValue value;
    decode_value(line.value, {line.quoted_printable, line.charset.value_or(file_charset), structured}, value);
    const DecodedText(&parts)[kComponentsKept] = value.components;
    switch (line.property) {
        case VcardProperty::kN:
            card.last_name = parts[0].whole;
            card.first_name = parts[1].whole;
            return;
        case VcardProperty::kFn:
            card.full_name = parts[0];
            return;
        case VcardProperty::kNote:
            card.note = parts[0].whole;
            return;
        case VcardProperty::kAdr:
            take_address(card, line, parts);
            return;
        case VcardProperty::kTel:
            take_telephone(card, line, parts[0]);
            return;
        case VcardProperty::kBegin:
        case VcardProperty::kEnd:
        case VcardProperty::kVersion:
        case VcardProperty::kOther:
            return;
    }
}

// Whether BEGIN's or END's value names a card: VCARD in any case, spaces after
// it meaning nothing; a value longer than a word kept whole names nothing.
bool names_a_card(std::string_view value) {
    if (value.size() > kVcardWordKept) return false;
    std::size_t end = value.find_last_not_of(' ');
    value = value.substr(0, end == std::string_view::npos ? 0 : end + 1);
    VcardWord word{};
    keep_bytes(word, value);
    for (std::size_t at = 0; at < kept_length(word); ++at) word.bytes[at] = upper_case(word.bytes[at]);
    return word_is(word, "VCARD");
}

// A property line of an open card; true when it ends the card, unbroken.
bool take_card_line(VcardReader& reader, const VcardLine& line, const LogicalLine& logical, RefusalList& refusals) {
    VcardCard& card = reader.card;
    bool is_card = names_a_card(line.value);
    switch (line.property) {
        case VcardProperty::kBegin:
            if (!is_card) break;
            // A card begun in a card: the first never ended.
            refuse_at(refusals, card.line, logical.found_on, ImportProblem::kNeverEnded);
            open_card(card, logical.line);
            return false;
        case VcardProperty::kEnd:
            if (!is_card) break;
            card.open = false;
            card.found_on = logical.found_on;
            return !card.broken;
        case VcardProperty::kVersion: {
            char digit = line.value.empty() ? '\0' : line.value.front();
            card.version = digit >= '2' && digit <= '4' ? static_cast<unsigned>(digit - '0') : 0;
            return false;
        }
        default:
            if (claim(card, line)) take_value(card, line, reader.charset);
            return false;
    }
    ++card.left_out;  // BEGIN or END of something else
    return false;
}

// A logical line's place in the file; true when it ends a card that can be taken.
bool take_line(VcardReader& reader, const LogicalLine& logical, RefusalList& refusals) {
    VcardLine line;
    parse_line(logical.text, line);
    VcardCard& card = reader.card;
    if (line.blank) return false;  // before, between, after or in cards
    if (!line.has_value) {
        refuse_at(refusals, logical.line, logical.found_on,
                  card.open ? ImportProblem::kNotAProperty : ImportProblem::kOutsideCard);
        card.broken = card.broken || card.open;
        return false;
    }
    if (card.open) return take_card_line(reader, line, logical, refusals);
    if (line.property == VcardProperty::kBegin && names_a_card(line.value)) {
        open_card(card, logical.line);
    } else {
        refuse_at(refusals, logical.line, logical.found_on, ImportProblem::kOutsideCard);
    }
    return false;
}

// `from` added at the end of `to`, whether or not all of either was kept.
void append_field(FieldText& to, const FieldText& from) {
    keep_bytes(to.text, kept_part(from.text));
    to.text.length += from.text.length - kept_length(from.text);
    to.line_break = to.line_break || from.line_break;
    to.nul = to.nul || from.nul;
}

// A tel: URI's text without its scheme.
void drop_tel_scheme(FieldText& telephone) {
    constexpr std::string_view kScheme = "TEL:";
    std::string_view start = kept_part(telephone.text).substr(0, kScheme.size());
    auto same = [](char scheme, char c) { return scheme == upper_case(c); };
    if (!std::equal(kScheme.begin(), kScheme.end(), start.begin(), start.end(), same)) return;
    std::size_t kept = kept_length(telephone.text);
    std::memmove(telephone.text.bytes, telephone.text.bytes + kScheme.size(), kept - kScheme.size());
    telephone.text.length -= kScheme.size();
}

// The last name and first name: N's, or else FN's last word and what comes before it.
void names_of(const VcardCard& card, FieldText& last, FieldText& first) {
    if (card.has_n) {
        last = card.last_name;
        first = card.first_name;
        return;
    }
    const DecodedText& full = card.full_name;
    last = full.spaced ? full.last_word : full.whole;
    first = full.spaced ? text_head(full, full.last_space) : FieldText{};
}

void take_card(ImportRead& read, const VcardCard& card) {
    read.left_out += card.left_out;
    FieldText fields[kFieldCount];
    if (!card_to_entry(card, fields)) {
        refuse_at(read.refusals, card.line, card.found_on, ImportProblem::kNoName);
        return;
    }
    Entry entry{{}, card.line, card.found_on, card.has_fn ? &card.full_name.whole : nullptr};
    for (std::size_t field = 0; field < kFieldCount; ++field) entry.fields[field] = &fields[field];
    (void)take_entry(read, entry);
}

}  // namespace

void begin_vcard_read(VcardReader& reader, char* bytes, std::size_t length, Charset charset) {
    begin_vcard_source(reader.source, bytes, length);
    reader.charset = charset;
    reader.card = {};
}

bool next_card(VcardReader& reader, RefusalList& refusals, VcardCard& card) {
    LogicalLine logical;
    while (unfold(reader.source, logical)) {
        if (!take_line(reader, logical, refusals)) continue;
        card = reader.card;
        return true;
    }
    if (reader.card.open) {
        refuse_at(refusals, reader.card.line, kFoundAtEnd, ImportProblem::kNeverEnded);
        reader.card.open = false;
    }
    return false;
}

bool card_to_entry(const VcardCard& card, FieldText (&fields)[kFieldCount]) {
    if (!card.has_n && !card.has_fn) return false;
    names_of(card, fields[index_of(Field::kLastName)], fields[index_of(Field::kFirstName)]);
    FieldText& address = fields[index_of(Field::kAddress)];
    address = card.address.extended;
    if (address.text.length > 0 && card.address.street.text.length > 0) append_to_field(address, ' ');
    append_field(address, card.address.street);
    fields[index_of(Field::kCity)] = card.address.city;
    fields[index_of(Field::kProvinceCode)] = card.address.region;
    fields[index_of(Field::kPostalCode)] = card.address.postal_code;
    FieldText& telephone = fields[index_of(Field::kTelephone)];
    telephone = card.telephone;
    if (card.telephone_uri_given || (card.version == 4 && !card.telephone_text_given)) drop_tel_scheme(telephone);
    fields[index_of(Field::kYearModel)] = card.note;
    return true;
}

void read_vcard(char* bytes, std::size_t length, Charset charset, ImportRead& read) {
    begin_import_read(read);
    VcardReader reader;
    VcardCard card;
    begin_vcard_read(reader, bytes, length, charset);
    while (next_card(reader, read.refusals, card)) take_card(read, card);
}

bool starts_as_vcard(std::string_view bytes) {
    std::string_view text = bytes;
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
    while (!text.empty() && (text.front() == '\r' || text.front() == '\n')) text.remove_prefix(1);
    constexpr std::string_view kBegin = "BEGIN:VCARD";
    if (text.size() < kBegin.size()) return false;
    for (std::size_t at = 0; at < kBegin.size(); ++at) {
        if (upper_case(text[at]) != kBegin[at]) return false;
    }
    text.remove_prefix(kBegin.size());
    return text.empty() || text.front() == '\r' || text.front() == '\n' || text.front() == ' ';
}
