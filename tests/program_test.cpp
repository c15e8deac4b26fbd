// The running program, case by case: the data file before and what is typed;
// then the screen, the exit status, the data file and the print jobs, each byte
// for byte. Menu, views, entry form, printing and the end of input; each case a
// test of its own.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "console/console_io.h"
#include "console/menu_loop.h"
#include "platform/platform.h"
#include "test_support.h"

namespace {

const std::string kBrownAnn = record_bytes({"Brown", "Ann", "48 Elm Avenue", "Toronto", "", "M5V2T", "416", "2001"});
const std::string kSmithAlice = record_bytes({"Smith", "Alice", "300 Portage", "Winnipeg", "MB", "R3C4T", "204", ""});
const std::string kList = kSmithJohn + kBrownAnn + kSmithAlice;
const std::string kNames = "\nSmith  John\nBrown  Ann\nSmith  Alice";
const std::string kSmithViews =
    "\n\nSmith   John\n12 Main St  Ottawa\nON    K1A0B\n555-1234\n1995 Coupe\n"
    "\n\nSmith   Alice\n300 Portage  Winnipeg\nMB    R3C4T\n204\n\n";
const std::string kJohnJob = "Smith  John\r\n12 Main St  Ottawa\r\nON   K1A0B\r\n555-1234\r\n1995 Coupe\r\n";
const std::string kAliceJob = "Smith  Alice\r\n300 Portage  Winnipeg\r\nMB   R3C4T\r\n204\r\n\r\n";
const std::string kWholePostalCode =
    record_bytes({"Tremblay", "Marie", "7 Rue Saint-Denis", "Montreal", "QC", "H2X 1K9", "514", "1998"});
const std::string kQuietPrint = kMenu + kAsk + kMenu + kBye;

// kDeaf exits without reading its job. kHanging takes its job, and the first
// runs on past the program's patience; the second, started once the program has
// stopped waiting for the first and lasting until the first has ended, counts
// the program's zombie children with ps.
enum class Spooler { kRecording, kRefusing, kMissing, kDeaf, kHanging };
constexpr double kFirstSpoolerSeconds = kPrinterPatienceSeconds + 1.5;
constexpr double kSecondSpoolerSeconds = 2;

struct ProgramCase {
    const char* name;
    std::optional<std::string> file;  // the data file before; none: there is none
    std::string input;
    std::string screen;
    int status = 0;
    std::optional<std::string> file_after = std::nullopt;  // none: as before
    std::vector<std::string> jobs = {};
    Spooler spooler = Spooler::kRecording;
    long long file_size_limit = -1;
    const char* file_name = "Maillist.dat";
    bool screen_closed = false;  // standard output a pipe that nobody reads
};

std::string with_crlf(const std::string& lines) {
    std::string crlf;
    for (char c : lines) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return crlf;
}

// Every field first gets an answer one byte too long, then one that just fits.
ProgramCase each_limit_case() {
    ProgramCase c{"each field refuses one byte past its limit", "", "e\n", kMenu, 0, ""};
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        const FieldLayout& field = kFieldLayouts[i];
        std::string fits(field.limit, static_cast<char>('a' + i));
        c.input += std::string(field.limit + 1, 'X') + "\n" + fits + "\n";
        c.screen += kPrompts[i] + kTooLong[i] + kPrompts[i];
        *c.file_after += fits + std::string(field.width - field.limit, '\0');
    }
    c.input += "q\n";
    c.screen += kMenu + kBye;
    return c;
}

// Under a UTF-8 locale: the list in code page 850 (é is 0x82), the screen,
// the typing and the printed job in UTF-8.
const std::string kGagne = record_bytes({"Gagn\x82", "Ren\x82" "e", "12 rue Sainte-Th\x82r\x8Ase", "Montr\x82" "al", "QC",
                                         "H2X1K", "514", "1998 \xC9\xCD"});

