// The thin layer between the programs and the machine: the console's input, the
// data file "a:Maillist.dat" on drive A:, the printer "PRN", standard output,
// and the files the companion tools write whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Called once at start-up: a broken pipe or a file size limit must turn into a
// failed write, never end the program. On POSIX a standard stream (0, 1 or 2)
// found closed is opened on /dev/null, so that its number never goes to a file
// the program opens; platform_standard_stream_was_closed still tells it.
void platform_prepare_process();

// Whether the standard stream `stream` (0, 1 or 2) was closed when the process
// started: a tool that would write its output there refuses instead.
bool platform_standard_stream_was_closed(int stream);

// Called once by the menu program, after platform_prepare_process (the
// companion tools leave the console as they find it):
// - Windows: a console speaks its code page, which may be 863, 437 or 65001
//   rather than the list's 850, and would then store and show accented letters
//   wrong. Where standard input is a console its input code page is set to 850,
//   where standard output is one its output code page; each is put back as it
//   was when the program ends, whether by q, the end of the input, Ctrl+C,
//   Ctrl+Break or the console window being closed. Input or output redirected
//   to a file or a pipe is bytes, and is left alone.
// - POSIX: nothing; the terminal's character set is the locale's.
void platform_prepare_console();

// Whether the console speaks UTF-8, rather than the list's own code page.
// - POSIX: the locale's character set, from LC_ALL, LC_CTYPE or LANG, as every
//   text program learns it.
// - Windows: never; the console speaks the list's code page (see
//   platform_prepare_console).
bool platform_console_speaks_utf8();

// Shows `prompt`, the screen's last line that the program has written but not
// yet put out, and reads what the console has for us, waiting when it has
// nothing; returns the number of bytes read, 0 once the input has ended (or
// cannot be read).
// - POSIX: where standard input and output are a terminal, a line at a time
//   through the line editor, which is told the prompt so that a line longer than
//   the terminal wraps and edits right; elsewhere as it comes.
// - Windows: as it comes; a console's line input edits by itself.
std::size_t platform_read_console(std::string_view prompt, char* buffer, std::size_t capacity);

// How many of the run's lines the editor keeps for Up and Down.
constexpr int kConsoleHistoryLines = 900;

// Lets the console go at the end of the run: on POSIX the editor, if it was
// started, puts the terminal back as it found it.
void platform_end_console();

constexpr int kNoFile = -1;

// Opens the data file for reading and writing, never creating or truncating it:
// the one `path` names, or with a null `path` "Maillist.dat" on drive A: (on
// POSIX the current directory, the name matched ignoring case). Returns kNoFile,
// with errno set, when it is missing or is not a regular file we may update
// (EINVAL: there is a file of that name, but not a regular one).
int platform_open_data_file(const char* path);
void platform_close_file(int file);

// Every call below that can fail says so: false means it did not do all it was asked.
// The size of the open file.
bool platform_file_size(int file, std::uint64_t& size);
// Reads exactly `length` bytes at `offset`; false on an error or an early end of file.
bool platform_read_at(int file, std::uint64_t offset, char* buffer, std::size_t length);
// Writes all `length` bytes at `offset`; false when any of them could not be written.
bool platform_write_at(int file, std::uint64_t offset, const char* buffer, std::size_t length);
// Puts everything written so far on the disk.
bool platform_sync(int file);
bool platform_truncate(int file, std::uint64_t size);

// Advisory whole-file locks: shared for reading, exclusive for appending. They
// wait for a lock held by another program.
bool platform_lock_shared(int file);
bool platform_lock_exclusive(int file);
void platform_unlock(int file);

// Hands one job to the printer: `text` with '\n' line ends, which reach the
// printer as carriage return plus line feed. Nothing is reported, whatever happens.
// How long it may take:
// - POSIX: the job goes to the spooler, which is waited for no longer than
//   kPrinterPatienceSeconds; one that runs on is left to finish by itself.
// - Windows: the job is written to the device PRN, and that write blocks for as
//   long as the device does. It is not bounded: the program has one thread, and a
//   device write cannot be abandoned half way without losing the job's end.
constexpr int kPrinterPatienceSeconds = 5;
void platform_print_job(std::string_view text);

// Whether a UTF-8 file written for this platform's users starts with the
// byte-order mark: on Windows, whose programs take a file without it for the
// system's code page; not on POSIX, where UTF-8 is the rule.
bool platform_marks_utf8_files();

// The files of a folder the exporter writes cards into, named by paths.
// Whether `path` names a folder (or a link to one).
bool platform_is_folder(const char* path);
// Whether nothing at all has the name `path`, not even a dangling link; false
// too when that cannot be known.
bool platform_name_free(const char* path);

// Writing a file whole, so that its name holds the old file or all of the new
// one, never a part, whatever fails or wherever the machine stops: the bytes go
// to a temporary file in the same folder, which is put on the disk and only
// then given the file's name.
// - POSIX: the temporary file is synced, renamed into place (or linked, see
//   ExistingFile), and the folder synced so that the new name lasts too.
// - Windows: the temporary file is flushed (FlushFileBuffers) and moved into
//   place with MOVEFILE_WRITE_THROUGH, which returns once the move is on the disk.
// When `path` is a symbolic link, the file it names is the one written, beside
// itself, and the link is kept. On POSIX a file replaced keeps its permissions,
// and a new one gets those open(2) gives. On failure the temporary file is
// removed (unless that fails too), and the old file (or its absence) is as it
// was, except when only the folder's sync failed: the new file is then in
// place, but might not outlast a crash. On POSIX, errno says what failed.
// What becomes of a file that already has the name:
enum class ExistingFile {
    kReplaced,
    // The write fails, even for a file that takes the name while the new one is
    // being written (POSIX: a second link, which a file system without links,
    // such as FAT, refuses; Windows: a move that does not replace).
    kKept,
};
bool platform_write_whole_file(const char* path, const char* bytes, std::size_t length, ExistingFile existing);
// The temporary name the file `path` is written under first: its own name,
// hidden by a leading dot and ending in ".tmp", in the same folder. Made
// afresh: when a file already has that name, the write fails and that file is
// kept, so that two programs writing one file at once never write into the
// same temporary file.
std::string platform_temporary_name(const char* path);

// Writes all `length` bytes to `file` from where it stands, as they are: for a
// pipe or a device, which have no offsets to write at.
bool platform_write_stream(int file, const char* bytes, std::size_t length);

// Writes all `length` bytes to standard output as they are (no line-end
// conversion); false when any of them could not be written.
bool platform_write_standard_output(const char* bytes, std::size_t length);
