// The character set a file is read in: UTF-8, or one single-byte code page for
// the whole file, told from the file's own bytes or named by the user; and the
// bytes of a file turned into the UTF-8 that the record rules take.
#pragma once

#include <cstddef>
#include <iterator>
#include <string_view>

#include "import/record_rules.h"

// ISO-8859-1 is only ever named by a vCard property's CHARSET; a whole file is
// read in one of the first three.
enum class Charset { kUtf8, kCp850, kCp1252, kLatin1 };
constexpr Charset kFileCharsetList[] = {Charset::kUtf8, Charset::kCp850, Charset::kCp1252};

// The name a user gives on the command line, and sees.
const char* charset_name(Charset charset);

// Writes one byte of a file in `charset` as UTF-8 at `out`, which has room for
// kMaxUtf8Bytes; returns the end of what it wrote. In UTF-8, and below 0x80 in
// every set, the byte is itself.
char* file_byte_in_utf8(Charset charset, char c, char* out);

// Appends one byte of a file in `charset` to `field`, as UTF-8.
void append_file_byte(FieldText& field, Charset charset, char c);

// The lines holding a byte that is not UTF-8, each once, with the line being
// read when it was found: the first kRefusalsKept of them, and how many.
struct LinesNotUtf8 {
    std::size_t line[kRefusalsKept];
    std::size_t found_on[kRefusalsKept];
    std::size_t count;
};

// What a whole file's bytes say of its character set.
struct CharsetEvidence {
    LinesNotUtf8 not_utf8;
    // For code page 850 and for 1252: the bytes that read there as an accented
    // Western European letter between two ASCII letters of its own case.
    std::size_t accented_between_letters[2];
};

// Weighs the whole file. A vCard's (`unfold`) line folded by a line end and a
// space or tab is weighed as the one line it is: an address book may fold
// inside a character.
void weigh_charset(std::string_view bytes, bool unfold, CharsetEvidence& evidence);
// UTF-8 when every byte was; otherwise the code page whose count is higher, 850 on a tie.
Charset charset_of_file(const CharsetEvidence& evidence);
