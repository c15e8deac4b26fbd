// Scratch folders, the program's texts, byte-built files and the runner that
// starts the real program.
#include "test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "record_store/data_file.h"

namespace {

// A hung program is killed rather than hanging the suite.
constexpr unsigned kRunTimeLimitSeconds = 20;

}  // namespace

std::vector<std::string> program_texts(const std::string& name) {
    std::ifstream file(LEDGERINE_TEXTS);
    if (!file) std::abort();
    std::vector<std::string> found;
    for (std::string line; std::getline(file, line);) {
        if (line.compare(0, name.size() + 1, name + "\t") != 0) continue;
        std::string text;
        for (std::size_t i = name.size() + 1; i < line.size(); ++i) {
            bool newline = line[i] == '\\' && i + 1 < line.size() && line[i + 1] == 'n';
            text += newline ? '\n' : line[i];
            i += newline ? 1 : 0;
        }
        found.push_back(text);
    }
    if (found.empty()) std::abort();
    return found;
}

void ScratchTest::SetUp() {
    char name[] = "/tmp/ledgerine-test-XXXXXX";
    if (mkdtemp(name) == nullptr) std::abort();
    folder_ = name;
}

void ScratchTest::TearDown() {
    std::filesystem::remove_all(folder_);
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) std::abort();
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool file_exists(const std::string& path) {
    return std::filesystem::exists(path);
}

std::string record_bytes(std::initializer_list<const char*> fields) {
    std::string bytes(kRecordSize, '\0');
    const FieldLayout* layout = kFieldLayouts;
    for (const char* text : fields) {
        std::memcpy(&bytes[layout->offset], text, std::min(std::strlen(text), layout->width));
        ++layout;
    }
    return bytes;
}

std::string records(int count) {
    std::string bytes;
    for (int i = 0; i < count; ++i) bytes += record_bytes({("Name" + std::to_string(i)).c_str(), "First"});
    return bytes;
}


