// Measures the program against the physical floor, each pair side by side in
// one run (interleaved, medians), and prints a table of ratios against targets.
// Usage: ledgerine_bench PROGRAM DO_NOTHING PEAK_MEMORY SCRATCH_FOLDER
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kRecords = 100;
constexpr const char* kLastNames[] = {"Smith", "Brown", "Tremblay", "Roy", "Wilson",
                                      "MacDonald", "Gagnon", "Taylor", "Lee", "Martin"};

struct Run {
    double seconds;
};

void fail(const char* what) {
    std::fprintf(stderr, "bench: %s\n", what);
    std::exit(1);
}

// Runs argv with standard input and output redirected; returns its wall time and peak memory.
Run run(const std::vector<std::string>& argv, const std::string& input, const std::string& output) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawn(&child, args[0], &actions, nullptr, args.data(), environ) != 0) fail("cannot start a program");
    int status = 0;
    waitpid(child, &status, 0);
    auto end = std::chrono::steady_clock::now();
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) fail("a measured program failed");
    return {std::chrono::duration<double>(end - start).count()};
}

// Peak resident memory of the program on this input, in KiB.
long peak_kib(const std::string& peak_memory, const std::string& program, const std::string& input) {
    run({peak_memory, "peak", program}, input, "/dev/null");
    std::FILE* report = std::fopen("peak", "r");
    long kib = -1;
    if (report == nullptr || std::fscanf(report, "%ld", &kib) != 1) fail("no peak memory reported");
    std::fclose(report);
    return kib;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Runs a and b alternately, so that both see the same machine; medians of each.
std::pair<double, double> side_by_side(const std::vector<std::string>& a, const std::string& a_input,
                                       const std::vector<std::string>& b, const std::string& b_input, int rounds) {
    std::vector<double> a_times;
    std::vector<double> b_times;
    for (int i = 0; i < rounds; ++i) {
        a_times.push_back(run(a, a_input, "/dev/null").seconds);
        b_times.push_back(run(b, b_input, "/dev/null").seconds);
    }
    return {median(a_times), median(b_times)};
}

double median_time(const std::vector<std::string>& argv, const std::string& input, int rounds) {
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) times.push_back(run(argv, input, "/dev/null").seconds);
    return median(times);
}

void write_text_file(const std::string& path, const std::string& text) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(text.data(), 1, text.size(), file) != text.size() || std::fclose(file) != 0) {
        fail("cannot write a scratch file");
    }
}

std::string record(const std::string& last, const std::string& first) {
    static const int widths[] = {20, 20, 30, 20, 3, 8, 15, 20};
    const std::string fields[] = {last, first, "12 Main St", "Ottawa", "ON", "K1A0B", "555-1234", "1995 Coupe"};
    std::string bytes;
    for (int i = 0; i < 8; ++i) {
        std::string field(static_cast<std::size_t>(widths[i]), '\0');
        field.replace(0, fields[i].size(), fields[i]);
        bytes += field;
    }
    return bytes;
}

// Commands in turn: display all names, a search that matches, one that does not.
std::string session(int commands) {
    static const char* const kCommands[] = {"d\n", "s\nSmith\n", "s\nNobody\n"};
    std::string text;
    for (int i = 0; i < commands; ++i) text += kCommands[i % 3];
    return text + "q\n";
}

void row(const char* what, const std::string& measured, const std::string& target, bool met) {
    std::printf("| %-52s | %-30s | %-16s | %-4s |\n", what, measured.c_str(), target.c_str(), met ? "met" : "MISS");
}

std::string format(const char* pattern, double a, double b = 0, double c = 0) {
    char text[128];
    std::snprintf(text, sizeof text, pattern, a, b, c);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) fail("usage: ledgerine_bench PROGRAM DO_NOTHING PEAK_MEMORY SCRATCH_FOLDER");
    const std::string program = argv[1];
    const std::string nothing = argv[2];
    const std::string peak_memory = argv[3];
    const std::string folder = argv[4];
    if (chdir(folder.c_str()) != 0) fail("cannot enter the scratch folder");

    std::string list;
    for (int i = 0; i < kRecords; ++i) list += record(kLastNames[i % 10], "First" + std::to_string(i));
    write_text_file("Maillist.dat", list);
    write_text_file("quit", "q\n");
    for (int commands : {2000, 20000, 200000}) write_text_file("session" + std::to_string(commands), session(commands));
    // The very bytes the session writes, made once by the program and kept.
    run({program}, "session20000", "session20000.screen");

    std::printf("| %-52s | %-30s | %-16s | %-4s |\n", "measure", "measured", "target", "");
    std::printf("|%s|%s|%s|%s|\n", std::string(54, '-').c_str(), std::string(32, '-').c_str(),
                std::string(18, '-').c_str(), std::string(6, '-').c_str());

    auto [start, floor] = side_by_side({program}, "quit", {nothing}, "quit", 400);
    double start_ratio = start / floor;
    row("1. start-up, 100 records, q / do-nothing C program",
        format("%.2fx (%.0f us / %.0f us)", start_ratio, start * 1e6, floor * 1e6), "<= 1.3x", start_ratio <= 1.3);

    auto [scripted, cat] =
        side_by_side({program}, "session20000", {"/bin/cat", "session20000.screen"}, "quit", 40);
    double session_ratio = scripted / cat;
    row("2. 20,000 commands / cat of the same output",
        format("%.2fx (%.1f ms / %.1f ms)", session_ratio, scripted * 1e3, cat * 1e3), "<= 1.5x",
        session_ratio <= 1.5);

    // Cost per command once start-up (measured above) is taken away.
    double per_command[3];
    int index = 0;
    for (int commands : {2000, 20000, 200000}) {
        double total = median_time({program}, "session" + std::to_string(commands), commands >= 200000 ? 7 : 40);
        per_command[index++] = (total - start) / commands;
    }
    double spread = *std::max_element(per_command, per_command + 3) / *std::min_element(per_command, per_command + 3);
    row("3. per command, start-up taken away: 2k / 20k / 200k",
        format("%.0f / %.0f / %.0f ns", per_command[0] * 1e9, per_command[1] * 1e9, per_command[2] * 1e9),
        "within 20%", spread <= 1.2);

    long session_peak = peak_kib(peak_memory, program, "session20000");
    {
        std::FILE* file = std::fopen("long-line", "wb");
        if (file == nullptr) fail("cannot write a scratch file");
        std::string piece(1u << 20, 'x');
        std::fputs("s\n", file);
        for (int i = 0; i < 200; ++i) std::fwrite(piece.data(), 1, piece.size(), file);
        std::fputs("\nq\n", file);
        if (std::fclose(file) != 0) fail("cannot write a scratch file");
    }
    long line_peak = peak_kib(peak_memory, program, "long-line");
    std::remove("long-line");
    row("4. peak memory: the session / a 200 MB line", format("%.0f KiB / %.0f KiB", static_cast<double>(session_peak), static_cast<double>(line_peak)),
        "<= 4096 KiB", session_peak <= 4096 && line_peak <= 4096);

    std::string entries;
    for (int i = 0; i < 99; ++i) entries += "e\nEntered" + std::to_string(i) + "\nA\nB\nC\nON\nK1A0B\n555\n2000\n";
    write_text_file("entries", entries + "q\n");
    write_text_file("Maillist.dat", "");
    double entering = run({program}, "entries", "/dev/null").seconds;
    row("5. 99 records entered, each synced to disk", format("%.2f ms a record", entering / 99 * 1e3), "(the disk's)",
        true);
    return 0;
}
