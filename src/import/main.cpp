// ledgerine-import: the rows of a CSV file, or the cards of a vCard file, added
// to the list in the current directory, all of them or none, in one save.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <optional>

#include "import/character_set.h"
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
constexpr std::size_t kCharsetOption = 2;
constexpr std::size_t kReadSize = std::size_t{64} * 1024;

constexpr ToolCommandLine kCommandLine = {
    "ledgerine-import",
    "Usage: ledgerine-import [--check] [--format csv|vcard] [--charset SET] [FILE]\n"
    "Adds the rows of the CSV file, or the cards of the vCard file, FILE (standard\n"
    "input when FILE is - or absent) to the list in Maillist.dat, in the current\n"
    "directory: all of them or none. A file whose first line is BEGIN:VCARD is vCard.\n"
    "A file is read as UTF-8 when all of it is UTF-8, or else in code page 850 or\n"
    "1252, whichever its accented letters read as.\n"
    "  --check           read and check everything, write nothing, and say what would be added\n"
    "  --format FORMAT   read the file as csv or vcard, whatever its first line\n"
    "  --charset SET     read the file as utf-8, cp850 or cp1252, whatever its bytes\n"
    "  --help            show this help and exit\n"
    "  --version         show the version and exit\n",
    {{"--check", '\0', false}, {"--format", '\0', true}, {"--charset", '\0', true}},
    1,
};

// Static: too large for the stack of small machines. Which character set a file
// is in is known only at its end, so every set it may be in reads all of it,
// each into a read of its own, and the one the file is in is taken.
CsvImport g_csv[kFileCharsets];
VcardReader g_vcard[kFileCharsets];
ImportRead g_reads[kFileCharsets];
CharsetEvidence g_evidence;
char g_piece[kReadSize];

enum class FileFormat { kUnknown, kCsv, kVcard };

ImportRead& read_in(Charset charset) {
    return g_reads[static_cast<std::size_t>(charset)];
}

// Feeds a piece to the evidence and to each read, a line at a time, so that a
// line refused for a byte that is not UTF-8 comes among the refusals of the
// lines around it in order.
void read_piece(const char* bytes, std::size_t length, bool vcard, const Charset* first, const Charset* last) {
    while (length > 0) {
        const void* line_end = std::memchr(bytes, '\n', length);
        std::size_t line = line_end == nullptr ? length : static_cast<std::size_t>(static_cast<const char*>(line_end) - bytes) + 1;
        weigh_charset_piece(g_evidence, read_in(Charset::kUtf8), bytes, line);
        for (const Charset* charset = first; charset != last; ++charset) {
            auto at = static_cast<std::size_t>(*charset);
            if (vcard) {
                read_vcard_piece(g_vcard[at], g_reads[at], bytes, line);
            } else {
                read_csv_piece(g_csv[at], g_reads[at], bytes, line);
            }
        }
        bytes += line;
        length -= line;
    }
}

