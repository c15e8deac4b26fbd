// The importer's readers and their steps, driven directly: each file of a table
// gives the records and refusals it names; each step of the vCard reader
// (unfold, parse_line, decode_value, card_to_entry) has a table of its own.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "import/character_set.h"
#include "import/csv_import.h"
#include "import/input_file.h"
#include "import/refusal_text.h"
#include "import/vcard_import.h"
#include "import/vcard_lines.h"
#include "import/vcard_values.h"
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
        {"spaces after BEGIN's and END's value mean nothing", "BEGIN:vcard \r\nN:A\r\nEND:VCARD" + std::string(15, ' '),
         record_bytes({"A"}), 0},
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
        {"an address put together from two components longer than is kept of a field",
         crlf({"BEGIN:VCARD", "N:A", ("ADR:;" + std::string(100, 'e') + ";" + std::string(100, 's') + ";;;;").c_str(),
               "END:VCARD"}),
         {"line 1: Address is longer than 29 characters"}},
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
        {"an END whose value is longer than any word kept whole ends nothing, spaces or not",
         crlf({"BEGIN:VCARD", "N:A", ("END:VCARD" + std::string(20, ' ')).c_str()}), {"line 1: the card has no END:VCARD"}},
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

struct HeaderCase {
    const char* name;
    std::string header;
    std::vector<std::string> refusals;
};

