// Reading an import's input whole, into a buffer of static storage: only what is
// read of it is ever touched, and no allocation can fail.
#include "import/input_file.h"

#include <cerrno>

namespace {

// One byte past the bound, so that an input that holds more is known to.
char g_input[kMaxInputBytes + 1];

}  // namespace

InputStatus read_whole_input(std::FILE* file, InputText& input, int& error) {
    std::size_t got = 0;
    while (got < sizeof g_input) {
        std::size_t read = std::fread(g_input + got, 1, sizeof g_input - got, file);
        if (read == 0) break;
        got += read;
    }
    error = errno;
    if (std::ferror(file) != 0) return InputStatus::kFailed;
    if (got > kMaxInputBytes) return InputStatus::kTooLarge;
    input = {g_input, got};
    return InputStatus::kRead;
}