std::vector<ProgramCase> menu_cases() {
    return {
        // The menu.
        {"quit at once", kList, "q\n", kMenu + kBye},
        {"the rest of the quit line is ignored", kList, "quit\n", kMenu + kBye},
        {"names in file order, no final newline", kList, "d\nq\n", kMenu + kNames + kMenu + kBye},
        {"dog lists once and drops og", kList, "dog\nq\n", kMenu + kNames + kMenu + kBye},
        {"upper case, Enter alone and other bytes are no commands", kList, "D\n\n7\n" + std::string(1, '\0') + "\nq\n",
         kMenu + kInvalidText + kMenu + kInvalidText + kMenu + kInvalidText + kMenu + kInvalidText + kMenu + kBye},
        {"no data file: the error before any menu", std::nullopt, "d\nq\n", kOpenErrorText, 1},
        {"a list copied with another case is found", kSmithJohn, "d\nq\n", kMenu + "\nSmith  John" + kMenu + kBye, 0,
         std::nullopt, {}, Spooler::kRecording, -1, "MAILLIST.DAT"},
    };
}

std::vector<ProgramCase> search_cases() {
    std::string no_nul = kBrownAnn;
    const std::string twenty(20, 'L');
    no_nul.replace(0, 20, twenty);
    std::string empty_last = kBrownAnn;
    empty_last[0] = '\0';
    return {
        // Search and print.
        {"an empty list shows and prints nothing", "", "d\ns\nSmith\np\nSmith\nq\n",
         kMenu + kMenu + kAsk + kMenu + kAsk + kMenu + kBye},
        {"search shows every match in file order", kList, "s\nSmith\nq\n", kMenu + kAsk + kSmithViews + kMenu + kBye},
        {"search drops the rest of the command line", kList, "smith\nSmith\nq\n",
         kMenu + kAsk + kSmithViews + kMenu + kBye},
        {"search is exact and case-sensitive; a typed NUL is part of the name", kList,
         "s\nsmith\ns\nSmit\ns\nSmith \ns\n" + std::string("Smith\0\nq\n", 9),
         kMenu + kAsk + kMenu + kAsk + kMenu + kAsk + kMenu + kAsk + kMenu + kBye},
        {"a name longer than any field finds nothing", kList, "s\n" + std::string(100000, 'S') + "\nq\n",
         kMenu + kAsk + kMenu + kBye},
        {"an empty name finds the empty last names", kSmithJohn + empty_last, "s\n\nq\n",
         kMenu + kAsk + "\n\n   Ann\n48 Elm Avenue  Toronto\n    M5V2T\n416\n2001\n" + kMenu + kBye},
        {"a last name without NUL is its whole width", no_nul,
         "d\ns\n" + twenty + "\ns\n" + twenty.substr(1) + "\ns\n" + twenty + "L\nq\n",
         kMenu + "\n" + twenty + "  Ann" + kMenu + kAsk + "\n\n" + twenty +
             "   Ann\n48 Elm Avenue  Toronto\n    M5V2T\n416\n2001\n" + kMenu + kAsk + kMenu + kAsk + kMenu + kBye},
    };
}

std::vector<ProgramCase> print_cases() {
    return {
        {"each match is one job of five CR LF lines", kList, "p\nSmith\nq\n", kQuietPrint, 0, std::nullopt,
         {kJohnJob, kAliceJob}},
        {"an empty province starts the third printed line", kList, "pxx\nBrown\nq\n", kQuietPrint, 0, std::nullopt,
         {"Brown  Ann\r\n48 Elm Avenue  Toronto\r\n   M5V2T\r\n416\r\n2001\r\n"}},
        {"no match prints nothing", kList, "p\nsmith\np\n\nq\n", kMenu + kAsk + kMenu + kAsk + kMenu + kBye},
        {"a spooler that refuses is not heard", kList, "p\nSmith\nq\n", kQuietPrint, 0, std::nullopt,
         {kJohnJob, kAliceJob}, Spooler::kRefusing},
        {"no spooler at all is not heard", kList, "p\nSmith\nq\n", kQuietPrint, 0, std::nullopt, {},
         Spooler::kMissing},
        {"a spooler that exits without reading is not heard", kList, "p\nSmith\nq\n", kQuietPrint, 0, std::nullopt,
         {}, Spooler::kDeaf},
        {"a spooler that hangs holds the menu only so long, and leaves no zombie", kList, "p\nSmith\nq\n",
         kQuietPrint, 0, std::nullopt, {kJohnJob, kAliceJob}, Spooler::kHanging},
        {"a screen nobody reads: the input is still taken and the record saved", "", "e\n" + kSmithAnswers + "d\nq\n",
         "", 0, kSmithJohn, {}, Spooler::kRecording, -1, "Maillist.dat", true},
    };
}

