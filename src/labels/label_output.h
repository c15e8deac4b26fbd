// Where the PDF goes: standard output, or the file of -o. A new or regular file
// is written whole (platform_write_whole_file): beside itself under a temporary
// name, renamed into place only when whole; a device or a FIFO is written as it
// is. Never a terminal.
#pragma once

#include <cstddef>

struct LabelOutput {
    const char* shown;          // "standard output", or the file's name as given
    int direct;                 // the descriptor written as it is, or -1
    bool opened;                // `direct` was opened here and is closed here
    const char* whole_file;     // the new or regular file written whole, when not direct
};

enum class OutputOpened { kOpened, kTerminal, kFailed };

// Standard output when `file` is null. kFailed leaves errno set.
OutputOpened open_label_output(const char* file, LabelOutput& output);

// Writes all the bytes and closes the output; false, with errno set, when any
// of them could not be written: a file being replaced is then left as it was.
bool write_label_output(LabelOutput& output, const unsigned char* bytes, std::size_t length);

// Closes the output without writing to it.
void close_label_output(LabelOutput& output);
