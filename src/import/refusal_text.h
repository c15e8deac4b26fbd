// The importer's refusals as lines for the user's terminal: text from the list's
// code page in UTF-8 when the terminal speaks it, and control characters shown
// as escapes, so that no byte of a file can move the cursor or hide a message.
#pragma once

#include <cstddef>
#include <string_view>

#include "import/record_rules.h"
#include "record_store/code_page.h"

// The most a byte of the list's code page takes when shown: "\xNN", or its UTF-8.
constexpr std::size_t kLongestShownByte = 4;
static_assert(kLongestShownByte >= kLongestUtf8OfByte, "every character of the code page fits");

// Writes `text`, in the list's code page, at `out` (room for kLongestShownByte
// bytes a byte) as the terminal shows it; returns the end of what it wrote.
char* shown_text(std::string_view text, bool utf8, char* out);

// Room for any refusal's line: its words, the line number, and a label or name shown.
constexpr std::size_t kRefusalLineSize = std::size_t{160} + 2 * kRefusalTextKept * kLongestShownByte;

// The line that tells of `refusal`, without the tool's name and with no line end.
void refusal_line(const ImportRefusal& refusal, bool utf8, char (&out)[kRefusalLineSize]);
