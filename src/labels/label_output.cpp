// Writing the PDF whole: to standard output or a device at once, to a regular
// file through a temporary file beside it and a rename.
#include "labels/label_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace {

bool write_all(int file, const unsigned char* bytes, std::size_t length) {
    while (length > 0) {
        ssize_t written = write(file, bytes, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

// The permissions a new file of that name gets, as open(2) would give them;
// a file replaced keeps its own.
mode_t mode_of_new_file() {
    mode_t mask = umask(0);
    (void)umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

bool replace_whole(const char* name, const unsigned char* bytes, std::size_t length) {
    struct stat before {};
    mode_t mode = stat(name, &before) == 0 ? static_cast<mode_t>(before.st_mode & 07777) : mode_of_new_file();
    char temporary[PATH_MAX];
    int needed = std::snprintf(temporary, sizeof temporary, "%s.XXXXXX", name);
    if (needed < 0 || static_cast<std::size_t>(needed) >= sizeof temporary) {
        errno = ENAMETOOLONG;
        return false;
    }
    int file = mkstemp(temporary);
    if (file < 0) return false;
    bool written = fchmod(file, mode) == 0 && write_all(file, bytes, length);
    int error = errno;
    if (close(file) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written && rename(temporary, name) != 0) {
        written = false;
        error = errno;
    }
    if (!written) {
        (void)unlink(temporary);
        errno = error;
    }
    return written;
}

}  // namespace

OutputOpened open_label_output(const char* file, LabelOutput& output) {
    output.replaced[0] = '\0';
    output.opened = false;
    if (file == nullptr) {
        output.shown = "standard output";
        output.direct = STDOUT_FILENO;
        return isatty(STDOUT_FILENO) != 0 ? OutputOpened::kTerminal : OutputOpened::kOpened;
    }
    output.shown = file;
    output.direct = -1;
    struct stat status {};
    if (stat(file, &status) != 0) {
        if (errno != ENOENT) return OutputOpened::kFailed;
        int needed = std::snprintf(output.replaced, sizeof output.replaced, "%s", file);
        if (needed < 0 || static_cast<std::size_t>(needed) >= sizeof output.replaced) {
            errno = ENAMETOOLONG;
            return OutputOpened::kFailed;
        }
        return OutputOpened::kOpened;
    }
    if (S_ISREG(status.st_mode)) {
        // Through a symbolic link, the file it names is replaced, and the link kept.
        return realpath(file, output.replaced) != nullptr ? OutputOpened::kOpened : OutputOpened::kFailed;
    }
    output.direct = open(file, O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (output.direct < 0) return OutputOpened::kFailed;
    output.opened = true;
    return isatty(output.direct) != 0 ? OutputOpened::kTerminal : OutputOpened::kOpened;
}

bool write_label_output(LabelOutput& output, const unsigned char* bytes, std::size_t length) {
    if (output.direct < 0) return replace_whole(output.replaced, bytes, length);
    bool written = output.direct == STDOUT_FILENO
                       ? platform_write_standard_output(reinterpret_cast<const char*>(bytes), length)
                       : write_all(output.direct, bytes, length);
    int error = errno;
    if (output.opened) written = close(output.direct) == 0 && written;
    output.direct = -1;
    if (!written && error != 0) errno = error;
    return written;
}

void close_label_output(LabelOutput& output) {
    if (output.opened) (void)close(output.direct);
    output.direct = -1;
    output.opened = false;
}
