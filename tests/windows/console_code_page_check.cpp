// Runs ledgerine.exe in this console, set first to a code page other than the
// list's (863, French-Canadian, or 65001, UTF-8), and checks what the program
// does to it: 850 while it runs where a standard stream is the console, the
// code pages found put back when it ends by q, the end of its input or Ctrl+C,
// and the bytes it stores and shows. (Wine's console sends no Ctrl+Break and
// cannot be closed under a program, so those two ways out are not run here.)
// Usage (in a console): console_code_page_check PROGRAM DATA_FILE; a report
// line a case on standard error, and the exit status is the number that failed.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "record_store/customer_record.h"

namespace {

constexpr UINT kListCodePage = 850;
constexpr DWORD kPatienceMilliseconds = 20000;
constexpr DWORD kPipeSize = 1 << 16;         // more than a case's whole screen

enum class Stream { kConsole, kPipe };
enum class Ending { kQuit, kEndOfInput, kControlC };

struct Case {
    const char* name;
    UINT found;  // the console's input and output code page before the run
    Stream input;
    Stream output;
    Ending ending;
};

const Case kCases[] = {
    {"863, console in and out, q", 863, Stream::kConsole, Stream::kConsole, Ending::kQuit},
    {"65001, input piped, console out, end of input", 65001, Stream::kPipe, Stream::kConsole, Ending::kEndOfInput},
    {"65001, input piped, console out, Ctrl+C", 65001, Stream::kPipe, Stream::kConsole, Ending::kControlC},
    {"65001, console in and out, Ctrl+C", 65001, Stream::kConsole, Stream::kConsole, Ending::kControlC},
    {"863, console in, output piped, q", 863, Stream::kConsole, Stream::kPipe, Ending::kQuit},
};

// Côté Ève in code page 850 (È is 0xD4 there, 0x91 in 863, two bytes in UTF-8),
// as a record of the list, as typed, as piped bytes and as the d command shows it.
constexpr const FieldLayout& kLastName = kFieldLayouts[0];
constexpr const FieldLayout& kFirstName = kFieldLayouts[1];
const std::string kCoteEve = [] {
    std::string record(kRecordSize, '\0');
    record.replace(kLastName.offset, 4, "C\x93t\x82");
    record.replace(kFirstName.offset, 3, "\xD4ve");
    return record;
}();
const wchar_t kTyped[] = L"d\ne\nC\u00f4t\u00e9\n\u00c8ve\n\n\n\n\n\n\n";
const char kPiped[] = "d\ne\nC\x93t\x82\n\xD4ve\n\n\n\n\n\n\n";
const wchar_t kShown[] = L"C\u00f4t\u00e9  \u00c8ve";
const char kShownBytes[] = "C\x93t\x82  \xD4ve";

std::string g_data_file;

// A field's text, up to its NUL, in hex.
std::string hex(const std::string& bytes) {
    std::string text;
    char byte[4];
    for (char c : bytes) {
        if (c == '\0') break;
        std::snprintf(byte, sizeof byte, "%02X ", static_cast<unsigned char>(c));
        text += byte;
    }
    return text;
}

std::string read_data_file() {
    std::string bytes;
    if (std::FILE* file = std::fopen(g_data_file.c_str(), "rb")) {
        for (int c; (c = std::fgetc(file)) != EOF;) bytes += static_cast<char>(c);
        std::fclose(file);
    }
    return bytes;
}

// Waits until `done` holds; false when it does not within the patience.
template <typename Condition>
bool wait_for(Condition done) {
    for (DWORD waited = 0; !done(); waited += 20) {
        if (waited >= kPatienceMilliseconds) return false;
        Sleep(20);
    }
    return true;
}

void type_keys(HANDLE console_input, const wchar_t* keys) {
    for (; *keys != 0; ++keys) {
        INPUT_RECORD press[2] = {};
        for (int up = 0; up < 2; ++up) {
            KEY_EVENT_RECORD& key = press[up].Event.KeyEvent;
            press[up].EventType = KEY_EVENT;
            key.bKeyDown = up == 0;
            key.wRepeatCount = 1;
            key.wVirtualKeyCode = *keys == L'\n' ? VK_RETURN : 0;
            key.uChar.UnicodeChar = *keys == L'\n' ? L'\r' : *keys;
        }
        DWORD written = 0;
        WriteConsoleInputW(console_input, press, 2, &written);
    }
}

// Whether the screen shows the list's one name line.
bool shows_names(HANDLE screen) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(screen, &info)) return false;
    std::vector<wchar_t> text(static_cast<std::size_t>(info.dwSize.X) * info.dwSize.Y);
    DWORD read = 0;
    ReadConsoleOutputCharacterW(screen, text.data(), static_cast<DWORD>(text.size()), COORD{0, 0}, &read);
    return std::wstring(text.data(), read).find(kShown) != std::wstring::npos;
}

void clear_screen(HANDLE screen) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    DWORD written = 0;
    if (!GetConsoleScreenBufferInfo(screen, &info)) return;
    FillConsoleOutputCharacterW(screen, L' ', static_cast<DWORD>(info.dwSize.X) * info.dwSize.Y, COORD{0, 0}, &written);
    SetConsoleCursorPosition(screen, COORD{0, 0});
}

// This check outlives the Ctrl+C it sends to every program in the console.
BOOL WINAPI outlive_control_c(DWORD event) {
    return event == CTRL_C_EVENT;
}