// A header's refusals name each unknown column by its first 24 bytes.
TEST(CsvReaderTest, HeaderRefusalsNameTheColumns) {
    const HeaderCase cases[] = {
        {"a long label cut at 24 bytes", std::string(30, 'x') + "," + kHeader,
         {"line 1: unknown column \"" + std::string(24, 'x') + "\" in the header"}},
        {"cut inside a character: its lead shown as the code page's byte", std::string(23, 'x') + "\xC3\xA9," + kHeader,
         {"line 1: unknown column \"" + std::string(23, 'x') + "\xC3\" in the header"}},
        {"a label past the bytes kept of a field is no field's", std::string(200, 'y') + "Last Name," + kHeader.substr(10),
         {"line 1: unknown column \"" + std::string(24, 'y') + "\" in the header",
          "line 1: no column \"Last Name\" in the header"}},
    };
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(read_csv_file(c.header).refusals, c.refusals);
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

// Lines past those kept are counted, and leave the kept ones as they are.
TEST(CharsetEvidenceTest, KeepsTheFirstLinesAndCountsThemAll) {
    std::string file;
    for (int line = 0; line < 25; ++line) file += "\xFF\n";
    static CharsetEvidence evidence;
    weigh_charset(file, false, evidence);
    EXPECT_EQ(evidence.not_utf8.count, 25u);
    for (std::size_t at = 0; at < kRefusalsKept; ++at) {
        EXPECT_EQ(evidence.not_utf8.line[at], at + 1);
        EXPECT_EQ(evidence.not_utf8.found_on[at], at + 1);
    }
}

struct UnfoldCase {
    const char* name;
    std::string file;
    std::vector<std::string> lines;  // each logical line: "<line>/<found on>:<text>", 0 for the end
};

std::string shown_line(const LogicalLine& line) {
    std::size_t found_on = line.found_on == kFoundAtEnd ? 0 : line.found_on;
    return std::to_string(line.line) + "/" + std::to_string(found_on) + ":" + std::string(line.text);
}

// Physical lines into logical ones: folds, soft breaks, line ends, and where each
// line starts and was known to end.
TEST(VcardStepsTest, UnfoldJoinsFoldsAndSoftBreaks) {
    const UnfoldCase cases[] = {
        {"CR LF and LF ends; a lone CR is text; no end at the end", "A:1\r\nB:2\nC:\r3", {"1/2:A:1", "2/3:B:2", "3/0:C:\r3"}},
        {"a fold by a space and by a tab: the one space or tab goes", "N:a\r\n b\n\t c\nX:y\n", {"1/4:N:ab c", "4/0:X:y"}},
        {"a byte-order mark, and a file ending in a line end: no empty line after",
         "\xEF\xBB\xBF" "A:1\r\n", {"1/0:A:1"}},
        {"blank lines are lines; a fold after one continues it", "\r\n\n  N:a\n", {"1/2:", "2/0: N:a"}},
        {"a soft break joins the next line as it is, its space too, and a fold after it folds",
         "NOTE;ENCODING=QUOTED-PRINTABLE:a=\r\n b=\n\n c\nX:y", {"1/5:NOTE;ENCODING=QUOTED-PRINTABLE:a=\n b=\nc", "5/0:X:y"}},
        {"no soft break outside quoted-printable, before the value, or in BEGIN",
         "NOTE:a=\n b\nN;QUOTED-PRINTABLE=\nX:1\nBEGIN;QUOTED-PRINTABLE:VCARD=\nY:2",
         {"1/3:NOTE:a=b", "3/4:N;QUOTED-PRINTABLE=", "4/5:X:1", "5/6:BEGIN;QUOTED-PRINTABLE:VCARD=", "6/0:Y:2"}},
        {"a soft break at the very end", "N;QUOTED-PRINTABLE:a=\n", {"1/0:N;QUOTED-PRINTABLE:a=\n"}},
        {"an empty file is one blank line", "", {"1/0:"}},
    };
    for (const UnfoldCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string file = c.file;
        VcardSource source;
        begin_vcard_source(source, file.data(), file.size());
        std::vector<std::string> lines;
        LogicalLine line;
        while (unfold(source, line)) lines.push_back(shown_line(line));
        EXPECT_EQ(lines, c.lines);
    }
}

struct ParseCase {
    const char* name;
    std::string line;
    std::string parsed;  // what parse_line found, as shown_parse writes it
};

std::string shown_parse(const VcardLine& line) {
    if (line.blank) return "blank";
    if (!line.has_value) return "no value";
    std::string shown = std::string(line.group) + "|" + std::string(kept_part(line.name)) + "|";
    shown += "pref " + std::to_string(line.rank.preference) + (line.rank.home ? " home" : "");
    shown += std::string(line.uri ? " uri" : "") + (line.text ? " text" : "") + (line.quoted_printable ? " qp" : "");
    if (line.charset) shown += std::string(" ") + charset_name(*line.charset);
    return shown + "|" + std::string(line.value);
}

// A logical line's group, name, parameters and value.
TEST(VcardStepsTest, ParseLineFindsNameParametersAndValue) {
    const ParseCase cases[] = {
        {"a plain property, in any case", "fn:Jean", "|FN|pref 101|Jean"},
        {"groups before the name; spaces and tabs before the line", " \tg1.item1.adr;TYPE=home:;;1 Main",
         "g1.item1|ADR|pref 101 home|;;1 Main"},
        {"2.1's bare parameters", "TEL;HOME;PREF;QUOTED-PRINTABLE:1", "|TEL|pref 1 home qp|1"},
        {"quoted values: ':' and ';' are text, a comma parts two values",
         "ADR;TYPE=\"wo:rk;x,HOME\";PREF=7:a:b", "|ADR|pref 7 home|a:b"},
        {"a quote inside a value, and after a quoted part, is part of the word", "TEL;TYPE=\"ho\"me;VALUE=uri:1",
         "|TEL|pref 101 home uri|1"},
        {"PREF: the lowest wins; past 100, however far, or not a number is none",
         "TEL;PREF=50;PREF=3;PREF=x;PREF=1000;PREF=4294967297:1",
         "|TEL|pref 3|1"},
        {"PREF read in the first 24 bytes kept of it", "TEL;PREF=000000000000000000000000001:1", "|TEL|pref 0|1"},
        {"ENCODING, VALUE=text and the sets CHARSET names", "NOTE;ENCODING=quoted-printable;VALUE=text;CHARSET=windows-1252:x",
         "|NOTE|pref 101 text qp cp1252|x"},
        {"a set it cannot read leaves the file's", "NOTE;CHARSET=KOI8-R:x", "|NOTE|pref 101|x"},
        {"a name longer than is kept of it is no known name", "NOTEXXXXXXXXXXXXXXXXXXXXXXXXXX:x",
         "|NOTEXXXXXXXXXXXXXXXXXXXX|pref 101|x"},
        {"a line without a colon", "just words", "no value"},
        {"a colon only inside quotes", "N;X=\"a:b\"", "no value"},
        {"spaces and tabs only", " \t ", "blank"},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.name);
        VcardLine line;
        parse_line(c.line, line);
        EXPECT_EQ(shown_parse(line), c.parsed);
    }
}

