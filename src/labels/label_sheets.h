// The label sheets the tool knows, from their makers' published figures, and
// finding one by name.
#pragma once

#include <cstddef>

struct LabelSheet {
    const char* name;
    const char* paper;
    double paper_width;  // every length in millimetres
    double paper_height;
    std::size_t across;
    std::size_t down;
    double label_width;
    double label_height;
    double left_margin;  // paper edge to the first label's edge
    double top_margin;
    double pitch_across;  // one label's left edge to the next one's
    double pitch_down;
};

constexpr double kLetterWidth = 215.9;
constexpr double kLetterHeight = 279.4;
constexpr double kA4Width = 210.0;
constexpr double kA4Height = 297.0;

constexpr std::size_t kSheetCount = 5;
// The first is the default: 3 x 10 on letter paper, the common one.
constexpr LabelSheet kSheets[kSheetCount] = {
    {"5160", "letter", kLetterWidth, kLetterHeight, 3, 10, 66.68, 25.40, 4.78, 12.70, 69.85, 25.40},
    {"5161", "letter", kLetterWidth, kLetterHeight, 2, 10, 101.60, 25.40, 3.96, 12.70, 106.36, 25.40},
    {"5163", "letter", kLetterWidth, kLetterHeight, 2, 5, 101.60, 50.80, 3.96, 12.70, 106.36, 50.80},
    {"L7160", "A4", kA4Width, kA4Height, 3, 7, 63.50, 38.10, 7.20, 15.15, 66.04, 38.10},
    {"L7163", "A4", kA4Width, kA4Height, 2, 7, 99.06, 38.10, 4.67, 15.15, 101.60, 38.10},
};

// The text keeps this far from every edge of its label.
constexpr double kInnerMargin = 2.0;

constexpr bool every_sheet_is_sound() {
    for (const LabelSheet& sheet : kSheets) {
        bool fits_across = sheet.left_margin + static_cast<double>(sheet.across - 1) * sheet.pitch_across +
                               sheet.label_width <= sheet.paper_width;
        bool fits_down = sheet.top_margin + static_cast<double>(sheet.down - 1) * sheet.pitch_down +
                             sheet.label_height <= sheet.paper_height;
        bool no_overlap = sheet.label_width <= sheet.pitch_across && sheet.label_height <= sheet.pitch_down;
        bool room_inside = sheet.label_width > 2 * kInnerMargin && sheet.label_height > 2 * kInnerMargin;
        if (!fits_across || !fits_down || !no_overlap || !room_inside) return false;
    }
    return true;
}
static_assert(every_sheet_is_sound(), "every label lies on its paper, apart from the others, with room inside");

// The sheet of that name, case ignored; null when there is none.
const LabelSheet* find_sheet(const char* name);

// "5160, 5161, 5163, L7160 and L7163", for a message.
const char* sheet_names();

// One line a sheet on standard output: name, paper, labels across x down, label
// size. False when it could not be written.
bool list_sheets();