// Reads the whole file, as `format` or, when unknown, as its first piece shows,
// in `forced` or in each set it may be in; the set it was read in, or nothing,
// having said why, when it cannot be read. An empty file is read as CSV: either
// adds nothing from it.
std::optional<Charset> read_file(const char* name, FileFormat format, std::optional<Charset> forced) {
    bool from_standard_input = name == nullptr || std::strcmp(name, "-") == 0;
    const char* shown = from_standard_input ? "standard input" : name;
    std::FILE* file = from_standard_input ? stdin : std::fopen(name, "rb");
    if (file == nullptr) {
        (void)std::fprintf(stderr, "ledgerine-import: cannot read %s: %s\n", shown, std::strerror(errno));
        return std::nullopt;
    }
    const Charset* first = forced ? &kFileCharsetList[static_cast<std::size_t>(*forced)] : std::begin(kFileCharsetList);
    const Charset* last = forced ? first + 1 : std::end(kFileCharsetList);
    std::size_t got = std::fread(g_piece, 1, sizeof g_piece, file);
    if (format == FileFormat::kUnknown) format = starts_as_vcard(g_piece, got) ? FileFormat::kVcard : FileFormat::kCsv;
    bool vcard = format == FileFormat::kVcard;
    begin_charset_evidence(g_evidence, vcard);
    // The UTF-8 read holds the refusals of bytes that are not UTF-8 even when it is not run.
    begin_import_read(read_in(Charset::kUtf8));
    for (const Charset* charset = first; charset != last; ++charset) {
        auto at = static_cast<std::size_t>(*charset);
        if (vcard) {
            begin_vcard_read(g_vcard[at], g_reads[at], *charset);
        } else {
            begin_csv_import(g_csv[at], g_reads[at], *charset);
        }
    }
    for (; got > 0; got = std::fread(g_piece, 1, sizeof g_piece, file)) read_piece(g_piece, got, vcard, first, last);
    int error = errno;
    bool failed = std::ferror(file) != 0;
    if (!from_standard_input) (void)std::fclose(file);  // only read: nothing to lose
    if (failed) {
        (void)std::fprintf(stderr, "ledgerine-import: cannot read %s: %s\n", shown, std::strerror(error));
        return std::nullopt;
    }
    end_charset_evidence(g_evidence, read_in(Charset::kUtf8));
    for (const Charset* charset = first; charset != last; ++charset) {
        auto at = static_cast<std::size_t>(*charset);
        if (vcard) {
            end_vcard_read(g_vcard[at], g_reads[at]);
        } else {
            end_csv_import(g_csv[at], g_reads[at]);
        }
    }
    return forced ? *forced : charset_of_file(g_evidence);
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
// What the file held that no field takes, and the characters the code page
// lacks, are told only when there were some; a check tells the set it read in.
int say_done(const ImportRead& read, std::size_t held, bool checking, Charset charset) {
    std::size_t entries = read.entries;
    char left_out[64] = "";
    if (read.left_out > 0) {
        (void)std::snprintf(left_out, sizeof left_out, "; %zu %s left out", read.left_out,
                            read.left_out == 1 ? "property" : "properties");
    }
    char lacking[64] = "";
    if (read.lacking > 0) {
        (void)std::snprintf(lacking, sizeof lacking, "; %zu character%s 850 lacks %s %c", read.lacking,
                            read.lacking == 1 ? "" : "s", checking ? "would become" : "became", kNoSuchCharacter);
    }
    char read_as[32] = "";
    if (checking) (void)std::snprintf(read_as, sizeof read_as, "; read as %s", charset_name(charset));
    const char* holds = checking ? "the list would hold" : "the list holds";
    bool said = std::printf("%zu %s %s%s; %s %zu%s%s\n", entries, records_word(entries),
                            checking ? "would be added" : "added", left_out, holds, held + entries, lacking, read_as) > 0 &&
                std::fflush(stdout) == 0;
    if (said) return kStatusAdded;
    int error = errno;
    (void)std::fprintf(stderr, "ledgerine-import: cannot write to standard output: %s", std::strerror(error));
    if (!checking) (void)std::fprintf(stderr, "; %zu %s added all the same", entries, entries == 1 ? "record was" : "records were");
    (void)std::fputc('\n', stderr);
    return kStatusRefused;
}

// Adds the entries of `read`, or with `checking` only says what would be added.
// Nothing to add needs no save: a list already past its limit takes nothing more.
int add_entries(const ImportRead& read, bool checking, Charset charset) {
    std::size_t entries = read.entries;
    if (checking || entries == 0 || entries > kMaxRecords) {
        std::optional<std::size_t> held = count_file_records();
        if (!held) return say_unreadable_list();
        if (entries > 0 && *held + entries > kMaxRecords) return say_no_room(*held, entries);
        return say_done(read, *held, checking, charset);
    }
    std::size_t held = 0;
    switch (append_records(read.records, entries, held)) {
        case SaveResult::kSaved:
            return say_done(read, held, false, charset);
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
    std::optional<Charset> forced;
    if (const char* named = arguments.values[kCharsetOption]) {
        for (Charset charset : kFileCharsetList) {
            if (std::strcmp(named, charset_name(charset)) == 0) forced = charset;
        }
        if (!forced) return usage_error(kCommandLine, "unknown character set", named);
    }
    // The list must be there before anything is read: the importer never creates it.
    if (!open_data_file()) return say_unreadable_list();
    int status = kStatusRefused;
    if (std::optional<Charset> charset = read_file(arguments.operand, format, forced)) {
        const ImportRead& read = read_in(*charset);
        if (!refused(read)) status = add_entries(read, arguments.given[kCheckOption], *charset);
    }
    close_data_file();
    return status;
}
