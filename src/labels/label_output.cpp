// Writing the PDF whole: to standard output or a device at once, to a new or
// regular file through the platform layer's whole-file write.
#include "labels/label_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"

OutputOpened open_label_output(const char* file, LabelOutput& output) {
    output.whole_file = nullptr;
    output.opened = false;
    if (file == nullptr) {
        output.shown = "standard output";
        output.direct = STDOUT_FILENO;
        return isatty(STDOUT_FILENO) != 0 ? OutputOpened::kTerminal : OutputOpened::kOpened;
    }
    output.shown = file;
    output.direct = -1;
    struct stat status {};
    bool found = stat(file, &status) == 0;
    if (!found && errno != ENOENT) return OutputOpened::kFailed;
    // Nothing there yet, or a regular file, through any symbolic links.
    if (!found || S_ISREG(status.st_mode)) {
        output.whole_file = file;
        return OutputOpened::kOpened;
    }
    output.direct = open(file, O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (output.direct < 0) return OutputOpened::kFailed;
    output.opened = true;
    return isatty(output.direct) != 0 ? OutputOpened::kTerminal : OutputOpened::kOpened;
}

bool write_label_output(LabelOutput& output, const unsigned char* bytes, std::size_t length) {
    const char* text = reinterpret_cast<const char*>(bytes);
    if (output.whole_file != nullptr) {
        return platform_write_whole_file(output.whole_file, text, length, ExistingFile::kReplaced);
    }
    bool written = output.direct == STDOUT_FILENO ? platform_write_standard_output(text, length)
                                                  : platform_write_stream(output.direct, text, length);
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
