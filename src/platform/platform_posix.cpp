// The platform layer on POSIX: drive A: is the directory the program is started
// in, the printer is the system's print spooler, reached through `lp`, and a
// file is written whole by a synced temporary file renamed into place.
#include "platform/platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <signal.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <clocale>
#include <cstring>
#include <string>

namespace {

constexpr const char* kDataFileName = "Maillist.dat";
constexpr int kStandardStreams = 3;

// The standard streams found closed at start-up, before they were put on /dev/null.
bool g_closed_at_start[kStandardStreams];

// Drive A:'s file system ignores case: when no file has exactly the name, take
// the first (in byte order) whose name differs only in case.
bool find_name_ignoring_case(std::string& found) {
    DIR* directory = opendir(".");
    if (directory == nullptr) return false;
    bool any = false;
    while (const dirent* entry = readdir(directory)) {
        if (strcasecmp(entry->d_name, kDataFileName) != 0) continue;
        if (!any || std::strcmp(entry->d_name, found.c_str()) < 0) found = entry->d_name;
        any = true;
    }
    closedir(directory);
    return any;
}

int open_for_update(const char* name) {
    // O_NONBLOCK keeps a FIFO of that name from stalling the open; it is turned
    // off again below, and only regular files are accepted anyway.
    int file = open(name, O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (file < 0) return kNoFile;
    struct stat status {};
    if (fstat(file, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(file);
        errno = EINVAL;  // there is a file of that name, but not one we can use
        return kNoFile;
    }
    int flags = fcntl(file, F_GETFL);
    if (flags < 0 || fcntl(file, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(file);
        return kNoFile;
    }
    return file;
}

bool set_lock(int file, short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;  // the whole file, however far it grows
    while (fcntl(file, F_SETLKW, &lock) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

bool write_all(int file, const char* data, std::size_t length) {
    while (length > 0) {
        ssize_t written = write(file, data, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

std::int64_t monotonic_milliseconds() {
    timespec now{};
    (void)clock_gettime(CLOCK_MONOTONIC, &now);  // cannot fail for this clock
    return std::int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
}

// Waits until the spooler has ended, or for kPrinterPatienceSeconds at most.
void wait_for_spooler(pid_t spooler) {
    constexpr long kPauseNanoseconds = 2000000;
    constexpr timespec kPause{0, kPauseNanoseconds};
    std::int64_t give_up = monotonic_milliseconds() + std::int64_t{kPrinterPatienceSeconds} * 1000;
    for (;;) {
        // While it runs waitpid answers 0; once it has ended and been reaped, ECHILD.
        pid_t state = waitpid(spooler, nullptr, WNOHANG);
        if (state < 0 && errno == EINTR) continue;
        if (state != 0 || monotonic_milliseconds() >= give_up) return;
        (void)nanosleep(&kPause, nullptr);
    }
}

// In the child: `lp -s` reading the job from `job`, with the default handling of
// the signals the program ignores, and whatever it says going to /dev/null so
// that it never reaches the screen. A step that fails ends the child before lp
// starts: a spooler set up by half could print the console's input.
[[noreturn]] void start_spooler(int job) {
    constexpr int kNotStarted = 127;
    int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (quiet < 0 || dup2(job, STDIN_FILENO) < 0 || dup2(quiet, STDOUT_FILENO) < 0 || dup2(quiet, STDERR_FILENO) < 0) {
        _exit(kNotStarted);
    }
    for (int ignored : {SIGPIPE, SIGXFSZ, SIGCHLD}) (void)signal(ignored, SIG_DFL);  // cannot fail for these
    char program[] = "lp";
    char silent[] = "-s";
    char* arguments[] = {program, silent, nullptr};
    execvp(program, arguments);
    _exit(kNotStarted);
}

// The file a whole write lands in: the one a path names through any symbolic
// links, so that a link is kept and its file written beside itself; a name that
// nothing has yet (or a dangling link, replaced) as given.
bool whole_file_target(const char* path, std::string& target) {
    char resolved[PATH_MAX];
    if (realpath(path, resolved) != nullptr) {
        target = resolved;
        return true;
    }
    if (errno != ENOENT) return false;
    target = path;
    return true;
}

// A file replaced keeps its permissions; a new one gets those open(2) would
// give it under the process's umask.
bool mode_of_whole_file(const char* target, mode_t& mode) {
    struct stat status {};
    if (stat(target, &status) == 0) {
        mode = status.st_mode & 07777;
        return true;
    }
    if (errno != ENOENT) return false;
    mode_t mask = umask(0);
    (void)umask(mask);  // cannot fail: puts back the mask just read
    mode = 0666 & ~mask;
    return true;
}

void remove_keeping_errno(const char* path) {
    int error = errno;
    (void)unlink(path);  // the failure being reported is the one in errno
    errno = error;
}

// Writes the temporary file whole and syncs it; on failure removes it again.
bool write_temporary_file(const char* temporary, mode_t mode, const char* bytes, std::size_t length) {
    // 0600 until written: the mode given after may be wider than the umask allows.
    int file = open(temporary, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
    if (file < 0) return false;
    bool written = fchmod(file, mode) == 0 && platform_write_at(file, 0, bytes, length) && platform_sync(file);
    int error = errno;
    if (close(file) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written) return true;
    errno = error;
    remove_keeping_errno(temporary);
    return false;
}

bool put_in_place(const char* temporary, const char* target, ExistingFile existing) {
    if (existing == ExistingFile::kReplaced) return rename(temporary, target) == 0;
    // A second link fails when anything has the name, even a file made meanwhile.
    return link(temporary, target) == 0 && unlink(temporary) == 0;
}

// The new name is an entry of the folder: synced, it outlasts a crash.
bool sync_folder_of(const std::string& target) {
    std::size_t slash = target.rfind('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    int file = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (file < 0) return false;
    bool synced = platform_sync(file);
    int error = errno;
    (void)close(file);  // opened only to be synced: nothing written through it can be lost
    errno = error;
    return synced;
}

}  // namespace

void platform_prepare_process() {
    // A closed standard stream would hand its number to the data file, and the
    // console would then read the list as typed input.
    for (int stream = 0; stream < kStandardStreams; ++stream) {
        if (fcntl(stream, F_GETFD) < 0 && errno == EBADF) {
            g_closed_at_start[stream] = true;
            int null_device = open("/dev/null", stream == 0 ? O_RDONLY : O_WRONLY);
            if (null_device >= 0 && null_device != stream) {
                dup2(null_device, stream);
                close(null_device);
            }
        }
    }
    // Cannot fail for these signals. With SIGCHLD ignored, the system reaps every
    // spooler as it ends, so one that outlives our patience never lingers as a zombie.
    (void)signal(SIGPIPE, SIG_IGN);
    (void)signal(SIGXFSZ, SIG_IGN);
    (void)signal(SIGCHLD, SIG_IGN);
}

bool platform_standard_stream_was_closed(int stream) {
    return stream >= 0 && stream < kStandardStreams && g_closed_at_start[stream];
}

void platform_prepare_console() {}

bool platform_console_speaks_utf8() {
    // A locale that is named but not installed leaves the C locale, whose bytes
    // pass as they are: what every other program on this terminal then does too.
    // Only the answer is kept: the program itself runs in the C locale.
    bool utf8 = std::setlocale(LC_CTYPE, "") != nullptr && std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    (void)std::setlocale(LC_CTYPE, "C");  // cannot fail: the C locale is always there
    return utf8;
}

int platform_open_data_file(const char* path) {
    // A path given is taken as it is: only drive A:'s own name ignores case.
    if (path != nullptr) return open_for_update(path);
    int file = open_for_update(kDataFileName);
    if (file != kNoFile || errno != ENOENT) return file;
    std::string other_case;
    if (!find_name_ignoring_case(other_case)) return kNoFile;
    return open_for_update(other_case.c_str());
}

void platform_close_file(int file) {
    close(file);
}

bool platform_file_size(int file, std::uint64_t& size) {
    struct stat status {};
    if (fstat(file, &status) != 0 || status.st_size < 0) return false;
    size = static_cast<std::uint64_t>(status.st_size);
    return true;
}

bool platform_read_at(int file, std::uint64_t offset, char* buffer, std::size_t length) {
    for (std::size_t done = 0; done < length;) {
        ssize_t got = pread(file, buffer + done, length - done, static_cast<off_t>(offset + done));
        if (got == 0 || (got < 0 && errno != EINTR)) return false;  // an error, or the file ends first
        done += got > 0 ? static_cast<std::size_t>(got) : 0;
    }
    return true;
}

bool platform_write_at(int file, std::uint64_t offset, const char* buffer, std::size_t length) {
    for (std::size_t done = 0; done < length;) {
        ssize_t put = pwrite(file, buffer + done, length - done, static_cast<off_t>(offset + done));
        if (put == 0 || (put < 0 && errno != EINTR)) return false;
        done += put > 0 ? static_cast<std::size_t>(put) : 0;
    }
    return true;
}

bool platform_sync(int file) {
    while (fsync(file) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

bool platform_truncate(int file, std::uint64_t size) {
    while (ftruncate(file, static_cast<off_t>(size)) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

bool platform_lock_shared(int file) {
    return set_lock(file, F_RDLCK);
}

bool platform_lock_exclusive(int file) {
    return set_lock(file, F_WRLCK);
}

void platform_unlock(int file) {
    set_lock(file, F_UNLCK);
}

void platform_print_job(std::string_view text) {
    // What a text-mode printer stream did on the original console: CR LF line ends.
    std::string job;
    job.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        if (c == '\n') job += '\r';
        job += c;
    }

    int pipe_ends[2];
    if (pipe2(pipe_ends, O_CLOEXEC) != 0) return;
    pid_t spooler = fork();
    if (spooler == 0) start_spooler(pipe_ends[0]);
    close(pipe_ends[0]);
    if (spooler > 0) write_all(pipe_ends[1], job.data(), job.size());
    // Closing ends the job; a spooler that stopped reading only costs a failed write.
    close(pipe_ends[1]);
    if (spooler > 0) wait_for_spooler(spooler);
}

bool platform_marks_utf8_files() {
    return false;
}

bool platform_write_standard_output(const char* bytes, std::size_t length) {
    return write_all(STDOUT_FILENO, bytes, length);
}

bool platform_is_folder(const char* path) {
    struct stat status {};
    return stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

bool platform_name_free(const char* path) {
    struct stat status {};
    return lstat(path, &status) != 0 && errno == ENOENT;
}

bool platform_write_stream(int file, const char* bytes, std::size_t length) {
    return write_all(file, bytes, length);
}

std::string platform_temporary_name(const char* path) {
    const char* slash = std::strrchr(path, '/');
    std::size_t folder = slash == nullptr ? 0 : static_cast<std::size_t>(slash + 1 - path);
    return std::string(path, folder) + "." + (path + folder) + ".tmp";
}

bool platform_write_whole_file(const char* path, const char* bytes, std::size_t length, ExistingFile existing) {
    std::string target;
    mode_t mode = 0;
    if (!whole_file_target(path, target) || !mode_of_whole_file(target.c_str(), mode)) return false;
    std::string temporary = platform_temporary_name(target.c_str());
    if (!write_temporary_file(temporary.c_str(), mode, bytes, length)) return false;
    if (!put_in_place(temporary.c_str(), target.c_str(), existing)) {
        remove_keeping_errno(temporary.c_str());
        return false;
    }
    return sync_folder_of(target);
}
