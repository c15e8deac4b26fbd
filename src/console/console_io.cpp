// Console input is read in blocks and handed out a byte at a time, CR LF read as
// a newline; the screen is gathered in one buffer that goes out only when the
// program must wait or end. This is the console's edge: where the console speaks
// UTF-8, what is typed becomes the list's code page here, and the list's text is
// shown in UTF-8.
#include "console/console_io.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "record_store/code_page.h"
#include "record_store/customer_record.h"

// The editor of a terminal recalls the run's latest lines: as many as entering
// a whole list takes, a command and the fields of each record.
static_assert(kConsoleHistoryLines == kMaxRecords * (kFieldCount + 1), "the history holds a full list's entry");

namespace {

constexpr std::size_t kScreenBufferSize = std::size_t{64} * 1024;

// Asking costs a locale lookup (most of a start-up under a UTF-8 locale), so it
// is asked when it first matters: at the first bytes read, or the first list
// text shown. A run that ends with no input never asks.
enum class CharacterSet : unsigned char { kNotAsked, kListCodePage, kUtf8 };

// All that is known of the console's input: what was read and not yet handed out.
struct ConsoleInput {
    CharacterSet speaks;  // the console's, the same for input and screen
    char bytes[kInputBufferSize];
    std::size_t next;
    std::size_t end;
    bool ended;
    bool line_pending;  // a command byte was read and the rest of its line was not
    // The start of a UTF-8 character that the last read cut, waiting for its
    // end: all but the last byte of one at most.
    char cut[kMaxUtf8Bytes - 1];
    std::size_t cut_length;
};

ConsoleInput g_input;

char g_screen[kScreenBufferSize];
std::size_t g_screen_used = 0;

bool speaks_utf8() {
    if (g_input.speaks == CharacterSet::kNotAsked) {
        g_input.speaks = platform_console_speaks_utf8() ? CharacterSet::kUtf8 : CharacterSet::kListCodePage;
    }
    return g_input.speaks == CharacterSet::kUtf8;
}

// Not checked: a screen that cannot be written is no reason to stop taking
// input, and it costs nothing that the data file holds.
void write_screen(const char* bytes, std::size_t length) {
    (void)std::fwrite(bytes, 1, length, stdout);
}

// Everything on the screen up to its last line end goes out; the rest, the
// prompt the program waits at, is handed to the console's read to show.
std::string_view put_out_all_but_prompt() {
    std::size_t line_start = g_screen_used;
    while (line_start > 0 && g_screen[line_start - 1] != '\n') --line_start;
    write_screen(g_screen, line_start);
    (void)std::fflush(stdout);
    std::string_view prompt(g_screen + line_start, g_screen_used - line_start);
    g_screen_used = 0;  // the prompt stays in place: nothing is written while the console is read
    return prompt;
}

// Reads the console into the buffer once. A character cut by the read before
// is joined with its end; one cut by the end of the input is taken byte by byte.
void read_console() {
    std::size_t cut = g_input.cut_length;
    std::memcpy(g_input.bytes, g_input.cut, cut);
    std::size_t got = platform_read_console(put_out_all_but_prompt(), g_input.bytes + cut, kInputBufferSize - cut);
    g_input.next = 0;
    g_input.end = cut + got;
    g_input.ended = got == 0;
    g_input.cut_length = 0;
    if (g_input.ended || !speaks_utf8()) return;
    g_input.end = utf8_to_list(g_input.bytes, cut + got, g_input.bytes, true, g_input.cut_length);
    std::memcpy(g_input.cut, g_input.bytes + cut + got - g_input.cut_length, g_input.cut_length);
}

// Reads the console until a byte is ready or the input has ended.
bool refill_input() {
    while (g_input.next >= g_input.end) {
        if (g_input.ended) return false;
        // About to wait: everything written so far goes on the screen first.
        read_console();
    }
    return true;
}

// Whether a byte is ready, reading the console when the buffer is spent. The
// first test is the one made for nearly every byte: kept apart, it is inlined.
bool input_ready() {
    return g_input.next < g_input.end || refill_input();
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

void begin_console() {
    g_input.speaks = CharacterSet::kNotAsked;
    g_input.next = 0;
    g_input.end = 0;
    g_input.ended = false;
    g_input.line_pending = false;
    g_input.cut_length = 0;
}

char* put_shown(std::string_view text, char* out) {
    if (speaks_utf8()) return list_to_utf8(text, out);
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
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

void end_console() {
    flush_screen();
    platform_end_console();
}

void flush_screen() {
    write_screen(g_screen, g_screen_used);
    g_screen_used = 0;
    (void)std::fflush(stdout);
}
