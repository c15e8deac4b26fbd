// Helpers for the tests: scratch folders, files built byte by byte, records, and
// runs of the built program with scripted input.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

// The program's own texts that nearly every run shows.
const std::string kMenu =
    "\n##### MAIN MENU #####\n\n[D]isplay All Names\n[S]earch For A Record\n[E]nter A New Record\n"
    "[P]rint a Record\n[Q]uit\nPress d,s,e,p,q To Continue\n";
const std::string kAsk = "Please Enter The Last Name of the Customer\n";
const std::string kBye = "Thanks For Using Ledgerine";
const std::string kSaveErrorText = "\n\n Error: could not save the record.";
const std::string kFullText = "there are 100 records already";
const std::string kOpenErrorText = "\n\n Error: could not open the requested file.";
const std::string kFormPrompts =
    "Last Name:  First Name:  Address:  City:  Province Code:  Postal Code:  Telephone Number:  Year & Model:  ";

// A fresh folder under the system's temporary folder, removed by remove_scratch.
std::string make_scratch();
void remove_scratch(const std::string& folder);

void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);

// The 136 bytes of a record from its eight field texts, zeros after each text.
std::string record_bytes(std::initializer_list<const char*> fields);

// A record whose last and first names are given and whose other fields are empty.
std::string named_record(const char* last, const char* first);
// `count` such records, each with a name of its own.
std::string records(int count);

// The customer most tests enter or load, as typed and as stored.
const std::string kSmithAnswers = "Smith\nJohn\n12 Main St\nOttawa\nON\nK1A0B\n555-1234\n1995 Coupe\n";
const std::string kSmithJohn =
    record_bytes({"Smith", "John", "12 Main St", "Ottawa", "ON", "K1A0B", "555-1234", "1995 Coupe"});

struct RunResult {
    std::string screen;  // standard output
    std::string errors;  // standard error, which every run checks is empty
    int status = -1;     // exit status, or -1 when ended by a signal
    int signal = 0;
    long peak_memory_kib = 0;
};

struct RunOptions {
    std::string path = "/usr/bin:/bin";  // PATH, so a stand-in `lp` can come first
    long long file_size_limit = -1;      // RLIMIT_FSIZE in bytes, none when negative
    std::vector<std::string> wrapper;    // a command the program runs under (strace)
};

// Runs the program in `folder` with `input` as its standard input.
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
void send_signal(const LiveRun& run, int signal);
// The states ('S', 'Z', ...) of the program's child processes, from /proc.
std::string child_states(const LiveRun& run);
// Whether the program ignores the signal, from /proc.
bool ignores_signal(const LiveRun& run, int signal);
// Ends the input and waits for the program to end.
RunResult finish_program(LiveRun& run);

// A stand-in `lp` in `folder`/bin that keeps each job as `folder`/jobs/N and
// prints chatter of its own that must never reach the program's screen; then
// runs `then`, a shell command.
void install_recording_lp(const std::string& folder, const std::string& then = "");

// The records the program would load from the data file in `folder`, as bytes;
// "unreadable" when it could not load them.
std::string loaded_records(const std::string& folder);
std::vector<std::string> recorded_jobs(const std::string& folder);
