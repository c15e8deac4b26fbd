// Reading a companion tool's command line.
#include "export/command_line.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace {

int usage_error(const ToolCommandLine& tool, const char* what, const char* argument) {
    (void)std::fprintf(stderr, "%s: %s '%s'\n%s", tool.name, what, argument, tool.usage);
    return kStatusUsage;
}

}  // namespace

std::optional<int> start_tool(int argc, char** argv, const ToolCommandLine& tool, ToolArguments& arguments) {
    platform_prepare_process();
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
            std::size_t flag = 0;
            while (flag < kMostFlags && (tool.flags[flag] == nullptr || std::strcmp(argument, tool.flags[flag]) != 0)) ++flag;
            if (flag == kMostFlags) return usage_error(tool, "unknown option", argument);
            arguments.flags[flag] = true;
        }
    }
    return std::nullopt;
}