struct DecodeCase {
    const char* name;
    std::string value;
    ValueForm form;
    std::vector<std::string> components;  // each kept, in UTF-8
    std::size_t count;
};

// A value's quoted-printable, character set, escapes and components.
TEST(VcardStepsTest, DecodeValueGivesComponentsInUtf8) {
    const DecodeCase cases[] = {
        {"escapes: known ones, and an unknown one keeps its backslash", "a\\\\b\\,c\\;d\\ne\\Nf\\xg",
         {false, Charset::kUtf8, false}, {"a\\b,c;d\ne\nf\\xg"}, 1},
        {"a structured value's components; an escaped ';' is text", "Smith\\;Jr;Ann;;;", {false, Charset::kUtf8, true},
         {"Smith;Jr", "Ann", "", "", ""}, 5},
        {"components past the sixth are counted, not kept", "0;1;2;3;4;5;6;7", {false, Charset::kUtf8, true},
         {"0", "1", "2", "3", "4", "5"}, 8},
        {"quoted-printable, then the set: ISO-8859-1 and UTF-8", "M=FCller =3D =C3=A9", {true, Charset::kLatin1, false},
         {"M\xC3\xBCller = \xC3\x83\xC2\xA9"}, 1},
        {"an '=' without two hex digits is text", "50=25 =4x == =", {true, Charset::kUtf8, false}, {"50% =4x == ="}, 1},
        {"a soft break drops out, and ends an escape before it", "J==\nFC=4=\n1=\n", {true, Charset::kUtf8, false},
         {"J=FC=41"}, 1},
        {"a quoted-printable ';' parts components; its backslash escapes", "a=3Bb=5C;c", {true, Charset::kUtf8, true},
         {"a", "b;c"}, 2},
        {"850 and 1252 bytes into UTF-8", "\x82\x80", {false, Charset::kCp850, false}, {"\xC3\xA9\xC3\x87"}, 1},
        {"1252's euro sign", "\x80", {false, Charset::kCp1252, false}, {"\xE2\x82\xAC"}, 1},
    };
    static DecodedValue value;
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.name);
        decode_value(c.value, c.form, value);
        std::vector<std::string> components;
        for (std::size_t at = 0; at < value.count && at < kComponentsKept; ++at) {
            components.emplace_back(kept_part(value.components[at].whole.text));
        }
        EXPECT_EQ(components, c.components);
        EXPECT_EQ(value.count, c.count);
    }
}

struct EntryCase {
    const char* name;
    std::vector<std::string> card;  // the lines between BEGIN:VCARD and END:VCARD
    std::vector<std::string> fields;
};

