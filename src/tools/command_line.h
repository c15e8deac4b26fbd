// The command line of the companion tools, read as Unix tools read theirs:
// --help and --version, the tool's own flags, at most a set number of operands,
// and a usage error (status 2) for anything else.
#pragma once

#include <cstddef>
#include <optional>

constexpr int kStatusUsage = 2;
constexpr std::size_t kMostFlags = 1;

struct ToolCommandLine {
    const char* name;
    const char* usage;                 // the whole usage text, lines ended by '\n'
    const char* flags[kMostFlags];     // the tool's own flags, unused ones null
    std::size_t most_operands;
};

struct ToolArguments {
    bool flags[kMostFlags];  // which of the tool's flags were given
    const char* operand;     // the last operand, null when none
};

// A tool's start: prepares the process first, so that a closed standard stream
// can never become the data file, then reads the arguments. Returns the exit
// status when the tool is done with them (0 after --help or --version,
// kStatusUsage after a usage error, which goes to standard error with the
// usage), or nothing when it goes on.
std::optional<int> start_tool(int argc, char** argv, const ToolCommandLine& tool, ToolArguments& arguments);
