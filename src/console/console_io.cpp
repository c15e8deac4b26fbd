// Console input is read in blocks and handed out a byte at a time; the screen is
// gathered in one buffer that goes out only when the program must wait or end.
#include "console/console_io.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace {

constexpr std::size_t kInputBufferSize = std::size_t{64} * 1024;
constexpr std::size_t kScreenBufferSize = std::size_t{64} * 1024;

char g_input[kInputBufferSize];
std::size_t g_input_next = 0;
std::size_t g_input_end = 0;
bool g_input_ended = false;
bool g_line_pending = false;  // a command byte was read and the rest of its line was not

char g_screen[kScreenBufferSize];
std::size_t g_screen_used = 0;

// Not checked: a screen that cannot be written is no reason to stop taking
// input, and it costs nothing that the data file holds.
void write_screen(const char* bytes, std::size_t length) {
    (void)std::fwrite(bytes, 1, length, stdout);
}

int next_byte() {
    if (g_input_next == g_input_end) {
        if (g_input_ended) return kEndOfInput;
        // About to wait: everything written so far must be on the screen first.
        flush_screen();
        g_input_next = 0;
        g_input_end = platform_read_console(g_input, kInputBufferSize);
        if (g_input_end == 0) {
            g_input_ended = true;
            return kEndOfInput;
        }
    }
    return static_cast<unsigned char>(g_input[g_input_next++]);
}

}  // namespace

void begin_console_input() {
    g_input_next = 0;
    g_input_end = 0;
    g_input_ended = false;
    g_line_pending = false;
}

std::string_view line_text(const ConsoleLine& line) {
    return std::string_view(line.kept, std::min(line.length, kLineKept));
}

void discard_pending_input() {
    while (g_line_pending) {
        int c = next_byte();
        if (c == '\n' || c == kEndOfInput) g_line_pending = false;
    }
}

int read_command_char() {
    int c = next_byte();
    g_line_pending = c != '\n' && c != kEndOfInput;
    return c;
}

bool read_console_line(ConsoleLine& line) {
    g_line_pending = false;
    line.length = 0;
    int c = next_byte();
    if (c == kEndOfInput) return false;
    while (c != '\n' && c != kEndOfInput) {
        if (line.length < kLineKept) line.kept[line.length] = static_cast<char>(c);
        ++line.length;
        c = next_byte();
    }
    return true;
}

void write_text(std::string_view text) {
    if (text.size() > kScreenBufferSize - g_screen_used) {
        flush_screen();
        if (text.size() >= kScreenBufferSize) {
            write_screen(text.data(), text.size());
            return;
        }
    }
    std::memcpy(g_screen + g_screen_used, text.data(), text.size());
    g_screen_used += text.size();
}

void flush_screen() {
    write_screen(g_screen, g_screen_used);
    g_screen_used = 0;
    (void)std::fflush(stdout);
}
