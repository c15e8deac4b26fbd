// ledgerine-import: the rows of a CSV file, or the cards of a vCard file, added
// to the list (Maillist.dat in the current directory, or --list's FILE), all of
// them or none, in one save.
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
// The records were saved, but the line saying so could not be written: a script
// must not add them again.
constexpr int kStatusAddedUntold = 3;
constexpr std::size_t kCheckOption = 0;
constexpr std::size_t kFormatOption = 1;
constexpr std::size_t kCharsetOption = 2;
constexpr std::size_t kReadSize = std::size_t{64} * 1024;

enum class FileFormat { kUnknown, kCsv, kVcard };

constexpr OptionChoices kFormats = {
    "format", "formats", {{"csv", static_cast<int>(FileFormat::kCsv), nullptr},
                          {"vcard", static_cast<int>(FileFormat::kVcard), nullptr}}};
// The names charset_name gives, the ones a check says it read in.
constexpr OptionChoices kCharsets = {"character set", "character sets",
                                     {{"utf-8", static_cast<int>(Charset::kUtf8), nullptr},
                                      {"cp850", static_cast<int>(Charset::kCp850), nullptr},
                                      {"cp1252", static_cast<int>(Charset::kCp1252), nullptr}}};

constexpr ToolCommandLine kCommandLine = {
    "ledgerine-import",
    "Usage: ledgerine-import [OPTIONS] [FILE]",
    "Adds the rows of the CSV file, or the cards of the vCard file, FILE (standard\n"
    "input when FILE is - or absent) to the list: all of them or none. A file whose\n"
    "first line is BEGIN:VCARD is vCard. A file is read as UTF-8 when all of it is\n"
    "UTF-8, or else in code page 850 or 1252, whichever its accented letters read as.\n",
    {{"--check", '\0', nullptr, "read and check everything, write nothing, and say what would be added", nullptr},
     {"--format", '\0', "FORMAT", "read the file as {}, whatever its first line", &kFormats},
     {"--charset", '\0', "SET", "read the file as {}, whatever its bytes", &kCharsets}},
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
        (void)tool_error(errno, "could not read %s", shown);
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
        (void)tool_error(error, "could not read %s", shown);
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
        (void)tool_error(0, "%s", line);
    }
    if (more > 0) (void)tool_error(0, "%zu more problem%s", more, more == 1 ? "" : "s");
    (void)tool_error(0, "nothing was added");
    return true;
}

const char* records_word(std::size_t count) {
    return count == 1 ? "record" : "records";
}

int say_no_room(std::size_t held, std::size_t entries) {
    std::size_t room = held < kMaxRecords ? kMaxRecords - held : 0;
    char fit[96];
    if (room == 0) {
        (void)std::snprintf(fit, sizeof fit, "there is no room for %zu more", entries);
    } else {
        (void)std::snprintf(fit, sizeof fit, "only %zu of the %zu records fit", room, entries);
    }
    return tool_error(0, "the list holds %zu %s and takes %zu at the most: %s; nothing was added", held,
                      records_word(held), kMaxRecords, fit);
}

int say_unreadable_list(const char* list) {
    return tool_error(errno, "could not read %s", list);
}

// The line that says what was done, on standard output; a line that cannot be
// written is a failure, said on standard error with what was done all the same:
// after a save, kStatusAddedUntold.
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
    if (checking) return tool_error(error, "could not write the summary to standard output");
    (void)tool_error(0, "could not write the summary to standard output: %s; %zu %s added all the same",
                     std::strerror(error),
                     entries, entries == 1 ? "record was" : "records were");
    return kStatusAddedUntold;
}

// Adds the entries of `read`, or with `checking` only says what would be added.
// Nothing to add needs no save: a list already past its limit takes nothing more.
int add_entries(const ImportRead& read, bool checking, Charset charset, const char* list) {
    std::size_t entries = read.entries;
    if (checking || entries == 0 || entries > kMaxRecords) {
        std::optional<std::size_t> held = count_file_records();
        if (!held) return say_unreadable_list(list);
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
    return tool_error(0, "could not save the records in %s: %s; nothing was added", list, std::strerror(errno));
}

}  // namespace

int main(int argc, char** argv) {
    ToolArguments arguments;
    if (std::optional<int> done = open_tool(argc, argv, kCommandLine, arguments)) return *done;
    auto format = static_cast<FileFormat>(arguments.choices[kFormatOption]);  // kUnknown unless given
    std::optional<Charset> forced;
    if (arguments.given[kCharsetOption]) forced = static_cast<Charset>(arguments.choices[kCharsetOption]);
    // What was done is said there: nothing is added that could not be told.
    if (!standard_output_open()) return kStatusRefused;
    // The list must be there before anything is read: the importer never creates it.
    if (!open_tool_list(arguments)) return kStatusRefused;
    int status = kStatusRefused;
    if (std::optional<Charset> charset = read_file(arguments.operand, format, forced)) {
        const ImportRead& read = read_in(*charset);
        if (!refused(read)) {
            status = add_entries(read, arguments.given[kCheckOption], *charset, tool_list_name(arguments));
        }
    }
    close_data_file();
    return status;
}
