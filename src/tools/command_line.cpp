// The companion tools' shared opening, command line, --help and messages.
#include "tools/command_line.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "record_store/data_file.h"

namespace {

// The options every tool takes, read here; the tool never sees them.
enum CommonOption : std::size_t { kList, kHelp, kVersion, kCommonOptions };
constexpr ToolOption kCommon[kCommonOptions] = {
    {"--list", '\0', "FILE", "the list to use (Maillist.dat in the current directory unless named)", nullptr},
    {"--help", 'h', nullptr, "show this help and exit", nullptr},
    {"--version", 'V', nullptr, "show the version and exit", nullptr},
};

// The tool's name for every message, set once by open_tool.
const char* g_tool = "ledgerine";

bool names_option(const ToolOption& option, const char* argument, const char*& inline_value) {
    inline_value = nullptr;
    if (option.name == nullptr) return false;
    std::size_t length = std::strlen(option.name);
    if (std::strncmp(argument, option.name, length) == 0 && (argument[length] == '\0' || argument[length] == '=')) {
        if (argument[length] == '=') inline_value = argument + length + 1;
        return true;
    }
    if (option.short_name != '\0' && argument[0] == '-' && argument[1] == option.short_name) {
        if (argument[2] != '\0') inline_value = argument + 2;
        return true;
    }
    return false;
}

// The option `argument` names: the tool's own at their index, the common ones
// after them at kMostOptions + CommonOption; kMostOptions + kCommonOptions for none.
std::size_t find_option(const ToolCommandLine& tool, const char* argument, const char*& inline_value) {
    for (std::size_t at = 0; at < kMostOptions; ++at) {
        if (names_option(tool.options[at], argument, inline_value)) return at;
    }
    for (std::size_t at = 0; at < kCommonOptions; ++at) {
        if (names_option(kCommon[at], argument, inline_value)) return kMostOptions + at;
    }
    return kMostOptions + kCommonOptions;
}

const ToolOption& option_at(const ToolCommandLine& tool, std::size_t at) {
    return at < kMostOptions ? tool.options[at] : kCommon[at - kMostOptions];
}

// "csv, vcard and vcard4"; with `about`, each followed by its words in brackets.
std::string choice_list(const OptionChoices& choices, const char* last_joint, bool about) {
    std::size_t count = 0;
    while (count < kMostChoices && choices.choices[count].name != nullptr) ++count;
    std::string list;
    for (std::size_t i = 0; i < count; ++i) {
        const OptionChoice& choice = choices.choices[i];
        list += i == 0 ? "" : i + 1 == count ? last_joint : ", ";
        list += choice.name;
        if (about && choice.about != nullptr) list += std::string(" (") + choice.about + ")";
    }
    return list;
}

// The value of an enumerated option, as the choice it names; nothing, having
// said so, for a name not in its table.
std::optional<int> read_choice(const OptionChoices& choices, const char* value) {
    for (const OptionChoice& choice : choices.choices) {
        if (choice.name != nullptr && std::strcmp(choice.name, value) == 0) return choice.value;
    }
    (void)usage_error("unknown %s '%s' (the %s are %s)", choices.noun, value, choices.plural,
                      choice_list(choices, " and ", false).c_str());
    return std::nullopt;
}

// Writes the text whole to standard output; false, having said so, when it could not.
bool write_answer(const char* what, const std::string& text) {
    if (!standard_output_open()) return false;
    if (std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0) return true;
    (void)tool_error(errno, "could not write %s to standard output", what);
    return false;
}

void vsay(const char* format, std::va_list values) {
    (void)std::fprintf(stderr, "%s: ", g_tool);
    (void)std::vfprintf(stderr, format, values);
}

}  // namespace

