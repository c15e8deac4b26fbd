// A vCard file's lines: physical lines unfolded into logical ones, and a
// logical line parsed into its group, name, parameters and value. Only the
// bytes of the value are left to decode.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "import/character_set.h"
#include "import/kept_text.h"

// ---- unfolding ---------------------------------------------------------------

// The text being unfolded, where it lies: each logical line is moved back over
// the line ends and spaces that a fold or a soft break takes away.
struct VcardSource {
    char* bytes;
    std::size_t length;
    std::size_t at;     // the next physical line
    std::size_t line;   // its number, from 1
    bool ended;         // the last line has been given
};

// One logical line: its text, the physical line it starts on, and the line
// being read when it was known to end (kFoundAtEnd at the end of the file).
struct LogicalLine {
    std::string_view text;
    std::size_t line;
    std::size_t found_on;
};

// Starts unfolding `bytes`, after a UTF-8 byte-order mark if they start with one.
void begin_vcard_source(VcardSource& source, char* bytes, std::size_t length);
// The next logical line; false after the last. A line end followed by a space or
// tab folds (the space or tab goes too). A quoted-printable value's '=' at the
// end of a line is a soft break: the next line is joined to it as it is, after
// "=\n", for the value's decoding to drop. A line ends at a LF, less a CR just
// before it; a CR elsewhere is text.
bool unfold(VcardSource& source, LogicalLine& line);

// ---- parsing -----------------------------------------------------------------

// Kept of a property's name, a parameter's name or value, or BEGIN's, END's and
// VERSION's value: more than the longest any of them is compared with
// ("QUOTED-PRINTABLE").
constexpr std::size_t kVcardWordKept = 24;
static_assert(std::string_view("QUOTED-PRINTABLE").size() < kVcardWordKept, "the longest word compared is kept whole");

// A word of a line, in upper case.
using VcardWord = KeptText<kVcardWordKept>;

enum class VcardProperty { kOther, kBegin, kEnd, kVersion, kN, kFn, kAdr, kTel, kNote };

// Which of several ADR or TEL a card's field is taken from: the lowest PREF
// (3.0's TYPE=pref and 2.1's PREF count as 1), then one typed home, then the first.
constexpr unsigned kNoPreference = 101;  // past PREF's largest value, 100

struct VcardRank {
    unsigned preference;
    bool home;
};

struct VcardLine {
    bool blank;                     // nothing but spaces and tabs
    bool has_value;                 // NAME:VALUE; otherwise not a property
    std::string_view group;         // before the name and its dot (item1.ADR), all groups of it
    VcardWord name;
    VcardProperty property;
    VcardRank rank;
    bool uri, text;                 // VALUE=uri, VALUE=text
    bool quoted_printable;
    std::optional<Charset> charset; // its CHARSET, when one the importer reads
    std::string_view value;         // after the first colon outside quotes, as it is
};

// Parses one logical line; `line.value` lies in `text`.
void parse_line(std::string_view text, VcardLine& line);

// Whether `word` is `upper`, a word in upper case.
bool word_is(const VcardWord& word, std::string_view upper);

// The upper case of an ASCII letter; any other byte as it is.
char upper_case(char c);
