// Helpers for the tests: the scratch-folder fixture, the program's texts, records
// built from the layout, and runs of the built program with scripted input.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

// The texts of that name in tests/data/program_texts.tsv, in file order.
std::vector<std::string> program_texts(const std::string& name);

// The program's own texts. Inline, so that each is made before the constants of
// any test file that builds on it.
inline const std::string kMenu = program_texts("menu")[0];
inline const std::string kAsk = program_texts("ask")[0];
inline const std::string kBye = program_texts("farewell")[0];
inline const std::string kInvalidText = program_texts("invalid")[0];
inline const std::string kOpenErrorText = program_texts("open_error")[0];
inline const std::string kSaveErrorText = program_texts("save_error")[0];
inline const std::string kFullText = program_texts("full")[0];
// The form's prompts and too-long messages, in record order, and every prompt in a row.
inline const std::vector<std::string> kPrompts = program_texts("prompt");
inline const std::vector<std::string> kTooLong = program_texts("too_long");
inline const std::string kFormPrompts = [] {
    std::string all;
    for (const std::string& prompt : kPrompts) all += prompt;
    return all;
}();

void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);

// The 136 bytes of a record from its field texts, zeros after each text.
std::string record_bytes(std::initializer_list<const char*> fields);
// `count` records, each with a last name of its own.
std::string records(int count);

// The customer most tests enter or load, as typed and as stored.
inline const std::string kSmithAnswers = "Smith\nJohn\n12 Main St\nOttawa\nON\nK1A0B\n555-1234\n1995 Coupe\n";
inline const std::string kSmithJohn =
    record_bytes({"Smith", "John", "12 Main St", "Ottawa", "ON", "K1A0B", "555-1234", "1995 Coupe"});

// Each test works in a scratch folder of its own, which plays drive A:.
class ScratchTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string data_file() const { return folder_ + "/Maillist.dat"; }
    std::string folder_;
};

struct RunResult {
    std::string screen;  // standard output
    std::string errors;  // standard error: only the companion tools write there
    int status = -1;     // exit status, or -1 when ended by a signal
    int signal = 0;
    long peak_memory_kib = 0;
};

struct RunOptions {
    std::string path = "/usr/bin:/bin";  // PATH, so a stand-in `lp` can come first
    long long file_size_limit = -1;      // RLIMIT_FSIZE in bytes, none when negative
    std::vector<std::string> wrapper;    // a command the program runs under (strace)
    std::string locale = "C";            // LC_ALL
    std::string program;                 // another program to run (ledgerine-import); the menu's when empty
    bool screen_closed = false;          // standard output a pipe whose reader has gone
};

// Runs the program in `folder` with `input` as its standard input. Every run
// checks that nothing reached standard error.
RunResult run_program(const std::string& folder, const std::string& input, const RunOptions& options = {});
RunResult run_program_on_file(const std::string& folder, const std::string& input_file, const RunOptions& options = {});

// A program still running, typed to through a pipe.
struct LiveRun {
    std::string folder;
    int pid = -1;
    int keyboard = -1;
};

LiveRun start_program(const std::string& folder, const RunOptions& options = {});
void type_keys(const LiveRun& run, const std::string& keys);
// Waits (a bounded time) until the screen so far holds `text` `times` times.
bool wait_for_screen(const LiveRun& run, const std::string& text, int times);
// Ends the input and waits for the program to end.
RunResult finish_program(LiveRun& run);

// A stand-in `lp` in `folder`/bin, first on the returned options' PATH, that
// keeps each job as `folder`/jobs/N and its arguments as jobs/.argsN, says
// things of its own that must never reach the program's screen, then runs `then`.
RunOptions with_recording_lp(const std::string& folder, const std::string& then = "");
std::vector<std::string> recorded_jobs(const std::string& folder);

// The records the program would load from the data file in `folder`, as bytes;
// "unreadable" when it could not load them.
std::string loaded_records(const std::string& folder);