// Runs one case; returns what went wrong, or "" when nothing did.
std::string run_case(const Case& c, const std::string& program, HANDLE console_input, HANDLE screen,
                     std::string& seen) {
    if (!SetConsoleCP(c.found) || !SetConsoleOutputCP(c.found)) {
        return "the console would not take code page " + std::to_string(c.found);
    }
    std::FILE* file = std::fopen(g_data_file.c_str(), "wb");
    if (file == nullptr || std::fwrite(kCoteEve.data(), 1, kCoteEve.size(), file) != kCoteEve.size() ||
        std::fclose(file) != 0) {
        return "cannot write " + g_data_file;
    }
    clear_screen(screen);

    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE pipe_read = nullptr;
    HANDLE pipe_write = nullptr;
    if (!CreatePipe(&pipe_read, &pipe_write, &inherited, kPipeSize)) return "no pipe";
    // Our own end of the pipe is not inherited, or the child would hold it open.
    HANDLE ours = c.input == Stream::kPipe ? pipe_write : pipe_read;
    SetHandleInformation(ours, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = c.input == Stream::kPipe ? pipe_read : console_input;
    start.hStdOutput = c.output == Stream::kPipe ? pipe_write : screen;
    start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION child{};
    std::string command = "\"" + program + "\"";
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &child)) {
        return "cannot start " + program;
    }
    CloseHandle(c.input == Stream::kPipe ? pipe_read : pipe_write);

    std::string wrong;
    // 850 where a stream is the console and the found code page where it is a
    // pipe, both at once, while the program waits for its input.
    const UINT during_input = c.input == Stream::kConsole ? kListCodePage : c.found;
    const UINT during_output = c.output == Stream::kConsole ? kListCodePage : c.found;
    if (!wait_for([&] { return GetConsoleCP() == during_input && GetConsoleOutputCP() == during_output; })) {
        wrong += "; code pages while it ran " + std::to_string(GetConsoleCP()) + "/" + std::to_string(GetConsoleOutputCP());
    }
    if (c.input == Stream::kConsole) {
        type_keys(console_input, kTyped);
        if (c.ending == Ending::kQuit) type_keys(console_input, L"q\n");
    } else {
        DWORD written = 0;
        WriteFile(pipe_write, kPiped, sizeof kPiped - 1, &written, nullptr);
        // Held open for a Ctrl event: the program then waits on the pipe, not the console.
        if (c.ending == Ending::kEndOfInput) {
            CloseHandle(ours);
            ours = nullptr;
        }
    }
    if (c.ending == Ending::kControlC) {
        // Once the entry is saved and the screen shown (a piped input is read
        // whole, and the screen goes out only when the program must wait), the
        // program waits at the menu, on the console or on the pipe held open:
        // only the Ctrl+C can end it.
        if (!wait_for([&] { return read_data_file().size() == 2 * kCoteEve.size() && shows_names(screen); })) {
            wrong += "; the entry was never saved and shown";
        }
        if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) wrong += "; no Ctrl+C could be sent";
    }
    DWORD status = 0;
    if (WaitForSingleObject(child.hProcess, kPatienceMilliseconds) != WAIT_OBJECT_0) {
        TerminateProcess(child.hProcess, 1);
        wrong += "; it did not end";
    }
    GetExitCodeProcess(child.hProcess, &status);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    // The default handler's status after a Ctrl+C is the system's own (wine's is 0).
    if (c.ending != Ending::kControlC && status != 0) wrong += "; exit status " + std::to_string(status);

    UINT after_input = GetConsoleCP();
    UINT after_output = GetConsoleOutputCP();
    std::string stored = read_data_file();
    seen = "code pages after exit " + std::to_string(after_input) + "/" + std::to_string(after_output);
    if (after_input != c.found || after_output != c.found) wrong += "; code pages not put back";
    if (stored != kCoteEve + kCoteEve) wrong += "; the entered record is not Côté Ève in code page 850";
    if (stored.size() == 2 * kCoteEve.size()) {
        seen += "; typed names stored as " + hex(stored.substr(kRecordSize + kLastName.offset, kLastName.width)) + "/ " +
                hex(stored.substr(kRecordSize + kFirstName.offset, kFirstName.width));
    }
    if (c.output == Stream::kConsole) {
        if (!shows_names(screen)) wrong += "; the screen does not show Côté  Ève";
    } else {
        std::string bytes(kPipeSize, '\0');
        DWORD got = 0;
        ReadFile(pipe_read, &bytes[0], kPipeSize, &got, nullptr);
        bytes.resize(got);
        if (bytes.find(kShownBytes) == std::string::npos) wrong += "; the piped screen does not hold Côté  Ève in 850";
    }
    if (ours != nullptr) CloseHandle(ours);
    return wrong;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: console_code_page_check PROGRAM DATA_FILE\n");
        return 2;
    }
    g_data_file = argv[2];
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE console_input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       &inherited, OPEN_EXISTING, 0, nullptr);
    HANDLE screen = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                                OPEN_EXISTING, 0, nullptr);
    DWORD mode = 0;
    if (!GetConsoleMode(console_input, &mode) || !GetConsoleMode(screen, &mode)) {
        std::fprintf(stderr, "console_code_page_check: not run in a console\n");
        return 2;
    }
    SetConsoleCtrlHandler(outlive_control_c, TRUE);
    int failed = 0;
    for (const Case& c : kCases) {
        std::string seen;
        std::string wrong = run_case(c, argv[1], console_input, screen, seen);
        std::fprintf(stderr, "%s %s: %s%s\n", wrong.empty() ? "ok" : "FAILED", c.name, seen.c_str(), wrong.c_str());
        failed += wrong.empty() ? 0 : 1;
    }
    return failed;
}
