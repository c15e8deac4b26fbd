// ledgerine-import: the rows of a CSV file added to the list in the current
// directory, all of them or none, in one save.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "import/csv_import.h"
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
CsvReader g_reader;
CsvRead g_read;
char g_piece[kReadSize];

const char* label_of(std::size_t field) {
    return kFieldLayouts[field].label.data();
}

void report(const CsvRefusal& refusal) {
    (void)std::fprintf(stderr, "ledgerine-import: line %zu: ", refusal.line);
    switch (refusal.problem) {
        case CsvProblem::kNoHeader:
            (void)std::fputs("no header row naming the columns", stderr);
            break;
        case CsvProblem::kMissingColumn:
            (void)std::fprintf(stderr, "no column \"%s\" in the header", label_of(refusal.field));
            break;
        case CsvProblem::kUnknownColumn:
            (void)std::fprintf(stderr, "unknown column \"%.*s\" in the header", static_cast<int>(refusal.text_length),
                               refusal.text);
            break;
        case CsvProblem::kRepeatedColumn:
            (void)std::fprintf(stderr, "column \"%s\" named twice in the header", label_of(refusal.field));
            break;
        case CsvProblem::kQuoteInBareField:
            (void)std::fputs("a quote inside a field that does not start with one", stderr);
            break;
        case CsvProblem::kTextAfterQuote:
            (void)std::fputs("text after the closing quote of a field", stderr);
            break;
        case CsvProblem::kQuoteNeverClosed:
            (void)std::fputs("a quoted field is never closed", stderr);
            break;
        case CsvProblem::kWrongFieldCount:
            (void)std::fprintf(stderr, "%zu field%s, where the header names %zu", refusal.count,
                               refusal.count == 1 ? "" : "s", kFieldCount);
            break;
        case CsvProblem::kTooLong:
            (void)std::fprintf(stderr, "%s is longer than %zu characters", label_of(refusal.field),
                               kFieldLayouts[refusal.field].limit);
            break;
        case CsvProblem::kLineBreak:
            (void)std::fprintf(stderr, "%s holds a line break", label_of(refusal.field));
            break;
        case CsvProblem::kNul:
            (void)std::fprintf(stderr, "%s holds a NUL byte", label_of(refusal.field));
            break;
    }
    // A quote problem names the field once the header has said which it is.
    bool quote_problem = refusal.problem == CsvProblem::kQuoteInBareField ||
                         refusal.problem == CsvProblem::kTextAfterQuote ||
                         refusal.problem == CsvProblem::kQuoteNeverClosed;
    if (quote_problem && refusal.field != kNoField) (void)std::fprintf(stderr, " (%s)", label_of(refusal.field));
    (void)std::fputc('\n', stderr);
}

// Reads the whole CSV into g_read; false, having said why, when it cannot be read.
bool read_csv(const char* name) {
    bool from_standard_input = name == nullptr || std::strcmp(name, "-") == 0;
    const char* shown = from_standard_input ? "standard input" : name;
    std::FILE* file = from_standard_input ? stdin : std::fopen(name, "rb");
    if (file == nullptr) {
        (void)std::fprintf(stderr, "ledgerine-import: cannot read %s: %s\n", shown, std::strerror(errno));
        return false;
    }
    begin_csv_read(g_reader, g_read);
    std::size_t got = 0;
    while ((got = std::fread(g_piece, 1, sizeof g_piece, file)) > 0) read_csv_piece(g_reader, g_read, g_piece, got);
    int error = errno;
    bool failed = std::ferror(file) != 0;
    if (!from_standard_input) (void)std::fclose(file);  // only read: nothing to lose
    if (failed) {
        (void)std::fprintf(stderr, "ledgerine-import: cannot read %s: %s\n", shown, std::strerror(error));
        return false;
    }
    end_csv_read(g_reader, g_read);
    return true;
}

// Names the first refusals and counts the rest; true when there were any.
bool refused(const CsvRead& read) {
    std::size_t kept = std::min(read.refusal_count, kRefusalsKept);
    for (std::size_t i = 0; i < kept; ++i) report(read.refusals[i]);
    if (read.refusal_count > kept) {
        (void)std::fprintf(stderr, "ledgerine-import: %zu more problems\n", read.refusal_count - kept);
    }
    if (read.refusal_count > 0) (void)std::fputs("ledgerine-import: nothing was added\n", stderr);
    return read.refusal_count > 0;
}

const char* records_word(std::size_t count) {
    return count == 1 ? "record" : "records";
}

int say_no_room(std::size_t held, std::size_t rows) {
    std::size_t room = held < kMaxRecords ? kMaxRecords - held : 0;
    (void)std::fprintf(stderr,
                       "ledgerine-import: the list holds %zu %s and takes %zu at the most: only %zu of the %zu "
                       "rows fit; nothing was added\n",
                       held, records_word(held), kMaxRecords, room, rows);
    return kStatusRefused;
}

int say_unreadable_list() {
    (void)std::fputs("ledgerine-import: could not read Maillist.dat\n", stderr);
    return kStatusRefused;
}

// Adds the rows, or with `checking` only says what would be added.
int add_rows(bool checking) {
    std::size_t rows = g_read.rows;
    if (checking || rows > kMaxRecords) {
        std::optional<std::size_t> held = count_file_records();
        if (!held) return say_unreadable_list();
        if (*held + rows > kMaxRecords) return say_no_room(*held, rows);
        (void)std::printf("%zu %s would be added; the list would hold %zu\n", rows, records_word(rows), *held + rows);
        return kStatusAdded;
    }
    std::size_t held = 0;
    switch (append_records(g_read.records, rows, held)) {
        case SaveResult::kSaved:
            (void)std::printf("%zu %s added; the list holds %zu\n", rows, records_word(rows), held + rows);
            return kStatusAdded;
        case SaveResult::kFull:
            return say_no_room(held, rows);
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
    if (read_csv(arguments.operand) && !refused(g_read)) status = add_rows(arguments.given[kCheckOption]);
    close_data_file();
    return status;
}
