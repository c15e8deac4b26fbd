// Reading a companion tool's command line.
#include "tools/command_line.h"

#include <cstdio>
#include <cstring>

namespace {

// The option `argument` names, long or short; kMostOptions when none. `inline_value`
// is what follows '=' of a long option, or the rest of a short one.
std::size_t find_option(const ToolCommandLine& tool, const char* argument, const char*& inline_value) {
    inline_value = nullptr;
    for (std::size_t at = 0; at < kMostOptions; ++at) {
        const ToolOption& option = tool.options[at];
        if (option.name == nullptr) continue;
        std::size_t length = std::strlen(option.name);
        if (std::strncmp(argument, option.name, length) == 0 && (argument[length] == '\0' || argument[length] == '=')) {
            if (argument[length] == '=') inline_value = argument + length + 1;
            return at;
        }
        if (option.short_name != '\0' && argument[0] == '-' && argument[1] == option.short_name) {
            if (argument[2] != '\0') inline_value = argument + 2;
            return at;
        }
    }
    return kMostOptions;
}

}  // namespace

int usage_error(const ToolCommandLine& tool, const char* what, const char* argument) {
    (void)std::fprintf(stderr, "%s: %s '%s'\n%s", tool.name, what, argument, tool.usage);
    return kStatusUsage;
}

std::optional<int> read_command_line(int argc, char** argv, const ToolCommandLine& tool, ToolArguments& arguments) {
    arguments = {};
    std::size_t operands = 0;
    bool options_over = false;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        bool option = !options_over && argument[0] == '-' && argument[1] != '\0';
        if (!option) {
            if (++operands > tool.most_operands) return usage_error(tool, "unexpected argument", argument);
            arguments.operand = argument;
        } else if (std::strcmp(argument, "--") == 0) {
            options_over = true;
        } else if (std::strcmp(argument, "--help") == 0) {
            // Output that cannot be written is a failure, as for any output.
            return std::fputs(tool.usage, stdout) >= 0 && std::fflush(stdout) == 0 ? 0 : 1;
        } else if (std::strcmp(argument, "--version") == 0) {
            return std::printf("%s %s\n", tool.name, LEDGERINE_VERSION) > 0 && std::fflush(stdout) == 0 ? 0 : 1;
        } else {
            const char* value = nullptr;
            std::size_t at = find_option(tool, argument, value);
            if (at == kMostOptions) return usage_error(tool, "unknown option", argument);
            if (tool.options[at].takes_value) {
                // The value may itself start with a dash: `--offset -1mm,0mm`.
                if (value == nullptr) {
                    if (i + 1 == argc) return usage_error(tool, "option needs a value", argument);
                    value = argv[++i];
                }
                arguments.values[at] = value;
            } else if (value != nullptr) {
                return usage_error(tool, "option takes no value", argument);
            }
            arguments.given[at] = true;
        }
    }
    return std::nullopt;
}
