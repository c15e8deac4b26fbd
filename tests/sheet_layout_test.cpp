// The sheets and where the labels go on them: each sheet's figures as its
// maker publishes them, finding one by name, the pages of the PDF and their
// paper, and a block that does not fit its label.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "label_records.h"
#include "labels/label_font.h"
#include "labels/label_sheets.h"
#include "labels/sheet_layout.h"

namespace {

constexpr double kPointsPerMillimetre = 72.0 / 25.4;
// The papers in points, as PDF readers name them.
constexpr double kLetterPoints[] = {612.0, 792.0};
constexpr double kA4Points[] = {595.28, 841.89};

// The makers' figures in mm: paper, labels across and down, label size,
// margins to the first label, pitch.
TEST(LabelSheetTest, EachSheetHasItsMakersFigures) {
    const LabelSheet published[] = {
        {"5160", "letter", 215.9, 279.4, 3, 10, 66.68, 25.40, 4.78, 12.70, 69.85, 25.40},
        {"5161", "letter", 215.9, 279.4, 2, 10, 101.60, 25.40, 3.96, 12.70, 106.36, 25.40},
        {"5163", "letter", 215.9, 279.4, 2, 5, 101.60, 50.80, 3.96, 12.70, 106.36, 50.80},
        {"L7160", "A4", 210.0, 297.0, 3, 7, 63.50, 38.10, 7.20, 15.15, 66.04, 38.10},
        {"L7163", "A4", 210.0, 297.0, 2, 7, 99.06, 38.10, 4.67, 15.15, 101.60, 38.10},
    };
    ASSERT_EQ(kSheetCount, std::size(published));
    for (std::size_t i = 0; i < kSheetCount; ++i) {
        const LabelSheet& sheet = kSheets[i];
        const LabelSheet& want = published[i];
        SCOPED_TRACE(want.name);
        EXPECT_STREQ(sheet.name, want.name);
        EXPECT_STREQ(sheet.paper, want.paper);
        const double figures[][2] = {
            {sheet.paper_width, want.paper_width},   {sheet.paper_height, want.paper_height},
            {sheet.label_width, want.label_width},   {sheet.label_height, want.label_height},
            {sheet.left_margin, want.left_margin},   {sheet.top_margin, want.top_margin},
            {sheet.pitch_across, want.pitch_across}, {sheet.pitch_down, want.pitch_down},
        };
        for (const auto& figure : figures) EXPECT_DOUBLE_EQ(figure[0], figure[1]);
        EXPECT_EQ(sheet.across, want.across);
        EXPECT_EQ(sheet.down, want.down);
        // The labels lie in the middle of the paper, a hair's breadth either way.
        double right = sheet.paper_width - sheet.left_margin - static_cast<double>(sheet.across - 1) * sheet.pitch_across -
                       sheet.label_width;
        double bottom = sheet.paper_height - sheet.top_margin - static_cast<double>(sheet.down - 1) * sheet.pitch_down -
                        sheet.label_height;
        EXPECT_NEAR(right, sheet.left_margin, 0.05);
        EXPECT_NEAR(bottom, sheet.top_margin, 0.05);
    }
    EXPECT_STREQ(sheet_names(), "5160, 5161, 5163, L7160 and L7163");
}

TEST(LabelSheetTest, FoundByItsNameWithCaseIgnored) {
    const struct {
        const char* asked;
        const char* found;  // null: none
    } cases[] = {
        {"5160", "5160"}, {"5161", "5161"}, {"5163", "5163"}, {"L7160", "L7160"}, {"l7163", "L7163"},
        {"A4", nullptr},  {"", nullptr},    {"516", nullptr},  {"5160 ", nullptr}, {"L71600", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.asked);
        const LabelSheet* sheet = find_sheet(c.asked);
        if (c.found == nullptr) {
            EXPECT_EQ(sheet, nullptr);
        } else {
            ASSERT_NE(sheet, nullptr);
            EXPECT_STREQ(sheet->name, c.found);
        }
    }
}

// What a made PDF says of its pages: how many, and each one's paper in points.
struct PdfPages {
    std::size_t count = 0;
    std::vector<std::pair<double, double>> papers;
};

PdfPages pages_of(const std::string& pdf) {
    PdfPages pages;
    const std::regex page("/Type /Page[^s]");
    pages.count = static_cast<std::size_t>(std::distance(std::sregex_iterator(pdf.begin(), pdf.end(), page),
                                                         std::sregex_iterator()));
    const std::regex media_box(R"(/MediaBox \[ 0 0 ([0-9.]+) ([0-9.]+) \])");
    for (auto at = std::sregex_iterator(pdf.begin(), pdf.end(), media_box); at != std::sregex_iterator(); ++at) {
        pages.papers.emplace_back(std::stod((*at)[1]), std::stod((*at)[2]));
    }
    return pages;
}

// Lays out `blocks` on `sheet` from label `first`, in the default font.
LayoutResult lay_out(const char* sheet, std::size_t first, const std::vector<AddressBlock>& blocks, std::string& pdf,
                     std::size_t& unfit) {
    LabelFont font{};
    EXPECT_EQ(find_label_font(kDefaultFont, font), FontFound::kFound);
    const SheetPlacement placement = {find_sheet(sheet), 0.0, 0.0, first};
    GByteArray* bytes = g_byte_array_new();
    LayoutResult result = make_label_pdf(placement, font.description, blocks.data(), blocks.size(), bytes, unfit);
    pdf.assign(reinterpret_cast<const char*>(bytes->data), bytes->len);
    (void)g_byte_array_free(bytes, TRUE);
    release_label_font(font);
    return result;
}

std::vector<AddressBlock> blocks_of(const std::vector<CustomerRecord>& records) {
    std::vector<AddressBlock> blocks(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) EXPECT_TRUE(make_address_block(records[i], false, blocks[i]));
    return blocks;
}

std::vector<CustomerRecord> customers(std::size_t count) {
    return std::vector<CustomerRecord>(count, customer({"Smith", "John", "12 Main St", "Ottawa", "ON", "K1A0B1"}));
}

// Labels across then down from the first label given; a sheet full, then a new page.
TEST(SheetLayoutTest, EachSheetOnItsOwnPaperAndAsManyPagesAsItsLabelsFill) {
    const struct {
        const char* sheet;
        std::size_t labels;
        std::size_t first;
        std::size_t pages;
        const double* paper;
    } cases[] = {
        {"5160", 1, 0, 1, kLetterPoints},   {"5160", 30, 0, 1, kLetterPoints},  {"5160", 31, 0, 2, kLetterPoints},
        {"5160", 1, 29, 1, kLetterPoints},  {"5160", 2, 29, 2, kLetterPoints},  {"5161", 20, 0, 1, kLetterPoints},
        {"5161", 21, 0, 2, kLetterPoints},  {"5163", 10, 0, 1, kLetterPoints},  {"5163", 11, 0, 2, kLetterPoints},
        {"5163", 3, 8, 2, kLetterPoints},   {"L7160", 21, 0, 1, kA4Points},     {"L7160", 22, 0, 2, kA4Points},
        {"L7163", 14, 0, 1, kA4Points},     {"L7163", 15, 0, 2, kA4Points},     {"L7163", 35, 12, 4, kA4Points},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.sheet) + ", " + std::to_string(c.labels) + " labels from label " +
                     std::to_string(c.first + 1));
        std::string pdf;
        std::size_t unfit = 0;
        ASSERT_EQ(lay_out(c.sheet, c.first, blocks_of(customers(c.labels)), pdf, unfit), LayoutResult::kMade);
        PdfPages pages = pages_of(pdf);
        EXPECT_EQ(pages.count, c.pages);
        ASSERT_EQ(pages.papers.size(), c.pages) << "each page says its own paper";
        for (const auto& [width, height] : pages.papers) {
            EXPECT_NEAR(width, c.paper[0], 0.01);
            EXPECT_NEAR(height, c.paper[1], 0.01);
        }
        const LabelSheet& sheet = *find_sheet(c.sheet);
        EXPECT_NEAR(sheet.paper_width * kPointsPerMillimetre, c.paper[0], 0.01);
        EXPECT_NEAR(sheet.paper_height * kPointsPerMillimetre, c.paper[1], 0.01);
    }
}

