// The importer's readers, driven directly: every file of a table read whole and
// split at every byte boundary must give the same records and refusals, and the
// records the table names.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "import/csv_import.h"
#include "test_support.h"

namespace {

const std::string kHeader =
    "Last Name,First Name,Address,City,Province Code,Postal Code,Telephone Number,Year & Model\r\n";
const std::string kBom = "\xEF\xBB\xBF";

// What a read gave: its records as bytes, and each refusal by line, problem and field.
struct Outcome {
    std::string records;
    std::vector<std::string> refusals;
    std::size_t refusal_count = 0;
    bool operator==(const Outcome& other) const {
        return records == other.records && refusals == other.refusals && refusal_count == other.refusal_count;
    }
};

void PrintTo(const Outcome& outcome, std::ostream* out) {
    *out << outcome.records.size() / kRecordSize << " records, " << outcome.refusal_count << " refusals:";
    for (const std::string& refusal : outcome.refusals) *out << " [" << refusal << "]";
}

Outcome outcome_of(const ImportRead& read) {
    Outcome outcome;
    std::size_t kept = read.entries < kMaxRecords ? read.entries : kMaxRecords;
    outcome.records.assign(reinterpret_cast<const char*>(read.records), kept * kRecordSize);
    for (std::size_t i = 0; i < read.refusal_count && i < kRefusalsKept; ++i) {
        const ImportRefusal& refusal = read.refusals[i];
        outcome.refusals.push_back(std::to_string(refusal.line) + ":" + std::to_string(static_cast<int>(refusal.problem)) +
                                   ":" + std::to_string(refusal.field) + ":" + std::string(refusal.text, refusal.text_length));
    }
    outcome.refusal_count = read.refusal_count;
    return outcome;
}

// Static: too large for a test's stack.
CsvImport g_csv;
ImportRead g_read;

// The file read in pieces that end at each of `cuts`.
Outcome read_csv_cut(const std::string& file, const std::vector<std::size_t>& cuts) {
    begin_csv_import(g_csv, g_read);
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        read_csv_piece(g_csv, g_read, file.data() + from, cut - from);
        from = cut;
    }
    read_csv_piece(g_csv, g_read, file.data() + from, file.size() - from);
    end_csv_import(g_csv, g_read);
    return outcome_of(g_read);
}

struct CsvSplitCase {
    const char* name;
    std::string file;
    std::string records;          // what the whole read adds
    std::size_t refusal_count;
};

TEST(CsvReaderTest, EverySplitOfTheInputReadsTheSame) {
    const CsvSplitCase cases[] = {
        {"a byte-order mark, then one in a field, a character the code page lacks", kBom + kHeader + kBom + "x,\xC3\xA9,,,,,,\r\n",
         record_bytes({"?x", "\x82"}), 0},
        {"a byte-order mark cut short is text of the header", "\xEF\xBB" + kHeader, "", 2},
        {"characters of two, three and four bytes, and overlong forms kept as bytes",
         kHeader + "\xC3\xA9t\xC3\xA9,\xE2\x95\xAC,\xF0\x9F\x98\x80,\xE0\x80\xAF,,\xF0\x80\x80\xAF,,\n",
         record_bytes({"\x82t\x82", "\xCE", "?", "\xE0\x80\xAF", "", "\xF0\x80\x80\xAF"}), 0},
        {"quotes, doubled quotes, commas and line ends in quotes", kHeader + "\"a,\"\"b\"\"\",\"\r\",,,,,,\"y\"\r\n",
         record_bytes({"a,\"b\"", "\r", "", "", "", "", "", "y"}), 0},
        {"CR LF, LF, a lone CR, empty lines and a last row ending in CR", "\r\n\n" + kHeader + "a\rb,,,,,,,\n\r\nc,,,,,,,\r",
         record_bytes({"a\rb"}) + record_bytes({"c"}), 0},
        {"a quote fault skips its row to the line end outside quotes", kHeader + "\"a\"b,\"x\ny\",,,,,,\nc,,,,,,,",
         record_bytes({"c"}), 1},
        {"too long, a line break, a NUL, a wrong count", kHeader + std::string(20, 'L') + ",\"a\nb\",,,,,,\n" +
                                                           std::string("n\0,,,,,,,\n", 10) + "a,b\n",
         "", 4},
    };
    for (const CsvSplitCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome whole = read_csv_cut(c.file, {});
        EXPECT_EQ(whole.records, c.records);
        EXPECT_EQ(whole.refusal_count, c.refusal_count);
        for (std::size_t cut = 0; cut <= c.file.size(); ++cut) {
            EXPECT_EQ(read_csv_cut(c.file, {cut}), whole) << "cut at " << cut;
        }
        std::vector<std::size_t> every_byte;
        for (std::size_t cut = 1; cut < c.file.size(); ++cut) every_byte.push_back(cut);
        EXPECT_EQ(read_csv_cut(c.file, every_byte), whole) << "a byte at a time";
    }
}

}  // namespace
