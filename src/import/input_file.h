// The whole input of an import, a file or standard input, read into memory
// before anything is made of it, up to a stated bound.
#pragma once

#include <cstddef>
#include <cstdio>

// The most an input may hold: far past any list's hundred records, and a
// bound on the memory a run takes, whatever it is given.
constexpr std::size_t kMebibyte = std::size_t{1} << 20;
constexpr std::size_t kMaxInputBytes = 64 * kMebibyte;
static_assert(kMaxInputBytes % kMebibyte == 0, "the bound is said in whole MiB");

// The bytes read, in the one buffer of the run: the readers may change them in
// place (a vCard is unfolded where it lies).
struct InputText {
    char* bytes;
    std::size_t length;
};

enum class InputStatus { kRead, kTooLarge, kFailed };

// Reads all of `file`, leaving it open. kTooLarge once more than kMaxInputBytes
// came; kFailed with `error` (errno) when reading failed.
InputStatus read_whole_input(std::FILE* file, InputText& input, int& error);
