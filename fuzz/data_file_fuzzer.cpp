// Any bytes at all as the data file: load, count, append, reload. The reloaded
// records must be the old ones followed by the new one.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "record_store/data_file.h"

namespace {

RecordTable g_before;
RecordTable g_after;

void check(bool holds) {
    if (!holds) std::abort();
}

void write_data_file(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen("Maillist.dat", "wb");
    check(file != nullptr);
    check(std::fwrite(data, 1, size, file) == size);
    check(std::fclose(file) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char folder[] = "/tmp/ledgerine-fuzz-XXXXXX";
    check(mkdtemp(folder) != nullptr && chdir(folder) == 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    write_data_file(data, size);
    check(open_data_file());
    check(load_records(g_before));
    std::size_t counted = count_file_records().value();
    check(g_before.count == (counted < kMaxRecords ? counted : kMaxRecords));

    // An entered record: every field ends in its NUL, so it is never all whitespace.
    CustomerRecord added;
    std::memset(&added, 0, sizeof added);
    std::memcpy(added.last_name, "Fuzz", 4);
    std::memcpy(added.year_model, data, size < 19 ? size : 19);
    // A full file refuses the record and stays as it was.
    bool room = counted < kMaxRecords;
    std::size_t held = 0;
    check(append_records(&added, 1, held) == (room ? SaveResult::kSaved : SaveResult::kFull));
    check(held == counted);
    check(count_file_records() == counted + (room ? 1 : 0));
    close_data_file();

    check(open_data_file());
    check(load_records(g_after));
    close_data_file();
    if (room) {
        check(g_after.count == counted + 1);
        check(std::memcmp(g_after.slots, g_before.slots, counted * kRecordSize) == 0);
        check(std::memcmp(&g_after.slots[counted], &added, kRecordSize) == 0);
    } else {
        check(g_after.count == kMaxRecords);
        check(std::memcmp(g_after.slots, g_before.slots, sizeof g_after.slots) == 0);
    }
    return 0;
}