namespace {

pid_t spawn(const std::string& folder, const RunOptions& options, int input) {
    pid_t child = fork();
    if (child != 0) return child;
    alarm(kRunTimeLimitSeconds);
    if (chdir(folder.c_str()) != 0) _exit(126);
    int out = open(".stdout", O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int unread[2];
    if (options.screen_closed && (pipe(unread) != 0 || close(unread[0]) != 0 || close(out) != 0)) _exit(126);
    if (options.screen_closed) out = unread[1];
    int err = open(".stderr", O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (input < 0 || out < 0 || err < 0) _exit(126);
    dup2(input, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (options.file_size_limit >= 0) {
        rlimit limit{static_cast<rlim_t>(options.file_size_limit), static_cast<rlim_t>(options.file_size_limit)};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
    }
    // LeakSanitizer cannot work under ptrace; valgrind checks those runs for leaks.
    std::string variables[] = {"PATH=" + options.path, "HOME=" + folder, "LC_ALL=" + options.locale,
                               options.wrapper.empty() ? "" : "ASAN_OPTIONS=detect_leaks=0"};
    char* envp[] = {variables[0].data(), variables[1].data(), variables[2].data(),
                    variables[3].empty() ? nullptr : variables[3].data(), nullptr};
    // The test's own wrapper (strace) goes outside the checker, so that it sees
    // the program's calls through it.
    std::vector<std::string> words = options.wrapper;
    if (const char* wrapper = std::getenv("LEDGERINE_TEST_WRAPPER")) {
        std::istringstream split(wrapper);
        for (std::string word; split >> word;) words.push_back(word);
    }
    // The program under test may be another build of it, such as one for another CPU.
    const char* program = std::getenv("LEDGERINE_TEST_PROGRAM");
    words.push_back(!options.program.empty() ? options.program : program != nullptr ? program : LEDGERINE_PROGRAM);
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    execve(argv[0], argv.data(), envp);
    _exit(127);
}

RunResult wait_for(const std::string& folder, pid_t child, bool menu_program = true) {
    int wait_status = 0;
    rusage usage{};
    wait4(child, &wait_status, 0, &usage);
    RunResult result;
    result.screen = read_file(folder + "/.stdout");
    if (WIFEXITED(wait_status)) result.status = WEXITSTATUS(wait_status);
    if (WIFSIGNALED(wait_status)) result.signal = WTERMSIG(wait_status);
    result.peak_memory_kib = usage.ru_maxrss;
    result.errors = read_file(folder + "/.stderr");
    // The program never writes to standard error; a checker it runs in reports there.
    EXPECT_TRUE(!menu_program || result.errors.empty()) << "standard error of a run in " << folder << ": " << result.errors;
    return result;
}

}  // namespace

RunResult run_program(const std::string& folder, const std::string& input, const RunOptions& options) {
    write_file(folder + "/.stdin", input);
    return run_program_on_file(folder, folder + "/.stdin", options);
}

RunResult run_program_on_file(const std::string& folder, const std::string& input_file, const RunOptions& options) {
    int in = open(input_file.c_str(), O_RDONLY | O_CLOEXEC);
    pid_t child = spawn(folder, options, in);
    close(in);
    return wait_for(folder, child, options.program.empty());
}

LiveRun start_program(const std::string& folder, const RunOptions& options) {
    int keys[2];
    if (pipe2(keys, O_CLOEXEC) != 0) std::abort();
    // The screen of an earlier run must not be taken for this one's.
    unlink((folder + "/.stdout").c_str());
    LiveRun run{folder, spawn(folder, options, keys[0]), keys[1]};
    close(keys[0]);
    return run;
}

void type_keys(const LiveRun& run, const std::string& keys) {
    if (write(run.keyboard, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) std::abort();
}

bool wait_for_screen(const LiveRun& run, const std::string& text, int times) {
    for (int tries = 0; tries < 2000; ++tries) {
        std::string screen = read_file(run.folder + "/.stdout");
        int found = 0;
        for (std::size_t at = screen.find(text); at != std::string::npos; at = screen.find(text, at + 1)) ++found;
        if (found >= times) return true;
        usleep(5000);
    }
    return false;
}

RunResult finish_program(LiveRun& run) {
    close(run.keyboard);
    run.keyboard = -1;
    return wait_for(run.folder, run.pid);
}

std::string loaded_records(const std::string& folder) {
    std::filesystem::path here = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    static RecordTable table;
    bool loaded = open_data_file() && load_records(table);
    close_data_file();
    std::filesystem::current_path(here);
    if (!loaded) return "unreadable";
    return std::string(reinterpret_cast<const char*>(table.slots), table.count * kRecordSize);
}

RunOptions with_recording_lp(const std::string& folder, const std::string& then) {
    mkdir((folder + "/bin").c_str(), 0755);
    mkdir((folder + "/jobs").c_str(), 0755);
    std::string script =
        "#!/bin/sh\n"
        "jobs='" + folder + "/jobs'\n"
        "n=$(ls \"$jobs\" | wc -l)\n"
        "printf '%s\\n' \"$*\" > \"$jobs/.args$n\"\n"
        "cat > \"$jobs/$n\"\n"
        "echo \"request id is stand-in-$n (1 file(s))\"\n"
        "echo 'lp: chatter on standard error' >&2\n" + then + "\n";
    write_file(folder + "/bin/lp", script);
    chmod((folder + "/bin/lp").c_str(), 0755);
    RunOptions options;
    options.path = folder + "/bin:" + options.path;
    return options;
}

std::vector<std::string> recorded_jobs(const std::string& folder) {
    std::vector<std::string> jobs;
    for (int n = 0; file_exists(folder + "/jobs/" + std::to_string(n)); ++n) {
        jobs.push_back(read_file(folder + "/jobs/" + std::to_string(n)));
        EXPECT_EQ(read_file(folder + "/jobs/.args" + std::to_string(n)), "-s\n") << "each job is handed over quietly";
    }
    return jobs;
}
