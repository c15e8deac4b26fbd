// ledgerine-export: the list (Maillist.dat in the current directory, or --list's
// FILE) on standard output, as CSV or as vCards, whole or not at all; or as one
// vCard file a card in a folder.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "export/csv_export.h"
#include "export/vcard_export.h"
#include "platform/platform.h"
#include "record_store/data_file.h"
#include "tools/command_line.h"

namespace {

constexpr std::size_t kFormatOption = 0;
constexpr std::size_t kSplitOption = 1;

enum Format : int { kCsv, kVcard30, kVcard40 };
constexpr OptionChoices kFormats = {
    "format", "formats", {{"csv", kCsv, "the default"}, {"vcard", kVcard30, "vCard 3.0"}, {"vcard4", kVcard40, "vCard 4.0"}}};

constexpr ToolCommandLine kCommandLine = {
    "ledgerine-export",
    "Usage: ledgerine-export [OPTIONS]",
    "Writes the list to standard output as CSV in UTF-8, or as vCards for an\n"
    "address book.\n",
    {{"--format", '\0', "FORMAT", "{}", &kFormats},
     {"--split", '\0', "DIR",
      "with a vCard format: one file a card, UUID.vcf, in the existing folder DIR, and nothing on standard output",
      nullptr}},
    0,
};

// The card files' names in the folder: the UUID and ".vcf". Each is written
// whole (platform_write_whole_file) under a hidden temporary name, ".UUID.vcf.tmp",
// that folder-based address books pass over.
constexpr std::string_view kCardSuffix = ".vcf";

// Static: too large for the stack of small machines.
RecordTable g_table;
CsvText g_csv;
VcardText g_cards;

std::string card_path(const char* folder, const char (&uuid)[kUuidTextLength]) {
    std::string path = folder;
    if (!path.empty() && path.back() != '/') path += '/';
    path.append(uuid, kUuidTextLength);
    path += kCardSuffix;
    return path;
}

// Never in place of a file made under its name meanwhile: an address book
// never sees part of a card, nor loses a file of its own.
bool write_card_file(const char* folder, std::size_t card) {
    std::string path = card_path(folder, g_cards.uuids[card]);
    std::size_t start = card == 0 ? 0 : g_cards.card_ends[card - 1];
    return platform_write_whole_file(path.c_str(), g_cards.bytes + start, g_cards.card_ends[card] - start,
                                     ExistingFile::kKept);
}

int write_card_files(const char* folder) {
    if (!platform_is_folder(folder)) return tool_error(0, "could not write the cards into %s: not a folder", folder);
    // Every name is looked at before any card is written: a file already there is never replaced.
    for (std::size_t card = 0; card < g_cards.card_count; ++card) {
        std::string card_name = card_path(folder, g_cards.uuids[card]);
        for (const std::string& path : {card_name, platform_temporary_name(card_name.c_str())}) {
            if (!platform_name_free(path.c_str())) {
                return tool_error(0, "could not write %s: a file is already there; no card was written", path.c_str());
            }
        }
    }
    for (std::size_t card = 0; card < g_cards.card_count; ++card) {
        if (!write_card_file(folder, card)) {
            int error = errno;
            std::string path = card_path(folder, g_cards.uuids[card]);
            return tool_error(0, "could not write %s: %s; %zu of the %zu cards were written", path.c_str(),
                              std::strerror(error), card, g_cards.card_count);
        }
    }
    return kStatusDone;
}

}  // namespace

int main(int argc, char** argv) {
    ToolArguments arguments;
    if (std::optional<int> done = open_tool(argc, argv, kCommandLine, arguments)) return *done;
    auto format = static_cast<Format>(arguments.choices[kFormatOption]);  // kCsv unless given
    const char* folder = arguments.values[kSplitOption];
    if (folder != nullptr && format == kCsv) return usage_error("--split needs --format vcard or vcard4");
    if (folder == nullptr && !standard_output_open()) return kStatusFailed;
    if (!load_tool_list(arguments, g_table)) return kStatusFailed;
    const char* bytes;
    std::size_t length;
    if (format == kCsv) {
        format_csv(g_table, platform_marks_utf8_files(), g_csv);
        bytes = g_csv.bytes;
        length = g_csv.length;
    } else {
        format_vcards(g_table, format == kVcard30 ? VcardVersion::k30 : VcardVersion::k40, g_cards);
        if (folder != nullptr) return write_card_files(folder);
        bytes = g_cards.bytes;
        length = g_cards.length;
    }
    if (!platform_write_standard_output(bytes, length)) {
        return tool_error(errno, "could not write the list to standard output");
    }
    return kStatusDone;
}
