// The labels laid out with Pango and drawn on cairo's PDF surface, which embeds
// the subset of each font used. One unit is one point: the surface's, and
// Pango's at a resolution of 72 dots an inch.
#include "labels/sheet_layout.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <pango/pangocairo.h>

#include <cstring>

namespace {

constexpr double kPointsPerMillimetre = 72.0 / 25.4;
constexpr double kLargestSize = 10.0;  // points
constexpr double kSmallestSize = 6.0;
constexpr double kSizeStep = 0.5;
constexpr int kSmallerSizes = static_cast<int>((kLargestSize - kSmallestSize) / kSizeStep);
static_assert(kLargestSize - kSmallerSizes * kSizeStep == kSmallestSize, "the steps end at the smallest size");

// The text's box, relative to where Pango puts the layout: its ink and its
// logical extent together, so that nothing of either lies outside the label.
struct TextBox {
    double x;
    double y;
    double width;
    double height;
};

// A piece of a block's line as it is set: one line on the label.
struct SetLine {
    std::size_t start;  // in the block's text
    std::size_t length;
    double size;
};

// A line is broken at most once a character, and each line ends with '\n'.
constexpr std::size_t kMostSetLines = kMostBlockLines * kLineCapacity;

// The whole block as one layout: its lines joined by '\n', each set line in its size.
struct SetBlock {
    char text[kMostBlockLines * kLineCapacity + kMostSetLines];
    std::size_t length;
    std::size_t line_ends[kMostBlockLines];  // where each of the block's lines ends in the text
    SetLine lines[kMostSetLines];
    std::size_t count;
};

SetBlock g_set;

// The label font at a size; the one line layout measures a line alone, the
// block layout holds the label's whole block, measured and drawn at once:
// most blocks are shaped once, at the largest size.
struct Typesetter {
    PangoLayout* line;
    PangoLayout* block;
    PangoFontDescription* font;
};

TextBox box_of(const PangoRectangle& ink, const PangoRectangle& logical) {
    int left = ink.width > 0 ? MIN(ink.x, logical.x) : logical.x;
    int top = ink.height > 0 ? MIN(ink.y, logical.y) : logical.y;
    int right = ink.width > 0 ? MAX(ink.x + ink.width, logical.x + logical.width) : logical.x + logical.width;
    int bottom = ink.height > 0 ? MAX(ink.y + ink.height, logical.y + logical.height) : logical.y + logical.height;
    return {static_cast<double>(left) / PANGO_SCALE, static_cast<double>(top) / PANGO_SCALE,
            static_cast<double>(right - left) / PANGO_SCALE, static_cast<double>(bottom - top) / PANGO_SCALE};
}

void set_size(Typesetter& typesetter, PangoLayout* layout, double size) {
    pango_font_description_set_size(typesetter.font, static_cast<gint>(size * PANGO_SCALE));
    pango_layout_set_font_description(layout, typesetter.font);
}

double measure(Typesetter& typesetter, const char* text, std::size_t length, double size) {
    set_size(typesetter, typesetter.line, size);
    pango_layout_set_text(typesetter.line, text, static_cast<int>(length));
    PangoRectangle ink{};
    PangoRectangle logical{};
    pango_layout_get_extents(typesetter.line, &ink, &logical);
    return box_of(ink, logical).width;
}

bool add(SetBlock& set, const char* text, std::size_t length, double size) {
    if (set.count == kMostSetLines || set.length + length + 1 > sizeof set.text) return false;
    std::memcpy(set.text + set.length, text, length);
    set.lines[set.count++] = {set.length, length, size};
    set.length += length;
    set.text[set.length++] = '\n';
    return true;
}

std::size_t without_trailing_spaces(const char* text, std::size_t start, std::size_t end) {
    while (end > start && text[end - 1] == ' ') --end;
    return end;
}

std::size_t next_character(const char* text, std::size_t at) {
    return static_cast<std::size_t>(g_utf8_next_char(text + at) - text);
}

// Sets a line too wide at the largest size in the largest smaller size that
// fits `width`, down to the smallest; a line too wide even then is broken at
// its last space that fits, or without one between two characters, and its
// pieces set in the smallest size.
bool set_smaller(Typesetter& typesetter, const char* text, std::size_t length, double width, SetBlock& set) {
    for (int step = 1; step <= kSmallerSizes; ++step) {
        double size = kLargestSize - step * kSizeStep;
        if (measure(typesetter, text, length, size) <= width) return add(set, text, length, size);
    }
    std::size_t start = 0;
    while (start < length) {
        if (measure(typesetter, text + start, length - start, kSmallestSize) <= width) {
            return add(set, text + start, length - start, kSmallestSize);
        }
        std::size_t last_space = 0;
        std::size_t longest = 0;
        for (std::size_t end = next_character(text, start); end < length; end = next_character(text, end)) {
            std::size_t kept = without_trailing_spaces(text, start, end);
            if (kept == start) continue;
            if (measure(typesetter, text + start, kept - start, kSmallestSize) > width) break;
            longest = end;
            if (text[end] == ' ') last_space = end;
        }
        // Not even one character fits: it goes alone, and the block is found too wide.
        std::size_t end = last_space != 0 ? last_space : longest != 0 ? longest : next_character(text, start);
        if (!add(set, text + start, without_trailing_spaces(text, start, end) - start, kSmallestSize)) return false;
        start = end;
        while (start < length && text[start] == ' ') ++start;
    }
    return true;
}

// Puts the set block in the block layout, each set line in its size.
void lay_out(Typesetter& typesetter, const SetBlock& set) {
    set_size(typesetter, typesetter.block, kLargestSize);
    PangoAttrList* sizes = pango_attr_list_new();
    for (std::size_t i = 0; i < set.count; ++i) {
        if (set.lines[i].size == kLargestSize) continue;
        PangoAttribute* size = pango_attr_size_new(static_cast<int>(set.lines[i].size * PANGO_SCALE));
        size->start_index = static_cast<guint>(set.lines[i].start);
        size->end_index = static_cast<guint>(set.lines[i].start + set.lines[i].length + 1);
        pango_attr_list_insert(sizes, size);
    }
    pango_layout_set_attributes(typesetter.block, sizes);
    pango_attr_list_unref(sizes);
    // Without the last line's '\n', which would start one more, empty line.
    pango_layout_set_text(typesetter.block, set.text, static_cast<int>(set.length > 0 ? set.length - 1 : 0));
}

// The block's line that a line of the layout starting at `index` belongs to.
std::size_t block_line_at(const SetBlock& set, std::size_t lines, int index) {
    std::size_t line = 0;
    while (line + 1 < lines && static_cast<std::size_t>(index) >= set.line_ends[line]) ++line;
    return line;
}

// Sets the block in a box of `width` by `height`, and gives the box of what is
// set; false when it does not fit.
bool set_block(Typesetter& typesetter, const AddressBlock& block, double width, double height, TextBox& box) {
    SetBlock& set = g_set;
    set.length = 0;
    set.count = 0;
    for (std::size_t line = 0; line < block.count; ++line) {
        if (!add(set, block.lines[line], block.lengths[line], kLargestSize)) return false;
        set.line_ends[line] = set.length;
    }
    lay_out(typesetter, set);
    // The lines too wide at the largest size, found in the layout of the whole block.
    bool too_wide[kMostBlockLines] = {};
    bool any_too_wide = false;
    for (GSList* item = pango_layout_get_lines_readonly(typesetter.block); item != nullptr; item = item->next) {
        auto* line = static_cast<PangoLayoutLine*>(item->data);
        PangoRectangle ink{};
        PangoRectangle logical{};
        pango_layout_line_get_extents(line, &ink, &logical);
        if (box_of(ink, logical).width > width) {
            too_wide[block_line_at(set, block.count, line->start_index)] = true;
            any_too_wide = true;
        }
    }
    if (any_too_wide) {
        set.length = 0;
        set.count = 0;
        for (std::size_t line = 0; line < block.count; ++line) {
            bool added = too_wide[line]
                             ? set_smaller(typesetter, block.lines[line], block.lengths[line], width, set)
                             : add(set, block.lines[line], block.lengths[line], kLargestSize);
            if (!added) return false;
        }
        lay_out(typesetter, set);
    }
    PangoRectangle ink{};
    PangoRectangle logical{};
    pango_layout_get_extents(typesetter.block, &ink, &logical);
    box = box_of(ink, logical);
    return box.width <= width && box.height <= height;
}

cairo_status_t append_to(void* closure, const unsigned char* data, unsigned int length) {
    (void)g_byte_array_append(static_cast<GByteArray*>(closure), data, length);
    return CAIRO_STATUS_SUCCESS;
}

LayoutResult draw_labels(cairo_t* cairo, Typesetter& typesetter, const SheetPlacement& placement,
                         const AddressBlock* blocks, std::size_t count, std::size_t& unfit) {
    const LabelSheet& sheet = *placement.sheet;
    std::size_t per_sheet = sheet.across * sheet.down;
    std::size_t page = 0;
    for (std::size_t k = 0; k < count; ++k) {
        std::size_t label = placement.first + k;
        for (; page < label / per_sheet; ++page) cairo_show_page(cairo);
        std::size_t column = label % per_sheet % sheet.across;
        std::size_t row = label % per_sheet / sheet.across;
        double left = sheet.left_margin + static_cast<double>(column) * sheet.pitch_across +
                      placement.offset_right + kInnerMargin;
        double top = sheet.top_margin + static_cast<double>(row) * sheet.pitch_down + placement.offset_down +
                     kInnerMargin;
        double width = (sheet.label_width - 2 * kInnerMargin) * kPointsPerMillimetre;
        double height = (sheet.label_height - 2 * kInnerMargin) * kPointsPerMillimetre;
        TextBox box{};
        if (!set_block(typesetter, blocks[k], width, height, box)) {
            unfit = k;
            return LayoutResult::kDoesNotFit;
        }
        // The top left corner of the block's box at the label's inner corner.
        cairo_move_to(cairo, left * kPointsPerMillimetre - box.x, top * kPointsPerMillimetre - box.y);
        pango_cairo_show_layout(cairo, typesetter.block);
    }
    return cairo_status(cairo) == CAIRO_STATUS_SUCCESS ? LayoutResult::kMade : LayoutResult::kFailed;
}

}  // namespace

