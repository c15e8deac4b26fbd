// The three texts a record is shown as: the name line of the list, the screen
// view of a search and the printed block. Each is a table of pieces, so that its
// longest text is derived from the pieces and the record layout alone.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "record_store/code_page.h"
#include "record_store/customer_record.h"

constexpr std::size_t kFixedText = kFieldCount;
constexpr std::size_t kEndOfLayout = kFieldCount + 1;
constexpr std::size_t kMostPieces = 17;  // the screen view's; a longer layout does not compile

// A piece is the text of one field, or a fixed text when `field` is kFixedText.
// The pieces a layout leaves unset end it.
struct LayoutPiece {
    std::size_t field = kEndOfLayout;
    std::string_view text{};
};

struct RecordLayout {
    LayoutPiece pieces[kMostPieces];
};

constexpr LayoutPiece fixed(std::string_view text) { return {kFixedText, text}; }
constexpr LayoutPiece field(std::size_t index) { return {index, {}}; }

// The program's own layouts, byte for byte.
// "\n%s  %s": last and first name.
constexpr RecordLayout kNameLine{{fixed("\n"), field(0), fixed("  "), field(1)}};
// Two newlines, then five lines: names, address and city, province and postal
// code, telephone, year and model.
constexpr RecordLayout kScreenView{{fixed("\n\n"), field(0), fixed("   "), field(1), fixed("\n"),
                                    field(2), fixed("  "), field(3), fixed("\n"),
                                    field(4), fixed("    "), field(5), fixed("\n"),
                                    field(6), fixed("\n"), field(7), fixed("\n")}};
// The same five lines with narrower spacing and no leading newlines.
constexpr RecordLayout kPrintedBlock{{field(0), fixed("  "), field(1), fixed("\n"),
                                      field(2), fixed("  "), field(3), fixed("\n"),
                                      field(4), fixed("   "), field(5), fixed("\n"),
                                      field(6), fixed("\n"), field(7), fixed("\n")}};

// The longest text a layout makes: every field at its full width, without a NUL.
constexpr std::size_t longest_text(const RecordLayout& layout) {
    std::size_t length = 0;
    for (const LayoutPiece& piece : layout.pieces) {
        if (piece.field == kEndOfLayout) break;
        length += piece.field == kFixedText ? piece.text.size() : kFieldLayouts[piece.field].width;
    }
    return length;
}

// The same on a console that shows each byte of the list in up to kLongestUtf8OfByte.
constexpr std::size_t longest_shown(const RecordLayout& layout) {
    return kLongestUtf8OfByte * longest_text(layout);
}

// One record in one layout: room for the longest text of any of the three.
struct LayoutText {
    char bytes[std::max({longest_text(kNameLine), longest_text(kScreenView), longest_text(kPrintedBlock)})];
    std::size_t length;
};

LayoutText format_record(const CustomerRecord& record, const RecordLayout& layout);

inline std::string_view text_of(const LayoutText& text) {
    return std::string_view(text.bytes, text.length);
}
