// The importer's readers, driven directly: each file of a table gives the
// records and refusals it names.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "import/character_set.h"
#include "import/csv_import.h"
#include "import/refusal_text.h"
#include "import/vcard_import.h"
#include "test_support.h"

namespace {

const std::string kHeader =
    "Last Name,First Name,Address,City,Province Code,Postal Code,Telephone Number,Year & Model\r\n";
const std::string kBom = "\xEF\xBB\xBF";

// What a read gave: its records as bytes, and each refusal by line, problem and field.
struct Outcome {
    std::string records;
    std::vector<std::string> refusals;
    std::size_t refusal_count = 0;
    std::size_t left_out = 0;
};

Outcome outcome_of(const ImportRead& read) {
    Outcome outcome;
    std::size_t kept = read.entries < kMaxRecords ? read.entries : kMaxRecords;
    outcome.records.assign(reinterpret_cast<const char*>(read.records), kept * kRecordSize);
    // Each refusal as the user reads it, on a terminal that is not UTF-8.
    for (std::size_t i = 0; i < read.refusals.count && i < kRefusalsKept; ++i) {
        char line[kRefusalLineSize];
        refusal_line(read.refusals.kept[i], false, line);
        outcome.refusals.emplace_back(line);
    }
    outcome.refusal_count = read.refusals.count;
    outcome.left_out = read.left_out;
    return outcome;
}

// Static: too large for a test's stack.
ImportRead g_read;

Outcome read_csv_file(const std::string& file) {
    read_csv(file, Charset::kUtf8, g_read);
    return outcome_of(g_read);
}

// The vCard reader unfolds the file where it lies: it reads a copy.
Outcome read_vcard_file(std::string file) {
    read_vcard(file.data(), file.size(), Charset::kUtf8, g_read);
    return outcome_of(g_read);
}

struct CsvCase {
    const char* name;
    std::string file;
    std::string records;          // what the whole read adds
    std::size_t refusal_count;
};

TEST(CsvReaderTest, FilesGiveTheirRecords) {
    const CsvCase cases[] = {
        {"a byte-order mark, then one in a field, a character the code page lacks", kBom + kHeader + kBom + "x,\xC3\xA9,,,,,,\r\n",
         record_bytes({"?x", "\x82"}), 0},
        {"a byte-order mark cut short is text of the header", "\xEF\xBB" + kHeader, "", 2},
        {"characters of two, three and four bytes, and overlong forms kept as bytes",
         kHeader + "\xC3\xA9t\xC3\xA9,\xE2\x95\xAC,\xF0\x9F\x98\x80,\xE0\x80\xAF,,\xF0\x80\x80\xAF,,\n",
         record_bytes({"\x82t\x82", "\xCE", "?", "\xE0\x80\xAF", "", "\xF0\x80\x80\xAF"}), 0},
        {"quotes, doubled quotes, commas and line ends in quotes", kHeader + "\"a,\"\"b\"\"\",\"\r\",,,,,,\"y\"\r\n",
         record_bytes({"a,\"b\"", "\r", "", "", "", "", "", "y"}), 0},
        {"CR LF, LF, a lone CR, empty lines and a last row ending in CR", "\r\n\n" + kHeader + "a\rb,,,,,,,\n\r\nc,,,,,,,\r",
         record_bytes({"a\rb"}) + record_bytes({"c"}), 0},
        {"a quote fault skips its row to the line end outside quotes", kHeader + "\"a\"b,\"x\ny\",,,,,,\nc,,,,,,,",
         record_bytes({"c"}), 1},
        {"too long, a line break, a NUL, a wrong count", kHeader + std::string(20, 'L') + ",\"a\nb\",,,,,,\n" +
                                                           std::string("n\0,,,,,,,\n", 10) + "a,b\n",
         "", 4},
    };
    for (const CsvCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome whole = read_csv_file(c.file);
        EXPECT_EQ(whole.records, c.records);
        EXPECT_EQ(whole.refusal_count, c.refusal_count);
    }
}

// A card as it would be written: lines of `card` joined by CR LF, each ended by one.
std::string crlf(std::initializer_list<const char*> lines) {
    std::string file;
    for (const char* line : lines) file += std::string(line) + "\r\n";
    return file;
}

struct CardCase {
    const char* name;
    std::string file;
    std::string records;
    std::size_t left_out;
};

// Cards as the exporter, the address-book peers and common address books write them.
TEST(VcardReaderTest, CardsAsAddressBooksWriteThem) {
    const std::string tremblay = record_bytes({"Tr\x82mblay", "Jean", "48 Elm, Avenue", "Toronto", "ON", "M5V 2T6",
                                               "416-555-0199", "2001 Sedan"});
    const CardCase cases[] = {
        {"3.0 as the exporter writes it, folded at 75 octets inside a character", crlf({
             "BEGIN:VCARD", "VERSION:3.0", "UID:urn:uuid:3f1c2a36-7d0e-5b1a-9c4e-2f6a8b0d1e57",
             "FN:Jean Tr\xC3\xA9mblay", "N:Tr\xC3\xA9mblay;Jean;;;",
             "ADR;TYPE=home:;;48 Elm\\, Avenue;Toronto;ON;M5V 2T6;",
             "TEL;TYPE=voice:416-555-0199", "NOTE:2001 Sedan", "END:VCARD"}),
         tremblay, 1},
        {"a fold inside a two-byte character, CR LF and a space",
         "BEGIN:VCARD\r\nN:Tr\xC3\r\n \xA9mblay;Jean\r\nEND:VCARD\r\n", record_bytes({"Tr\x82mblay", "Jean"}), 0},
        {"escapes: backslash, comma, semicolon; a semicolon in a text value is text",
         crlf({"BEGIN:VCARD", "VERSION:4.0", "N:a\\\\b\\;c;d\\,e;;", "NOTE:x;y\\;z", "END:VCARD"}),
         record_bytes({"a\\b;c", "d,e", "", "", "", "", "", "x;y;z"}), 0},
        {"4.0: a text TEL is kept as typed, a URI TEL loses its scheme",
         crlf({"BEGIN:VCARD", "VERSION:4.0", "N:A;;;;", "TEL;VALUE=text;TYPE=voice:tel:555-0100", "END:VCARD",
               "BEGIN:VCARD", "VERSION:4.0", "N:B;;;;", "TEL;TYPE=cell:tel:+1-555-0101", "END:VCARD",
               "BEGIN:VCARD", "VERSION:3.0", "N:C;;;;", "TEL;VALUE=uri:TEL:555-0102", "TEL:tel:555", "END:VCARD"}),
         record_bytes({"A", "", "", "", "", "", "tel:555-0100"}) + record_bytes({"B", "", "", "", "", "", "+1-555-0101"}) +
             record_bytes({"C", "", "", "", "", "", "555-0102"}),
         1},
        {"grouped properties, both parameter syntaxes, any case; the home ADR and TEL before the first",
         crlf({"BEGIN:VCARD", "VERSION:3.0", "PRODID:-//Address Book//EN", "N:Smith;Ann;;;", "FN:Ann Smith",
               "item1.ADR;type=WORK:;;1 Office Rd;Ottawa;ON;K1A 0B1;Canada", "item1.X-ABLabel:work",
               "item2.ADR;type=\"work,HOME\":;Apt 4;12 Main St;Hull;QC;J8Y 1A1;Canada",
               "TEL;type=work;type=voice:111", "TEL;TYPE=home;TYPE=voice:222", "EMAIL;TYPE=INTERNET:ann@example.org",
               "end:vcard"}),
         record_bytes({"Smith", "Ann", "Apt 4 12 Main St", "Hull", "QC", "J8Y 1A1", "222"}), 5},
        {"the preferred ADR and TEL first: the lowest PREF, TYPE=pref, 2.1's bare PREF",
         crlf({"BEGIN:VCARD", "VERSION:4.0", "N:P;;;;", "ADR;TYPE=home:;;Home;;;;", "ADR;PREF=2:;;Two;;;;",
               "ADR;PREF=1:;;One;;;;", "TEL;TYPE=home:1", "TEL;TYPE=\"voice,pref\":2", "END:VCARD",
               "BEGIN:VCARD", "VERSION:2.1", "N:Q", "TEL;HOME;VOICE:3", "TEL;WORK;PREF:4", "END:VCARD"}),
         record_bytes({"P", "", "One", "", "", "", "2"}) + record_bytes({"Q", "", "", "", "", "", "4"}), 4},
        {"2.1 quoted-printable in ISO-8859-1 and in UTF-8, with soft line breaks",
         "BEGIN:VCARD\nVERSION:2.1\nN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FCller;J=FCr=\ngen\n"
         "ADR;HOME;QUOTED-PRINTABLE;CHARSET=UTF-8:;;Rue de l'=C3=89=\r\ncole;Qu=C3=A9bec;QC;;\n"
         "NOTE;ENCODING=QUOTED-PRINTABLE:50=25 =3D half\nEND:VCARD\n",
         record_bytes({"M\x81ller", "J\x81rgen", "Rue de l'\x90" "cole", "Qu\x82" "bec", "QC", "", "", "50% = half"}), 0},
        {"a byte-order mark, LF ends, blank lines, no VERSION, a card without N",
         "\xEF\xBB\xBF\nBEGIN:VCARD\nFN:Mary Ann Smith\nEND:VCARD\n\n\nBEGIN:VCARD\nFN:Cher\nEND:VCARD",
         record_bytes({"Smith", "Mary Ann"}) + record_bytes({"Cher"}), 0},
        {"a card whose N is empty comes back without names, whatever its FN says",
         crlf({"BEGIN:VCARD", "VERSION:3.0", "FN:(no name)", "N:;;;;", "ADR;TYPE=home:;;;;;;", "END:VCARD"}),
         record_bytes({}), 0},
        {"abook's export: 2.1 bare types, no VERSION, a raw comma, a blank line after each card",
         crlf({"BEGIN:VCARD", "FN:Jean Tr\xC3\xA9mblay", "N:Tr\xC3\xA9mblay;Jean",
               "ADR:;Suite 4;48 Elm, Avenue;Toronto;ON;M5V 2T6;Canada", "TEL;HOME:416-555-0199", "TEL;WORK:416-555-0100",
               "TEL;CELL:416-555-0111", "EMAIL;PREF;INTERNET:jean@example.org", "NOTE:2001 Sedan", "END:VCARD", "",
               "BEGIN:VCARD", "FN:Cher", "N:Cher;Cher", "TEL;HOME:555-0123", "END:VCARD", ""}),
         record_bytes({"Tr\x82mblay", "Jean", "Suite 4 48 Elm, Avenue", "Toronto", "ON", "M5V 2T6", "416-555-0199",
                       "2001 Sedan"}) +
             record_bytes({"Cher", "Cher", "", "", "", "", "555-0123"}),
         3},
        {"khard's export: 3.0, the properties in the order of their names",
         crlf({"BEGIN:VCARD", "VERSION:3.0", "UID:w3744701wu8zh13iwjdtkn1qa8gsaly4jshg",
               "ADR;TYPE=home:;Apt 2;12 St-Denis\\; arri\xC3\xA8re;Montr\xC3\xA9" "al;QC;H2X 1K9;Canada",
               "EMAIL;TYPE=home:marie@example.org", "FN:Marie C\xC3\xB4t\xC3\xA9", "N:C\xC3\xB4t\xC3\xA9;Marie;;;",
               "NOTE:1999 Civic", "REV:20261209T075725Z", "TEL;TYPE=home:514-555-0100", "TEL;TYPE=work:514-555-0199",
               "END:VCARD"}),
         record_bytes({"C\x93t\x82", "Marie", "Apt 2 12 St-Denis; arri\x8A" "re", "Montr\x82" "al", "QC", "H2X 1K9",
                       "514-555-0100", "1999 Civic"}),
         4},
        {"names and parameters longer than what is kept of them",
         crlf({"BEGIN:VCARD", "N:A;;;;",
               ("X-A-PROPERTY-NAME-LONGER-THAN-ANY-KNOWN" + std::string(100, 'X') + ";TYPE=" + std::string(100, 'h') +
                "home:x").c_str(),
               ("TEL;" + std::string(100, 'P') + "=1;TYPE=" + std::string(100, 'P') + ":1").c_str(), "END:VCARD"}),
         record_bytes({"A", "", "", "", "", "", "1"}), 1},
        {"an empty file, and one of blank lines", "\r\n \n\t\n", "", 0},
    };
    for (const CardCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome whole = read_vcard_file(c.file);
        EXPECT_EQ(whole.records, c.records);
        EXPECT_EQ(whole.left_out, c.left_out);
        EXPECT_EQ(whole.refusals, std::vector<std::string>{});
    }
}

struct VcardRefusalCase {
    const char* name;
    std::string file;
    std::vector<std::string> refusals;
};

// What no record can be made of: each refused by its line, its card's name and
// the field by the form's label; a broken structure by its line.
TEST(VcardReaderTest, RefusalsNameTheLineTheCardAndTheField) {
    const VcardRefusalCase cases[] = {
        {"fields past their limits, in characters",
         crlf({"BEGIN:VCARD", "FN:Long", "N:\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"
               "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9;Ann",
               "ADR:;;;;ONT;123456789;", "END:VCARD"}),
         {"line 1: card \"Long\": Last Name is longer than 19 characters",
          "line 1: card \"Long\": Province Code is longer than 2 characters",
          "line 1: card \"Long\": Postal Code is longer than 7 characters"}},
        {"a note far longer than what is kept of a field; a long name cut where it is shown",
         crlf({"BEGIN:VCARD", ("FN:" + std::string(50, 'F')).c_str(), "N:A;B", ("NOTE:" + std::string(300, 'n')).c_str(),
               "END:VCARD"}),
         {"line 1: card \"" + std::string(40, 'F') + "...\": Year & Model is longer than 19 characters"}},
        {"a line break, as vCard writes one, and a NUL; the name shown with escapes",
         crlf({"BEGIN:VCARD", "FN:Tab\\,\tbed", "N:X;Y;;;", "NOTE:2001\\nSedan", "END:VCARD", "BEGIN:VCARD", "N:A",
               "TEL:5\\n5", "END:VCARD"}) + "BEGIN:VCARD\r\nN:B\r\nNOTE:a" + std::string(1, '\0') + "b\r\nEND:VCARD\r\n",
         {"line 1: card \"Tab,\\tbed\": Year & Model holds a line break", "line 6: Telephone Number holds a line break",
          "line 10: Year & Model holds a NUL byte"}},
        {"a card with no name", crlf({"BEGIN:VCARD", "VERSION:3.0", "TEL:555", "END:VCARD"}),
         {"line 1: the card has no name (neither N nor FN)"}},
        {"a card without END, by the line where it starts, before the next card and at the end of the file",
         crlf({"BEGIN:VCARD", "N:A", "BEGIN:VCARD", "N:B", "END:VCARD", "", "BEGIN:VCARD", "N:C"}),
         {"line 1: the card has no END:VCARD", "line 7: the card has no END:VCARD"}},
        {"a line that is not a property, in a card and outside",
         crlf({"BEGIN:VCARD", "N:A", "just words", "END:VCARD", "N:B", "END:VCARD"}),
         {"line 3: not a property (NAME:VALUE)", "line 5: outside any card (BEGIN:VCARD ... END:VCARD)",
          "line 6: outside any card (BEGIN:VCARD ... END:VCARD)"}},
    };
    for (const VcardRefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(read_vcard_file(c.file).refusals, c.refusals);
    }
}

struct CharsetCase {
    const char* name;
    bool vcard;  // its lines unfolded
    std::string file;
    Charset charset;
    std::vector<std::string> refusals;  // the lines of bytes that are not UTF-8
};

// The file's set, and the lines of bytes that are not UTF-8, weighed over the
// whole file: a vCard's fold may cut a character, and an accented letter may
// stand between the letters of a folded line.
TEST(CharsetEvidenceTest, TheWholeFileIsWeighed) {
    const CharsetCase cases[] = {
        {"UTF-8 throughout, with a byte-order mark and a four-byte character", false,
         kBom + "Montr\xC3\xA9" "al,\xF0\x9F\x98\x80\n", Charset::kUtf8, {}},
        {"850's lower case between letters, twice, against 1252's once (Montréal)", false,
         "Qu\x82" "bec,C\x93t\x82,Lef\x8A" "bvre\nMontr\xE9" "al\n", Charset::kCp850,
         {"line 1: a byte that is not UTF-8", "line 2: a byte that is not UTF-8"}},
        {"1252's upper case between letters outweighs 850's one", false, "L\xC9VIS,QU\xC9" "BEC\r\nQu\x82" "bec", Charset::kCp1252,
         {"line 1: a byte that is not UTF-8", "line 2: a byte that is not UTF-8"}},
        {"letters of two cases, or none, around the byte: a tie", false, "Montr\xC9" "al,L\xE9vis,\xE9t\xE9,\xA3",
         Charset::kCp850, {"line 1: a byte that is not UTF-8"}},
        {"characters cut short, by a byte and by the end of the file; an overlong form and a surrogate", false,
         "a\xC3\nb\xE0\x80\xAF\nc\xED\xA0\x80\nd\xE2\x82", Charset::kCp850,
         {"line 1: a byte that is not UTF-8", "line 2: a byte that is not UTF-8", "line 3: a byte that is not UTF-8",
          "line 4: a byte that is not UTF-8"}},
        {"a vCard folded inside a character, by CR LF and a space, by LF and a tab", true,
         "N:Fran\xC3\r\n \xA7ois;\r\nFN:Fran\xC3\n\t\xA7ois\r\n", Charset::kUtf8, {}},
        {"the same read as CSV: lines as they are", false, "N:Fran\xC3\r\n \xA7ois;\r\n", Charset::kCp850,
         {"line 1: a byte that is not UTF-8", "line 2: a byte that is not UTF-8"}},
        {"a vCard line end that does not fold cuts a character; a lone CR is no line end", true,
         "N:a\xC3\r\nb\r\rFN:\xC3\r\xA9\n", Charset::kCp850,
         {"line 1: a byte that is not UTF-8", "line 2: a byte that is not UTF-8"}},
        {"an accented letter after a fold stands between the letters of the one line", true, "ADR:;;;Montr\r\n \xE9" "al\r\n",
         Charset::kCp1252, {"line 2: a byte that is not UTF-8"}},
    };
    static CharsetEvidence evidence;
    for (const CharsetCase& c : cases) {
        SCOPED_TRACE(c.name);
        weigh_charset(c.file, c.vcard, evidence);
        std::vector<std::string> lines;
        for (std::size_t i = 0; i < evidence.not_utf8.count && i < kRefusalsKept; ++i) {
            lines.push_back("line " + std::to_string(evidence.not_utf8.line[i]) + ": a byte that is not UTF-8");
        }
        lines.emplace_back(charset_name(charset_of_file(evidence)));
        std::vector<std::string> expected = c.refusals;
        expected.emplace_back(charset_name(c.charset));
        EXPECT_EQ(lines, expected);
    }
}

}  // namespace
