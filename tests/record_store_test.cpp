// The data file on files built byte by byte: where the data ends, what loads
// and what counts. Where an append lands is in the program's cases.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "record_store/data_file.h"
#include "test_support.h"

namespace {

std::string table_bytes(const RecordTable& table) {
    return std::string(reinterpret_cast<const char*>(table.slots), table.count * kRecordSize);
}

// The record store works in the current folder: the scratch folder.
class DataFileTest : public ScratchTest {
protected:
    void SetUp() override {
        ScratchTest::SetUp();
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(folder_);
    }
    void TearDown() override {
        close_data_file();
        std::filesystem::current_path(previous_);
        ScratchTest::TearDown();
    }
    void open_with(const std::string& bytes) {
        write_file("Maillist.dat", bytes);
        ASSERT_TRUE(open_data_file());
    }
    std::filesystem::path previous_;
    RecordTable table_{};
};

struct LoadCase {
    const char* name;
    std::string bytes;
    std::size_t loaded;
    std::size_t counted;
};

TEST_F(DataFileTest, LoadsAndCountsUpToTheLastByteThatIsNotWhitespace) {
    const std::string spaces(kRecordSize, ' ');
    const LoadCase cases[] = {
        {"empty file", "", 0, 0},
        {"three whole records", records(3), 3, 3},
        {"two line feeds after three records", records(3) + "\n\n", 3, 3},
        {"every whitespace byte after a record", records(1) + " \t\n\v\f\r", 1, 1},
        {"whitespace record in the middle", records(1) + spaces + records(1), 3, 3},
        {"whitespace record at the end", records(2) + spaces, 2, 2},
        {"whitespace only", spaces + spaces, 0, 0},
        {"a NUL after the last record", records(1) + std::string(1, '\0'), 2, 2},
        {"a byte of 0x80 after the last record", records(1) + "\x80", 2, 2},
        {"a short last piece holding a name", records(3) + std::string(38, ' ') + "Lane", 4, 4},
        {"more records than the table holds", records(150), kMaxRecords, 150},
        {"a short last piece after a full table", records(3) + "Lane", 4, 4},
    };
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.name);
        open_with(c.bytes);
        ASSERT_TRUE(load_records(table_));
        EXPECT_EQ(table_.count, c.loaded);
        // The slots hold the file's bytes, and zeros where a short last piece ends.
        std::string slots = c.bytes.substr(0, c.loaded * kRecordSize);
        slots.resize(c.loaded * kRecordSize, '\0');
        EXPECT_EQ(table_bytes(table_), slots);
        EXPECT_EQ(count_file_records(), c.counted);
        EXPECT_EQ(record_exists_at(c.counted * kRecordSize), false);
        if (c.counted > 0) {
            EXPECT_TRUE(record_exists_at((c.counted - 1) * kRecordSize));
        }
        close_data_file();
    }
}

TEST_F(DataFileTest, OnlyARegularFileIsOpened) {
    ASSERT_EQ(mkdir("Maillist.dat", 0755), 0);
    EXPECT_FALSE(open_data_file());
}

}  // namespace
