// Any console input on any data file, on a console that speaks the list's code
// page or UTF-8: the dialogue runs to its end with status
// 0, writes nothing to standard error, and leaves a file that loads as before
// plus zero or more whole records.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "console/menu_loop.h"
#include "platform/platform.h"
#include "record_store/data_file.h"

namespace {

// The whole input must fit the pipe that stands in for the keyboard.
constexpr std::size_t kMaxConsoleInput = 60000;

RecordTable g_before;
RecordTable g_after;
int g_error_capture = -1;
int g_real_errors = -1;

void check(bool holds) {
    if (!holds) std::abort();
}

void load_snapshot(RecordTable& table, std::size_t& counted) {
    check(open_data_file());
    check(load_records(table));
    counted = count_file_records().value();
    close_data_file();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char folder[] = "/tmp/ledgerine-fuzz-XXXXXX";
    check(mkdtemp(folder) != nullptr && chdir(folder) == 0);
    // No spooler can be found, and the screen goes nowhere.
    check(setenv("PATH", "/nonexistent", 1) == 0);
    int null_device = open("/dev/null", O_WRONLY);
    check(null_device >= 0 && dup2(null_device, STDOUT_FILENO) >= 0);
    g_error_capture = open("errors", O_RDWR | O_CREAT | O_TRUNC, 0600);
    g_real_errors = dup(STDERR_FILENO);
    check(g_error_capture >= 0 && g_real_errors >= 0);
    platform_prepare_process();
    return 0;
}

// The first two bytes tell how many of the rest are the data file, and with
// their top bit whether the console speaks UTF-8; the others are typed.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    std::size_t file_size = (data[0] | ((data[1] & 0x7F) << 8)) % (size - 1);
    check(setenv("LC_ALL", (data[1] & 0x80) != 0 ? "C.UTF-8" : "C", 1) == 0);
    const std::uint8_t* typed = data + 2 + file_size;
    std::size_t typed_size = size - 2 - file_size;
    if (typed_size > kMaxConsoleInput) return 0;

    std::FILE* file = std::fopen("Maillist.dat", "wb");
    check(file != nullptr && std::fwrite(data + 2, 1, file_size, file) == file_size && std::fclose(file) == 0);
    std::size_t counted_before = 0;
    load_snapshot(g_before, counted_before);

    int keys[2];
    check(pipe(keys) == 0);
    check(write(keys[1], typed, typed_size) == static_cast<ssize_t>(typed_size));
    close(keys[1]);
    check(dup2(keys[0], STDIN_FILENO) >= 0);
    close(keys[0]);
    check(ftruncate(g_error_capture, 0) == 0 && dup2(g_error_capture, STDERR_FILENO) >= 0);

    int status = main_menu();
    check(std::fflush(stdout) == 0);
    struct stat errors {};
    check(fstat(g_error_capture, &errors) == 0);
    check(dup2(g_real_errors, STDERR_FILENO) >= 0);
    check(status == 0);
    check(errors.st_size == 0);

    std::size_t counted_after = 0;
    load_snapshot(g_after, counted_after);
    check(counted_after >= counted_before);
    check(counted_after <= (counted_before > kMaxRecords ? counted_before : kMaxRecords));
    std::size_t kept = g_before.count < g_after.count ? g_before.count : g_after.count;
    check(g_after.count >= g_before.count);
    check(std::memcmp(g_after.slots, g_before.slots, kept * kRecordSize) == 0);
    return 0;
}
