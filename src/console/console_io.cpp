// Console input is read in blocks and handed out a byte at a time, CR LF read as
// a newline; the screen is gathered in one buffer that goes out only when the
// program must wait or end.
#include "console/console_io.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace {

constexpr std::size_t kScreenBufferSize = std::size_t{64} * 1024;

// All that is known of the console's input: what was read and not yet handed out.
struct ConsoleInput {
    char bytes[kInputBufferSize];
    std::size_t next;
    std::size_t end;
    bool ended;
    bool line_pending;  // a command byte was read and the rest of its line was not
};

ConsoleInput g_input;

char g_screen[kScreenBufferSize];
std::size_t g_screen_used = 0;

// Not checked: a screen that cannot be written is no reason to stop taking
// input, and it costs nothing that the data file holds.
void write_screen(const char* bytes, std::size_t length) {
    (void)std::fwrite(bytes, 1, length, stdout);
}

// Whether a byte is ready, reading the console when the buffer is spent.
bool input_ready() {
    if (g_input.next < g_input.end) return true;
    if (g_input.ended) return false;
    // About to wait: everything written so far must be on the screen first.
    flush_screen();
    g_input.next = 0;
    g_input.end = platform_read_console(g_input.bytes, kInputBufferSize);
    g_input.ended = g_input.end == 0;
    return !g_input.ended;
}

int next_byte() {
    if (!input_ready()) return kEndOfInput;
    char c = g_input.bytes[g_input.next++];
    // The original console read in text mode: a CR right before a LF is part of
    // the line end, so a script written there reads the same here. The LF may
    // only come with the next read.
    if (c == '\r' && input_ready() && g_input.bytes[g_input.next] == '\n') c = g_input.bytes[g_input.next++];
    return static_cast<unsigned char>(c);
}

}  // namespace

void begin_console_input() {
    g_input.next = 0;
    g_input.end = 0;
    g_input.ended = false;
    g_input.line_pending = false;
}

std::string_view line_text(const ConsoleLine& line) {
    return std::string_view(line.kept, std::min(line.length, kLineKept));
}

void discard_pending_input() {
    while (g_input.line_pending) {
        int c = next_byte();
        if (c == '\n' || c == kEndOfInput) g_input.line_pending = false;
    }
}

int read_command_char() {
    int c = next_byte();
    g_input.line_pending = c != '\n' && c != kEndOfInput;
    return c;
}

bool read_console_line(ConsoleLine& line) {
    g_input.line_pending = false;
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

bool ask_last_name(ConsoleLine& name) {
    discard_pending_input();
    write_text("Please Enter The Last Name of the Customer\n");  // the program's own text, byte for byte
    return read_console_line(name);
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
