// The data file: one headerless run of 136-byte records. The end of the data is
// the last byte that is not whitespace; records are written only at that end,
// each save as one locked, checked and synced transaction.
#include "record_store/data_file.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/platform.h"

namespace {

constexpr std::size_t kScanChunkSize = std::size_t{64} * 1024;
// A save writes the zeros that align a short last piece (fewer than a record's
// bytes), then its records: kMaxRecords of them at the most.
constexpr std::size_t kLongestSave = (kRecordSize - 1) + kMaxRecords * kRecordSize;

int g_data_file = kNoFile;

bool is_whitespace_byte(char c) {
    // Space, or one of tab, line feed, vertical tab, form feed, carriage return.
    return c == ' ' || static_cast<unsigned char>(c - '\t') <= '\r' - '\t';
}

// Branch-free and with no early exit, so that an optimizing build tests a whole
// vector register of bytes at a time: the scan then keeps pace with reading.
bool all_whitespace(const char* bytes, std::size_t length) {
    unsigned char other = 0;
    for (std::size_t i = 0; i < length; ++i) other |= static_cast<unsigned char>(!is_whitespace_byte(bytes[i]));
    return other == 0;
}

// The offset just past the last byte that is not whitespace in a file of `size`
// bytes, 0 when there is none; nothing when a piece of it cannot be read.
std::optional<std::uint64_t> data_end(std::uint64_t size) {
    static char chunk[kScanChunkSize];
    std::uint64_t end = size;
    while (end > 0) {
        std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(end, kScanChunkSize));
        std::uint64_t start = end - length;
        if (!platform_read_at(g_data_file, start, chunk, length)) return std::nullopt;
        if (!all_whitespace(chunk, length)) {
            while (is_whitespace_byte(chunk[length - 1])) --length;
            return start + length;
        }
        end = start;
    }
    return 0;
}

// The file's size and the end of its data, both from one size query.
bool read_size_and_data_end(std::uint64_t& size, std::uint64_t& end) {
    if (!platform_file_size(g_data_file, size)) return false;
    std::optional<std::uint64_t> found = data_end(size);
    if (!found) return false;
    end = *found;
    return true;
}

// How many records the data ends in: a record exists at k*136 exactly when data
// lies at or after that offset.
std::uint64_t records_before(std::uint64_t end) {
    return (end + kRecordSize - 1) / kRecordSize;
}

// Puts the file back as it was before a save that wrote `length` bytes from
// `from` on, over the `replaced` whitespace. A save that grew the file is first
// cut back to `from`: all it wrote lay past the old data, so the file loads as
// before from then on. True when the file loads as before.
bool undo_save(std::uint64_t size, std::uint64_t from, std::size_t length, const char* replaced,
               std::size_t replaced_length) {
    bool grew = from + length > size;
    if (grew && !platform_truncate(g_data_file, from)) return false;
    bool restored = platform_write_at(g_data_file, from, replaced, replaced_length);
    (void)platform_sync(g_data_file);  // the file loads as before whether or not this reaches the disk
    return grew || restored;
}

// The save itself, under the exclusive lock.
SaveResult save_locked(const CustomerRecord* records, std::size_t count, std::size_t& held) {
    std::uint64_t size = 0;
    std::uint64_t end = 0;
    if (!read_size_and_data_end(size, end)) return SaveResult::kFailed;
    std::uint64_t before = records_before(end);
    held = static_cast<std::size_t>(std::min<std::uint64_t>(before, SIZE_MAX));
    if (before + count > kMaxRecords) return SaveResult::kFull;
    if (count == 0) return SaveResult::kSaved;

    // The records go at the boundary after the last record. Before them, a
    // short last piece is padded with zeros; whitespace after the last record
    // is written over. Since end <= size and before*136 - end < 136, the
    // padding is always shorter than a record.
    std::uint64_t offset = before * kRecordSize;
    std::uint64_t from = std::min(size, offset);
    std::size_t padding = static_cast<std::size_t>(offset - from);
    // Static: too large for the stack of small machines.
    static char block[kLongestSave];
    std::memset(block, 0, padding);
    std::memcpy(block + padding, records, count * kRecordSize);
    std::size_t length = padding + count * kRecordSize;

    // What the write covers of the old file: whitespace, to put back on failure.
    static char replaced[kLongestSave];
    std::size_t replaced_length = static_cast<std::size_t>(std::min<std::uint64_t>(size - from, length));
    if (!platform_read_at(g_data_file, from, replaced, replaced_length)) return SaveResult::kFailed;

    bool written = platform_write_at(g_data_file, from, block, length);
    if (written && platform_sync(g_data_file)) return SaveResult::kSaved;
    if (undo_save(size, from, length, replaced, replaced_length)) return SaveResult::kFailed;
    // The file could not be put back: records written whole are saved once a
    // second sync gets them to the disk.
    return written && platform_sync(g_data_file) ? SaveResult::kSaved : SaveResult::kFailed;
}

}  // namespace

bool open_data_file(const char* path) {
    g_data_file = platform_open_data_file(path);
    return g_data_file != kNoFile;
}

void close_data_file() {
    if (g_data_file == kNoFile) return;
    platform_close_file(g_data_file);
    g_data_file = kNoFile;
}

bool record_exists_at(std::uint64_t offset) {
    std::uint64_t size = 0;
    std::uint64_t end = 0;
    // What cannot be read is taken for data: no record is ever placed over it.
    return !read_size_and_data_end(size, end) || offset < end;
}

bool load_records(RecordTable& table) {
    // The shared lock keeps an append by another program from being seen half
    // written. Where the file system has no locks, reading goes ahead anyway:
    // it cannot harm the file.
    bool locked = platform_lock_shared(g_data_file);
    std::uint64_t size = 0;
    std::uint64_t end = 0;
    bool loaded = read_size_and_data_end(size, end);
    std::size_t count = loaded ? static_cast<std::size_t>(std::min<std::uint64_t>(records_before(end), kMaxRecords)) : 0;
    // Bytes of the last slot that a short last piece leaves uncovered stay zero.
    std::memset(table.slots, 0, sizeof table.slots);
    std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(size, count * kRecordSize));
    loaded = loaded && platform_read_at(g_data_file, 0, reinterpret_cast<char*>(table.slots), length);
    if (locked) platform_unlock(g_data_file);
    table.count = loaded ? count : 0;
    return loaded;
}

std::optional<std::size_t> count_file_records() {
    std::uint64_t size = 0;
    std::uint64_t end = 0;
    if (!read_size_and_data_end(size, end)) return std::nullopt;
    return static_cast<std::size_t>(records_before(end));
}

SaveResult append_records(const CustomerRecord* records, std::size_t count, std::size_t& held) {
    // No lock, no write: unlocked, a second program could be writing the same slot.
    if (!platform_lock_exclusive(g_data_file)) return SaveResult::kFailed;
    SaveResult result = save_locked(records, count, held);
    platform_unlock(g_data_file);
    return result;
}
