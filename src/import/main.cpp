// ledgerine-import: the rows of a CSV file added to the list in the current
// directory, all of them or none, in one save.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "import/csv_import.h"
#include "import/refusal_text.h"
#include "platform/platform.h"
#include "record_store/data_file.h"
#include "tools/command_line.h"

namespace {

constexpr int kStatusAdded = 0;
constexpr int kStatusRefused = 1;
constexpr std::size_t kCheckOption = 0;
constexpr std::size_t kReadSize = std::size_t{64} * 1024;

constexpr ToolCommandLine kCommandLine = {
    "ledgerine-import",
    "Usage: ledgerine-import [--check] [FILE]\n"
    "Adds the rows of the CSV file FILE (standard input when FILE is - or absent)\n"
    "to the list in Maillist.dat, in the current directory: all of them or none.\n"
    "  --check    read and check everything, write nothing, and say what would be added\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n",
    {{"--check", '\0', false}},
    1,
};

// Static: too large for the stack of small machines.
CsvImport g_csv;
ImportRead g_read;
char g_piece[kReadSize];

// Reads the whole CSV into g_read; false, having said why, when it cannot be read.
bool read_csv(const char* name) {
    bool from_standard_input = name == nullptr || std::strcmp(name, "-") == 0;
    const char* shown = from_standard_input ? "standard input" : name;
    std::FILE* file = from_standard_input ? stdin : std::fopen(name, "rb");
    if (file == nullptr) {
        (void)std::fprintf(stderr, "ledgerine-import: cannot read %s: %s\n", shown, std::strerror(errno));
        return false;
    }
    begin_csv_import(g_csv, g_read);
    std::size_t got = 0;
    while ((got = std::fread(g_piece, 1, sizeof g_piece, file)) > 0) read_csv_piece(g_csv, g_read, g_piece, got);
    int error = errno;
    bool failed = std::ferror(file) != 0;
    if (!from_standard_input) (void)std::fclose(file);  // only read: nothing to lose
    if (failed) {
        (void)std::fprintf(stderr, "ledgerine-import: cannot read %s: %s\n", shown, std::strerror(error));
        return false;
    }
    end_csv_import(g_csv, g_read);
    return true;
}

// Names the first refusals and counts the rest; true when there were any.
bool refused(const ImportRead& read) {
    bool utf8 = platform_console_speaks_utf8();
    std::size_t kept = std::min(read.refusal_count, kRefusalsKept);
    for (std::size_t i = 0; i < kept; ++i) {
        char line[kRefusalLineSize];
        refusal_line(read.refusals[i], utf8, line);
        (void)std::fprintf(stderr, "ledgerine-import: %s\n", line);
    }
    std::size_t more = read.refusal_count - kept;
    if (more > 0) (void)std::fprintf(stderr, "ledgerine-import: %zu more problem%s\n", more, more == 1 ? "" : "s");
    if (read.refusal_count > 0) (void)std::fputs("ledgerine-import: nothing was added\n", stderr);
    return read.refusal_count > 0;
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
    const char* verb = checking ? "would be added; the list would hold" : "added; the list holds";
    bool said = std::printf("%zu %s %s %zu\n", entries, records_word(entries), verb, held + entries) > 0 &&
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
    // The list must be there before anything is read: the importer never creates it.
    if (!open_data_file()) return say_unreadable_list();
    int status = kStatusRefused;
    if (read_csv(arguments.operand) && !refused(g_read)) status = add_entries(arguments.given[kCheckOption]);
    close_data_file();
    return status;
}
