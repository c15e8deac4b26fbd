// Scratch folders, byte-built files and the runner that starts the real program.
#include "test_support.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

// A hung program is killed rather than hanging the suite.
constexpr unsigned kRunTimeLimitSeconds = 20;

}  // namespace

std::string make_scratch() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/ledgerine-test-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) std::abort();
    return name.data();
}

void remove_scratch(const std::string& folder) {
    std::string command = "rm -rf '" + folder + "'";
    if (std::system(command.c_str()) != 0) std::abort();
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
    struct stat status {};
    return stat(path.c_str(), &status) == 0;
}

std::string record_bytes(std::initializer_list<const char*> fields) {
    static const std::size_t widths[] = {20, 20, 30, 20, 3, 8, 15, 20};
    std::string bytes;
    std::size_t i = 0;
    for (const char* text : fields) {
        std::string field(widths[i++], '\0');
        field.replace(0, std::strlen(text), text);
        bytes += field.substr(0, widths[i - 1]);
    }
    for (; i < 8; ++i) bytes += std::string(widths[i], '\0');
    return bytes;
}

std::string named_record(const char* last, const char* first) {
    return record_bytes({last, first});
}

RunResult run_program(const std::string& folder, const std::string& input, const RunOptions& options) {
    write_file(folder + "/.stdin", input);
    pid_t child = fork();
    if (child == 0) {
        alarm(kRunTimeLimitSeconds);
        if (chdir(folder.c_str()) != 0) _exit(126);
        int in = open(".stdin", O_RDONLY);
        int out = open(".stdout", O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(".stderr", O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0) _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        if (options.file_size_limit >= 0) {
            rlimit limit{static_cast<rlim_t>(options.file_size_limit), static_cast<rlim_t>(options.file_size_limit)};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
        }
        std::vector<std::string> variables = {"PATH=" + options.path, "HOME=" + folder};
        std::vector<char*> envp;
        for (std::string& variable : variables) envp.push_back(variable.data());
        envp.push_back(nullptr);
        char program[] = LEDGERINE_PROGRAM;
        char* argv[] = {program, nullptr};
        execve(program, argv, envp.data());
        _exit(127);
    }
    int wait_status = 0;
    waitpid(child, &wait_status, 0);
    RunResult result;
    result.screen = read_file(folder + "/.stdout");
    result.errors = read_file(folder + "/.stderr");
    if (WIFEXITED(wait_status)) result.status = WEXITSTATUS(wait_status);
    if (WIFSIGNALED(wait_status)) result.signal = WTERMSIG(wait_status);
    return result;
}

void install_recording_lp(const std::string& folder) {
    mkdir((folder + "/bin").c_str(), 0755);
    mkdir((folder + "/jobs").c_str(), 0755);
    std::string script =
        "#!/bin/sh\n"
        "jobs='" + folder + "/jobs'\n"
        "n=$(ls \"$jobs\" | wc -l)\n"
        "printf '%s\\n' \"$*\" > \"$jobs/.args$n\"\n"
        "cat > \"$jobs/$n\"\n"
        "echo \"request id is stand-in-$n (1 file(s))\"\n"
        "echo 'lp: chatter on standard error' >&2\n";
    write_file(folder + "/bin/lp", script);
    chmod((folder + "/bin/lp").c_str(), 0755);
}

std::vector<std::string> recorded_jobs(const std::string& folder) {
    std::vector<std::string> jobs;
    for (int n = 0; file_exists(folder + "/jobs/" + std::to_string(n)); ++n) {
        jobs.push_back(read_file(folder + "/jobs/" + std::to_string(n)));
    }
    return jobs;
}
