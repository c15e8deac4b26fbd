// The line editor at a POSIX terminal, on libedit: the keys a console's line
// input edits with, the history of the run's lines, and the typed bytes read by
// the program itself, so that none is lost whatever the locale. The library is
// loaded when the editor starts: a run from a pipe or a file never pays for it.
#include <dlfcn.h>
#include <histedit.h>
#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "platform/console_input_posix.h"
#include "platform/platform.h"

namespace {

// The editor reads characters, not bytes. Under a UTF-8 locale a byte that
// starts no valid UTF-8 character stands for itself as one of these 128 code
// points, which no valid UTF-8 text holds (they are lone surrogates), and is
// written back as the byte it was. Under any other locale each byte is a
// character of its own, of the same value.
constexpr wchar_t kStrayByte = 0xDC00;
constexpr wchar_t kFirstStray = kStrayByte + 0x80;  // UTF-8's ASCII bytes are never stray
constexpr wchar_t kLastStray = kStrayByte + UCHAR_MAX;
static_assert(kLastStray <= 0xDFFF, "stray bytes stay surrogates");

// The keys the editor binds, each to what it does. A key that sends an escape
// sequence is gathered whole before the editor sees it, and one not named here
// (Page Up, Insert, F1, ...) is dropped whole: otherwise the editor would take
// the end of its sequence for typed text. Ctrl+U drops what is before the
// cursor and Ctrl+W the word before it, as a terminal's own line input does;
// Ctrl+V would insert the next key as it is, an escape sequence included, and
// Alt+X would ask for one of the editor's own commands: both do nothing here.
struct KeyBinding {
    const char* key;
    const char* does;
};
constexpr KeyBinding kKeys[] = {
    {"\033[A", "ed-prev-history"},  {"\033OA", "ed-prev-history"},  {"\033[B", "ed-next-history"},
    {"\033OB", "ed-next-history"},  {"\033[C", "ed-next-char"},     {"\033OC", "ed-next-char"},
    {"\033[D", "ed-prev-char"},     {"\033OD", "ed-prev-char"},     {"\033[H", "ed-move-to-beg"},
    {"\033OH", "ed-move-to-beg"},   {"\033[1~", "ed-move-to-beg"},  {"\033[7~", "ed-move-to-beg"},
    {"\033[F", "ed-move-to-end"},   {"\033OF", "ed-move-to-end"},   {"\033[4~", "ed-move-to-end"},
    {"\033[8~", "ed-move-to-end"},  {"\033[3~", "ed-delete-next-char"}, {"\033[1;5C", "em-next-word"},
    {"\033[1;5D", "ed-prev-word"},  {"^U", "vi-kill-line-prev"},     {"^W", "ed-delete-prev-word"},
    {"^V", "ed-ignore"},             {"\033x", "ed-ignore"},
};

constexpr wchar_t kEscape = L'\033';

constexpr std::size_t longest_key() {
    std::size_t longest = 0;
    for (const KeyBinding& binding : kKeys) longest = std::max(longest, std::char_traits<char>::length(binding.key));
    return longest;
}
// Room for the longest key sequence the editor binds, and one more character
// to tell a longer sequence from it.
constexpr std::size_t kLongestKey = longest_key() + 1;
static_assert(kLongestKey == sizeof "\033[1;5C", "Ctrl+Left and Ctrl+Right send the longest bound keys");

// The library's name for the interface histedit.h describes.
constexpr const char* kLibraryName = "libedit.so.2";

// What the editor calls of the library.
struct EditorLibrary {
    decltype(&el_init) init;
    decltype(&el_end) end;
    decltype(&el_set) set;
    decltype(&el_wset) wide_set;
    decltype(&el_wgets) gets;
    decltype(&history_winit) history_init;
    decltype(&history_wend) history_end;
    decltype(&history_w) history;
};

struct Editor {
    EditorLibrary call;
    EditLine* line;
    HistoryW* history;
    FILE* quiet;      // where the editor's own complaints go: never the screen
    locale_t typed;   // the locale's character set, while the editor runs
    bool utf8;
    std::wstring prompt;
    std::string finished;   // the line read last, with its newline
    std::size_t handed;     // how much of it the program has had
    unsigned char pending[MB_LEN_MAX];  // typed bytes of a character not yet whole
    std::size_t pending_count;
    wchar_t key[kLongestKey];  // a bound key's sequence, handed to the editor one by one
    std::size_t key_length;
    std::size_t key_handed;
};

Editor g_editor;

void drop_pending(std::size_t count) {
    g_editor.pending_count -= count;
    std::memmove(g_editor.pending, g_editor.pending + count, g_editor.pending_count);
}

// The character the pending bytes start with, when they hold a whole one.
bool decode_pending(wchar_t& character) {
    const unsigned char first = g_editor.pending[0];
    if (!g_editor.utf8) {
        character = first;
        drop_pending(1);
        return true;
    }
    std::mbstate_t state{};
    std::size_t used = std::mbrtowc(&character, reinterpret_cast<const char*>(g_editor.pending), g_editor.pending_count, &state);
    if (used == static_cast<std::size_t>(-2)) return false;
    if (used == static_cast<std::size_t>(-1)) {
        character = kStrayByte + first;
        used = 1;
    }
    drop_pending(used == 0 ? 1 : used);  // 0: the NUL character, one byte
    return true;
}

// The next typed character: 1 with one, 0 once the input has ended or cannot be read.
int next_character(wchar_t& character) {
    for (;;) {
        if (g_editor.pending_count > 0 && decode_pending(character)) return 1;
        char byte = 0;
        if (read_standard_input(&byte, 1) == 0) {
            if (g_editor.pending_count == 0) return 0;
            // A character cut by the end of the input: its bytes, one by one.
            character = kStrayByte + g_editor.pending[0];
            drop_pending(1);
            return 1;
        }
        g_editor.pending[g_editor.pending_count++] = static_cast<unsigned char>(byte);
    }
}

bool keep_key_character(wchar_t character) {
    if (g_editor.key_length == kLongestKey) return false;
    g_editor.key[g_editor.key_length++] = character;
    return true;
}

// Whether the gathered sequence is a key the editor binds.
bool key_bound() {
    for (const KeyBinding& binding : kKeys) {
        std::size_t length = std::strlen(binding.key);
        if (length != g_editor.key_length) continue;
        if (std::equal(binding.key, binding.key + length, g_editor.key, [](char a, wchar_t b) { return wchar_t{a} == b; })) return true;
    }
    return false;
}

// Reads the rest of a key's sequence after its ESC: a control sequence (ESC [,
// parameters, a final byte from @ to ~), or ESC O and one character, or ESC and
// any other key, which the editor takes as that key with Meta. Returns whether
// the editor is to see the sequence.
bool gather_key() {
    g_editor.key_length = 0;
    g_editor.key_handed = 0;
    (void)keep_key_character(kEscape);
    wchar_t character = 0;
    if (next_character(character) != 1) return true;
    (void)keep_key_character(character);
    if (character != L'[' && character != L'O') return true;
    bool whole = true;
    bool control_sequence = character == L'[';
    do {
        if (next_character(character) != 1) return false;
        whole = keep_key_character(character) && whole;
    } while (control_sequence && character >= L' ' && character < L'@');
    return whole && key_bound();
}

// The editor's read: 1 with a character, 0 once the input has ended or cannot be read.
int read_typed_character(EditLine*, wchar_t* character) {
    if (g_editor.key_handed < g_editor.key_length) {
        *character = g_editor.key[g_editor.key_handed++];
        return 1;
    }
    for (;;) {
        int got = next_character(*character);
        if (got != 1 || *character != kEscape) return got;
        if (gather_key()) {
            *character = g_editor.key[g_editor.key_handed++];
            return 1;
        }
        g_editor.key_length = 0;
    }
}

wchar_t* show_prompt(EditLine*) { return g_editor.prompt.data(); }

// The prompt is the program's own text, in ASCII, whatever the locale.
void set_prompt(std::string_view prompt) {
    g_editor.prompt.assign(prompt.begin(), prompt.end());
}

// The typed line as the bytes it was typed as.
void keep_finished(const wchar_t* typed, int count) {
    g_editor.finished.clear();
    g_editor.handed = 0;
    for (const wchar_t* end = typed + count; typed < end; ++typed) {
        wchar_t character = *typed;
        if (!g_editor.utf8 || (character >= kFirstStray && character <= kLastStray)) {
            g_editor.finished.push_back(static_cast<char>(character & UCHAR_MAX));
            continue;
        }
        char bytes[MB_LEN_MAX];
        std::mbstate_t state{};
        std::size_t length = std::wcrtomb(bytes, character, &state);
        // Every character the editor holds was decoded from UTF-8, so it encodes.
        if (length != static_cast<std::size_t>(-1)) g_editor.finished.append(bytes, length);
    }
}

// Every line but an empty one is kept for Up and Down, without its newline.
void remember(const wchar_t* typed, int count) {
    if (count > 0 && typed[count - 1] == L'\n') --count;
    if (count == 0) return;
    std::wstring line(typed, static_cast<std::size_t>(count));
    HistEventW event;
    (void)g_editor.call.history(g_editor.history, &event, H_ENTER, line.c_str());  // a line not kept is only not recalled
}

bool bind_keys() {
    const EditorLibrary& call = g_editor.call;
    if (call.set(g_editor.line, EL_EDITOR, "emacs") != 0 || call.set(g_editor.line, EL_SIGNAL, 1) != 0) return false;
    for (const KeyBinding& binding : kKeys) {
        if (call.set(g_editor.line, EL_BIND, binding.key, binding.does, nullptr) != 0) return false;
    }
    // The editor inserts only what the locale calls printable, and takes a byte
    // above 127 that it is not for a key with Meta: under the C locale, every one.
    for (wchar_t byte = 0x80; byte <= UCHAR_MAX; ++byte) {
        const wchar_t key[] = {byte, L'\0'};
        if (call.wide_set(g_editor.line, EL_BIND, key, L"ed-insert", nullptr) != 0) return false;
    }
    return call.wide_set(g_editor.line, EL_PROMPT, show_prompt) == 0 &&
           call.wide_set(g_editor.line, EL_GETCFN, read_typed_character) == 0 &&
           call.wide_set(g_editor.line, EL_HIST, call.history, g_editor.history) == 0;
}

template <typename Function>
bool look_up(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

bool load_library(EditorLibrary& call) {
    void* library = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
    return library != nullptr && look_up(library, "el_init", call.init) && look_up(library, "el_end", call.end) &&
           look_up(library, "el_set", call.set) && look_up(library, "el_wset", call.wide_set) &&
           look_up(library, "el_wgets", call.gets) && look_up(library, "history_winit", call.history_init) &&
           look_up(library, "history_wend", call.history_end) && look_up(library, "history_w", call.history);
}

// The locale the user chose for the terminal, or the C locale where it is not installed.
locale_t terminal_locale() {
    locale_t chosen = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    return chosen != nullptr ? chosen : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
}

}  // namespace

bool line_editor_built() { return true; }

bool line_editor_start() {
    EditorLibrary& call = g_editor.call;
    if (!load_library(call)) return false;
    g_editor.typed = terminal_locale();
    g_editor.quiet = std::fopen("/dev/null", "w");
    g_editor.history = call.history_init();
    if (g_editor.typed == nullptr || g_editor.quiet == nullptr || g_editor.history == nullptr) return false;
    HistEventW event;
    if (call.history(g_editor.history, &event, H_SETSIZE, kConsoleHistoryLines) < 0) return false;
    g_editor.utf8 = std::strcmp(nl_langinfo_l(CODESET, g_editor.typed), "UTF-8") == 0;
    g_editor.line = call.init("ledgerine", stdin, stdout, g_editor.quiet);
    return g_editor.line != nullptr && bind_keys();
}

std::size_t line_editor_read(std::string_view prompt, char* buffer, std::size_t capacity) {
    if (g_editor.handed == g_editor.finished.size()) {
        set_prompt(prompt);
        locale_t program = uselocale(g_editor.typed);
        int count = 0;
        const wchar_t* typed = g_editor.call.gets(g_editor.line, &count);
        if (typed != nullptr && count > 0) keep_finished(typed, count);
        (void)uselocale(program);
        if (typed == nullptr || count <= 0) return 0;
        remember(typed, count);
    }
    std::size_t length = g_editor.finished.copy(buffer, capacity, g_editor.handed);
    g_editor.handed += length;
    return length;
}

void line_editor_end() {
    g_editor.call.end(g_editor.line);
    g_editor.call.history_end(g_editor.history);
    (void)std::fclose(g_editor.quiet);
    freelocale(g_editor.typed);
    g_editor = Editor{};
}
