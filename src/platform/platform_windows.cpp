// The platform layer on 32-bit Windows, the program's original console: the
// data file is "a:Maillist.dat" as it stands, the printer is the device "PRN",
// the console speaks the list's code page while the program runs, and a file is
// written whole by a flushed temporary file moved into place.
#include "platform/platform.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr const char* kDataFileName = "a:Maillist.dat";
constexpr const char* kPrinterName = "PRN";
// The C runtime reads and writes at most this much in one call.
constexpr std::size_t kLargestTransfer = 1u << 30;

// The whole file, however far it grows.
constexpr DWORD kWholeFileLow = 0xFFFFFFFF;
constexpr DWORD kWholeFileHigh = 0xFFFFFFFF;

bool seek_to(int file, std::uint64_t offset) {
    return _lseeki64(file, static_cast<__int64>(offset), SEEK_SET) >= 0;
}

// Reads all `length` bytes at the file's position; false on an error, or when
// the file ends first.
bool read_all(int file, char* buffer, std::size_t length) {
    for (std::size_t done = 0; done < length;) {
        int got = _read(file, buffer + done, static_cast<unsigned>(std::min(length - done, kLargestTransfer)));
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

// Writes all `length` bytes at the file's position; false when any could not be written.
bool write_all(int file, const char* bytes, std::size_t length) {
    for (std::size_t done = 0; done < length;) {
        int put = _write(file, bytes + done, static_cast<unsigned>(std::min(length - done, kLargestTransfer)));
        if (put <= 0) return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

bool lock_file(int file, DWORD flags) {
    OVERLAPPED from_start{};
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(file));
    return LockFileEx(handle, flags, 0, kWholeFileLow, kWholeFileHigh, &from_start) != 0;
}

// The list's code page, the original console's.
constexpr UINT kListCodePage = 850;

// The console's code pages as the program found them; 0 where it did not change
// one (a redirected stream, or a console whose code page could not be read).
struct FoundCodePages {
    UINT input;
    UINT output;
};

FoundCodePages g_found_code_pages{};

// Puts the console's code pages back. Nothing is checked: the program is ending,
// and there is nobody left to tell.
void restore_console_code_pages() {
    if (g_found_code_pages.input != 0) (void)SetConsoleCP(g_found_code_pages.input);
    if (g_found_code_pages.output != 0) (void)SetConsoleOutputCP(g_found_code_pages.output);
}

// Called on a thread of its own for Ctrl+C, Ctrl+Break, the console window's
// close, a log-off or a shutdown. FALSE hands the event on to the default
// handler, which ends the process at once, as it always did.
BOOL WINAPI on_console_event(DWORD) {
    restore_console_code_pages();
    return FALSE;
}

bool is_console(DWORD standard_stream) {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(standard_stream), &mode) != 0;
}

// The file a whole write lands in: the one a path names through any symbolic
// links, so that a link is kept and its file written beside itself; a name that
// nothing has yet (or a dangling link, replaced) as given.
bool whole_file_target(const char* path, std::string& target) {
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND) return false;
        target = path;
        return true;
    }
    // Asked first for its length (with the NUL), as the \\?\ path it answers may be past MAX_PATH.
    constexpr DWORD kFlags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    DWORD needed = GetFinalPathNameByHandleA(file, nullptr, 0, kFlags);
    target.assign(needed, '\0');
    DWORD length = needed == 0 ? 0 : GetFinalPathNameByHandleA(file, target.data(), needed, kFlags);
    (void)CloseHandle(file);  // opened only to be named: nothing written through it can be lost
    target.resize(length < needed ? length : 0);
    return length != 0 && length < needed;
}

// Writes the temporary file whole and flushes it to the disk; on failure removes it again.
bool write_temporary_file(const char* temporary, const char* bytes, std::size_t length) {
    int file = _open(temporary, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    if (file < 0) return false;
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(file));
    bool written = write_all(file, bytes, length) && FlushFileBuffers(handle) != 0;
    if (_close(file) == 0 && written) return true;
    (void)DeleteFileA(temporary);  // the write's failure is the one reported
    return false;
}

}  // namespace

void platform_prepare_console() {
    bool input = is_console(STD_INPUT_HANDLE);
    bool output = is_console(STD_OUTPUT_HANDLE);
    if (!input && !output) return;
    // Every way back is in place before anything is changed: without them a
    // console could be left speaking 850 to the programs run in it after us.
    if (std::atexit(restore_console_code_pages) != 0 || !SetConsoleCtrlHandler(on_console_event, TRUE)) return;
    // Each found code page is kept before it is changed, so that an event in
    // between still puts it back. A query that fails answers 0: nothing is
    // changed. 850 is on every Windows; were it refused, the console would go
    // on speaking its own code page, as it did before the program set any.
    if (input) {
        g_found_code_pages.input = GetConsoleCP();
        if (g_found_code_pages.input != 0) (void)SetConsoleCP(kListCodePage);
    }
    if (output) {
        g_found_code_pages.output = GetConsoleOutputCP();
        if (g_found_code_pages.output != 0) (void)SetConsoleOutputCP(kListCodePage);
        // The screen's bytes go to the console as they are, for its code page to
        // show: a C runtime's text mode may first read them in its own locale's
        // code page (wine's shows 0xD4 as Ô, not È). The console starts a new
        // line at a line feed alone. Cannot fail for an open standard output.
        constexpr int kStandardOutput = 1;
        (void)_setmode(kStandardOutput, _O_BINARY);
    }
}

