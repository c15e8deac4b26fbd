// The labels laid out with Pango and drawn on cairo's PDF surface, which embeds
// the subset of each font used. One unit is one point: the surface's, and
// Pango's at a resolution of 72 dots an inch.
#include "labels/sheet_layout.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <pango/pangocairo.h>

namespace {

constexpr double kPointsPerMillimetre = 72.0 / 25.4;
constexpr double kLargestSize = 10.0;  // points
constexpr double kSmallestSize = 6.0;
constexpr double kSizeStep = 0.5;
static_assert(kSmallestSize < kLargestSize, "a line too wide is set smaller");

// The text's box, relative to where Pango puts the layout: its ink and its
// logical extent together, so that nothing of either lies outside the label.
struct TextBox {
    double x;
    double y;
    double width;
    double height;
};

// A piece of a block's line, as it is set: one line on the label.
struct SetLine {
    std::size_t line;
    std::size_t start;
    std::size_t length;
    double size;
    TextBox box;
};

// A line is broken at most once a character.
constexpr std::size_t kMostSetLines = kMostBlockLines * kLineCapacity;

struct SetBlock {
    SetLine lines[kMostSetLines];
    std::size_t count;
};

SetBlock g_set;

struct Typesetter {
    PangoLayout* layout;
    PangoFontDescription* font;  // the label font; its size set line by line
};

TextBox measure(Typesetter& typesetter, const char* text, std::size_t length, double size) {
    pango_font_description_set_size(typesetter.font, static_cast<gint>(size * PANGO_SCALE));
    pango_layout_set_font_description(typesetter.layout, typesetter.font);
    pango_layout_set_text(typesetter.layout, text, static_cast<int>(length));
    PangoRectangle ink{};
    PangoRectangle logical{};
    pango_layout_get_extents(typesetter.layout, &ink, &logical);
    int left = ink.width > 0 ? MIN(ink.x, logical.x) : logical.x;
    int top = ink.height > 0 ? MIN(ink.y, logical.y) : logical.y;
    int right = ink.width > 0 ? MAX(ink.x + ink.width, logical.x + logical.width) : logical.x + logical.width;
    int bottom = ink.height > 0 ? MAX(ink.y + ink.height, logical.y + logical.height) : logical.y + logical.height;
    return {static_cast<double>(left) / PANGO_SCALE, static_cast<double>(top) / PANGO_SCALE,
            static_cast<double>(right - left) / PANGO_SCALE, static_cast<double>(bottom - top) / PANGO_SCALE};
}

bool add(SetBlock& set, std::size_t line, std::size_t start, std::size_t length, double size, const TextBox& box) {
    if (set.count == kMostSetLines) return false;
    set.lines[set.count++] = {line, start, length, size, box};
    return true;
}

std::size_t without_trailing_spaces(const char* text, std::size_t start, std::size_t end) {
    while (end > start && text[end - 1] == ' ') --end;
    return end;
}

std::size_t next_character(const char* text, std::size_t at) {
    return static_cast<std::size_t>(g_utf8_next_char(text + at) - text);
}

// Sets one line of the block in the largest size that fits `width`, down to the
// smallest; a line too wide even then is broken at its last space that fits,
// or without one between two characters, and its pieces set in the smallest size.
bool set_line(Typesetter& typesetter, const char* text, std::size_t length, std::size_t line, double width,
              SetBlock& set) {
    for (double size = kLargestSize; size >= kSmallestSize; size -= kSizeStep) {
        TextBox box = measure(typesetter, text, length, size);
        if (box.width <= width) return add(set, line, 0, length, size, box);
    }
    std::size_t start = 0;
    while (start < length) {
        TextBox box = measure(typesetter, text + start, length - start, kSmallestSize);
        if (box.width <= width) return add(set, line, start, length - start, kSmallestSize, box);
        std::size_t last_space = 0;
        std::size_t longest = 0;
        for (std::size_t end = next_character(text, start); end < length; end = next_character(text, end)) {
            std::size_t kept = without_trailing_spaces(text, start, end);
            if (kept == start) continue;
            if (measure(typesetter, text + start, kept - start, kSmallestSize).width > width) break;
            longest = end;
            if (text[end] == ' ') last_space = end;
        }
        // Not even one character fits: it goes alone, and the block is found too wide.
        std::size_t end = last_space != 0 ? last_space : longest != 0 ? longest : next_character(text, start);
        std::size_t kept = without_trailing_spaces(text, start, end);
        if (!add(set, line, start, kept - start, kSmallestSize,
                 measure(typesetter, text + start, kept - start, kSmallestSize))) {
            return false;
        }
        start = end;
        while (start < length && text[start] == ' ') ++start;
    }
    return true;
}

// Sets the block in a box of `width` by `height`; false when it does not fit.
bool set_block(Typesetter& typesetter, const AddressBlock& block, double width, double height, SetBlock& set) {
    set.count = 0;
    for (std::size_t line = 0; line < block.count; ++line) {
        if (!set_line(typesetter, block.lines[line], block.lengths[line], line, width, set)) return false;
    }
    double used = 0;
    for (std::size_t i = 0; i < set.count; ++i) {
        if (set.lines[i].box.width > width) return false;
        used += set.lines[i].box.height;
    }
    return used <= height;
}

// Draws the set block with the top left corner of its boxes at (left, top).
void draw_block(cairo_t* cairo, Typesetter& typesetter, const AddressBlock& block, const SetBlock& set, double left,
                double top) {
    for (std::size_t i = 0; i < set.count; ++i) {
        const SetLine& line = set.lines[i];
        TextBox box = measure(typesetter, block.lines[line.line] + line.start, line.length, line.size);
        cairo_move_to(cairo, left - box.x, top - box.y);
        pango_cairo_show_layout(cairo, typesetter.layout);
        top += box.height;
    }
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
        std::size_t on_sheet = label % per_sheet;
        double left = sheet.left_margin + static_cast<double>(on_sheet % sheet.across) * sheet.pitch_across +
                      placement.offset_right + kInnerMargin;
        double top = sheet.top_margin + static_cast<double>(on_sheet / sheet.across) * sheet.pitch_down +
                     placement.offset_down + kInnerMargin;
        double width = (sheet.label_width - 2 * kInnerMargin) * kPointsPerMillimetre;
        double height = (sheet.label_height - 2 * kInnerMargin) * kPointsPerMillimetre;
        if (!set_block(typesetter, blocks[k], width, height, g_set)) {
            unfit = k;
            return LayoutResult::kDoesNotFit;
        }
        draw_block(cairo, typesetter, blocks[k], g_set, left * kPointsPerMillimetre, top * kPointsPerMillimetre);
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
    Typesetter typesetter = {pango_layout_new(context), pango_font_description_copy(font)};
    // A field's line break or other control character stays on its line.
    pango_layout_set_single_paragraph_mode(typesetter.layout, TRUE);

    LayoutResult result = draw_labels(cairo, typesetter, placement, blocks, count, unfit);
    pango_font_description_free(typesetter.font);
    g_object_unref(typesetter.layout);
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
