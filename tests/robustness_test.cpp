// What must survive the user and the machine: a kill after an entry, every
// failed system call of a save, a second program on the same list, and lines of
// any length.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "record_store/customer_record.h"
#include "test_support.h"

namespace {

const std::string kSave = "e\n" + kSmithAnswers + "q\n";
// The form's answers but the last ("1995 Coupe"), to hold a program at its last question.
const std::string kAllButLast = kSmithAnswers.substr(0, kSmithAnswers.rfind('\n', kSmithAnswers.size() - 2) + 1);
const std::string kStrace = "/usr/bin/strace";

class RobustnessTest : public ScratchTest {
protected:
    void SetUp() override {
        ScratchTest::SetUp();
        write_file(data_file(), "");
    }
};

// The tests that fail system calls with strace, which needs ptrace.
class FaultInjectionTest : public RobustnessTest {
protected:
    void SetUp() override {
        RobustnessTest::SetUp();
        ASSERT_TRUE(file_exists(kStrace)) << "the fault injection needs strace";
    }
    // The program under strace, failing the calls on `path` that `faults` name.
    static std::vector<std::string> under_strace(const std::string& path, const std::vector<std::string>& faults) {
        std::vector<std::string> command = {kStrace, "-f", "-qq", "-o", ".trace", "-P", path};
        for (const std::string& fault : faults) command.insert(command.end(), {"-e", "inject=" + fault});
        return command;
    }
    // How often each call was made on the traced path in the run just traced.
    std::map<std::string, int> calls_made() const {
        std::map<std::string, int> counted;
        std::istringstream trace(read_file(folder_ + "/.trace"));
        // "PID call(arguments) = result": strace names the process, as it follows children.
        for (std::string pid, line; trace >> pid >> std::ws && std::getline(trace, line);) ++counted[line.substr(0, line.find('('))];
        return counted;
    }
};

// Nothing of a saved record waits inside the program for its end. (That it is
// synced to the disk is shown by the failed syncs below.)
TEST_F(RobustnessTest, RecordIsInTheFileOnceTheMenuComesBack) {
    for (int signal : {SIGKILL, SIGINT}) {
        SCOPED_TRACE(signal);
        write_file(data_file(), "");
        LiveRun run = start_program(folder_);
        type_keys(run, "e\n" + kSmithAnswers);
        ASSERT_TRUE(wait_for_screen(run, kMenu, 2));
        kill(run.pid, signal);
        EXPECT_EQ(finish_program(run).signal, signal);
        EXPECT_EQ(read_file(data_file()), kSmithJohn);
    }
}

// Each system call on the data file fails in turn, at each of its occurrences in
// a run that lists the names and saves one record, and in imports of two rows
// and of two cards, on files of every shape; then a failed sync with each call of its undo failing
// too. Clean runs of the program's first steps tell which part of its run a call
// belongs to:
// - start-up: the program says it cannot open the list, or runs as if nothing
//   failed (it reads without the shared lock); never a short or empty list;
// - the count before the form: it says it cannot save, asks nothing, writes nothing;
// - the save: the file loads as before or as before plus the new records, last,
//   and "could not save" (the importer: status 1) is said exactly when it loads
//   as before. The importer's whole run is its save.
TEST_F(FaultInjectionTest, NoFailedCallTearsTheList) {
    const std::pair<const char*, std::string> shapes[] = {
        {"empty", ""},
        {"whole records", records(3)},
        {"whitespace after the records", records(3) + "\n \r\n"},
        {"whitespace longer than a record", records(1) + std::string(300, ' ')},
        {"a short last piece", records(2) + "Lane"},
        {"full", records(100)},
    };
    const char* const calls[] = {"newfstatat", "pread64", "fcntl", "pwrite64", "fsync", "ftruncate"};
    const std::string kEverySyncFails = "fsync:error=EIO:when=1+";
    struct Subject {
        std::string program;  // the menu's when empty
        std::string input;
        std::string added;
    };
    const Subject subjects[] = {
        {"", "d\n" + kSave, kSmithJohn},
        {LEDGERINE_IMPORTER,
         "Last Name,First Name,Address,City,Province Code,Postal Code,Telephone Number,Year & Model\r\n"
         "Brown,Ann,,,,,,\r\nSmith,John,12 Main St,Ottawa,ON,K1A0B,555-1234,1995 Coupe\r\n",
         record_bytes({"Brown", "Ann"}) + kSmithJohn},
        {LEDGERINE_IMPORTER,
         "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann Brown\r\nN:Brown;Ann;;;\r\nEND:VCARD\r\n"
         "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Smith;John;;;\r\nADR;TYPE=home:;;12 Main St;Ottawa;ON;K1A0B;\r\n"
         "TEL;TYPE=voice:555-1234\r\nNOTE:1995 Coupe\r\nEND:VCARD\r\n",
         record_bytes({"Brown", "Ann"}) + kSmithJohn},
    };
    for (const Subject& subject : subjects) {
    const bool importer = !subject.program.empty();
    const std::string& input = subject.input;
    // A traced run of `typed` on `before`, failing `faults`: its screen, and how often it made each call.
    auto traced_run = [this, &subject](const std::string& before, const std::string& typed, const std::vector<std::string>& faults) {
        write_file(data_file(), before);
        RunOptions traced;
        traced.wrapper = under_strace(data_file(), faults);
        traced.program = subject.program;
        RunResult run = run_program(folder_, typed, traced);
        return std::make_pair(run, calls_made());
    };

    for (const auto& [shape, before] : shapes) {
        write_file(data_file(), before);
        const std::string loaded_before = loaded_records(folder_);
        ASSERT_NE(loaded_before, "unreadable");
        std::map<std::string, int> at_start = importer ? std::map<std::string, int>{} : traced_run(before, "d\n", {}).second;
        std::map<std::string, int> to_form = importer ? std::map<std::string, int>{} : traced_run(before, "d\ne\n", {}).second;
        auto [clean, made] = traced_run(before, input, {});
        const std::string clean_file = read_file(data_file());
        bool full = shape == std::string("full");
        EXPECT_EQ(made["fsync"], full ? 0 : 1) << shape << ": every save is synced";

        std::vector<std::vector<std::string>> faults;
        for (const char* call : calls) {
            for (int n = 1; n <= made[call]; ++n) faults.push_back({std::string(call) + ":error=EIO:when=" + std::to_string(n)});
        }
        // The sync fails, or every sync does; then each call of the undo fails too.
        std::map<std::string, int> undo = traced_run(before, input, {"fsync:error=EIO:when=1"}).second;
        if (made["fsync"] > 0) faults.push_back({kEverySyncFails});
        for (const std::string& sync : {std::string("fsync:error=EIO:when=1"), kEverySyncFails}) {
            for (const char* call : {"ftruncate", "pwrite64"}) {
                for (int n = 1; n <= undo[call]; ++n) faults.push_back({sync, std::string(call) + ":error=EIO:when=" + std::to_string(n)});
            }
        }

        for (const std::vector<std::string>& fault : faults) {
            const std::string& last = fault.back();
            SCOPED_TRACE(std::string(importer ? "import, " : "") + shape + ": " + last);
            const std::string call = last.substr(0, last.find(':'));
            const int when = std::stoi(last.substr(last.find_last_of("=.") + 1));
            RunResult run = traced_run(before, input, fault).first;
            EXPECT_EQ(run.signal, 0);
            EXPECT_NE(read_file(folder_ + "/.trace").find("(INJECTED)"), std::string::npos) << "the fault was met";
            std::string loaded = loaded_records(folder_);
            bool as_before = loaded == loaded_before;
            if (fault.size() == 1 && when <= at_start[call]) {
                bool refused = run.screen == kOpenErrorText && run.status == 1 && read_file(data_file()) == before;
                bool unharmed = run.screen == clean.screen && run.status == 0 && read_file(data_file()) == clean_file;
                EXPECT_TRUE(refused || unharmed) << run.screen;
            } else if (fault.size() == 1 && when <= to_form[call]) {
                EXPECT_NE(run.screen.find(kSaveErrorText), std::string::npos);
                EXPECT_EQ(run.screen.find(kPrompts[0]), std::string::npos) << "no form for a record that cannot be saved";
                EXPECT_TRUE(as_before);
            } else {
                bool said_not_saved = importer ? run.status == 1 : run.screen.find(kSaveErrorText) != std::string::npos;
                EXPECT_EQ(run.status, importer && said_not_saved ? 1 : 0);
                EXPECT_EQ(run.errors.empty(), !importer || !said_not_saved) << "a refusal is said";
                EXPECT_TRUE(as_before || loaded == loaded_before + subject.added) << "the file loads as neither";
                if (fault[0] == kEverySyncFails) {
                    EXPECT_TRUE(said_not_saved) << "never said saved without a sync";
                } else {
                    EXPECT_EQ(said_not_saved, as_before);
                }
                EXPECT_TRUE(!full || as_before) << "never past 100 records";
            }
        }
    }
    }
}

// The spooler's child sets itself up before lp starts; when a step fails, lp is
// never started, so it can neither print the console's input nor speak on the screen.
TEST_F(FaultInjectionTest, ASpoolerThatCannotBeSetUpIsNeverStarted) {
    write_file(data_file(), kSmithJohn);
    RunOptions options = with_recording_lp(folder_);
    options.wrapper = under_strace("/dev/null", {"openat:error=EACCES"});
    RunResult run = run_program(folder_, "p\nSmith\nq\n", options);
    EXPECT_EQ(run.screen, kMenu + kAsk + kMenu + kBye);
    EXPECT_TRUE(recorded_jobs(folder_).empty());
    EXPECT_NE(read_file(folder_ + "/.trace").find("(INJECTED)"), std::string::npos) << "the fault was met";
}

// A program that holds the lock on the list is waited for: by loading, so that
// its half-written record is never shown, and by a save, which then counts again
// and lands after the record that program wrote.
TEST_F(RobustnessTest, ALockHeldByAnotherProgramIsWaitedFor) {
    const std::string brown = record_bytes({"Brown", "Ann"});
    struct LockCase {
        const char* name;
        std::string typed_before;  // before the lock is taken
        std::string typed_after;
        std::size_t first_piece;  // of its record, written at once
        std::string file_after;
        std::string screen_holds;
    };
    const LockCase cases[] = {
        {"loading", "", "d\nq\n", 10, kSmithJohn + brown, "\nSmith  John\nBrown  Ann"},
        {"saving", "e\n" + kAllButLast, "1995 Coupe\nq\n", 0, kSmithJohn + brown + kSmithJohn, kBye},
    };
    for (const LockCase& c : cases) {
        SCOPED_TRACE(c.name);
        write_file(data_file(), kSmithJohn);
        // Closing any descriptor of the file would drop the lock: this one stays open.
        int other = open(data_file().c_str(), O_RDWR);
        ASSERT_GE(other, 0);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        // Loading is held up from the start; a save once the form is nearly done.
        bool lock_first = c.typed_before.empty();
        if (lock_first) {
            ASSERT_EQ(fcntl(other, F_SETLKW, &lock), 0);
        }
        LiveRun run = start_program(folder_);
        if (!lock_first) {
            type_keys(run, c.typed_before);
            ASSERT_TRUE(wait_for_screen(run, kPrompts.back(), 1));
            ASSERT_EQ(fcntl(other, F_SETLKW, &lock), 0);
        }
        ASSERT_EQ(pwrite(other, brown.data(), c.first_piece, kRecordSize), static_cast<ssize_t>(c.first_piece));
        type_keys(run, c.typed_after);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ASSERT_EQ(pwrite(other, brown.data(), brown.size(), kRecordSize), static_cast<ssize_t>(brown.size()));
        close(other);
        RunResult ended = finish_program(run);
        EXPECT_NE(ended.screen.find(c.screen_holds), std::string::npos) << ended.screen;
        EXPECT_EQ(read_file(data_file()), c.file_after);
    }
}

// Two programs on one list: typing 45 records each at once onto 9, they lose
// nothing; then, both at 99 records and both past the count before the form,
// exactly one saves and the other says the list is full.
TEST_F(RobustnessTest, TwoProgramsOnOneListLoseNothingAndStopAtTheLimit) {
    // Each program has a folder of its own for its screen, and the list in common.
    const std::string second = folder_ + "/second";
    ASSERT_EQ(mkdir(second.c_str(), 0755), 0);
    ASSERT_EQ(symlink(data_file().c_str(), (second + "/Maillist.dat").c_str()), 0);
    write_file(data_file(), records(9));
    std::vector<std::string> expected;
    LiveRun runs[2] = {start_program(folder_), start_program(second)};
    for (int program = 0; program < 2; ++program) {
        std::string input;
        for (int i = 0; i < 45; ++i) {
            std::string last = "P" + std::to_string(program) + "-" + std::to_string(i);
            input += "e\n" + last + "\nFirst\nStreet\nCity\nON\nK1A0B\n555\nModel\n";
            expected.push_back(record_bytes({last.c_str(), "First", "Street", "City", "ON", "K1A0B", "555", "Model"}));
        }
        type_keys(runs[program], input + "q\n");
    }
    for (LiveRun& run : runs) EXPECT_EQ(finish_program(run).status, 0);
    const std::string file = read_file(data_file());
    ASSERT_EQ(file.size(), 99 * kRecordSize);
    std::vector<std::string> found;
    for (std::size_t at = 9 * kRecordSize; at < file.size(); at += kRecordSize) found.push_back(file.substr(at, kRecordSize));
    std::sort(found.begin(), found.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_TRUE(file.substr(0, 9 * kRecordSize) == records(9) && found == expected) << "every record whole, aligned, as entered";

    runs[0] = start_program(folder_);
    runs[1] = start_program(second);
    for (LiveRun& run : runs) type_keys(run, "e\n" + kAllButLast);
    for (LiveRun& run : runs) ASSERT_TRUE(wait_for_screen(run, kPrompts.back(), 1));
    for (LiveRun& run : runs) type_keys(run, "1995 Coupe\nq\n");
    int refused = 0;
    for (LiveRun& run : runs) refused += finish_program(run).screen.find(kFullText) != std::string::npos ? 1 : 0;
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(read_file(data_file()), file + kSmithJohn);
}

// The screens of long lines are in the program's cases; here, only the memory
// they take: 200 MB at the name question and again at a field of the form,
// written in pieces so that this test itself stays small (a child's peak starts
// at ours).
TEST_F(RobustnessTest, MemoryDoesNotGrowWithTheLengthOfALine) {
    write_file(data_file(), kSmithJohn);
    RunResult normal = run_program(folder_, "s\nSmith\nq\n");
    {
        const std::string piece(1u << 20, 'x');
        std::ofstream input(folder_ + "/long-input", std::ios::binary);
        input << "s\n";
        for (int i = 0; i < 200; ++i) input << piece;
        input << "\ne\n";
        for (int i = 0; i < 200; ++i) input << piece;
        input << "\n" << kSmithAnswers << "q\n";
    }
    RunResult huge = run_program_on_file(folder_, folder_ + "/long-input");
    EXPECT_EQ(read_file(data_file()), kSmithJohn + kSmithJohn) << "the run went to its end";
    EXPECT_LT(huge.peak_memory_kib, normal.peak_memory_kib + 2048) << "normal: " << normal.peak_memory_kib << " KiB";
}

}  // namespace
