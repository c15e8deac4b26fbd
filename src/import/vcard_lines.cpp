// Unfolding a vCard where it lies, and parsing its logical lines: the name and
// parameters a byte at a time, as their quotes and separators say.
#include "import/vcard_lines.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "record_store/code_page.h"

namespace {

// ---- unfolding ---------------------------------------------------------------

// Moves the text of the next physical line to `end`, less its line end; returns
// the end of what was moved.
std::size_t take_physical_line(VcardSource& source, std::size_t end) {
    std::size_t left = source.length - source.at;
    const char* from = source.bytes + source.at;
    const void* line_feed = left > 0 ? std::memchr(from, '\n', left) : nullptr;
    std::size_t stop = line_feed != nullptr ? static_cast<std::size_t>(static_cast<const char*>(line_feed) - source.bytes)
                                            : source.length;
    std::size_t text_end = stop > source.at && source.bytes[stop - 1] == '\r' ? stop - 1 : stop;
    std::memmove(source.bytes + end, from, text_end - source.at);
    end += text_end - source.at;
    source.at = line_feed != nullptr ? stop + 1 : source.length;
    if (line_feed != nullptr) ++source.line;
    source.ended = line_feed == nullptr;
    return end;
}

// Whether a line that reads `so_far` ends in a quoted-printable soft break: an
// '=' ending a value that is decoded so (BEGIN's, END's and VERSION's are not).
bool soft_break(std::string_view so_far) {
    if (so_far.empty() || so_far.back() != '=') return false;
    VcardLine line;
    parse_line(so_far, line);
    bool decoded = line.property != VcardProperty::kBegin && line.property != VcardProperty::kEnd &&
                   line.property != VcardProperty::kVersion;
    return line.has_value && line.quoted_printable && decoded && !line.value.empty();
}

// ---- parsing -----------------------------------------------------------------

enum class HeadPlace { kName, kParameterName, kParameterValue, kQuotedParameterValue };

// A line's name and parameters, as far as they are read.
struct HeadParse {
    VcardLine* line;
    HeadPlace place;
    VcardWord parameter;
    VcardWord value_word;
    std::size_t name_start;  // after the last dot of a group
};

void add_to_word(VcardWord& word, char c) {
    keep_byte(word, upper_case(c));
}

struct NamedProperty {
    std::string_view name;
    VcardProperty property;
};

constexpr NamedProperty kNamedProperties[] = {
    {"BEGIN", VcardProperty::kBegin}, {"END", VcardProperty::kEnd}, {"VERSION", VcardProperty::kVersion},
    {"N", VcardProperty::kN},         {"FN", VcardProperty::kFn},   {"ADR", VcardProperty::kAdr},
    {"TEL", VcardProperty::kTel},     {"NOTE", VcardProperty::kNote}};

VcardProperty property_named(const VcardWord& name) {
    const NamedProperty* found = std::find_if(std::begin(kNamedProperties), std::end(kNamedProperties),
                                              [&name](const NamedProperty& named) { return word_is(name, named.name); });
    return found == std::end(kNamedProperties) ? VcardProperty::kOther : found->property;
}

// A PREF's value, read in the bytes kept of it.
void take_preference(VcardLine& line, const VcardWord& value) {
    unsigned preference = 0;
    for (char c : kept_part(value)) {
        if (c < '0' || c > '9' || preference >= kNoPreference) return;
        preference = preference * 10 + static_cast<unsigned>(c - '0');
    }
    if (value.length > 0 && preference < line.rank.preference) line.rank.preference = preference;
}

// One value of a parameter (`TYPE=home,work` has two), or a bare 2.1 parameter.
void take_parameter_value(VcardLine& line, const VcardWord& parameter, const VcardWord& value) {
    if (word_is(parameter, "TYPE") || parameter.length == 0) {
        if (word_is(value, "HOME")) line.rank.home = true;
        if (word_is(value, "PREF") && line.rank.preference > 1) line.rank.preference = 1;
        if (word_is(value, "QUOTED-PRINTABLE")) line.quoted_printable = true;
    } else if (word_is(parameter, "PREF")) {
        take_preference(line, value);
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

// Each of these takes one byte of its place; true at the colon that starts the value.
bool take_name_byte(HeadParse& parse, char c, std::size_t at) {
    if (c == '.') {
        parse.line->name = {};  // a group prefix: item1.ADR
        parse.name_start = at + 1;
    } else if (c == ';') {
        parse.place = HeadPlace::kParameterName;
    } else if (c != ':') {
        add_to_word(parse.line->name, c);
    }
    return c == ':';
}

bool take_parameter_name_byte(HeadParse& parse, char c) {
    if (c == '=') {
        parse.place = HeadPlace::kParameterValue;
    } else if (c == ';' || c == ':') {
        // A bare parameter (2.1): HOME, PREF, QUOTED-PRINTABLE.
        take_parameter_value(*parse.line, VcardWord{}, parse.parameter);
        parse.parameter = {};
    } else {
        add_to_word(parse.parameter, c);
    }
    return c == ':';
}

bool take_parameter_value_byte(HeadParse& parse, char c) {
    if (c == '"' && parse.value_word.length == 0) {
        parse.place = HeadPlace::kQuotedParameterValue;
    } else if (c == ',' || c == ';' || c == ':') {
        take_parameter_value(*parse.line, parse.parameter, parse.value_word);
        parse.value_word = {};
        if (c != ',') parse.parameter = {};
        if (c == ';') parse.place = HeadPlace::kParameterName;
    } else {
        add_to_word(parse.value_word, c);
    }
    return c == ':';
}

// Inside quotes, ':' and ';' are text; a comma still parts two values.
bool take_quoted_byte(HeadParse& parse, char c) {
    if (c == '"') {
        parse.place = HeadPlace::kParameterValue;
    } else if (c == ',') {
        take_parameter_value(*parse.line, parse.parameter, parse.value_word);
        parse.value_word = {};
    } else {
        add_to_word(parse.value_word, c);
    }
    return false;
}

bool take_head_byte(HeadParse& parse, char c, std::size_t at) {
    switch (parse.place) {
        case HeadPlace::kName:
            return take_name_byte(parse, c, at);
        case HeadPlace::kParameterName:
            return take_parameter_name_byte(parse, c);
        case HeadPlace::kParameterValue:
            return take_parameter_value_byte(parse, c);
        case HeadPlace::kQuotedParameterValue:
            return take_quoted_byte(parse, c);
    }
    return false;
}

}  // namespace

char upper_case(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool word_is(const VcardWord& word, std::string_view upper) {
    return word.length == upper.size() && kept_part(word) == upper;
}

void begin_vcard_source(VcardSource& source, char* bytes, std::size_t length) {
    source = {bytes, length, 0, 1, false};
    if (std::string_view(bytes, length).substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        source.at = kByteOrderMark.size();
    }
}

bool unfold(VcardSource& source, LogicalLine& line) {
    if (source.ended) return false;
    std::size_t start = source.at;
    line.line = source.line;
    std::size_t end = take_physical_line(source, start);
    line.found_on = kFoundAtEnd;
    while (!source.ended) {
        if (soft_break(std::string_view(source.bytes + start, end - start))) {
            // Kept as "=\n", where the line feed taken lay or before: the value's decoding
            // ends an escape there, as a soft break does.
            source.bytes[end++] = '\n';
            end = take_physical_line(source, end);
        } else if (source.at == source.length) {
            source.ended = true;
        } else if (source.bytes[source.at] == ' ' || source.bytes[source.at] == '\t') {
            ++source.at;  // a fold: its space or tab goes
            end = take_physical_line(source, end);
        } else {
            line.found_on = source.line;
            break;
        }
    }
    line.text = std::string_view(source.bytes + start, end - start);
    return true;
}

void parse_line(std::string_view text, VcardLine& line) {
    line = {};
    line.rank.preference = kNoPreference;
    std::size_t first = text.find_first_not_of(" \t");
    line.blank = first == std::string_view::npos;
    if (line.blank) return;
    text.remove_prefix(first);
    HeadParse parse{&line, HeadPlace::kName, {}, {}, 0};
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (!take_head_byte(parse, text[at], at)) continue;
        line.has_value = true;
        line.group = text.substr(0, parse.name_start > 0 ? parse.name_start - 1 : 0);
        line.property = property_named(line.name);
        line.value = text.substr(at + 1);
        return;
    }
}
