// The console's input on POSIX. A terminal (standard input and output both) is
// read a line at a time through the line editor, so that the arrows, Home, End,
// Delete and the history edit the line as a console's line input does, and only
// the finished line reaches the program; anything else is read as it comes.
#include "platform/platform.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/console_input_posix.h"

namespace {

// Where the input is not a terminal the prompt goes out with the rest of the
// screen: only an editor has to know where the line it edits begins.
void show_prompt(std::string_view prompt) {
    (void)std::fwrite(prompt.data(), 1, prompt.size(), stdout);
    (void)std::fflush(stdout);
}

}  // namespace

std::size_t read_standard_input(char* buffer, std::size_t capacity) {
    for (;;) {
        ssize_t got = read(STDIN_FILENO, buffer, capacity);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // Standard input was left non-blocking by whoever started us: wait as a
            // blocking read would.
            pollfd wait_for{STDIN_FILENO, POLLIN, 0};
            if (poll(&wait_for, 1, -1) >= 0 || errno == EINTR) continue;
        }
        return 0;
    }
}

namespace {

enum class Reader : unsigned char { kNotAsked, kAsItComes, kEditor };
Reader g_reader = Reader::kNotAsked;

Reader choose_reader() {
    if (!line_editor_built() || isatty(STDIN_FILENO) != 1 || isatty(STDOUT_FILENO) != 1) return Reader::kAsItComes;
    return line_editor_start() ? Reader::kEditor : Reader::kAsItComes;
}

}  // namespace

std::size_t platform_read_console(std::string_view prompt, char* buffer, std::size_t capacity) {
    if (g_reader == Reader::kNotAsked) g_reader = choose_reader();
    if (g_reader == Reader::kEditor) return line_editor_read(prompt, buffer, capacity);
    show_prompt(prompt);
    return read_standard_input(buffer, capacity);
}

void platform_end_console() {
    if (g_reader == Reader::kEditor) line_editor_end();
    g_reader = Reader::kNotAsked;
}
