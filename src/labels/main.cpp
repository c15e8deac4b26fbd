// ledgerine-labels: the list (Maillist.dat in the current directory, or
// --list's FILE) as a PDF of mailing labels, on standard output or in a file,
// whole or not at all.
#include <glib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "labels/address_block.h"
#include "labels/label_font.h"
#include "labels/label_order.h"
#include "labels/label_output.h"
#include "labels/label_sheets.h"
#include "labels/sheet_layout.h"
#include "platform/platform.h"
#include "record_store/code_page.h"
#include "record_store/data_file.h"
#include "tools/command_line.h"

namespace {

enum Option : std::size_t { kOutput, kSheet, kListSheets, kFirst, kOffset, kLastName, kSort, kUpper, kFont };

constexpr OptionChoices kOrders = {
    "sort key", "sort keys", {{"last-name", static_cast<int>(LabelOrder::kLastName), nullptr},
                              {"postal-code", static_cast<int>(LabelOrder::kPostalCode), nullptr}}};

constexpr ToolCommandLine kCommandLine = {
    "ledgerine-labels",
    "Usage: ledgerine-labels [OPTIONS]",
    "Writes the list as a PDF of mailing labels to standard output.\n",
    {{"--output", 'o', "FILE", "write the PDF to FILE instead, replaced only when whole", nullptr},
     {"--sheet", '\0', "NAME", "the label sheet (5160 unless named); --list-sheets shows them", nullptr},
     {"--list-sheets", '\0', nullptr, "show the sheets: name, paper, labels across x down, label size", nullptr},
     {"--first", '\0', "N", "start at label N of the first sheet, counted across then down", nullptr},
     {"--offset", '\0', "X,Y",
      "move everything right by X and down by Y, each with its unit (mm, in or pt; at most 20mm either way), "
      "as in -1.5mm,.02in",
      nullptr},
     {"--last-name", '\0', "NAME", "only the customers with that last name", nullptr},
     {"--sort", '\0', "KEY", "by {}, not in the list's order", &kOrders},
     {"--upper", '\0', nullptr, "the addresses in upper case", nullptr},
     {"--font", '\0', "NAME", "the font by its fontconfig name (DejaVu Sans unless named)", nullptr}},
    0,
};

// The printer's calibration moves the labels this far at the most, either way.
constexpr double kMostOffset = 20.0;  // millimetres

struct LengthUnit {
    const char* name;
    double millimetres;
};
constexpr LengthUnit kUnits[] = {{"mm", 1.0}, {"in", 25.4}, {"pt", 25.4 / 72.0}};

// A number with its unit ("-1.5mm", ".02in", "+3pt") in millimetres; false for
// anything else.
bool read_length(std::string_view text, double& millimetres) {
    std::size_t at = 0;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
    std::size_t digits = 0;
    bool point = false;
    for (; at < text.size(); ++at) {
        if (text[at] >= '0' && text[at] <= '9') {
            ++digits;
        } else if (text[at] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0) return false;
    for (const LengthUnit& unit : kUnits) {
        if (text.substr(at) != unit.name) continue;
        char number[64];
        if (at >= sizeof number) return false;
        std::memcpy(number, text.data(), at);
        number[at] = '\0';
        // The C locale's decimal point: the program never sets LC_NUMERIC.
        millimetres = std::strtod(number, nullptr) * unit.millimetres;
        return true;
    }
    return false;
}

bool read_offset(const char* text, SheetPlacement& placement) {
    std::string_view offset(text);
    std::size_t comma = offset.find(',');
    if (comma == std::string_view::npos) return false;
    return read_length(offset.substr(0, comma), placement.offset_right) &&
           read_length(offset.substr(comma + 1), placement.offset_down) &&
           placement.offset_right >= -kMostOffset && placement.offset_right <= kMostOffset &&
           placement.offset_down >= -kMostOffset && placement.offset_down <= kMostOffset;
}

// N from 1 to the labels on a sheet, as the index from 0.
bool read_first(const char* text, std::size_t labels, std::size_t& first) {
    std::size_t n = 0;
    if (*text == '\0') return false;
    for (const char* at = text; *at != '\0'; ++at) {
        if (*at < '0' || *at > '9') return false;
        n = n * 10 + static_cast<std::size_t>(*at - '0');
        if (n > labels) return false;
    }
    if (n == 0) return false;
    first = n - 1;
    return true;
}

// Static: too large for the stack of small machines.
RecordTable g_table;
LabelSelection g_selection;
AddressBlock g_blocks[kMaxRecords];

// Everything after the command line: the font, the list, the blocks, the PDF.
int make_labels(const ToolArguments& arguments, const SheetPlacement& placement, LabelOrder order,
                LabelOutput& output, const PangoFontDescription* font) {
    // The name is typed in the locale's character set and compared in the list's.
    std::string_view last_name;
    if (arguments.given[kLastName]) {
        // A name longer than the buffer is longer than any last name even in the
        // list's bytes (a character takes at most 4 bytes of UTF-8), and matches none.
        static char converted[sizeof(CustomerRecord::last_name) * 4];
        last_name = arguments.values[kLastName];
        if (last_name.size() <= sizeof converted && platform_console_speaks_utf8()) {
            std::size_t unfinished = 0;
            last_name = std::string_view(
                converted, utf8_to_list(last_name.data(), last_name.size(), converted, false, unfinished));
        }
    }
    if (!load_tool_list(arguments, g_table)) return kStatusFailed;
    select_records(g_table, arguments.given[kLastName] ? &last_name : nullptr, g_selection);
    if (g_selection.count == 0) {
        return tool_error(0, arguments.given[kLastName] ? "no labels: no customer has that last name"
                                                        : "no labels: the list is empty");
    }
    if (!sort_selection(g_table, order, g_selection)) return tool_error(0, "could not compare the names to sort them");
    for (std::size_t k = 0; k < g_selection.count; ++k) {
        if (!make_address_block(g_table.slots[g_selection.slots[k]], arguments.given[kUpper], g_blocks[k])) {
            return tool_error(0, "could not put an address in upper case");
        }
    }
    GByteArray* pdf = g_byte_array_new();
    std::size_t unfit = 0;
    LayoutResult laid = make_label_pdf(placement, font, g_blocks, g_selection.count, pdf, unfit);
    int status = kStatusDone;
    if (laid == LayoutResult::kDoesNotFit) {
        status = tool_error(0, "could not fit the address of record %zu on its label in this font",
                            g_selection.slots[unfit] + 1);
    } else if (laid == LayoutResult::kFailed) {
        status = tool_error(0, "could not lay out the labels");
    } else if (!write_label_output(output, pdf->data, pdf->len)) {
        status = tool_error(errno, "could not write the labels to %s", output.shown);
    }
    (void)g_byte_array_free(pdf, TRUE);
    return status;
}

// The sheet, the first label and the offset; the exit status of a usage error.
std::optional<int> read_placement(const ToolArguments& arguments, SheetPlacement& placement) {
    placement = {&kSheets[0], 0.0, 0.0, 0};
    if (arguments.given[kSheet]) {
        placement.sheet = find_sheet(arguments.values[kSheet]);
        if (placement.sheet == nullptr) {
            return usage_error("unknown sheet '%s' (the sheets are %s)", arguments.values[kSheet], sheet_names());
        }
    }
    std::size_t labels = placement.sheet->across * placement.sheet->down;
    if (arguments.given[kFirst] && !read_first(arguments.values[kFirst], labels, placement.first)) {
        return usage_error("unknown label '%s' for --first (the labels are 1 to %zu)", arguments.values[kFirst], labels);
    }
    if (arguments.given[kOffset] && !read_offset(arguments.values[kOffset], placement)) {
        return usage_error("unknown offset '%s' (X,Y, each a number with mm, in or pt, at most 20mm)",
                           arguments.values[kOffset]);
    }
    return std::nullopt;
}

// Finds the font; the exit status when there is none.
std::optional<int> find_font(const ToolArguments& arguments, LabelFont& font) {
    const char* font_name = arguments.given[kFont] ? arguments.values[kFont] : kDefaultFont;
    FontFound found = find_label_font(font_name, font);
    if (found == FontFound::kFound) return std::nullopt;
    if (found == FontFound::kNoFamily) return usage_error("font '%s' names no family", font_name);
    // The default font missing is the machine's fault, not the command's.
    if (arguments.given[kFont]) {
        return usage_error("unknown font '%s' (fontconfig would put %s in its place)", font_name, font.replacement);
    }
    return tool_error(0, "could not find the font '%s': fontconfig would put %s in its place", font_name,
                      font.replacement);
}

}  // namespace

int main(int argc, char** argv) {
    ToolArguments arguments;
    if (std::optional<int> done = open_tool(argc, argv, kCommandLine, arguments)) return *done;
    if (arguments.given[kListSheets]) {
        if (!standard_output_open()) return kStatusFailed;
        return list_sheets() ? kStatusDone : tool_error(errno, "could not write the sheets to standard output");
    }
    SheetPlacement placement{};
    if (std::optional<int> refused = read_placement(arguments, placement)) return *refused;
    LabelOrder order = arguments.given[kSort] ? static_cast<LabelOrder>(arguments.choices[kSort]) : LabelOrder::kFile;
    if (!arguments.given[kOutput] && !standard_output_open()) return kStatusFailed;
    LabelFont font{};
    if (std::optional<int> missing = find_font(arguments, font)) return *missing;

    LabelOutput output{};
    OutputOpened opened = open_label_output(arguments.given[kOutput] ? arguments.values[kOutput] : nullptr, output);
    int status = kStatusFailed;
    if (opened == OutputOpened::kTerminal) {
        status = usage_error("%s is a terminal, not a place for a PDF: use -o FILE or a pipe", output.shown);
    } else if (opened == OutputOpened::kFailed) {
        (void)tool_error(errno, "could not write to %s", output.shown);
    } else {
        status = make_labels(arguments, placement, order, output, font.description);
    }
    close_label_output(output);
    release_label_font(font);
    return status;
}
