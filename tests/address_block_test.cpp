// A record's address block, line by line: which parts go on which line, the
// spaces between them, the postal code spaced as A1A 1A1, the lines left out,
// upper case and the list's code page in UTF-8.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "label_records.h"
#include "labels/address_block.h"

namespace {

struct BlockCase {
    const char* name;
    CustomerRecord record;
    bool upper;
    std::vector<std::string> lines;
};

std::vector<std::string> lines_of(const AddressBlock& block) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < block.count; ++i) lines.emplace_back(block.lines[i], block.lengths[i]);
    return lines;
}

const std::string kTwentyW(20, 'W');
const std::string kThirtyW(30, 'W');

TEST(AddressBlockTest, EachRecordMakesItsLines) {
    const BlockCase cases[] = {
        {"a whole record; two spaces before the postal code, spaced as A1A 1A1",
         customer({"Smith", "John", "12 Main St", "Ottawa", "ON", "K1A0B1"}), false,
         {"John Smith", "12 Main St", "Ottawa ON  K1A 0B1"}},
        {"a postal code stored with its space is kept as it is",
         customer({"Tremblay", "Marie", "7 Rue Saint-Denis", "Montr\x82" "al", "QC", "H2X 1K9"}), false,
         {"Marie Tremblay", "7 Rue Saint-Denis", "Montréal QC  H2X 1K9"}},
        {"a postal code in lower case is spaced and keeps its case",
         customer({"C\x93t\x82", "H\x82l\x8Ane", "12 rue Saint-J\x82r\x93me", "Qu\x82" "bec", "QC", "g1r4p2"}), false,
         {"Hélène Côté", "12 rue Saint-Jérôme", "Québec QC  g1r 4p2"}},
        {"no city: the province starts the line, two spaces still before the postal code",
         customer({"Smith", "", "12 Main St", "", "ON", "K1A 0B1"}), false, {"Smith", "12 Main St", "ON  K1A 0B1"}},
        {"no province: two spaces between the city and the postal code",
         customer({"", "Ann", "", "Toronto", "", "12345"}), false, {"Ann", "Toronto  12345"}},
        {"no postal code: the province ends the line", customer({"Roy", "Luc", "1 A St", "Laval", "QC"}), false,
         {"Luc Roy", "1 A St", "Laval QC"}},
        {"the postal code alone", customer({"Roy", "Luc", "1 A St", "", "", "h7n5h9"}), false,
         {"Luc Roy", "1 A St", "h7n 5h9"}},
        {"five characters, or six not in the Canadian pattern, are not spaced",
         customer({"Roy", "Luc", "1 A St", "Laval", "QC", "K1A0B"}), false, {"Luc Roy", "1 A St", "Laval QC  K1A0B"}},
        {"six digits are not spaced", customer({"Roy", "Luc", "1 A St", "", "", "123456"}), false,
         {"Luc Roy", "1 A St", "123456"}},
        {"an empty address line is left out, not printed blank",
         customer({"Roy", "Ann", "", "Laval", "QC", "H7N 5H9"}), false, {"Ann Roy", "Laval QC  H7N 5H9"}},
        {"lines of spaces are left out: a name and an address of spaces",
         customer({"   ", "", "   ", "Ottawa"}), false, {"Ottawa"}},
        {"an empty place line is left out at the end", customer({"Roy", "Ann", "5 Elm St"}), false,
         {"Ann Roy", "5 Elm St"}},
        {"spaces inside a line are kept", customer({"Roy", "Ann", "5  Elm St", "Saint Jean", "QC"}), false,
         {"Ann Roy", "5  Elm St", "Saint Jean QC"}},
        {"a record with nothing to show has no lines", customer({}), false, {}},
        {"upper case, with the accents and the letters that grow",
         customer({"Stra\xE1" "e", "\x90lo\x8Bse", "9 rue de l'\x90glise", "Sainte-Foy", "qc", "g1v0a6"}), true,
         {"ÉLOÏSE STRASSE", "9 RUE DE L'ÉGLISE", "SAINTE-FOY QC  G1V 0A6"}},
        {"fields that fill their width without a NUL",
         customer({kTwentyW, kTwentyW, kThirtyW, kTwentyW, "QCX", "H2X 1K9X"}), false,
         {kTwentyW + " " + kTwentyW, kThirtyW, kTwentyW + " QCX  H2X 1K9X"}},
    };
    for (const BlockCase& c : cases) {
        SCOPED_TRACE(c.name);
        AddressBlock block{};
        ASSERT_TRUE(make_address_block(c.record, c.upper, block));
        EXPECT_EQ(lines_of(block), c.lines);
    }
}

// No line of a block is empty or only spaces, whatever parts are missing or blank.
TEST(AddressBlockTest, NoLineIsEmptyOrOnlySpaces) {
    const char* const parts[] = {"", " ", "   ", "X"};
    for (const char* last : parts) {
        for (const char* address : parts) {
            for (const char* city : parts) {
                for (const char* postal : parts) {
                    const CustomerRecord record = customer({last, "", address, city, "", postal});
                    SCOPED_TRACE(std::string("last '") + last + "' address '" + address + "' city '" + city +
                                 "' postal code '" + postal + "'");
                    AddressBlock block{};
                    ASSERT_TRUE(make_address_block(record, false, block));
                    for (const std::string& line : lines_of(block)) {
                        EXPECT_NE(line.find_first_not_of(' '), std::string::npos) << "line '" << line << "'";
                    }
                }
            }
        }
    }
}

}  // namespace
