// ledgerine-export: the list in the current directory on standard output, as
// CSV or as vCards, whole or not at all; or as one vCard file a card in a folder.
#include <cstdio>
#include <cstring>
#include <string>

#include "export/csv_export.h"
#include "export/vcard_export.h"
#include "platform/platform.h"
#include "record_store/data_file.h"
#include "tools/command_line.h"

namespace {

constexpr int kStatusWritten = 0;
constexpr int kStatusFailed = 1;

constexpr std::size_t kFormatOption = 0;
constexpr std::size_t kSplitOption = 1;

constexpr ToolCommandLine kCommandLine = {
    "ledgerine-export",
    "Usage: ledgerine-export [--format csv|vcard|vcard4] [--split DIR]\n"
    "Writes the list in Maillist.dat, in the current directory, to standard output\n"
    "as CSV in UTF-8, or as vCards for an address book.\n"
    "  --format FORMAT  csv (the default), vcard (vCard 3.0) or vcard4 (vCard 4.0)\n"
    "  --split DIR      with a vCard format: one file a card, UUID.vcf, in the\n"
    "                   existing folder DIR, and nothing on standard output\n"
    "  --help           show this help and exit\n"
    "  --version        show the version and exit\n",
    {{"--format", '\0', true}, {"--split", '\0', true}},
    0,
};

enum class Format { kCsv, kVcard30, kVcard40 };

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
    if (!platform_is_folder(folder)) {
        (void)std::fprintf(stderr, "ledgerine-export: %s is not a folder\n", folder);
        return kStatusFailed;
    }
    // Every name is looked at before any card is written: a file already there is never replaced.
    for (std::size_t card = 0; card < g_cards.card_count; ++card) {
        std::string card_name = card_path(folder, g_cards.uuids[card]);
        for (const std::string& path : {card_name, platform_temporary_name(card_name.c_str())}) {
            if (!platform_name_free(path.c_str())) {
                (void)std::fprintf(stderr, "ledgerine-export: %s is already there; no card was written\n",
                                   path.c_str());
                return kStatusFailed;
            }
        }
    }
    for (std::size_t card = 0; card < g_cards.card_count; ++card) {
        if (!write_card_file(folder, card)) {
            std::string path = card_path(folder, g_cards.uuids[card]);
            (void)std::fprintf(stderr, "ledgerine-export: could not write %s; %zu of the %zu cards were written\n",
                               path.c_str(), card, g_cards.card_count);
            return kStatusFailed;
        }
    }
    return kStatusWritten;
}

}  // namespace

int main(int argc, char** argv) {
    ToolArguments arguments;
    // First, so that a closed standard stream can never become the data file.
    platform_prepare_process();
    if (std::optional<int> done = read_command_line(argc, argv, kCommandLine, arguments)) return *done;
    Format format = Format::kCsv;
    if (const char* name = arguments.values[kFormatOption]) {
        if (std::strcmp(name, "vcard") == 0) {
            format = Format::kVcard30;
        } else if (std::strcmp(name, "vcard4") == 0) {
            format = Format::kVcard40;
        } else if (std::strcmp(name, "csv") != 0) {
            return usage_error(kCommandLine, "unknown format", name);
        }
    }
    const char* folder = arguments.values[kSplitOption];
    if (folder != nullptr && format == Format::kCsv) {
        return usage_error(kCommandLine, "--split needs a vCard format", folder);
    }

    bool loaded = open_data_file() && load_records(g_table);
    close_data_file();
    if (!loaded) {
        (void)std::fputs("ledgerine-export: could not read Maillist.dat\n", stderr);
        return kStatusFailed;
    }
    const char* bytes;
    std::size_t length;
    if (format == Format::kCsv) {
        format_csv(g_table, platform_marks_utf8_files(), g_csv);
        bytes = g_csv.bytes;
        length = g_csv.length;
    } else {
        format_vcards(g_table, format == Format::kVcard30 ? VcardVersion::k30 : VcardVersion::k40, g_cards);
        if (folder != nullptr) return write_card_files(folder);
        bytes = g_cards.bytes;
        length = g_cards.length;
    }
    if (!platform_write_standard_output(bytes, length)) {
        (void)std::fputs("ledgerine-export: could not write the list to standard output\n", stderr);
        return kStatusFailed;
    }
    return kStatusWritten;
}
