// The command line of the companion tools, read as Unix tools read theirs:
// --help and --version, the tool's own options (a flag, or one that takes a
// value as `--name VALUE`, `--name=VALUE` or `-x VALUE`), at most a set number
// of operands, and a usage error (status 2) for anything else.
#pragma once

#include <cstddef>
#include <optional>

constexpr int kStatusUsage = 2;
constexpr std::size_t kMostOptions = 12;

struct ToolOption {
    const char* name;   // "--check"; null for an unused slot
    char short_name;    // 'o' for -o, or '\0'
    bool takes_value;
};

struct ToolCommandLine {
    const char* name;
    const char* usage;                  // the whole usage text, lines ended by '\n'
    ToolOption options[kMostOptions];   // the tool's own options
    std::size_t most_operands;
};

struct ToolArguments {
    bool given[kMostOptions];          // which of the tool's options were given
    const char* values[kMostOptions];  // the last value of each that takes one, else null
    const char* operand;               // the last operand, null when none
};

// Reads the arguments. Returns the exit status when the tool is done with them
// (0 after --help or --version, kStatusUsage after a usage error, which goes to
// standard error with the usage), or nothing when it goes on. The process is
// prepared by the tool's main before this.
std::optional<int> read_command_line(int argc, char** argv, const ToolCommandLine& tool, ToolArguments& arguments);

// Says "TOOL: WHAT 'ARGUMENT'" and the usage on standard error; returns kStatusUsage.
int usage_error(const ToolCommandLine& tool, const char* what, const char* argument);