// A card's fields: the name from N or FN, the address put together, the telephone without its scheme.
TEST(VcardStepsTest, CardToEntryChoosesTheFields) {
    const EntryCase cases[] = {
        {"N before FN", {"FN:Ann Smith", "N:Jones;Bob"}, {"Jones", "Bob", "", "", "", "", "", ""}},
        {"FN alone, cut at its last space", {"FN:Mary Ann  Smith"}, {"Smith", "Mary Ann ", "", "", "", "", "", ""}},
        {"FN of one word", {"FN:Cher"}, {"Cher", "", "", "", "", "", "", ""}},
        {"the extended address before the street, a space between when both are there",
         {"N:A", "ADR:box;Suite 4;1 Main;Hull;QC;J8Y 1A1;Canada"}, {"A", "", "Suite 4 1 Main", "Hull", "QC", "J8Y 1A1", "", ""}},
        {"the street alone", {"N:A", "ADR:;;1 Main;;;;"}, {"A", "", "1 Main", "", "", "", "", ""}},
        {"the extended address alone", {"N:A", "ADR:;Suite 4;;;;;"}, {"A", "", "Suite 4", "", "", "", "", ""}},
        {"4.0: a TEL is a URI unless VALUE=text says", {"VERSION:4.0", "N:A", "TEL:tel:555"}, {"A", "", "", "", "", "", "555", ""}},
        {"4.0 with VALUE=text: as typed", {"VERSION:4.0", "N:A", "TEL;VALUE=text:tel:555"},
         {"A", "", "", "", "", "", "tel:555", ""}},
        {"3.0: as typed unless VALUE=uri", {"N:A", "TEL:tel:555", "NOTE:1999 Civic"}, {"A", "", "", "", "", "", "tel:555", "1999 Civic"}},
        {"a URI no longer than the scheme's name", {"N:A", "TEL;VALUE=uri:TEL"}, {"A", "", "", "", "", "", "TEL", ""}},
        {"a URI without the scheme stays as it is", {"N:A", "TEL;VALUE=uri:555"}, {"A", "", "", "", "", "", "555", ""}},
    };
    for (const EntryCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string file = "BEGIN:VCARD\r\n";
        for (const std::string& line : c.card) file += line + "\r\n";
        file += "END:VCARD\r\n";
        VcardReader reader;
        begin_vcard_read(reader, file.data(), file.size(), Charset::kUtf8);
        static RefusalList refusals;
        refusals.count = 0;
        static VcardCard card;
        ASSERT_TRUE(next_card(reader, refusals, card));
        static FieldText fields[kFieldCount];
        ASSERT_TRUE(card_to_entry(card, fields));
        std::vector<std::string> texts;
        for (const FieldText& field : fields) texts.emplace_back(kept_part(field.text));
        EXPECT_EQ(texts, c.fields);
    }
}

TEST(VcardStepsTest, CardToEntryWantsAName) {
    std::string file = "BEGIN:VCARD\r\nTEL:1\r\nEND:VCARD\r\n";
    VcardReader reader;
    begin_vcard_read(reader, file.data(), file.size(), Charset::kUtf8);
    static RefusalList refusals;
    static VcardCard card;
    ASSERT_TRUE(next_card(reader, refusals, card));
    static FieldText fields[kFieldCount];
    EXPECT_FALSE(card_to_entry(card, fields));
}

struct MergeCase {
    const char* name;
    std::vector<std::size_t> first;   // the lines each refusal was found on
    std::vector<std::size_t> second;
    std::vector<std::string> merged;  // "a" or "b" and the line, in order
};

RefusalList refusals_found_on(const std::vector<std::size_t>& lines, ImportProblem problem) {
    RefusalList list{};
    for (std::size_t line : lines) refuse(list, {line, line, problem, Field::kNone, 0, false, {}});
    return list;
}

// Refusals of two sources, in the order found: on one line, the first source's first.
TEST(RefusalListTest, MergedInTheOrderFound) {
    const MergeCase cases[] = {
        {"interleaved, a tie to the first, the end last", {2, 5, kFoundAtEnd}, {1, 5, 9, kFoundAtEnd},
         {"b1", "a2", "a5", "b5", "b9", "a0", "b0"}},
        {"one source empty", {}, {3, 4}, {"b3", "b4"}},
        {"only the first kept: twenty of 25", std::vector<std::size_t>(15, 7), std::vector<std::size_t>(10, 3),
         [] {
             std::vector<std::string> merged(10, "b3");
             merged.insert(merged.end(), 10, "a7");
             return merged;
         }()},
    };
    // A mark right after the list, which nothing may write over.
    static struct {
        RefusalList list;
        std::size_t mark;
    } out;
    const RefusalList& merged = out.list;
    for (const MergeCase& c : cases) {
        SCOPED_TRACE(c.name);
        out.mark = 0x5AFE;
        merge_refusals(refusals_found_on(c.first, ImportProblem::kNotUtf8),
                       refusals_found_on(c.second, ImportProblem::kNoName), out.list);
        EXPECT_EQ(out.mark, 0x5AFEu);
        std::vector<std::string> shown;
        for (std::size_t at = 0; at < merged.count && at < kRefusalsKept; ++at) {
            const ImportRefusal& refusal = merged.kept[at];
            std::size_t line = refusal.found_on == kFoundAtEnd ? 0 : refusal.found_on;
            shown.push_back((refusal.problem == ImportProblem::kNotUtf8 ? "a" : "b") + std::to_string(line));
        }
        EXPECT_EQ(shown, c.merged);
        EXPECT_EQ(merged.count, c.first.size() + c.second.size());
    }
}

