// ledgerine-import: the rows of a CSV file, or the cards of a vCard file, added
// to the list (Maillist.dat in the current directory, or --list's FILE), all of
// them or none, in one save. The input is read whole, its character set told
// once, and its text read once.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

#include "import/character_set.h"
#include "import/csv_import.h"
#include "import/input_file.h"
#include "import/refusal_text.h"
#include "import/vcard_import.h"
#include "platform/platform.h"
#include "record_store/data_file.h"
#include "tools/command_line.h"

namespace {

// The records were saved, but the line saying so could not be written: a script
// must not add them again.
constexpr int kStatusAddedUntold = 3;
constexpr std::size_t kCheckOption = 0;
constexpr std::size_t kFormatOption = 1;
constexpr std::size_t kCharsetOption = 2;

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

// Static: too large for the stack of small machines.
ImportRead g_read;
RefusalList g_refusals;

// Reads the whole input, file `name` or standard input; false, having said why,
// when it cannot be read or holds more than the bound.
bool read_input(const char* name, InputText& input) {
    bool from_standard_input = name == nullptr || std::strcmp(name, "-") == 0;
    const char* shown = from_standard_input ? "standard input" : name;
    std::FILE* file = from_standard_input ? stdin : std::fopen(name, "rb");
    if (file == nullptr) {
        (void)tool_error(errno, "could not read %s", shown);
        return false;
    }
    int error = 0;
    InputStatus status = read_whole_input(file, input, error);
    if (!from_standard_input) (void)std::fclose(file);  // only read: nothing to lose
    if (status == InputStatus::kFailed) {
        (void)tool_error(error, "could not read %s", shown);
    } else if (status == InputStatus::kTooLarge) {
        (void)tool_error(0, "could not read %s: it holds more than %zu MiB", shown, kMaxInputBytes / kMebibyte);
    }
    return status == InputStatus::kRead;
}

// The lines of bytes that are not UTF-8, as refusals of a read in UTF-8.
void refuse_lines_not_utf8(const LinesNotUtf8& lines, RefusalList& refusals) {
    refusals.count = 0;
    for (std::size_t at = 0; at < lines.count && at < kRefusalsKept; ++at) {
        refuse(refusals, {lines.line[at], lines.found_on[at], ImportProblem::kNotUtf8, Field::kNone, 0, false, {}});
    }
    refusals.count = lines.count;
}

// Reads the input as `format`, or as its first line shows, in `forced` or in the
// set its bytes are in, into g_read; the refusals, those of bytes that are not
// UTF-8 among them in the order found, in g_refusals. Returns the set it was read in.
Charset read_entries(InputText input, FileFormat format, std::optional<Charset> forced) {
    std::string_view bytes(input.bytes, input.length);
    if (format == FileFormat::kUnknown) format = starts_as_vcard(bytes) ? FileFormat::kVcard : FileFormat::kCsv;
    bool vcard = format == FileFormat::kVcard;
    // Weighed before a vCard is unfolded where it lies.
    static CharsetEvidence evidence;
    evidence = {};
    if (!forced || *forced == Charset::kUtf8) weigh_charset(bytes, vcard, evidence);
    Charset charset = forced ? *forced : charset_of_file(evidence);
    if (vcard) {
        read_vcard(input.bytes, input.length, charset, g_read);
    } else {
        read_csv(bytes, charset, g_read);
    }
    RefusalList not_utf8{};
    if (charset == Charset::kUtf8) refuse_lines_not_utf8(evidence.not_utf8, not_utf8);
    merge_refusals(not_utf8, g_read.refusals, g_refusals);
    return charset;
}

// Names the first refusals and counts the rest; true when there were any.
bool refused(const RefusalList& refusals) {
    if (refusals.count == 0) return false;
    bool utf8 = platform_console_speaks_utf8();
    std::size_t more = refusals.count > kRefusalsKept ? refusals.count - kRefusalsKept : 0;
    for (std::size_t i = 0; i + more < refusals.count; ++i) {
        char line[kRefusalLineSize];
        refusal_line(refusals.kept[i], utf8, line);
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
    if (said) return kStatusDone;
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
    if (!standard_output_open()) return kStatusFailed;
    // The list must be there before anything is read: the importer never creates it.
    if (!open_tool_list(arguments)) return kStatusFailed;
    int status = kStatusFailed;
    InputText input{};
    if (read_input(arguments.operand, input)) {
        Charset charset = read_entries(input, format, forced);
        if (!refused(g_refusals)) {
            status = add_entries(g_read, arguments.given[kCheckOption], charset, tool_list_name(arguments));
        }
    }
    close_data_file();
    return status;
}
