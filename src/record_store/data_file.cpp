// The data file: one headerless run of 136-byte records. The end of the data is
// the last byte that is not whitespace; records are written only at that end.
#include "record_store/data_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace {

constexpr const char* kOpenErrorText = "\n\n Error: could not open the requested file.";
constexpr std::size_t kScanChunkSize = std::size_t{64} * 1024;

int g_data_file = kNoFile;

bool is_whitespace_byte(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The offset just past the last byte that is not whitespace, 0 when there is none.
// A piece that cannot be read counts as data, so that no append ever covers it.
std::uint64_t data_end() {
    static char chunk[kScanChunkSize];
    std::uint64_t end = platform_file_size(g_data_file);
    while (end > 0) {
        std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(end, kScanChunkSize));
        std::uint64_t start = end - length;
        if (platform_read_at(g_data_file, start, chunk, length) != length) return end;
        for (std::size_t i = length; i > 0; --i) {
            if (!is_whitespace_byte(chunk[i - 1])) return start + i;
        }
        end = start;
    }
    return 0;
}

// A record exists at k*136 exactly when data lies at or after that offset.
std::uint64_t records_before(std::uint64_t end) {
    return (end + kRecordSize - 1) / kRecordSize;
}

}  // namespace

bool open_data_file() {
    g_data_file = platform_open_data_file();
    if (g_data_file != kNoFile) return true;
    (void)std::fputs(kOpenErrorText, stdout);  // the exit status says it too
    return false;
}

void close_data_file() {
    if (g_data_file == kNoFile) return;
    platform_close_file(g_data_file);
    g_data_file = kNoFile;
}

bool record_exists_at(std::uint64_t offset) {
    return offset < data_end();
}

void load_records(RecordTable& table) {
    // The shared lock keeps a concurrent append from being seen half written.
    platform_lock_shared(g_data_file);
    std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(records_before(data_end()), kMaxRecords));
    // Bytes of the last slot that a short last piece leaves uncovered stay zero.
    std::memset(table.slots, 0, sizeof table.slots);
    platform_read_at(g_data_file, 0, reinterpret_cast<char*>(table.slots), count * kRecordSize);
    platform_unlock(g_data_file);
    table.count = count;
}

std::size_t count_file_records() {
    return static_cast<std::size_t>(records_before(data_end()));
}

bool append_record(const CustomerRecord& record) {
    // Under the exclusive lock the count cannot change between counting and
    // writing, even with a second program on the same file.
    platform_lock_exclusive(g_data_file);
    std::uint64_t size = platform_file_size(g_data_file);
    std::uint64_t offset = records_before(data_end()) * kRecordSize;

    // A short last piece is padded with zeros up to the record's offset, so every
    // record stays aligned; whitespace after the last record is written over.
    std::uint64_t from = std::min(size, offset);
    char block[2 * kRecordSize] = {};
    std::size_t padding = static_cast<std::size_t>(offset - from);
    std::memcpy(block + padding, &record, kRecordSize);
    std::size_t length = padding + kRecordSize;

    // What the write covers of the old file, to put back if the append fails.
    char replaced[2 * kRecordSize];
    std::size_t replaced_length = static_cast<std::size_t>(std::min<std::uint64_t>(size - from, length));
    replaced_length = platform_read_at(g_data_file, from, replaced, replaced_length);

    bool saved = platform_write_at(g_data_file, from, block, length) && platform_sync(g_data_file);
    if (!saved) {
        platform_write_at(g_data_file, from, replaced, replaced_length);
        platform_truncate(g_data_file, size);
        platform_sync(g_data_file);
    }
    platform_unlock(g_data_file);
    return saved;
}
