// Which records get labels and in which order: every one or those of one last
// name, in file order or sorted by last name or by postal code, case and
// accents ignored first, then the stored bytes, then file order.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <string_view>
#include <vector>

#include "label_records.h"
#include "labels/label_order.h"

namespace {

// In code page 850: ô is 0x93, é 0x82, É 0x90, Æ 0x92, ø 0x9B.
const CustomerRecord kSortable[] = {
    customer({"Cote", "Zo\x82", "1 A St", "", "", "h2x1k9"}),
    customer({"c\x93t\x82", "anne", "2 B St", "", "", "K1A 0B1"}),
    customer({"C\x93t\x82", "Anne", "3 C St", "", "", "   "}),
    customer({"Gagnon", "\x90ric", "4 D St", "", "", "A1A1A1"}),
    customer({"C\x93t\x82", "Anne", "5 E St", "", "", "h2x 1k9"}),
    customer({"\x92" "bel\x9B", "Ida", "6 F St", "", "", ""}),
    customer({"Cote", "zoe", "7 G St", "", "", "H2X1K9"}),
};

struct OrderCase {
    const char* name;
    std::optional<std::string_view> last_name;
    LabelOrder order;
    std::vector<std::size_t> slots;
};

RecordTable g_table;

std::vector<std::size_t> labels_in_order(const OrderCase& c) {
    LabelSelection selection{};
    select_records(g_table, c.last_name ? &*c.last_name : nullptr, selection);
    EXPECT_TRUE(sort_selection(g_table, c.order, selection));
    return std::vector<std::size_t>(selection.slots, selection.slots + selection.count);
}

TEST(LabelOrderTest, EachSelectionAndSortGivesItsOrder) {
    g_table.count = std::size(kSortable);
    std::copy(std::begin(kSortable), std::end(kSortable), g_table.slots);
    const OrderCase cases[] = {
        {"every record, in file order", std::nullopt, LabelOrder::kFile, {0, 1, 2, 3, 4, 5, 6}},
        // Côté Anne twice (file order kept), then côté anne (C before c), then
        // Cote Zoé before Cote zoe (Z before z), Gagnon, and Æbelø after the
        // letters of the alphabet.
        {"by last name, then first name", std::nullopt, LabelOrder::kLastName, {2, 4, 1, 0, 6, 3, 5}},
        // A1A1A1; the three H2X 1K9 as stored: H2X1K9, h2x 1k9, h2x1k9; K1A 0B1;
        // then the postal codes of nothing but spaces, the empty one first.
        {"by postal code, spaces and case ignored, none last", std::nullopt, LabelOrder::kPostalCode,
         {3, 6, 4, 0, 1, 5, 2}},
        {"one last name, its exact bytes and case", "C\x93t\x82", LabelOrder::kFile, {2, 4}},
        {"one last name, sorted by postal code", "Cote", LabelOrder::kPostalCode, {6, 0}},
        {"one last name, sorted by last name", "Cote", LabelOrder::kLastName, {0, 6}},
        {"a last name nobody has", "Nobody", LabelOrder::kLastName, {}},
        {"a last name that is only the start of one", "C", LabelOrder::kFile, {}},
    };
    for (const OrderCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(labels_in_order(c), c.slots);
    }
}

// A record with an empty last name sorts first by last name and is selected
// by the empty name.
TEST(LabelOrderTest, AnEmptyLastNameIsANameLikeAnother) {
    g_table.count = 3;
    g_table.slots[0] = customer({"Roy", "Ann"});
    g_table.slots[1] = customer({"", "Bob"});
    g_table.slots[2] = customer({"", "Al"});
    const OrderCase cases[] = {
        {"by last name", std::nullopt, LabelOrder::kLastName, {2, 1, 0}},
        {"the empty last name", "", LabelOrder::kFile, {1, 2}},
    };
    for (const OrderCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(labels_in_order(c), c.slots);
    }
}

}  // namespace
