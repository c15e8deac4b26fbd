// The character set a file is read in: UTF-8, or one single-byte code page for
// the whole file, told from the file's own bytes or named by the user; and the
// bytes of a file turned into the UTF-8 that the record rules take.
#pragma once

#include <cstddef>

#include "import/record_rules.h"

// ISO-8859-1 is only ever named by a vCard property's CHARSET; a whole file is
// read in one of the first three.
enum class Charset { kUtf8, kCp850, kCp1252, kLatin1 };
constexpr std::size_t kFileCharsets = 3;
constexpr Charset kFileCharsetList[kFileCharsets] = {Charset::kUtf8, Charset::kCp850, Charset::kCp1252};

// The name a user gives on the command line, and sees.
const char* charset_name(Charset charset);

// The most UTF-8 bytes one byte of a single-byte code page becomes (the euro
// sign's and the quotation marks' of 1252, the box drawing of 850).
constexpr std::size_t kLongestUtf8OfFileByte = 3;

// Writes one byte of a file in `charset` as UTF-8 at `out`; returns the end of
// what it wrote. In UTF-8, and below 0x80 in every set, the byte is itself.
char* file_byte_in_utf8(Charset charset, char c, char* out);

// Appends one byte of a file in `charset` to `field`, as UTF-8.
void append_file_byte(FieldText& field, Charset charset, char c);

// What the whole file's bytes say of its character set, gathered as they come.
struct CharsetEvidence {
    // A vCard's line folded by a line end and a space or tab is weighed as the
    // one line it is: an address book may fold inside a character. The line
    // end held until the next byte says whether it folds.
    bool unfold;
    enum class HeldEnd { kNone, kCr, kLf } held_end;
    // UTF-8: continuation bytes still due, the range the next one must lie in,
    // and the line the character they continue starts on.
    std::size_t continuations_due;
    unsigned char next_low;
    unsigned char next_high;
    std::size_t character_line;
    bool valid_utf8;             // every byte so far, a character cut by the end aside
    std::size_t line;            // of the next byte, from 1
    std::size_t refused_line;    // the last line refused for a byte that is not UTF-8; 0 for none
    // The two bytes before the next one, for the letters around an accented one.
    unsigned char two_back;
    unsigned char one_back;
    // For code page 850 and for 1252: the bytes that read there as an accented
    // Western European letter between two ASCII letters of its own case.
    std::size_t accented_between_letters[2];
};

void begin_charset_evidence(CharsetEvidence& evidence, bool unfold);
// Takes the next piece of the file. Each line holding a byte that is not UTF-8
// is refused in `utf8_read`, the read of the file as UTF-8, once.
void weigh_charset_piece(CharsetEvidence& evidence, ImportRead& utf8_read, const char* bytes, std::size_t length);
// The file has ended: a character it cuts short is a byte that is not UTF-8.
void end_charset_evidence(CharsetEvidence& evidence, ImportRead& utf8_read);
// UTF-8 when every byte was; otherwise the code page whose count is higher, 850 on a tie.
Charset charset_of_file(const CharsetEvidence& evidence);
