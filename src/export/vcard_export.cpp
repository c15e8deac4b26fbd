// Formats the record table as vCards: the UID of each, its escaped values and
// the folding of its lines.
#include "export/vcard_export.h"

#include <algorithm>

#include "export/sha1.h"

namespace {

constexpr std::size_t decimal_digits(std::size_t number) {
    return number < 10 ? 1 : 1 + decimal_digits(number / 10);
}

constexpr const FieldLayout& kLastName = kFieldLayouts[0];
constexpr const FieldLayout& kFirstName = kFieldLayouts[1];
// The fields of ADR, in its order (street, locality, region, postal code), then TEL and NOTE.
constexpr std::size_t kStreet = 2;
constexpr std::size_t kPostalCode = 5;
constexpr const FieldLayout& kTelephone = kFieldLayouts[6];
constexpr const FieldLayout& kYearModel = kFieldLayouts[7];
static_assert(kLastName.label == "Last Name" && kFirstName.label == "First Name" &&
                  kFieldLayouts[kStreet].label == "Address" && kFieldLayouts[kStreet + 1].label == "City" &&
                  kFieldLayouts[kStreet + 2].label == "Province Code" &&
                  kFieldLayouts[kPostalCode].label == "Postal Code" && kTelephone.label == "Telephone Number" &&
                  kYearModel.label == "Year & Model",
              "each field goes to its property");
// The UID's name: last name, NUL, first name, NUL, the ordinal among twins.
constexpr std::size_t kUidNameCapacity = kLastName.width + 1 + kFirstName.width + 1 + decimal_digits(kMaxRecords - 1);

// One content line before it is folded.
struct Line {
    std::size_t length;
    char bytes[kLongestLine];
};

void put_text(Line& line, std::string_view text) {
    line.length = static_cast<std::size_t>(std::copy(text.begin(), text.end(), line.bytes + line.length) - line.bytes);
}

// A field's text, escaped as vCard text: a backslash before `\`, `,` and `;`,
// and every line break (CR, LF or CR LF) as `\n`, the one vCard knows.
void put_field(Line& line, std::string_view text) {
    char* out = line.bytes + line.length;
    for (std::size_t at = 0; at < text.size(); ++at) {
        char byte = text[at];
        if (byte == '\\' || byte == ',' || byte == ';') {
            *out++ = '\\';
            *out++ = byte;
        } else if (byte == '\r' || byte == '\n') {
            if (byte == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
            *out++ = '\\';
            *out++ = 'n';
        } else {
            out = list_to_utf8(text.substr(at, 1), out);
        }
    }
    line.length = static_cast<std::size_t>(out - line.bytes);
}

bool continues_character(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// Writes the line at `out`, CR LF after each piece of at most kFoldWidth octets
// and a space before each piece but the first, never cutting a UTF-8 character.
char* put_line(char* out, const Line& line) {
    std::size_t at = 0;
    std::size_t room = kFoldWidth;
    for (;;) {
        std::size_t end = std::min(line.length, at + room);
        while (end < line.length && continues_character(line.bytes[end])) --end;
        out = std::copy(line.bytes + at, line.bytes + end, out);
        *out++ = '\r';
        *out++ = '\n';
        if (end == line.length) return out;
        *out++ = ' ';
        at = end;
        room = kFoldWidth - 1;
    }
}

std::string_view field(const CustomerRecord& record, const FieldLayout& layout) {
    return field_text(reinterpret_cast<const char*>(&record) + layout.offset, layout.width);
}

// The version 5 UUID of the record's names and its ordinal among the earlier
// records with the same two names (RFC 4122, 4.3), as text.
void put_uuid(const RecordTable& table, std::size_t row, char (&text)[kUuidTextLength]) {
    std::string_view last = field(table.slots[row], kLastName);
    std::string_view first = field(table.slots[row], kFirstName);
    std::size_t ordinal = 0;
    for (std::size_t earlier = 0; earlier < row; ++earlier) {
        if (field(table.slots[earlier], kLastName) == last && field(table.slots[earlier], kFirstName) == first) {
            ++ordinal;
        }
    }
    std::uint8_t message[sizeof kUidNamespace + kUidNameCapacity];
    std::uint8_t* out = std::copy(std::begin(kUidNamespace), std::end(kUidNamespace), message);
    out = std::copy(last.begin(), last.end(), out);
    *out++ = 0;
    out = std::copy(first.begin(), first.end(), out);
    *out++ = 0;
    char digits[decimal_digits(kMaxRecords - 1)];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + ordinal % 10);
        ordinal /= 10;
    } while (ordinal > 0);
    out = std::reverse_copy(digits, digits + count, out);
    std::uint8_t digest[kSha1DigestSize];
    sha1(message, static_cast<std::size_t>(out - message), digest);
    digest[6] = static_cast<std::uint8_t>((digest[6] & 0x0F) | 0x50);  // version 5
    digest[8] = static_cast<std::uint8_t>((digest[8] & 0x3F) | 0x80);  // the RFC 4122 variant
    constexpr char kHex[] = "0123456789abcdef";
    std::size_t at = 0;
    for (std::size_t i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text[at++] = '-';
        text[at++] = kHex[digest[i] >> 4];
        text[at++] = kHex[digest[i] & 0x0F];
    }
}

char* put_card(char* out, const CustomerRecord& record, VcardVersion version,
               const char (&uuid)[kUuidTextLength]) {
    out = std::copy(kCardBegin.begin(), kCardBegin.end(), out);
    std::string_view version_line = version == VcardVersion::k30 ? kVersion30 : kVersion40;
    out = std::copy(version_line.begin(), version_line.end(), out);
    Line line{};
    put_text(line, kUidStart);
    put_text(line, std::string_view(uuid, kUuidTextLength));
    out = put_line(out, line);

    std::string_view last = field(record, kLastName);
    std::string_view first = field(record, kFirstName);
    line.length = 0;
    put_text(line, kFormattedName);
    if (last.empty() && first.empty()) put_text(line, kNoName);
    put_field(line, first);
    if (!last.empty() && !first.empty()) put_text(line, " ");
    put_field(line, last);
    out = put_line(out, line);

    line.length = 0;
    put_text(line, kName);
    put_field(line, last);
    put_text(line, ";");
    put_field(line, first);
    put_text(line, ";;;");
    out = put_line(out, line);

    // Street, locality, region, postal code, then the empty country.
    line.length = 0;
    put_text(line, kAddress);
    for (std::size_t index = kStreet; index <= kPostalCode; ++index) {
        put_field(line, field(record, kFieldLayouts[index]));
        put_text(line, ";");
    }
    out = put_line(out, line);

    std::string_view telephone = field(record, kTelephone);
    if (!telephone.empty()) {
        line.length = 0;
        put_text(line, version == VcardVersion::k30 ? kTelephone30 : kTelephone40);
        put_field(line, telephone);
        out = put_line(out, line);
    }
    std::string_view year_model = field(record, kYearModel);
    if (!year_model.empty()) {
        line.length = 0;
        put_text(line, kNote);
        put_field(line, year_model);
        out = put_line(out, line);
    }
    return std::copy(kCardEnd.begin(), kCardEnd.end(), out);
}

}  // namespace

void format_vcards(const RecordTable& table, VcardVersion version, VcardText& cards) {
    char* out = cards.bytes;
    for (std::size_t row = 0; row < table.count; ++row) {
        put_uuid(table, row, cards.uuids[row]);
        out = put_card(out, table.slots[row], version, cards.uuids[row]);
        cards.card_ends[row] = static_cast<std::size_t>(out - cards.bytes);
    }
    cards.card_count = table.count;
    cards.length = static_cast<std::size_t>(out - cards.bytes);
}
