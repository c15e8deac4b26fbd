// What every format's importer shares: the text of a field as a file gives it,
// the rules that turn the eight named fields of one entry into a record the entry
// form could have stored (or into the reasons it could not), and the refusals.
#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <string_view>

#include "record_store/customer_record.h"

// The longest UTF-8 character: a field's text within its limit takes at most
// this many bytes a character.
constexpr std::size_t kLongestUtf8Character = 4;

constexpr std::size_t kWidestLimit =
    std::max_element(std::begin(kFieldLayouts), std::end(kFieldLayouts),
                     [](const FieldLayout& a, const FieldLayout& b) { return a.limit < b.limit; })->limit;

// A field's text in UTF-8 (or in the list's code page, byte for byte) is kept
// this far: a longer one is past every limit, whatever its characters.
constexpr std::size_t kFieldBytesKept = kWidestLimit * kLongestUtf8Character;
static_assert(kFieldBytesKept == std::size_t{29} * 4, "the address, 29 characters of 4 bytes, is the longest text kept");

// The text of one field, fed a byte at a time.
struct FieldText {
    char bytes[kFieldBytesKept];  // its first bytes
    std::size_t length;           // all of them, kept or not
    bool line_break;              // a line feed anywhere in it
    bool nul;                     // a NUL anywhere in it
};

inline void append_to_field(FieldText& field, char c) {
    if (field.length < sizeof field.bytes) field.bytes[field.length] = c;
    ++field.length;
    field.line_break = field.line_break || c == '\n';
    field.nul = field.nul || c == '\0';
}

// What is wrong with an entry, or with the file around it.
enum class ImportProblem {
    // A CSV header or row.
    kMissingColumn,    // `field` has no column
    kUnknownColumn,    // a label no field has, kept in `text`
    kRepeatedColumn,   // `field` has two columns
    kQuoteInBareField, // in `field`, once the header has said which it is
    kTextAfterQuote,   // in `field`
    kQuoteNeverClosed, // in `field`
    kWrongFieldCount,  // the row has `count` fields
    // A vCard file's structure.
    kNotAProperty,     // a line in a card that is not NAME:VALUE
    kOutsideCard,      // a line before, between or after the cards
    kNeverEnded,       // a card with no END:VCARD, by the line where it starts
    kNoName,           // a card with neither N nor FN
    // A file read as UTF-8 because the user said so.
    kNotUtf8,          // a byte on the line that is not UTF-8
    // Any entry: what the entry form could not have stored.
    kTooLong,          // `field` is longer than its limit
    kLineBreak,        // `field` holds a line feed
    kNul,              // `field` holds a NUL
};

// The field of a problem that has none.
constexpr std::size_t kNoField = kFieldCount;
// The first refusals are kept to be reported; the rest are counted.
constexpr std::size_t kRefusalsKept = 20;
// Enough of an unknown label, or of a card's name, to name it.
constexpr std::size_t kRefusalTextKept = 40;

struct ImportRefusal {
    std::size_t line;   // where the row or card starts, or the line at fault; from 1
    ImportProblem problem;
    std::size_t field;  // in record order; kNoField where the problem has none
    std::size_t count;  // kWrongFieldCount: how many fields the row has
    bool named;         // `text` names the card (its FN) the problem is in
    char text[kRefusalTextKept];  // the label, or the card's name, in the list's code page
    std::size_t text_length;      // of what is kept
    bool text_cut;
};

// The whole of a read, gathered as the bytes come in. Entries past kMaxRecords
// are read and checked but not kept: no list can take them.
struct ImportRead {
    CustomerRecord records[kMaxRecords];
    std::size_t entries;        // every entry read and found sound
    ImportRefusal refusals[kRefusalsKept];
    std::size_t refusal_count;  // every refusal, kept or not
    std::size_t left_out;       // what a file held that no field takes (a vCard's other properties)
    std::size_t lacking;        // characters of the entries taken that the list's code page lacks
};

void begin_import_read(ImportRead& read);

// Counts a refusal, and keeps it while fewer than kRefusalsKept are. `text` is in
// the list's code page; `named` says it names a card.
void refuse(ImportRead& read, std::size_t line, ImportProblem problem, std::size_t field, std::size_t count = 0,
            std::string_view text = {}, bool named = false);

// The eight fields of one entry, in record order, in UTF-8 (a byte that starts
// no UTF-8 character is taken as the code page 850 byte it is). Taken as a
// record when the entry form could have stored every one: within its limit in
// characters, no line feed, no NUL; each character the code page lacks becomes
// kNoSuchCharacter and is counted. Otherwise each fault is refused, naming the
// line and, for a card, its name. True when taken.
bool take_entry(ImportRead& read, std::size_t line, const FieldText* const (&fields)[kFieldCount],
                std::string_view name = {}, bool named = false);

// The text of a field in the list's code page, at `out` (room for kFieldBytesKept);
// its length. Of a text not kept whole, what was kept.
std::size_t field_in_list(const FieldText& field, char* out);
