// Entering records through the running program: the form and its length checks,
// the 100-record limit, what reaches the file, and what happens when it cannot.
#include <gtest/gtest.h>

#include "test_support.h"

namespace {


struct Question {
    const char* prompt;
    const char* too_long;
    std::size_t limit;
};

const Question kForm[] = {
    {"Last Name:  ", "Name exceeds 20 Characters\n", 19},
    {"First Name:  ", "Name exceeds 20 Characters\n", 19},
    {"Address:  ", "Address exceeds 30 Characters\n", 29},
    {"City:  ", "City Name Exceeds 20 Characters\n", 19},
    {"Province Code:  ", "Pronvince Code Exceeds 3 Characters\n", 2},
    {"Postal Code:  ", "Postal Code Exceeds 6 Characters\n", 5},
    {"Telephone Number:  ", "Phone Number Exceeds 15 Characters\n", 14},
    {"Year & Model:  ", "Year and Model Exceed 20 Characters\n", 19},
};

class EntryTest : public ::testing::Test {
protected:
    void SetUp() override { folder_ = make_scratch(); }
    void TearDown() override { remove_scratch(folder_); }
    std::string data_file() const { return folder_ + "/Maillist.dat"; }
    std::string folder_;
};

TEST_F(EntryTest, RecordIsSavedAsTypedAndListedOnlyAfterARestart) {
    write_file(data_file(), named_record("Brown", "Ann"));
    RunResult run = run_program(folder_, "e and the rest\n" + kSmithAnswers + "d\nq\n");
    EXPECT_EQ(run.screen, kMenu + kFormPrompts + kMenu + "\nBrown  Ann" + kMenu + kBye);
    EXPECT_EQ(read_file(data_file()), named_record("Brown", "Ann") + kSmithJohn);

    // Answers with CR LF line ends, as written on the original console, are the same answers.
    std::string crlf_answers;
    for (char c : kSmithAnswers) crlf_answers += c == '\n' ? std::string("\r\n") : std::string(1, c);
    RunResult crlf = run_program(folder_, "e\r\n" + crlf_answers + "q\r\n");
    EXPECT_EQ(crlf.screen, kMenu + kFormPrompts + kMenu + kBye);
    EXPECT_EQ(read_file(data_file()), named_record("Brown", "Ann") + kSmithJohn + kSmithJohn);

    RunResult next = run_program(folder_, "d\nq\n");
    EXPECT_EQ(next.screen, kMenu + "\nBrown  Ann\nSmith  John\nSmith  John" + kMenu + kBye);
}

TEST_F(EntryTest, EachFieldRefusesOneCharacterPastItsLimit) {
    // Every field first gets an answer one byte too long, then one that just fits.
    write_file(data_file(), "");
    std::string input = "e\n";
    std::string screen = kMenu;
    std::string expected_record;
    const std::size_t widths[] = {20, 20, 30, 20, 3, 8, 15, 20};
    for (std::size_t i = 0; i < 8; ++i) {
        const Question& q = kForm[i];
        std::string fits(q.limit, static_cast<char>('a' + i));
        input += std::string(q.limit + 1, 'X') + "\n" + fits + "\n";
        screen += std::string(q.prompt) + q.too_long + q.prompt;
        expected_record += fits + std::string(widths[i] - q.limit, '\0');
    }
    RunResult run = run_program(folder_, input + "q\n");
    EXPECT_EQ(run.screen, screen + kMenu + kBye);
    EXPECT_EQ(read_file(data_file()), expected_record);
}

TEST_F(EntryTest, EmptyAnswersAndLongLinesAreHandled) {
    write_file(data_file(), "");
    std::string huge(1 << 20, 'z');
    RunResult run = run_program(folder_, "e\n" + huge + "\n\n\n\n\n\n\n\n\nq\n");
    EXPECT_EQ(run.screen, kMenu + "Last Name:  Name exceeds 20 Characters\n" + kFormPrompts + kMenu + kBye);
    EXPECT_EQ(read_file(data_file()), std::string(136, '\0'));
}

TEST_F(EntryTest, HundredthRecordIsTheLast) {
    write_file(data_file(), records(99));
    RunResult run = run_program(folder_, "e\n" + kSmithAnswers + "e\nq\n");
    EXPECT_EQ(run.screen, kMenu + kFormPrompts + kMenu + kFullText + kMenu + kBye);
    EXPECT_EQ(read_file(data_file()), records(99) + kSmithJohn);

    // A file that already holds more than the table loads its first 100, and
    // still refuses.
    write_file(data_file(), records(101));
    RunResult over = run_program(folder_, "e\nq\n");
    EXPECT_EQ(over.screen, kMenu + kFullText + kMenu + kBye);
    EXPECT_EQ(read_file(data_file()), records(101));
}

TEST_F(EntryTest, EndOfInputInTheFormSavesNothingOfThatRecord) {
    write_file(data_file(), "");
    RunResult run = run_program(folder_, "e\n" + kSmithAnswers + "e\nBrown\nAnn\n");
    EXPECT_EQ(run.screen, kMenu + kFormPrompts + kMenu + "Last Name:  First Name:  Address:  ");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(read_file(data_file()), kSmithJohn) << "the earlier record stays, the unfinished one is not written";

    // The last answer may end with the end of input instead of a newline.
    write_file(data_file(), "");
    std::string unterminated = kSmithAnswers.substr(0, kSmithAnswers.size() - 1);
    RunResult last = run_program(folder_, "e\n" + unterminated);
    EXPECT_EQ(last.screen, kMenu + kFormPrompts + kMenu);
    EXPECT_EQ(read_file(data_file()), kSmithJohn);
}

TEST_F(EntryTest, AppendToAFileEndingInWhitespaceKeepsRecordsAligned) {
    write_file(data_file(), named_record("Brown", "Ann") + "\r\n\r\n");
    run_program(folder_, "e\n" + kSmithAnswers + "q\n");
    RunResult next = run_program(folder_, "d\ns\nSmith\nq\n");
    EXPECT_EQ(next.screen, kMenu + "\nBrown  Ann\nSmith  John" + kMenu + kAsk +
                               "\n\nSmith   John\n12 Main St  Ottawa\nON    K1A0B\n555-1234\n1995 Coupe\n" +
                               kMenu + kBye);
}

TEST_F(EntryTest, FailedAppendSaysSoAndLeavesTheFileAsItWas) {
    // The size limit lets the record write over the trailing newline but not grow
    // the file: a partial write that must be undone.
    const std::string before = records(64) + "\n";
    write_file(data_file(), before);
    RunOptions limited;
    limited.file_size_limit = static_cast<long long>(before.size());
    RunResult run = run_program(folder_, "e\n" + kSmithAnswers + "q\n", limited);
    EXPECT_EQ(run.screen, kMenu + kFormPrompts + kSaveErrorText + kMenu + kBye);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(read_file(data_file()), before);
}

}  // namespace
