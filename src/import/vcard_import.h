// Reading vCards (2.1, 3.0 and 4.0, as address books write them) into records,
// fed piece by piece: any split of the input gives the same cards. N, FN, ADR, TEL
// and NOTE go to the record rules; every other property is counted as left out.
#pragma once

#include <cstddef>

#include "import/character_set.h"
#include "import/record_rules.h"

// Kept of a property's name, a parameter's name or value, or BEGIN's, END's and
// VERSION's value: more than the longest any of them is compared with
// ("QUOTED-PRINTABLE").
constexpr std::size_t kVcardWordKept = 24;

struct VcardWord {
    char bytes[kVcardWordKept];  // in upper case
    std::size_t length;          // all of it, kept or not
};

enum class VcardProperty { kOther, kBegin, kEnd, kVersion, kN, kFn, kAdr, kTel, kNote };

// Where a line is: in its name, its parameters, its value; or skipped.
enum class VcardPlace { kName, kParameterName, kParameterValue, kQuotedParameterValue, kValue };

// Which of several ADR or TEL a card's field is taken from: the lowest PREF
// (3.0's TYPE=pref and 2.1's PREF count as 1), then one typed home, then the first.
constexpr unsigned kNoPreference = 101;  // past PREF's largest value, 100

struct VcardRank {
    unsigned preference;
    bool home;
};

// A name read whole, with where it can be cut into a first name and the last word.
struct VcardName {
    FieldText whole;
    FieldText last_word;           // after the last space
    std::size_t last_space;        // where it is in `whole`; none when `spaced` is false
    bool spaced;
    std::size_t first_line_feed;   // of `whole`, or its length when none
    std::size_t first_nul;
};

struct VcardAddress {
    FieldText extended;
    FieldText street;
    FieldText city;
    FieldText region;
    FieldText postal_code;
};

// One card, as its lines come.
struct VcardCard {
    bool open;
    bool broken;                // a line of it was refused
    std::size_t line;           // where BEGIN:VCARD is
    unsigned version;           // 2, 3 or 4; 0 until VERSION is read
    bool has_n, has_fn, has_adr, has_tel, has_note;
    FieldText last_name;
    FieldText first_name;
    VcardName full_name;
    VcardAddress address;
    VcardRank address_rank;
    FieldText telephone;
    VcardRank telephone_rank;
    bool telephone_uri_given, telephone_text_given;  // VALUE=uri, VALUE=text
    FieldText note;
    std::size_t left_out;
};

// The property being read on the current line.
struct VcardLine {
    std::size_t line;           // where it starts
    bool empty;                 // nothing but spaces and tabs so far
    VcardPlace place;
    VcardWord name;
    VcardWord parameter;
    VcardWord value_word;       // a parameter's value, or BEGIN's, END's, VERSION's
    VcardProperty property;
    bool taken;                 // its value goes to the card's fields
    VcardRank rank;
    bool uri, text;             // VALUE=uri, VALUE=text
    bool quoted_printable;
    Charset charset;            // its CHARSET's, or the file's
    unsigned printable_state;   // of quoted-printable: 0, or after '=' (1) and a digit (2)
    char printable_digit;
    bool escaped;               // after a backslash
    std::size_t component;      // of a structured value (N, ADR), from 0
    VcardAddress address;       // an ADR being read
    FieldText telephone;        // a TEL being read
};

struct VcardReader {
    Charset charset;            // of the file, for a property without CHARSET
    std::size_t mark_matched;
    bool at_start;
    bool cr_pending;            // a CR, which a LF right after makes a line end
    bool break_pending;         // a line end, which a space or tab right after folds away
    std::size_t physical_line;  // of the byte being read, from 1
    VcardLine current;
    VcardCard card;
};

// Starts a read into `read` of a file in `charset`.
void begin_vcard_read(VcardReader& reader, ImportRead& read, Charset charset);
// Reads the next piece of the file's bytes.
void read_vcard_piece(VcardReader& reader, ImportRead& read, const char* bytes, std::size_t length);
// The file has ended: the last line is read, and a card left open refused.
void end_vcard_read(VcardReader& reader, ImportRead& read);

// Whether a file starting with `bytes` (its first piece) is a vCard file: its
// first line that is not blank, after a byte-order mark, is BEGIN:VCARD in any case.
bool starts_as_vcard(const char* bytes, std::size_t length);
