// ledgerine-labels: the list in the current directory as a PDF of mailing
// labels, on standard output or in a file, whole or not at all.
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

constexpr int kStatusWritten = 0;
constexpr int kStatusFailed = 1;

enum Option : std::size_t { kOutput, kSheet, kListSheets, kFirst, kOffset, kLastName, kSort, kUpper, kFont };

constexpr ToolCommandLine kCommandLine = {
    "ledgerine-labels",
    "Usage: ledgerine-labels [OPTIONS]\n"
    "Writes the list in Maillist.dat, in the current directory, as a PDF of mailing\n"
    "labels to standard output.\n"
    "  -o, --output FILE  write the PDF to FILE instead, replaced only when whole\n"
    "  --sheet NAME       the label sheet (5160 unless named); --list-sheets shows them\n"
    "  --list-sheets      show the sheets: name, paper, labels across x down, label size\n"
    "  --first N          start at label N of the first sheet, counted across then down\n"
    "  --offset X,Y       move everything right by X and down by Y, each with its unit\n"
    "                     (mm, in or pt; at most 20mm either way), as in -1.5mm,.02in\n"
    "  --last-name NAME   only the customers with that last name\n"
    "  --sort KEY         by last-name or by postal-code, not in the list's order\n"
    "  --upper            the addresses in upper case\n"
    "  --font NAME        the font by its fontconfig name (DejaVu Sans unless named)\n"
    "  --help             show this help and exit\n"
    "  --version          show the version and exit\n",
    {{"--output", 'o', true},
     {"--sheet", '\0', true},
     {"--list-sheets", '\0', false},
     {"--first", '\0', true},
     {"--offset", '\0', true},
     {"--last-name", '\0', true},
     {"--sort", '\0', true},
     {"--upper", '\0', false},
     {"--font", '\0', true}},
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

bool read_order(const char* text, LabelOrder& order) {
    if (std::strcmp(text, "last-name") == 0) {
        order = LabelOrder::kLastName;
    } else if (std::strcmp(text, "postal-code") == 0) {
        order = LabelOrder::kPostalCode;
    } else {
        return false;
    }
    return true;
}

int say(const char* what) {
    (void)std::fprintf(stderr, "ledgerine-labels: %s\n", what);
    return kStatusFailed;
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
    bool loaded = open_data_file() && load_records(g_table);
    close_data_file();
    if (!loaded) return say("could not read Maillist.dat");
    select_records(g_table, arguments.given[kLastName] ? &last_name : nullptr, g_selection);
    if (g_selection.count == 0) {
        return say(arguments.given[kLastName] ? "no labels: no customer has that last name"
                                              : "no labels: the list is empty");
    }
    if (!sort_selection(g_table, order, g_selection)) return say("could not compare the names to sort them");
    for (std::size_t k = 0; k < g_selection.count; ++k) {
        if (!make_address_block(g_table.slots[g_selection.slots[k]], arguments.given[kUpper], g_blocks[k])) {
            return say("could not put an address in upper case");
        }
    }
    GByteArray* pdf = g_byte_array_new();
    std::size_t unfit = 0;
    LayoutResult laid = make_label_pdf(placement, font, g_blocks, g_selection.count, pdf, unfit);
    int status = kStatusWritten;
    if (laid == LayoutResult::kDoesNotFit) {
        (void)std::fprintf(stderr, "ledgerine-labels: the address of record %zu does not fit its label in this font\n",
                           g_selection.slots[unfit] + 1);
        status = kStatusFailed;
    } else if (laid == LayoutResult::kFailed) {
        status = say("could not lay out the labels");
    } else if (!write_label_output(output, pdf->data, pdf->len)) {
        (void)std::fprintf(stderr, "ledgerine-labels: could not write the labels to %s: %s\n", output.shown,
                           std::strerror(errno));
        status = kStatusFailed;
    }
    (void)g_byte_array_free(pdf, TRUE);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    ToolArguments arguments;
    // First, so that a closed standard stream can never become the data file.
    platform_prepare_process();
    if (std::optional<int> done = read_command_line(argc, argv, kCommandLine, arguments)) return *done;
    if (arguments.given[kListSheets]) return list_sheets() ? kStatusWritten : kStatusFailed;

    SheetPlacement placement = {&kSheets[0], 0.0, 0.0, 0};
    if (arguments.given[kSheet]) {
        placement.sheet = find_sheet(arguments.values[kSheet]);
        if (placement.sheet == nullptr) {
            char what[128];
            (void)std::snprintf(what, sizeof what, "unknown sheet (the sheets are %s)", sheet_names());
            return usage_error(kCommandLine, what, arguments.values[kSheet]);
        }
    }
    std::size_t labels = placement.sheet->across * placement.sheet->down;
    if (arguments.given[kFirst] && !read_first(arguments.values[kFirst], labels, placement.first)) {
        char what[96];
        (void)std::snprintf(what, sizeof what, "--first takes a label from 1 to %zu, not", labels);
        return usage_error(kCommandLine, what, arguments.values[kFirst]);
    }
    if (arguments.given[kOffset] && !read_offset(arguments.values[kOffset], placement)) {
        return usage_error(kCommandLine, "--offset takes X,Y, each a number with mm, in or pt, at most 20mm, not",
                           arguments.values[kOffset]);
    }
    LabelOrder order = LabelOrder::kFile;
    if (arguments.given[kSort] && !read_order(arguments.values[kSort], order)) {
        return usage_error(kCommandLine, "--sort takes last-name or postal-code, not", arguments.values[kSort]);
    }

    const char* font_name = arguments.given[kFont] ? arguments.values[kFont] : kDefaultFont;
    LabelFont font{};
    FontFound found = find_label_font(font_name, font);
    if (found != FontFound::kFound) {
        if (found == FontFound::kNoFamily) return usage_error(kCommandLine, "--font names no family:", font_name);
        (void)std::fprintf(stderr, "ledgerine-labels: there is no font '%s': fontconfig would put %s in its place\n",
                           font_name, font.replacement);
        // The default font missing is the machine's fault, not the command's.
        return arguments.given[kFont] ? kStatusUsage : kStatusFailed;
    }

    LabelOutput output{};
    OutputOpened opened = open_label_output(arguments.given[kOutput] ? arguments.values[kOutput] : nullptr, output);
    int status = kStatusFailed;
    if (opened == OutputOpened::kTerminal) {
        (void)std::fprintf(stderr, "ledgerine-labels: %s is a terminal, not a place for a PDF: use -o FILE or a pipe\n",
                           output.shown);
        status = kStatusUsage;
    } else if (opened == OutputOpened::kFailed) {
        (void)std::fprintf(stderr, "ledgerine-labels: cannot write to %s: %s\n", output.shown, std::strerror(errno));
    } else {
        status = make_labels(arguments, placement, order, output, font.description);
    }
    close_label_output(output);
    release_label_font(font);
    return status;
}
