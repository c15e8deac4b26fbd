// Setting the address blocks on label sheets as a PDF, with cairo's PDF
// surface and Pango: the size each line is set in, the lines broken where they
// must be, the labels across then down, page after page.
#pragma once

#include <glib.h>
#include <pango/pango.h>

#include <cstddef>

#include "labels/address_block.h"
#include "labels/label_sheets.h"

// Where the labels go on the sheet.
struct SheetPlacement {
    const LabelSheet* sheet;
    double offset_right;  // millimetres, the printer's calibration
    double offset_down;
    std::size_t first;  // the first label used on the first sheet, from 0
};

enum class LayoutResult { kMade, kDoesNotFit, kFailed };

// Appends the PDF of `count` blocks, label after label, to `pdf`. kDoesNotFit
// (with the block's number in `unfit`) when a block cannot be set inside its
// label even at the smallest size; kFailed when cairo or Pango fail.
LayoutResult make_label_pdf(const SheetPlacement& placement, const PangoFontDescription* font,
                            const AddressBlock* blocks, std::size_t count, GByteArray* pdf, std::size_t& unfit);