void platform_prepare_process() {
    // The console is read as bytes, so that its one CR LF fold is the console
    // code's, as on POSIX: text mode would fold CR LF and leave a CR before it
    // for a second fold. It fails only for a closed standard input, which then
    // reads as ended either way. Screen and printer stay in text mode: each
    // newline goes out as CR LF.
    constexpr int kStandardInput = 0;
    (void)_setmode(kStandardInput, _O_BINARY);
}

bool platform_standard_stream_was_closed(int stream) {
    // A stream the process was started without has no handle (-2), or an invalid one.
    return _get_osfhandle(stream) < 0;
}

bool platform_console_speaks_utf8() {
    // A console speaks 850 while the program runs; redirected bytes are the list's.
    return false;
}

std::size_t platform_read_console(std::string_view prompt, char* buffer, std::size_t capacity) {
    (void)std::fwrite(prompt.data(), 1, prompt.size(), stdout);
    (void)std::fflush(stdout);
    unsigned count = static_cast<unsigned>(capacity < kLargestTransfer ? capacity : kLargestTransfer);
    int got = _read(0, buffer, count);
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

void platform_end_console() {}

int platform_open_data_file(const char* path) {
    int file = _open(path != nullptr ? path : kDataFileName, _O_RDWR | _O_BINARY | _O_NOINHERIT);
    if (file < 0) return kNoFile;
    struct _stat64 status {};
    if (_fstat64(file, &status) != 0 || (status.st_mode & _S_IFREG) == 0) {
        _close(file);
        errno = EINVAL;  // there is a file of that name, but not one we can use
        return kNoFile;
    }
    return file;
}

void platform_close_file(int file) {
    _close(file);
}

bool platform_file_size(int file, std::uint64_t& size) {
    __int64 length = _filelengthi64(file);
    if (length < 0) return false;
    size = static_cast<std::uint64_t>(length);
    return true;
}

bool platform_read_at(int file, std::uint64_t offset, char* buffer, std::size_t length) {
    return seek_to(file, offset) && read_all(file, buffer, length);
}

bool platform_write_at(int file, std::uint64_t offset, const char* buffer, std::size_t length) {
    return seek_to(file, offset) && write_all(file, buffer, length);
}

bool platform_sync(int file) {
    return _commit(file) == 0;
}

bool platform_truncate(int file, std::uint64_t size) {
    return _chsize_s(file, static_cast<__int64>(size)) == 0;
}

bool platform_lock_shared(int file) {
    return lock_file(file, 0);
}

bool platform_lock_exclusive(int file) {
    return lock_file(file, LOCKFILE_EXCLUSIVE_LOCK);
}

void platform_unlock(int file) {
    OVERLAPPED from_start{};
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(file));
    UnlockFileEx(handle, 0, kWholeFileLow, kWholeFileHigh, &from_start);
}

void platform_print_job(std::string_view text) {
    // Text mode turns each newline into CR LF on its way to the printer.
    std::FILE* printer = std::fopen(kPrinterName, "w");
    if (printer == nullptr) return;
    (void)std::fwrite(text.data(), 1, text.size(), printer);
    (void)std::fclose(printer);  // nothing about the printer is ever reported
}

bool platform_marks_utf8_files() {
    return true;
}

bool platform_write_standard_output(const char* bytes, std::size_t length) {
    // In text mode each LF would go out as CR LF, and a CR LF as CR CR LF.
    constexpr int kStandardOutput = 1;
    return _setmode(kStandardOutput, _O_BINARY) >= 0 && write_all(kStandardOutput, bytes, length);
}

bool platform_is_folder(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool platform_name_free(const char* path) {
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return false;
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool platform_write_stream(int file, const char* bytes, std::size_t length) {
    return write_all(file, bytes, length);
}

std::string platform_temporary_name(const char* path) {
    std::string name = path;
    // The folder's part ends at either slash, or at a drive's colon ("a:name").
    std::size_t separator = name.find_last_of("/\\:");
    name.insert(separator == std::string::npos ? 0 : separator + 1, ".");
    return name + ".tmp";
}

bool platform_write_whole_file(const char* path, const char* bytes, std::size_t length, ExistingFile existing) {
    std::string target;
    if (!whole_file_target(path, target)) return false;
    std::string temporary = platform_temporary_name(target.c_str());
    if (!write_temporary_file(temporary.c_str(), bytes, length)) return false;
    // Write-through: the move returns once it is on the disk, as a synced folder would.
    DWORD how = MOVEFILE_WRITE_THROUGH | (existing == ExistingFile::kReplaced ? MOVEFILE_REPLACE_EXISTING : 0);
    if (MoveFileExA(temporary.c_str(), target.c_str(), how) != 0) return true;
    (void)DeleteFileA(temporary.c_str());  // the move's failure is the one reported
    return false;
}
