// The console routines every command shares: line-at-a-time input that behaves
// the same from a keyboard, a pipe or a file, and buffered screen output.
#pragma once

#include <cstddef>
#include <string_view>

#include "record_store/code_page.h"
#include "record_store/customer_record.h"

// Only this much of a line is kept: every answer is compared with, or counted
// against, a field no wider than kWidestField, so a longer line can never match
// and is refused by its length alone.
constexpr std::size_t kLineKept = 32;
static_assert(kLineKept > kWidestField, "a kept line must be able to tell a too-long answer");

struct ConsoleLine {
    char kept[kLineKept];
    std::size_t length;  // of the whole line, without its newline
};

// The line's text, whole for any line that could fit a field.
std::string_view line_text(const ConsoleLine& line);

constexpr int kEndOfInput = -1;
// The console is read this much at a time.
constexpr std::size_t kInputBufferSize = std::size_t{64} * 1024;

// Starts the console afresh: nothing read, nothing pending, and which character
// set it speaks not yet asked.
void begin_console();

// Writes `text`, in the list's code page, at `out` as the console shows it: in
// UTF-8 where the console speaks UTF-8, else as it is. `out` has room for
// kLongestUtf8OfByte bytes a byte. Returns the end of what was written.
char* put_shown(std::string_view text, char* out);

// Drops what is left unread of the current line, up to and including its
// newline. Returns at once when nothing is left.
void discard_pending_input();

// The first byte of the next line (the rest of it stays pending), or kEndOfInput.
int read_command_char();

// Reads the next line; false when the input ended before it began. A last line
// that ends with the end of input instead of a newline is still a line.
bool read_console_line(ConsoleLine& line);

// The name question that search and print share; false when the input ended.
bool ask_last_name(ConsoleLine& name);

// Screen output: gathered, and put on the screen by flush_screen, which every
// wait for input and the end of the program do.
void write_text(std::string_view text);
void flush_screen();

// The end of the run: the screen put out, and the console let go.
void end_console();