namespace {

// "  -o, --output FILE" or "  --check".
std::string option_label(const ToolOption& option) {
    std::string label = "  ";
    if (option.short_name != '\0') label += std::string("-") + option.short_name + ", ";
    label += option.name;
    if (option.value_name != nullptr) label += std::string(" ") + option.value_name;
    return label;
}

// The option's words, its choices put in, wrapped to kHelpWidth from `column` on.
std::string option_words(const ToolOption& option, std::size_t column) {
    std::string words = option.help;
    std::size_t slot = words.find("{}");
    if (option.choices != nullptr && slot != std::string::npos) {
        words.replace(slot, 2, choice_list(*option.choices, " or ", true));
    }
    std::string wrapped;
    std::size_t used = column;
    for (std::size_t at = 0; at < words.size();) {
        std::size_t end = words.find(' ', at);
        if (end == std::string::npos) end = words.size();
        std::size_t length = end - at;
        if (used > column && used + 1 + length > kHelpWidth) {
            wrapped += "\n" + std::string(column, ' ');
            used = column;
        } else if (used > column) {
            wrapped += ' ';
            ++used;
        }
        wrapped.append(words, at, length);
        used += length;
        at = end + 1;
    }
    return wrapped;
}

std::string help_text(const ToolCommandLine& tool) {
    std::size_t column = 0;
    for (std::size_t at = 0; at < kMostOptions + kCommonOptions; ++at) {
        const ToolOption& option = option_at(tool, at);
        if (option.name != nullptr) column = std::max(column, option_label(option).size() + 2);
    }
    std::string text = std::string(tool.usage) + "\n" + tool.about;
    for (std::size_t at = 0; at < kMostOptions + kCommonOptions; ++at) {
        const ToolOption& option = option_at(tool, at);
        if (option.name == nullptr) continue;
        std::string label = option_label(option);
        text += label + std::string(column - label.size(), ' ') + option_words(option, column) + "\n";
    }
    return text;
}

// Takes the value of the option at `at`, from `inline_value` or the next
// argument; false, having said so, when it has none or takes none.
bool take_value(const ToolCommandLine& tool, std::size_t at, const char* inline_value, int argc, char** argv, int& i,
                const char*& value) {
    const ToolOption& option = option_at(tool, at);
    value = inline_value;
    if (option.value_name == nullptr) {
        if (value == nullptr) return true;
        (void)usage_error("option '%s' takes no value", option.name);
        return false;
    }
    // The value may itself start with a dash: `--offset -1mm,0mm`.
    if (value == nullptr && i + 1 < argc) value = argv[++i];
    if (value != nullptr) return true;
    (void)usage_error("option '%s' needs a value", option.name);
    return false;
}

// Reads one option, the argument at `i`; the exit status when the tool is done.
std::optional<int> read_option(const ToolCommandLine& tool, int argc, char** argv, int& i, ToolArguments& arguments) {
    const char* inline_value = nullptr;
    std::size_t at = find_option(tool, argv[i], inline_value);
    if (at == kMostOptions + kCommonOptions) return usage_error("unknown option '%s'", argv[i]);
    const char* value = nullptr;
    if (!take_value(tool, at, inline_value, argc, argv, i, value)) return kStatusUsage;
    if (at == kMostOptions + kHelp) return write_answer("the help", help_text(tool)) ? kStatusDone : kStatusFailed;
    if (at == kMostOptions + kVersion) {
        return write_answer("the version", std::string(tool.name) + " " + LEDGERINE_VERSION + "\n") ? kStatusDone
                                                                                                    : kStatusFailed;
    }
    if (at == kMostOptions + kList) {
        arguments.list = value;
        return std::nullopt;
    }
    // An option with choices names its value in its table, so take_value found one.
    if (const OptionChoices* choices = tool.options[at].choices; choices != nullptr && value != nullptr) {
        std::optional<int> chosen = read_choice(*choices, value);
        if (!chosen) return kStatusUsage;
        arguments.choices[at] = *chosen;
    }
    arguments.given[at] = true;
    arguments.values[at] = value;
    return std::nullopt;
}

}  // namespace

// Variadic as printf is, and checked as printf is (LEDGERINE_PRINTF on the declaration).
int usage_error(const char* format, ...) {  // NOLINT(cert-dcl50-cpp)
    std::va_list values;
    va_start(values, format);
    vsay(format, values);
    va_end(values);
    (void)std::fprintf(stderr, "\nTry '%s --help'.\n", g_tool);
    return kStatusUsage;
}

int tool_error(int error, const char* format, ...) {  // NOLINT(cert-dcl50-cpp): as usage_error
    std::va_list values;
    va_start(values, format);
    vsay(format, values);
    va_end(values);
    if (error != 0) (void)std::fprintf(stderr, ": %s", std::strerror(error));
    (void)std::fputc('\n', stderr);
    return kStatusFailed;
}

bool standard_output_open() {
    if (!platform_standard_stream_was_closed(1)) return true;
    (void)tool_error(EBADF, "could not write to standard output");
    return false;
}

std::optional<int> open_tool(int argc, char** argv, const ToolCommandLine& tool, ToolArguments& arguments) {
    platform_prepare_process();
    g_tool = tool.name;
    arguments = {};
    std::size_t operands = 0;
    bool options_over = false;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (options_over || argument[0] != '-' || argument[1] == '\0') {
            if (++operands > tool.most_operands) return usage_error("unexpected argument '%s'", argument);
            arguments.operand = argument;
        } else if (std::strcmp(argument, "--") == 0) {
            options_over = true;
        } else if (std::optional<int> done = read_option(tool, argc, argv, i, arguments)) {
            return done;
        }
    }
    return std::nullopt;
}

const char* tool_list_name(const ToolArguments& arguments) {
    return arguments.list != nullptr ? arguments.list : "Maillist.dat";
}

bool open_tool_list(const ToolArguments& arguments) {
    if (open_data_file(arguments.list)) return true;
    int error = errno;
    if (error == EINVAL) {
        (void)tool_error(0, "could not open %s: it is not a regular file", tool_list_name(arguments));
    } else {
        (void)tool_error(error, "could not open %s", tool_list_name(arguments));
    }
    return false;
}

bool load_tool_list(const ToolArguments& arguments, RecordTable& table) {
    if (!open_tool_list(arguments)) return false;
    errno = 0;
    bool loaded = load_records(table);
    // A file that ends before its size says has no error of its own.
    int error = errno != 0 ? errno : EIO;
    close_data_file();
    if (!loaded) (void)tool_error(error, "could not read %s", tool_list_name(arguments));
    return loaded;
}
