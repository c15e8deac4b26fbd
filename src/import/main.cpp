// ledgerine-import: the rows of a CSV file, or the cards of a vCard file, added
// to the list in the current directory, all of them or none, in one save.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "import/csv_import.h"
#include "import/refusal_text.h"
#include "import/vcard_import.h"
#include "platform/platform.h"
#include "record_store/data_file.h"
#include "tools/command_line.h"

namespace {

constexpr int kStatusAdded = 0;
constexpr int kStatusRefused = 1;
constexpr std::size_t kCheckOption = 0;
constexpr std::size_t kFormatOption = 1;
constexpr std::size_t kReadSize = std::size_t{64} * 1024;

constexpr ToolCommandLine kCommandLine = {
    "ledgerine-import",
    "Usage: ledgerine-import [--check] [--format csv|vcard] [FILE]\n"
    "Adds the rows of the CSV file, or the cards of the vCard file, FILE (standard\n"
    "input when FILE is - or absent) to the list in Maillist.dat, in the current\n"
    "directory: all of them or none. A file whose first line is BEGIN:VCARD is vCard.\n"
    "  --check           read and check everything, write nothing, and say what would be added\n"
    "  --format FORMAT   read the file as csv or vcard, whatever its first line\n"
    "  --help            show this help and exit\n"
    "  --version         show the version and exit\n",
    {{"--check", '\0', false}, {"--format", '\0', true}},
    1,
};

// Static: too large for the stack of small machines.
CsvImport g_csv;
VcardReader g_vcard;
ImportRead g_read;
char g_piece[kReadSize];

enum class FileFormat { kUnknown, kCsv, kVcard };

// Reads the whole file into g_read, as `format` or, when unknown, as its first
// piece shows; false, having said why, when it cannot be read. An empty file is
// read as CSV: either adds nothing from it.
bool read_file(const char* name, FileFormat format) {
    bool from_standard_input = name == nullptr || std::strcmp(name, "-") == 0;
    const char* shown = from_standard_input ? "standard input" : name;
    std::FILE* file = from_standard_input ? stdin : std::fopen(name, "rb");
    if (file == nullptr) {
        (void)std::fprintf(stderr, "ledgerine-import: cannot read %s: %s\n", shown, std::strerror(errno));
        return false;
    }
    std::size_t got = std::fread(g_piece, 1, sizeof g_piece, file);
    if (format == FileFormat::kUnknown) format = starts_as_vcard(g_piece, got) ? FileFormat::kVcard : FileFormat::kCsv;
    bool vcard = format == FileFormat::kVcard;
    if (vcard) {
        begin_vcard_read(g_vcard, g_read);
    } else {
        begin_csv_import(g_csv, g_read);
    }
    for (; got > 0; got = std::fread(g_piece, 1, sizeof g_piece, file)) {
        if (vcard) {
            read_vcard_piece(g_vcard, g_read, g_piece, got);
        } else {
            read_csv_piece(g_csv, g_read, g_piece, got);
        }
    }
    int error = errno;
    bool failed = std::ferror(file) != 0;
    if (!from_standard_input) (void)std::fclose(file);  // only read: nothing to lose
    if (failed) {
        (void)std::fprintf(stderr, "ledgerine-import: cannot read %s: %s\n", shown, std::strerror(error));
        return false;
    }
    if (vcard) {
        end_vcard_read(g_vcard, g_read);
    } else {
        end_csv_import(g_csv, g_read);
    }
    return true;
}

// Names the first refusals and counts the rest; true when there were any.
bool refused(const ImportRead& read) {
    if (read.refusal_count == 0) return false;
    bool utf8 = platform_console_speaks_utf8();
    std::size_t more = read.refusal_count > kRefusalsKept ? read.refusal_count - kRefusalsKept : 0;
    for (std::size_t i = 0; i + more < read.refusal_count; ++i) {
        char line[kRefusalLineSize];
        refusal_line(read.refusals[i], utf8, line);
        (void)std::fprintf(stderr, "ledgerine-import: %s\n", line);
    }
    if (more > 0) (void)std::fprintf(stderr, "ledgerine-import: %zu more problem%s\n", more, more == 1 ? "" : "s");
    (void)std::fputs("ledgerine-import: nothing was added\n", stderr);
    return true;
}

const char* records_word(std::size_t count) {
    return count == 1 ? "record" : "records";
}

int say_no_room(std::size_t held, std::size_t entries) {
    std::size_t room = held < kMaxRecords ? kMaxRecords - held : 0;
    (void)std::fprintf(stderr, "ledgerine-import: the list holds %zu %s and takes %zu at the most: ", held,
                       records_word(held), kMaxRecords);
    if (room == 0) {
        (void)std::fprintf(stderr, "there is no room for %zu more; nothing was added\n", entries);
    } else {
        (void)std::fprintf(stderr, "only %zu of the %zu records fit; nothing was added\n", room, entries);
    }
    return kStatusRefused;
}

int say_unreadable_list() {
    (void)std::fputs("ledgerine-import: could not read Maillist.dat\n", stderr);
    return kStatusRefused;
}

// The line that says what was done, on standard output; a line that cannot be
// written is a failure, said on standard error with what was done all the same.
int say_done(std::size_t entries, std::size_t held, bool checking) {
    // What the file held that no field takes is told only when there was some.
    char left_out[64] = "";
    std::size_t others = g_read.left_out;
    if (others > 0) {
        (void)std::snprintf(left_out, sizeof left_out, "; %zu %s left out", others, others == 1 ? "property" : "properties");
    }
    const char* holds = checking ? "the list would hold" : "the list holds";
    bool said = std::printf("%zu %s %s%s; %s %zu\n", entries, records_word(entries),
                            checking ? "would be added" : "added", left_out, holds, held + entries) > 0 &&
                std::fflush(stdout) == 0;
    if (said) return kStatusAdded;
    int error = errno;
    (void)std::fprintf(stderr, "ledgerine-import: cannot write to standard output: %s", std::strerror(error));
    if (!checking) (void)std::fprintf(stderr, "; %zu %s added all the same", entries, entries == 1 ? "record was" : "records were");
    (void)std::fputc('\n', stderr);
    return kStatusRefused;
}

// Adds the entries, or with `checking` only says what would be added. Nothing
// to add needs no save: a list already past its limit takes nothing more.
int add_entries(bool checking) {
    std::size_t entries = g_read.entries;
    if (checking || entries == 0 || entries > kMaxRecords) {
        std::optional<std::size_t> held = count_file_records();
        if (!held) return say_unreadable_list();
        if (entries > 0 && *held + entries > kMaxRecords) return say_no_room(*held, entries);
        return say_done(entries, *held, checking);
    }
    std::size_t held = 0;
    switch (append_records(g_read.records, entries, held)) {
        case SaveResult::kSaved:
            return say_done(entries, held, false);
        case SaveResult::kFull:
            return say_no_room(held, entries);
        case SaveResult::kFailed:
            break;
    }
    (void)std::fputs("ledgerine-import: could not save the records in Maillist.dat; nothing was added\n", stderr);
    return kStatusRefused;
}

}  // namespace

int main(int argc, char** argv) {
    ToolArguments arguments;
    // First, so that a closed standard stream can never become the data file.
    platform_prepare_process();
    if (std::optional<int> done = read_command_line(argc, argv, kCommandLine, arguments)) return *done;
    FileFormat format = FileFormat::kUnknown;
    if (const char* named = arguments.values[kFormatOption]) {
        if (std::strcmp(named, "csv") == 0) {
            format = FileFormat::kCsv;
        } else if (std::strcmp(named, "vcard") == 0) {
            format = FileFormat::kVcard;
        } else {
            return usage_error(kCommandLine, "unknown format", named);
        }
    }
    // The list must be there before anything is read: the importer never creates it.
    if (!open_data_file()) return say_unreadable_list();
    int status = kStatusRefused;
    if (read_file(arguments.operand, format) && !refused(g_read)) status = add_entries(arguments.given[kCheckOption]);
    close_data_file();
    return status;
}
