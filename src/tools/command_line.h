// What the companion tools share: their opening (the process prepared, the
// command line read as Unix tools read theirs), their --help drawn from their
// tables of options and of option values, and their messages, each naming the
// tool and saying why.
#pragma once

#include <cstddef>
#include <optional>

#include "record_store/customer_record.h"

constexpr int kStatusDone = 0;
constexpr int kStatusFailed = 1;
constexpr int kStatusUsage = 2;
constexpr std::size_t kMostOptions = 12;
constexpr std::size_t kMostChoices = 4;
// The widest line --help writes.
constexpr std::size_t kHelpWidth = 80;

// One value an enumerated option takes: its name on the command line, what it
// stands for, and a word or two on it for --help (null when none).
struct OptionChoice {
    const char* name;  // null for an unused slot
    int value;
    const char* about;
};

// The values of an enumerated option, named in its messages as
// "unknown NOUN 'xml' (the PLURAL are csv, vcard and vcard4)".
struct OptionChoices {
    const char* noun;
    const char* plural;
    OptionChoice choices[kMostChoices];
};

struct ToolOption {
    const char* name;               // "--check"; null for an unused slot
    char short_name;                // 'o' for -o, or '\0'
    const char* value_name;         // "FILE" for one that takes a value; null for a flag
    const char* help;               // for --help; "{}" stands for the list of its choices
    const OptionChoices* choices;   // the values it takes, or null for any
};

struct ToolCommandLine {
    const char* name;
    const char* usage;                  // "Usage: NAME [OPTIONS] [FILE]"
    const char* about;                  // what the tool does, lines ended by '\n'
    ToolOption options[kMostOptions];   // the tool's own options
    std::size_t most_operands;
};

struct ToolArguments {
    bool given[kMostOptions];          // which of the tool's options were given
    const char* values[kMostOptions];  // the last value of each that takes one, else null
    int choices[kMostOptions];         // the value its choice stands for, for an enumerated option
    const char* list;                  // --list FILE; null for Maillist.dat in the current directory
    const char* operand;               // the last operand, null when none
};

// The opening of every tool's main: prepares the process (before anything is
// opened, so that a closed standard stream never becomes a file), then reads
// the command line. Returns the exit status when the tool is done with it (0
// after --help or --version, 1 when they could not be written, kStatusUsage
// after a usage error), or nothing when the tool goes on.
std::optional<int> open_tool(int argc, char** argv, const ToolCommandLine& tool, ToolArguments& arguments);

#if defined(__MINGW32__)
#define LEDGERINE_PRINTF(at, from) __attribute__((format(gnu_printf, at, from)))
#else
#define LEDGERINE_PRINTF(at, from) __attribute__((format(printf, at, from)))
#endif

// A usage error: "TOOL: FAULT" and "Try 'TOOL --help'." on standard error.
// Returns kStatusUsage.
int usage_error(const char* format, ...) LEDGERINE_PRINTF(1, 2);

// A failure: "TOOL: WHAT" on standard error, and ": " and strerror(error) after
// it when `error` is not 0 (a system call failed; WHAT then says what was
// being done, and the system's words say why). Returns kStatusFailed.
int tool_error(int error, const char* format, ...) LEDGERINE_PRINTF(2, 3);

// The list the tool was given, as its messages name it: --list's FILE, or
// Maillist.dat in the current directory.
const char* tool_list_name(const ToolArguments& arguments);

// Opens that list (open_data_file; loading and saving it lock it, as in the
// menu program); false, having said why, when it could not. The tool closes it.
bool open_tool_list(const ToolArguments& arguments);

// Opens the list, loads its records and closes it again; false, having said
// why, when it could not be read whole.
bool load_tool_list(const ToolArguments& arguments, RecordTable& table);

// Whether standard output can be written: false, having said so, when it was
// closed when the tool started. Asked by a tool before it does anything that
// ends in writing there.
bool standard_output_open();
