// The font of the labels, named as fontconfig names fonts ("DejaVu Sans",
// "DejaVu Serif:bold"): taken only when fontconfig has that family, never
// another put in its place.
#pragma once

#include <pango/pango.h>

#include <cstddef>

constexpr const char* kDefaultFont = "DejaVu Sans";

struct LabelFont {
    PangoFontDescription* description;  // without a size; null until found
    char replacement[128];              // the family fontconfig would use instead
};

enum class FontFound { kFound, kReplaced, kNoFamily };

FontFound find_label_font(const char* name, LabelFont& font);
void release_label_font(LabelFont& font);