struct ShownCase {
    const char* name;
    std::string text;  // UTF-8, as kept
    bool utf8;         // the terminal speaks it
    std::string shown;
};

// A label or name as the list would hold it: characters 850 lacks as '?', a
// byte that is not UTF-8 as 850's character, controls escaped, 40 characters.
TEST(RefusalTextTest, ShownAsTheListWouldHoldIt) {
    const ShownCase cases[] = {
        {"a character 850 has, on each terminal", "Pr\xC3\xA9nom", true, "Pr\xC3\xA9nom"},
        {"the same in 850", "Pr\xC3\xA9nom", false, "Pr\x82nom"},
        {"characters 850 lacks", "\xE6\x97\xA5\xC2\x80", true, "??"},
        {"a byte that is not UTF-8, and a character cut short", "\x82\xC3", true, "\xC3\xA9\xE2\x94\x9C"},
        {"controls and the backslash escaped", std::string("a\tb\\\x01\x7F\r\n\0", 9), false,
         "a\\tb\\\\\\x01\\x7f\\r\\n\\x00"},
        {"forty characters, then the rest cut", std::string(40, 'x') + "\xC3\xA9", false, std::string(40, 'x') + "..."},
        {"forty characters of two bytes each are not cut", [] {
             std::string forty;
             for (int i = 0; i < 40; ++i) forty += "\xC3\xA9";
             return forty;
         }(), false, std::string(40, '\x82')},
    };
    for (const ShownCase& c : cases) {
        SCOPED_TRACE(c.name);
        ImportRefusal refusal{1, 1, ImportProblem::kUnknownColumn, Field::kNone, 0, false, {}};
        keep_bytes(refusal.text, c.text);
        char line[kRefusalLineSize];
        refusal_line(refusal, c.utf8, line);
        EXPECT_EQ(std::string(line), "line 1: unknown column \"" + c.shown + "\" in the header");
    }
}

struct InputCase {
    const char* name;
    std::size_t size;  // of a sparse file of zeros
    InputStatus status;
};

// The whole input is read, up to the bound and not a byte past it.
TEST(InputFileTest, ReadWholeUpToTheBound) {
    const InputCase cases[] = {
        {"empty", 0, InputStatus::kRead},
        {"a byte", 1, InputStatus::kRead},
        {"exactly the bound", kMaxInputBytes, InputStatus::kRead},
        {"a byte past it", kMaxInputBytes + 1, InputStatus::kTooLarge},
        {"far past it", 3 * kMaxInputBytes, InputStatus::kTooLarge},
    };
    for (const InputCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::FILE* file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(ftruncate(fileno(file), static_cast<off_t>(c.size)), 0);
        InputText input{};
        int error = 0;
        EXPECT_EQ(read_whole_input(file, input, error), c.status);
        if (c.status == InputStatus::kRead) {
            EXPECT_EQ(input.length, c.size);
            EXPECT_EQ(std::string(input.bytes, input.length), std::string(c.size, '\0'));
        }
        (void)std::fclose(file);
    }
}

TEST(InputFileTest, AFailedReadIsSaid) {
    std::FILE* folder = std::fopen(".", "rb");
    ASSERT_NE(folder, nullptr);
    InputText input{};
    int error = 0;
    EXPECT_EQ(read_whole_input(folder, input, error), InputStatus::kFailed);
    EXPECT_EQ(error, EISDIR);
    (void)std::fclose(folder);
}

}  // namespace
