// Asking fontconfig for a font by name, and the Pango description of what it found.
#include "labels/label_font.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangofc-fontmap.h>

#include <cstdio>

namespace {

// Whether `match` is of the family the name asked for, by any of its names
// (case ignored, as fontconfig ignores it).
bool same_family(FcPattern* asked, FcPattern* match) {
    FcChar8* wanted = nullptr;
    if (FcPatternGetString(asked, FC_FAMILY, 0, &wanted) != FcResultMatch) return false;
    FcChar8* family = nullptr;
    for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &family) == FcResultMatch; ++i) {
        if (FcStrCmpIgnoreCase(wanted, family) == 0) return true;
    }
    return false;
}

}  // namespace

FontFound find_label_font(const char* name, LabelFont& font) {
    font.description = nullptr;
    font.replacement[0] = '\0';
    FcPattern* asked = FcNameParse(reinterpret_cast<const FcChar8*>(name));
    if (asked == nullptr) return FontFound::kNoFamily;
    FcChar8* wanted = nullptr;
    if (FcPatternGetString(asked, FC_FAMILY, 0, &wanted) != FcResultMatch) {
        FcPatternDestroy(asked);
        return FontFound::kNoFamily;
    }
    FcPattern* pattern = FcPatternDuplicate(asked);
    FcResult result = FcResultNoMatch;
    FcPattern* match = nullptr;
    if (pattern != nullptr && FcConfigSubstitute(nullptr, pattern, FcMatchPattern) != FcFalse) {
        FcDefaultSubstitute(pattern);
        match = FcFontMatch(nullptr, pattern, &result);
    }
    FontFound found = FontFound::kReplaced;
    if (match != nullptr && same_family(asked, match)) {
        font.description = pango_fc_font_description_from_pattern(match, FALSE);
        found = FontFound::kFound;
    } else {
        FcChar8* family = nullptr;
        bool named = match != nullptr && FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch;
        (void)std::snprintf(font.replacement, sizeof font.replacement, "%s",
                            named ? reinterpret_cast<const char*>(family) : "no font at all");
    }
    if (match != nullptr) FcPatternDestroy(match);
    if (pattern != nullptr) FcPatternDestroy(pattern);
    FcPatternDestroy(asked);
    return found;
}

void release_label_font(LabelFont& font) {
    if (font.description != nullptr) pango_font_description_free(font.description);
    font.description = nullptr;
}
