// The running program's dialogue, byte for byte: menu, commands, searches, the
// missing data file, and the end of input at each kind of wait.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "test_support.h"

namespace {

const std::string kBrownAnn = record_bytes({"Brown", "Ann", "48 Elm Avenue", "Toronto", "ON", "M5V2T", "416", "2001"});
const std::string kSmithAlice = record_bytes({"Smith", "Alice", "300 Portage", "Winnipeg", "MB", "R3C4T", "204", ""});
const std::string kList = kSmithJohn + kBrownAnn + kSmithAlice;

const std::string kSmithJohnView = "\n\nSmith   John\n12 Main St  Ottawa\nON    K1A0B\n555-1234\n1995 Coupe\n";
const std::string kSmithAliceView = "\n\nSmith   Alice\n300 Portage  Winnipeg\nMB    R3C4T\n204\n\n";

struct DialogueCase {
    const char* name;
    std::string file;
    std::string input;
    std::string screen;
    int status;
};

class DialogueTest : public ::testing::Test {
protected:
    void SetUp() override { folder_ = make_scratch(); }
    void TearDown() override { remove_scratch(folder_); }
    std::string folder_;
};

TEST_F(DialogueTest, ScreenAndExitStatusMatchToTheByte) {
    const std::string twenty(20, 'L');
    std::string no_nul = kBrownAnn;
    no_nul.replace(0, 20, twenty);
    std::string empty_last = kBrownAnn;
    empty_last[0] = '\0';

    const DialogueCase cases[] = {
        {"quit at once", kList, "q\n", kMenu + kBye, 0},
        {"the rest of the quit line is ignored", kList, "quit\n", kMenu + kBye, 0},
        {"names in file order, no final newline", kList, "d\nq\n",
         kMenu + "\nSmith  John\nBrown  Ann\nSmith  Alice" + kMenu + kBye, 0},
        {"dog lists once and drops og", kList, "dog\nq\n",
         kMenu + "\nSmith  John\nBrown  Ann\nSmith  Alice" + kMenu + kBye, 0},
        {"upper case, Enter alone and other bytes are no commands", kList, "D\n\n7\n" + std::string(1, '\0') + "\nq\n",
         kMenu + "Invalid Entry" + kMenu + "Invalid Entry" + kMenu + "Invalid Entry" + kMenu + "Invalid Entry" +
             kMenu + kBye,
         0},
        {"an empty list shows nothing", "", "d\ns\nSmith\nq\n", kMenu + kMenu + kAsk + kMenu + kBye, 0},
        {"search shows every match in file order", kList, "s\nSmith\nq\n",
         kMenu + kAsk + kSmithJohnView + kSmithAliceView + kMenu + kBye, 0},
        {"search drops the rest of the command line", kList, "smith\nSmith\nq\n",
         kMenu + kAsk + kSmithJohnView + kSmithAliceView + kMenu + kBye, 0},
        {"search is exact and case-sensitive", kList, "s\nsmith\ns\nSmit\ns\nSmith \nq\n",
         kMenu + kAsk + kMenu + kAsk + kMenu + kAsk + kMenu + kBye, 0},
        {"a name longer than any field finds nothing", kList, "s\n" + std::string(100000, 'S') + "\nq\n",
         kMenu + kAsk + kMenu + kBye, 0},
        {"an empty name finds the empty last names", kSmithJohn + empty_last, "s\n\nq\n",
         kMenu + kAsk + "\n\n   Ann\n48 Elm Avenue  Toronto\nON    M5V2T\n416\n2001\n" + kMenu + kBye, 0},
        {"a last name without NUL is its whole width", no_nul, "d\ns\n" + twenty + "\nq\n",
         kMenu + "\n" + twenty + "  Ann" + kMenu + kAsk + "\n\n" + twenty +
             "   Ann\n48 Elm Avenue  Toronto\nON    M5V2T\n416\n2001\n" + kMenu + kBye,
         0},
        {"CR LF line ends, as written on the original console", kList, "s\r\nSmith\r\nq\r\n",
         kMenu + kAsk + kSmithJohnView + kSmithAliceView + kMenu + kBye, 0},
        {"a CR elsewhere is part of the line", kList, "s\nSmith\r\r\ns\n\rSmith\nq\n",
         kMenu + kAsk + kMenu + kAsk + kMenu + kBye, 0},
        // The input is read 64 KiB at a time: the CR is its 65,536th byte.
        {"a CR LF split across two reads of the input", kList,
         "s\n" + std::string(65525, 'A') + "\ns\nSmith\r\nq\n",
         kMenu + kAsk + kMenu + kAsk + kSmithJohnView + kSmithAliceView + kMenu + kBye, 0},
        {"a lone CR at the end of the input is data", kList, "s\nSmith\r", kMenu + kAsk + kMenu, 0},
        {"end of input at the menu", kList, "", kMenu, 0},
        {"end of input after a command line without newline", kList, "d",
         kMenu + "\nSmith  John\nBrown  Ann\nSmith  Alice" + kMenu, 0},
        {"end of input at the name question", kList, "s\n", kMenu + kAsk, 0},
        {"end of input right after the command letter", kList, "s", kMenu + kAsk, 0},
        {"a last line without newline is still a line", kList, "s\nSmith",
         kMenu + kAsk + kSmithJohnView + kSmithAliceView + kMenu, 0},
    };
    for (const DialogueCase& c : cases) {
        SCOPED_TRACE(c.name);
        write_file(folder_ + "/Maillist.dat", c.file);
        RunResult run = run_program(folder_, c.input);
        EXPECT_EQ(run.screen, c.screen);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(read_file(folder_ + "/Maillist.dat"), c.file) << "nothing but Enter writes the file";
    }
}

TEST_F(DialogueTest, DataFileThatCannotBeOpenedEndsBeforeTheMenu) {
    RunResult missing = run_program(folder_, "d\nq\n");
    EXPECT_EQ(missing.screen, kOpenErrorText);
    EXPECT_EQ(missing.status, 1);
    EXPECT_FALSE(file_exists(folder_ + "/Maillist.dat")) << "the file is never created";

    ASSERT_EQ(mkdir((folder_ + "/Maillist.dat").c_str(), 0755), 0);
    RunResult folder = run_program(folder_, "d\nq\n");
    EXPECT_EQ(folder.screen, kOpenErrorText);
    EXPECT_EQ(folder.status, 1);
}

TEST_F(DialogueTest, FileCopiedWithAnotherCaseIsFound) {
    write_file(folder_ + "/MAILLIST.DAT", kSmithJohn);
    RunResult run = run_program(folder_, "d\nq\n");
    EXPECT_EQ(run.screen, kMenu + "\nSmith  John" + kMenu + kBye);
}

}  // namespace
