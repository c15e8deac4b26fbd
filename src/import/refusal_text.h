// The importer's refusals as lines for the user's terminal: a label or a card's
// name, kept in UTF-8, shown as the list would hold it, in UTF-8 where the
// terminal speaks it and in the list's code page elsewhere, and control
// characters shown as escapes, so that no byte of a file can move the cursor or
// hide a message.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "import/record_rules.h"
#include "record_store/code_page.h"

// Enough of an unknown label, or of a card's name, to name it, in characters.
constexpr std::size_t kRefusalCharactersShown = 40;

// The most a character takes when shown: an escape ("\xNN"), or a character of
// the code page in UTF-8.
constexpr std::size_t kLongestEscape = std::string_view("\\xNN").size();
constexpr std::size_t kLongestShownCharacter = std::max(kLongestEscape, kLongestUtf8OfByte);

// Writes the first `count` characters of `text`, in UTF-8, at `out` (room for
// kLongestShownCharacter bytes a character) as the terminal shows them: a
// character the code page lacks as kNoSuchCharacter, a byte that starts no
// UTF-8 character as the code page's character of that byte. Returns the end of
// what it wrote; `cut` says whether characters were left.
char* shown_text(std::string_view text, bool utf8, std::size_t count, bool& cut, char* out);

// Room for any refusal's line: its words, the line number, and a label or name shown.
constexpr std::size_t kRefusalLineSize = std::size_t{160} + 2 * kRefusalCharactersShown * kLongestShownCharacter;

// The line that tells of `refusal`, without the tool's name and with no line end.
void refusal_line(const ImportRefusal& refusal, bool utf8, char (&out)[kRefusalLineSize]);
