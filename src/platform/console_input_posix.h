// The two ways the console's input is read on POSIX: as it comes, and through
// the line editor at a terminal, one finished line at a time, edited by
// character and recalled from the lines typed earlier in the run.
#pragma once

#include <cstddef>
#include <string_view>

// Reads what standard input has, waiting when it has nothing; 0 once it has
// ended or cannot be read.
std::size_t read_standard_input(char* buffer, std::size_t capacity);

// Whether this build has the editor (the builds for other CPUs have no library
// of theirs to link, and read a terminal as they read a pipe).
bool line_editor_built();

// Prepares the editor on standard input and output; false when it cannot.
bool line_editor_start();

// Shows `prompt` and reads one line, ended by its newline, into `buffer`; a line
// longer than `capacity` is handed out over several calls. Returns the number of
// bytes, 0 once the input has ended (Ctrl+D on an empty line) or cannot be read.
// Under a UTF-8 locale the bytes are the UTF-8 of what was typed; under any
// other, every byte is kept as it was typed.
std::size_t line_editor_read(std::string_view prompt, char* buffer, std::size_t capacity);

// Puts the terminal back as the editor found it, and lets the editor go.
void line_editor_end();