std::vector<ProgramCase> line_end_cases() {
    // The CR is the last byte of the first read of the input, its LF the first of the next.
    const std::string before_cr = "\ns\nSmith";
    const std::string split_crlf = "s\n" + std::string(kInputBufferSize - 1 - 2 - before_cr.size(), 'A') + before_cr;
    return {
        // Line ends, and the end of the input at each kind of wait.
        {"CR LF line ends, as written on the original console", kList, "s\r\nSmith\r\nq\r\n",
         kMenu + kAsk + kSmithViews + kMenu + kBye},
        {"a CR elsewhere is part of the line", kList, "s\nSmith\r\r\ns\n\rSmith\nq\n",
         kMenu + kAsk + kMenu + kAsk + kMenu + kBye},
        {"a CR LF split across two reads of the input", kList, split_crlf + "\r\nq\n",
         kMenu + kAsk + kMenu + kAsk + kSmithViews + kMenu + kBye},
        {"a lone CR at the end of the input is data", kList, "s\nSmith\r", kMenu + kAsk + kMenu},
        {"end of input at the menu", kList, "", kMenu},
        {"end of input after a command line without newline", kList, "d", kMenu + kNames + kMenu},
        {"end of input at the name question", kList, "s\n", kMenu + kAsk},
        {"end of input right after the command letter", kList, "p", kMenu + kAsk},
        {"a last line without newline is still a line", kList, "s\nSmith", kMenu + kAsk + kSmithViews + kMenu},
    };
}

std::vector<ProgramCase> entry_form_cases() {
    const std::string unfinished = kSmithAnswers.substr(0, kSmithAnswers.size() - 1);
    return {
        // The entry form.
        {"a record is saved as typed and listed only from the next start", kBrownAnn,
         "e and the rest\n" + kSmithAnswers + "d\nq\n", kMenu + kFormPrompts + kMenu + "\nBrown  Ann" + kMenu + kBye, 0,
         kBrownAnn + kSmithJohn},
        {"answers with CR LF line ends", "", with_crlf("e\n" + kSmithAnswers + "q\n"),
         kMenu + kFormPrompts + kMenu + kBye, 0, kSmithJohn},
        each_limit_case(),
        {"a Canadian postal code is stored whole with its space, beside one cut at five", kBrownAnn,
         "e\nTremblay\nMarie\n7 Rue Saint-Denis\nMontreal\nQC\nH2X 1K9\n514\n1998\nq\n",
         kMenu + kFormPrompts + kMenu + kBye, 0,
         kBrownAnn + record_bytes({"Tremblay", "Marie", "7 Rue Saint-Denis", "Montreal", "QC", "H2X 1K9", "514", "1998"})},
        {"a postal code of seven characters is shown and printed whole", kWholePostalCode, "s\nTremblay\np\nTremblay\nq\n",
         kMenu + kAsk + "\n\nTremblay   Marie\n7 Rue Saint-Denis  Montreal\nQC    H2X 1K9\n514\n1998\n" + kMenu + kAsk + kMenu +
             kBye,
         0, std::nullopt, {"Tremblay  Marie\r\n7 Rue Saint-Denis  Montreal\r\nQC   H2X 1K9\r\n514\r\n1998\r\n"}},
        {"empty answers, and a line of a megabyte", "", "e\n" + std::string(1 << 20, 'z') + "\n\n\n\n\n\n\n\n\nq\n",
         kMenu + kPrompts[0] + kTooLong[0] + kFormPrompts + kMenu + kBye, 0, std::string(kRecordSize, '\0')},
        {"the hundredth record is the last", records(99), "e\n" + kSmithAnswers + "e\nq\n",
         kMenu + kFormPrompts + kMenu + kFullText + kMenu + kBye, 0, records(99) + kSmithJohn},
        {"a list past 100 records refuses too", records(101), "e\nq\n", kMenu + kFullText + kMenu + kBye},
        {"end of input in the form saves nothing of that record", "", "e\n" + kSmithAnswers + "e\nBrown\nAnn\n",
         kMenu + kFormPrompts + kMenu + kPrompts[0] + kPrompts[1] + kPrompts[2], 0, kSmithJohn},
        {"the last answer may end with the end of input", "", "e\n" + unfinished, kMenu + kFormPrompts + kMenu, 0,
         kSmithJohn},
    };
}