// A label 25.4 mm tall holds five lines of 10 points, one 50.8 mm tall eleven;
// a line too wide is set smaller or broken, never found too wide. The block
// that does not fit is the one named.
TEST(SheetLayoutTest, ABlockFitsOnlyALabelTallEnough) {
    const CustomerRecord smith = customer({"Smith", "John", "12 Main St", "Ottawa", "ON", "K1A0B1"});
    const CustomerRecord seven_lines = customer({"Roy", "Ann", "1 A St\n2\n3\n4\n5", "Laval", "QC", "H7N5H9"});
    const CustomerRecord too_wide = customer({std::string(19, 'W'), std::string(19, 'W'), std::string(29, 'W'),
                                              std::string(19, '\x9D'), "QC", "H2X 1K9"});
    const struct {
        const char* name;
        const char* sheet;
        std::vector<CustomerRecord> records;
        LayoutResult result;
        std::size_t unfit;
    } cases[] = {
        {"three lines on the shortest label", "5160", {smith, smith}, LayoutResult::kMade, 0},
        {"seven lines on a label of 25.4 mm", "5160", {smith, seven_lines}, LayoutResult::kDoesNotFit, 1},
        {"seven lines on a label of 38.1 mm", "L7160", {smith, seven_lines}, LayoutResult::kMade, 0},
        {"seven lines on a label of 50.8 mm", "5163", {seven_lines, smith}, LayoutResult::kMade, 0},
        {"thirty lines on the tallest label", "5163",
         {smith, smith, customer({"Roy", "Ann", std::string(29, '\n')})}, LayoutResult::kDoesNotFit, 2},
        {"lines too wide on the narrowest label", "L7160", {too_wide, smith}, LayoutResult::kMade, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string pdf;
        std::size_t unfit = 0;
        EXPECT_EQ(lay_out(c.sheet, 0, blocks_of(c.records), pdf, unfit), c.result);
        if (c.result == LayoutResult::kDoesNotFit) {
            EXPECT_EQ(unfit, c.unfit);
        }
    }
}

}  // namespace