LayoutResult make_label_pdf(const SheetPlacement& placement, const PangoFontDescription* font,
                            const AddressBlock* blocks, std::size_t count, GByteArray* pdf, std::size_t& unfit) {
    const LabelSheet& sheet = *placement.sheet;
    cairo_surface_t* surface = cairo_pdf_surface_create_for_stream(
        append_to, pdf, sheet.paper_width * kPointsPerMillimetre, sheet.paper_height * kPointsPerMillimetre);
    cairo_t* cairo = cairo_create(surface);
    PangoFontMap* font_map = pango_cairo_font_map_new();
    PangoContext* context = pango_font_map_create_context(font_map);
    pango_cairo_update_context(cairo, context);
    pango_cairo_context_set_resolution(context, 72.0);
    // Unhinted, unrounded: the text is measured as the PDF will place it.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);
    pango_context_set_round_glyph_positions(context, FALSE);
    Typesetter typesetter = {pango_layout_new(context), pango_layout_new(context), pango_font_description_copy(font)};

    LayoutResult result = draw_labels(cairo, typesetter, placement, blocks, count, unfit);
    pango_font_description_free(typesetter.font);
    g_object_unref(typesetter.line);
    g_object_unref(typesetter.block);
    g_object_unref(context);
    g_object_unref(font_map);
    cairo_destroy(cairo);
    cairo_surface_finish(surface);
    if (result == LayoutResult::kMade && cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        result = LayoutResult::kFailed;
    }
    cairo_surface_destroy(surface);
    return result;
}
