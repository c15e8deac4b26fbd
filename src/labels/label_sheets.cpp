// Finding a label sheet by name and listing the sheets.
#include "labels/label_sheets.h"

#include <strings.h>

#include <cstdio>

const LabelSheet* find_sheet(const char* name) {
    for (const LabelSheet& sheet : kSheets) {
        if (strcasecmp(sheet.name, name) == 0) return &sheet;
    }
    return nullptr;
}

const char* sheet_names() {
    static char names[64];
    if (names[0] == '\0') {
        std::size_t used = 0;
        for (std::size_t i = 0; i < kSheetCount; ++i) {
            const char* joint = i == 0 ? "" : i + 1 == kSheetCount ? " and " : ", ";
            int wrote = std::snprintf(names + used, sizeof names - used, "%s%s", joint, kSheets[i].name);
            if (wrote > 0) used += static_cast<std::size_t>(wrote);
        }
    }
    return names;
}

bool list_sheets() {
    for (const LabelSheet& sheet : kSheets) {
        if (std::printf("%-6s %-7s %zu x %-3zu %6.2f x %5.2f mm\n", sheet.name, sheet.paper, sheet.across, sheet.down,
                        sheet.label_width, sheet.label_height) < 0) {
            return false;
        }
    }
    return std::fflush(stdout) == 0;
}
