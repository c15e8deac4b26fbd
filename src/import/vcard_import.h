// Reading vCards (2.1, 3.0 and 4.0, as address books write them) into records:
// the file's logical lines gathered into cards, pulled one at a time, and each
// card's N, FN, ADR, TEL and NOTE made the fields of an entry for the record
// rules; every other property is counted as left out.
#pragma once

#include <cstddef>
#include <string_view>

#include "import/character_set.h"
#include "import/record_rules.h"
#include "import/vcard_lines.h"
#include "import/vcard_values.h"

struct VcardAddress {
    FieldText extended;
    FieldText street;
    FieldText city;
    FieldText region;
    FieldText postal_code;
};

// One card, as its lines come: for each field, the value chosen so far.
struct VcardCard {
    bool open;
    bool broken;                // a line of it was refused
    std::size_t line;           // where BEGIN:VCARD is
    std::size_t found_on;       // where its END:VCARD was known to end
    unsigned version;           // 2, 3 or 4; 0 until VERSION is read
    bool has_n, has_fn, has_adr, has_tel, has_note;
    FieldText last_name;
    FieldText first_name;
    DecodedText full_name;
    VcardAddress address;
    VcardRank address_rank;
    FieldText telephone;
    VcardRank telephone_rank;
    bool telephone_uri_given, telephone_text_given;  // VALUE=uri, VALUE=text
    FieldText note;
    std::size_t left_out;
};

struct VcardReader {
    VcardSource source;
    Charset charset;  // of the file, for a property without CHARSET
    VcardCard card;
};

// Starts reading `bytes`, a file in `charset`, which the reader unfolds in place.
void begin_vcard_read(VcardReader& reader, char* bytes, std::size_t length, Charset charset);
// The next card that ends and had no line refused; false at the end of the
// file. What breaks the file's structure is refused in `refusals` as it is met.
bool next_card(VcardReader& reader, RefusalList& refusals, VcardCard& card);

// The fields a card gives, in record order: N, or else FN cut at its last
// space; the extended address before the street; a TEL that is a URI without
// its scheme. False when the card has no name, neither N nor FN.
bool card_to_entry(const VcardCard& card, FieldText (&fields)[kFieldCount]);

// Reads the whole file into `read`; its bytes are unfolded where they lie.
void read_vcard(char* bytes, std::size_t length, Charset charset, ImportRead& read);

// Whether a file is a vCard file: its first line that is not blank, after a
// byte-order mark, is BEGIN:VCARD in any case.
bool starts_as_vcard(std::string_view bytes);