std::vector<ProgramCase> file_end_cases() {
    const std::string before_limit = records(64) + "\n";
    const std::string short_piece = records(3) + std::string(38, ' ') + "Lane";  // 450 bytes
    return {
        // What follows the last record in the file.
        {"whitespace after the last record is written over", kBrownAnn + "\r\n\r\n", "e\n" + kSmithAnswers + "q\n",
         kMenu + kFormPrompts + kMenu + kBye, 0, kBrownAnn + kSmithJohn},
        {"whitespace longer than a record stays after the new one", records(1) + std::string(300, ' '),
         "e\n" + kSmithAnswers + "q\n", kMenu + kFormPrompts + kMenu + kBye, 0,
         records(1) + kSmithJohn + std::string(300 - kRecordSize, ' ')},
        {"a short last piece is padded with zeros before the new record", short_piece, "e\n" + kSmithAnswers + "q\n",
         kMenu + kFormPrompts + kMenu + kBye, 0, short_piece + std::string(4 * kRecordSize - 450, '\0') + kSmithJohn},
        // The size limit lets the record write over the newline but not grow the
        // file: a partial write that must be undone.
        {"a save that cannot be made says so and leaves the file", before_limit, "e\n" + kSmithAnswers + "q\n",
         kMenu + kFormPrompts + kSaveErrorText + kMenu + kBye, 0, std::nullopt, {}, Spooler::kRecording,
         static_cast<long long>(before_limit.size())},
    };
}

// Under a UTF-8 locale, the list and the screen.
std::vector<ProgramCase> utf8_read_cases() {
    const std::string gagne_view = "\n\nGagné   Renée\n12 rue Sainte-Thérèse  Montréal\nQC    H2X1K\n514\n1998 ╔═\n";
    const std::string accented = kGagne + kSmithJohn;
    const std::string before_e = "\ns\nGagn";  // é split: its first byte ends the first read
    const std::string split_e = "s\n" + std::string(kInputBufferSize - 2 - before_e.size() - 1, 'A') + before_e + "\xC3";
    return {
        {"names in UTF-8", accented, "d\nq\n", kMenu + "\nGagné  Renée\nSmith  John" + kMenu + kBye},
        {"a name typed in UTF-8, or in the list's own bytes, is found", accented, "s\nGagné\ns\nGagn\x82\nq\n",
         kMenu + kAsk + gagne_view + kMenu + kAsk + gagne_view + kMenu + kBye},
        {"a character split across two reads is read whole", accented, split_e + "\xA9\nq\n",
         kMenu + kAsk + kMenu + kAsk + gagne_view + kMenu + kBye},
        {"CR LF line ends", accented, with_crlf("s\nGagné\nq\n"), kMenu + kAsk + gagne_view + kMenu + kBye},
        {"the printed job in UTF-8", accented, "p\nGagné\nq\n", kQuietPrint, 0, std::nullopt,
         {"Gagné  Renée\r\n12 rue Sainte-Thérèse  Montréal\r\nQC   H2X1K\r\n514\r\n1998 ╔═\r\n"}},
    };
}

// Under a UTF-8 locale, what is typed.
std::vector<ProgramCase> utf8_typed_cases() {
    const std::string nineteen_e = [] {
        std::string e;
        for (int i = 0; i < 19; ++i) e += "é";
        return e;
    }();
    return {
        {"typed letters are stored in the list's code page, and counted as letters", "",
         "e\nCôté\n" + nineteen_e + "é\n" + nineteen_e + "\n€uro😀\n\n\n\n\n\nq\n",
         kMenu + kPrompts[0] + kPrompts[1] + kTooLong[1] + kFormPrompts.substr(kPrompts[0].size()) + kMenu + kBye, 0,
         record_bytes({"C\x93t\x82", std::string(19, '\x82').c_str(), "?uro?"})},
        {"a postal code counts characters: seven accented ones fit, eight do not", "",
         "e\n\n\n\n\n\nÉÉÉÉ ÉÉÉ\nÉÉÉ ÉÉÉ\n\n\nq\n",
         kMenu + kFormPrompts.substr(0, kFormPrompts.find(kPrompts[6])) + kTooLong[5] +
             kFormPrompts.substr(kFormPrompts.find(kPrompts[5])) + kMenu + kBye,
         0, record_bytes({"", "", "", "", "", "\x90\x90\x90 \x90\x90\x90"})},
        // Stray and cut bytes, overlong forms, a surrogate, past U+10FFFF; a
        // character cut by the end of the input.
        {"bytes that start no character are kept as they are", "",
         "e\n\x80\xC3(\n\xC0\xAF\n\xED\xA0\x80\n\xF4\x90\x80\x80\n\n\n\n1998\xE2\x82",
         kMenu + kFormPrompts + kMenu, 0,
         record_bytes({"\x80\xC3(", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "", "", "", "1998\xE2\x82"})},
    };
}

