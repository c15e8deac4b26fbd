// What must survive the user: a kill or the interrupt key after an entry, a
// second program on the same list, lines of any length, and printer children.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <fstream>

#include "test_support.h"

namespace {


class RobustnessTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = make_scratch();
        write_file(data_file(), "");
    }
    void TearDown() override { remove_scratch(folder_); }
    std::string data_file() const { return folder_ + "/Maillist.dat"; }
    std::string folder_;
};

TEST_F(RobustnessTest, RecordIsOnDiskOnceTheMenuComesBack) {
    for (int signal : {SIGKILL, SIGINT}) {
        SCOPED_TRACE(signal);
        write_file(data_file(), "");
        LiveRun run = start_program(folder_);
        type_keys(run, "e\n" + kSmithAnswers);
        ASSERT_TRUE(wait_for_screen(run, kMenu, 2));
        send_signal(run, signal);
        RunResult ended = finish_program(run);
        EXPECT_EQ(ended.signal, signal);
        EXPECT_EQ(read_file(data_file()), kSmithJohn);
    }
}

TEST_F(RobustnessTest, TwoProgramsAppendingAtOnceLoseNothing) {
    constexpr int kEach = 45;
    std::vector<std::string> expected;
    std::string inputs[2];
    for (int program = 0; program < 2; ++program) {
        for (int i = 0; i < kEach; ++i) {
            std::string last = "P" + std::to_string(program) + "-" + std::to_string(i);
            inputs[program] += "e\n" + last + "\nFirst\nStreet\nCity\nON\nK1A0B\n555\nModel\n";
            expected.push_back(record_bytes({last.c_str(), "First", "Street", "City", "ON", "K1A0B", "555", "Model"}));
        }
        inputs[program] += "q\n";
    }
    LiveRun runs[2] = {start_program(folder_), start_program(folder_)};
    type_keys(runs[0], inputs[0]);
    type_keys(runs[1], inputs[1]);
    EXPECT_EQ(finish_program(runs[0]).status, 0);
    EXPECT_EQ(finish_program(runs[1]).status, 0);

    std::string file = read_file(data_file());
    ASSERT_EQ(file.size(), expected.size() * 136);
    std::vector<std::string> found;
    for (std::size_t at = 0; at < file.size(); at += 136) found.push_back(file.substr(at, 136));
    std::sort(found.begin(), found.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_TRUE(found == expected) << "every record whole, aligned and as entered";
}

TEST_F(RobustnessTest, MemoryDoesNotGrowWithTheLengthOfALine) {
    write_file(data_file(), kSmithJohn);
    RunResult normal = run_program(folder_, "s\nSmith\nq\n");

    // 200 MB at the name question and again at a field of the form, written in
    // pieces so that this test itself stays small (a child's peak starts at ours).
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
    EXPECT_EQ(huge.screen.substr(huge.screen.size() - kBye.size()), kBye);
    EXPECT_NE(huge.screen.find("Last Name:  Name exceeds 20 Characters\nLast Name:  First Name:  "), std::string::npos);
    EXPECT_EQ(read_file(data_file()), kSmithJohn + kSmithJohn);
    EXPECT_LT(huge.peak_memory_kib, normal.peak_memory_kib + 2048) << "normal: " << normal.peak_memory_kib << " KiB";
}

TEST_F(RobustnessTest, PrinterChildrenAreReapedAndABrokenPipeIsHarmless) {
    write_file(data_file(), kSmithJohn + kSmithJohn);
    install_recording_lp(folder_);
    RunOptions with_lp;
    with_lp.path = folder_ + "/bin:/usr/bin:/bin";
    LiveRun run = start_program(folder_, with_lp);
    type_keys(run, "p\nSmith\n");
    ASSERT_TRUE(wait_for_screen(run, kMenu, 2));
    std::string pid = std::to_string(run.pid);
    EXPECT_EQ(read_file("/proc/" + pid + "/task/" + pid + "/children"), "") << "no zombie left behind";

    // A spooler that closes its input before the job is written.
    write_file(folder_ + "/bin/lp", "#!/bin/sh\nexec 0<&-\nexit 0\n");
    type_keys(run, "p\nSmith\nq\n");
    RunResult ended = finish_program(run);
    EXPECT_EQ(ended.screen, kMenu + kAsk + kMenu + kAsk + kMenu + kBye);
    EXPECT_EQ(ended.errors, "");
    EXPECT_EQ(ended.status, 0);
    EXPECT_EQ(recorded_jobs(folder_).size(), 2u);
}

}  // namespace
