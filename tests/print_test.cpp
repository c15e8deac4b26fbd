// Printing through the running program: one spooler job per matching record,
// five CR LF lines each, and silence whatever the spooler does.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "test_support.h"

namespace {

const std::string kQuietPrint = kMenu + kAsk + kMenu + kBye;

const std::string kList =
    record_bytes({"Smith", "John", "12 Main St", "Ottawa", "ON", "K1A0B", "555-1234", "1995 Coupe"}) +
    record_bytes({"Brown", "Ann", "48 Elm Avenue", "Toronto", "", "M5V2T", "416", "2001"}) +
    record_bytes({"Smith", "Alice", "300 Portage", "Winnipeg", "MB", "R3C4T", "204", ""});

class PrintTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = make_scratch();
        write_file(folder_ + "/Maillist.dat", kList);
        install_recording_lp(folder_);
        with_lp_.path = folder_ + "/bin:/usr/bin:/bin";
    }
    void TearDown() override { remove_scratch(folder_); }
    std::string folder_;
    RunOptions with_lp_;
};

TEST_F(PrintTest, EachMatchIsOneJobOfFiveCrLfLines) {
    RunResult run = run_program(folder_, "p\nSmith\nq\n", with_lp_);
    EXPECT_EQ(run.screen, kQuietPrint) << "nothing of the record and nothing the spooler says reaches the screen";
    std::vector<std::string> jobs = recorded_jobs(folder_);
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0], "Smith  John\r\n12 Main St  Ottawa\r\nON   K1A0B\r\n555-1234\r\n1995 Coupe\r\n");
    EXPECT_EQ(jobs[1], "Smith  Alice\r\n300 Portage  Winnipeg\r\nMB   R3C4T\r\n204\r\n\r\n");
    EXPECT_EQ(read_file(folder_ + "/jobs/.args0"), "-s\n");
}

TEST_F(PrintTest, EmptyProvinceStartsTheThirdLineWithThreeSpaces) {
    run_program(folder_, "pxx\nBrown\nq\n", with_lp_);
    std::vector<std::string> jobs = recorded_jobs(folder_);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0], "Brown  Ann\r\n48 Elm Avenue  Toronto\r\n   M5V2T\r\n416\r\n2001\r\n");
}

TEST_F(PrintTest, NoMatchPrintsNothing) {
    RunResult run = run_program(folder_, "p\nsmith\np\n\nq\n", with_lp_);
    EXPECT_EQ(run.screen, kMenu + kAsk + kMenu + kAsk + kMenu + kBye);
    EXPECT_TRUE(recorded_jobs(folder_).empty());
}

TEST_F(PrintTest, MissingOrFailingSpoolerIsSilent) {
    RunOptions no_lp;
    no_lp.path = folder_ + "/nowhere";
    RunResult missing = run_program(folder_, "p\nSmith\nq\n", no_lp);
    EXPECT_EQ(missing.screen, kQuietPrint);
    EXPECT_EQ(missing.status, 0);

    // A spooler that refuses the job: what it says goes nowhere near the screen.
    write_file(folder_ + "/bin/lp", "#!/bin/sh\necho refused >&2\nexit 1\n");
    RunResult failing = run_program(folder_, "p\nSmith\np\nSmith\nq\n", with_lp_);
    EXPECT_EQ(failing.screen, kMenu + kAsk + kMenu + kAsk + kMenu + kBye);
    EXPECT_EQ(failing.status, 0);
}

}  // namespace