// Under the C locale every byte passes as it is.
ProgramCase c_locale_case() {
    return {"the C locale: the list's bytes shown, typed bytes stored, as they are", kGagne,
            "d\ne\nCôté\n\n\n\n\n\n\n\nq\n",
            kMenu + "\nGagn\x82  Ren\x82" "e" + kMenu + kFormPrompts + kMenu + kBye, 0,
            kGagne + record_bytes({"Côté"})};
}

// One row of the table: a case, and the locale the program runs it under.
struct ProgramRow {
    const char* locale;
    ProgramCase c;
};

std::vector<ProgramRow> rows_in(const char* locale, const std::vector<std::vector<ProgramCase>>& tables) {
    std::vector<ProgramRow> rows;
    for (const std::vector<ProgramCase>& table : tables) {
        for (const ProgramCase& c : table) rows.push_back({locale, c});
    }
    return rows;
}

// As GoogleTest shows a row where it lists the tests: by its name alone, as
// its bytes may hold newlines that would break the list ctest reads.
void PrintTo(const ProgramRow& row, std::ostream* out) {
    *out << row.c.name << " (" << row.locale << ")";
}

// The case's name in letters, digits and underscores, so that --gtest_filter
// and ctest -R can pick one row: "quit at once" is quit_at_once.
std::string row_name(const ::testing::TestParamInfo<ProgramRow>& info) {
    std::string name;
    for (const char* at = info.param.c.name; *at != '\0'; ++at) {
        if (std::isalnum(static_cast<unsigned char>(*at)) != 0) {
            name += *at;
        } else if (*at == '\'') {
            continue;  // list's, not list_s
        } else if (!name.empty() && name.back() != '_') {
            name += '_';
        }
    }
    while (!name.empty() && name.back() == '_') name.pop_back();
    return name;
}

// The stand-in spooler of the case, and the limits and locale of its run.
RunOptions options_for(const ProgramCase& c, const std::string& folder, const char* locale) {
    const std::string then =
        c.spooler == Spooler::kRefusing ? "exit 1"
        : c.spooler == Spooler::kHanging
            ? "date +%s.%N > \"$jobs/.started$n\"\n"
              "case $n in 0) sleep " + std::to_string(kFirstSpoolerSeconds) + ";;\n"
              "1) sleep " + std::to_string(kSecondSpoolerSeconds) + "; ps -o stat= --ppid $PPID | grep -c Z > \"$jobs/.zombies\";;\n"
              "esac"
            : "";
    RunOptions options = with_recording_lp(folder, then);
    if (c.spooler == Spooler::kMissing) options.path = folder + "/nowhere";
    if (c.spooler == Spooler::kDeaf) write_file(folder + "/bin/lp", "#!/bin/sh\nexit 0\n");
    options.file_size_limit = c.file_size_limit;
    options.locale = locale;
    options.screen_closed = c.screen_closed;
    return options;
}

using ProgramTest = ScratchTest;

class ProgramCaseTest : public ScratchTest, public ::testing::WithParamInterface<ProgramRow> {};

TEST_P(ProgramCaseTest, MatchesToTheByte) {
    const auto& [locale, c] = GetParam();
    SCOPED_TRACE(std::string(c.name) + " (" + locale + ")");
    const std::string folder = folder_ + "/case";
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    const std::string file = folder + "/" + c.file_name;
    if (c.file) write_file(file, *c.file);
    RunOptions options = options_for(c, folder, locale);

    RunResult run = run_program(folder, c.input, options);
    if (c.spooler == Spooler::kHanging) {
        EXPECT_EQ(read_file(folder + "/jobs/.zombies"), "0\n") << "the first spooler, ended, is no zombie";
        double held = std::stod(read_file(folder + "/jobs/.started1")) - std::stod(read_file(folder + "/jobs/.started0"));
        EXPECT_LT(held, kPrinterPatienceSeconds + 0.75) << "the menu waits for a spooler only so long";
    }
    EXPECT_EQ(run.screen, c.screen);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.signal, 0);
    if (c.file) {
        EXPECT_EQ(read_file(file), c.file_after.value_or(*c.file));
    } else {
        EXPECT_FALSE(file_exists(file)) << "the data file is never created";
    }
    EXPECT_EQ(recorded_jobs(folder), c.jobs);
}

