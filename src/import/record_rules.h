// What every format's importer shares: the fields of a record by name, the text
// of a field as a file gives it, the rules that turn the eight fields of one
// entry into a record the entry form could have stored (or into the reasons it
// could not), and the refusals gathered for the user.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

#include "import/kept_text.h"
#include "record_store/code_page.h"
#include "record_store/customer_record.h"

// The fields in record order; kNone for a problem that has no field.
enum class Field : std::size_t {
    kLastName, kFirstName, kAddress, kCity, kProvinceCode, kPostalCode, kTelephone, kYearModel, kNone
};

constexpr std::size_t index_of(Field field) {
    return static_cast<std::size_t>(field);
}

constexpr const FieldLayout& layout_of(Field field) {
    return kFieldLayouts[index_of(field)];
}

static_assert(index_of(Field::kNone) == kFieldCount, "one name for each field of the layout");
static_assert(layout_of(Field::kFirstName).offset == offsetof(CustomerRecord, first_name) &&
                  layout_of(Field::kAddress).offset == offsetof(CustomerRecord, address) &&
                  layout_of(Field::kCity).offset == offsetof(CustomerRecord, city) &&
                  layout_of(Field::kProvinceCode).offset == offsetof(CustomerRecord, province_code) &&
                  layout_of(Field::kPostalCode).offset == offsetof(CustomerRecord, postal_code) &&
                  layout_of(Field::kTelephone).offset == offsetof(CustomerRecord, telephone) &&
                  layout_of(Field::kYearModel).offset == offsetof(CustomerRecord, year_model),
              "the names follow the layout's order");

constexpr std::size_t kWidestLimit =
    std::max_element(std::begin(kFieldLayouts), std::end(kFieldLayouts),
                     [](const FieldLayout& a, const FieldLayout& b) { return a.limit < b.limit; })->limit;

// A field's text in UTF-8 is kept this far: a longer one is past every limit,
// whatever its characters.
constexpr std::size_t kFieldBytesKept = kWidestLimit * kMaxUtf8Bytes;
static_assert(kFieldBytesKept == std::size_t{29} * 4, "the address, 29 characters of 4 bytes, is the longest text kept");

// The text of one field, in UTF-8, fed a byte at a time.
struct FieldText {
    KeptText<kFieldBytesKept> text;
    bool line_break;  // a line feed anywhere in it
    bool nul;         // a NUL anywhere in it
};

inline void append_to_field(FieldText& field, char c) {
    keep_byte(field.text, c);
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

// The first refusals are kept to be reported; the rest are counted.
constexpr std::size_t kRefusalsKept = 20;
// Where a problem found when the input had ended was found.
constexpr std::size_t kFoundAtEnd = SIZE_MAX;

struct ImportRefusal {
    std::size_t line;      // where the row or card starts, or the line at fault; from 1
    std::size_t found_on;  // the line of the input being read when it was found, or kFoundAtEnd
    ImportProblem problem;
    Field field;
    std::size_t count;     // kWrongFieldCount: how many fields the row has
    bool named;            // `text` names the card (its FN) the problem is in
    KeptText<kFieldBytesKept> text;  // the label, or the card's name, in UTF-8: what was kept of it
};

struct RefusalList {
    ImportRefusal kept[kRefusalsKept];
    std::size_t count;  // every refusal, kept or not
};

// Counts a refusal, and keeps it while fewer than kRefusalsKept are.
void refuse(RefusalList& refusals, const ImportRefusal& refusal);

// Two lists, each in the order found, as one in that order: on the same line,
// those of `first` come first.
void merge_refusals(const RefusalList& first, const RefusalList& second, RefusalList& out);

// The whole of a read. Entries past kMaxRecords are read and checked but not
// kept: no list can take them.
struct ImportRead {
    CustomerRecord records[kMaxRecords];
    std::size_t entries;        // every entry read and found sound
    RefusalList refusals;
    std::size_t left_out;       // what a file held that no field takes (a vCard's other properties)
    std::size_t lacking;        // characters of the entries taken that the list's code page lacks
};

// Starts a read afresh: nothing taken, refused or counted yet.
void begin_import_read(ImportRead& read);

// The eight fields of one entry in UTF-8, where it starts and where it was
// found, and the card's name that a refusal shows, if it has one.
struct Entry {
    const FieldText* fields[kFieldCount];
    std::size_t line;
    std::size_t found_on;
    const FieldText* name;
};

// Taken as a record when the entry form could have stored every field: within
// its limit in characters (a byte that starts no UTF-8 character is taken as
// the code page 850 byte it is), no line feed, no NUL; each character the code
// page lacks becomes kNoSuchCharacter and is counted. Otherwise each fault is
// refused, naming the line and, for a card, its name. True when taken.
bool take_entry(ImportRead& read, const Entry& entry);

// The text of a field in the list's code page, at `out` (room for kFieldBytesKept);
// its length. Of a text not kept whole, what was kept.
std::size_t field_in_list(const FieldText& field, char* out);