// Each row a test of its own, by locale and name: CLocale/ProgramCaseTest.MatchesToTheByte/quit_at_once.
INSTANTIATE_TEST_SUITE_P(CLocale, ProgramCaseTest,
                         ::testing::ValuesIn(rows_in("C", {menu_cases(), search_cases(), print_cases(), line_end_cases(),
                                                           entry_form_cases(), file_end_cases(), {c_locale_case()}})),
                         row_name);
INSTANTIATE_TEST_SUITE_P(Utf8Locale, ProgramCaseTest,
                         ::testing::ValuesIn(rows_in("C.UTF-8", {utf8_read_cases(), utf8_typed_cases()})), row_name);

// The console fuzzer runs the menu many times in one process: each run reads its
// own input from the start, with nothing of the run before left over: neither
// unread bytes, nor a pending line, nor the end of the input; and shows its own
// list in its own locale's character set, with no screen text made for the list
// or the console of the run before.
TEST_F(ProgramTest, EachRunOfTheMenuReadsAndShowsOnlyItsOwn) {
    struct Run {
        std::string list;
        const char* locale;
        const char* typed;
        std::string screen;
    };
    const std::string cote = record_bytes({"Smith", "C\x93t\x82"});  // Côté in code page 850
    const std::string cote_view = "\n\nSmith   C\x93t\x82\n  \n    \n\n\n";
    const Run runs[] = {
        {"", "C", "d\nq\nx", kMenu + kMenu + kBye},
        {"", "C", "d\nx", kMenu + kMenu + kInvalidText + kMenu},
        {"", "C", "q\n", kMenu + kBye},
        {kSmithJohn, "C.UTF-8", "d\ns\nSmith\n",
         kMenu + "\nSmith  John" + kMenu + kAsk + "\n\nSmith   John\n12 Main St  Ottawa\nON    K1A0B\n555-1234\n1995 Coupe\n" +
             kMenu},
        // The same slot, the same last name, another list: the names and the
        // screen view made by the run before must not be shown.
        {cote, "C.UTF-8", "d\ns\nSmith\n", kMenu + "\nSmith  Côté" + kMenu + kAsk + "\n\nSmith   Côté\n  \n    \n\n\n" + kMenu},
        // Another locale: the character set of the run before must not be kept.
        {cote, "C", "d\ns\nSmith\n", kMenu + "\nSmith  C\x93t\x82" + kMenu + kAsk + cote_view + kMenu},
    };
    const std::filesystem::path here = std::filesystem::current_path();
    std::filesystem::current_path(folder_);
    const int console_in = dup(STDIN_FILENO);
    const int console_out = dup(STDOUT_FILENO);
    const char* caller_locale = std::getenv("LC_ALL");
    const std::string kept_locale = caller_locale != nullptr ? caller_locale : "";
    for (const Run& run : runs) {
        SCOPED_TRACE(std::string(run.typed) + " (" + run.locale + ")");
        write_file("Maillist.dat", run.list);
        write_file("typed", run.typed);
        ASSERT_EQ(setenv("LC_ALL", run.locale, 1), 0);
        int in = open("typed", O_RDONLY);
        int out = open("screen", O_WRONLY | O_CREAT | O_TRUNC, 0600);
        bool redirected = in >= 0 && out >= 0 && dup2(in, STDIN_FILENO) >= 0 && dup2(out, STDOUT_FILENO) >= 0;
        close(in);
        close(out);
        EXPECT_TRUE(redirected && main_menu() == 0);
        EXPECT_EQ(read_file("screen"), run.screen);
    }
    if (caller_locale != nullptr) {
        setenv("LC_ALL", kept_locale.c_str(), 1);
    } else {
        unsetenv("LC_ALL");
    }
    dup2(console_in, STDIN_FILENO);
    dup2(console_out, STDOUT_FILENO);
    std::filesystem::current_path(here);
}

}  // namespace
