// The data file: one headerless run of 136-byte records, opened once at start-up
// and held open for the whole run; loading, counting and appending.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "record_store/customer_record.h"

// Opens the list for update: the file `path` names, or "a:Maillist.dat" when
// it is null (the menu program's only list). False, with errno set, when it is
// missing or is not a regular file; the program then ends with status 1.
bool open_data_file(const char* path = nullptr);
void close_data_file();

// Fills the table with the file's records, the first kMaxRecords of them. False
// when the file cannot be read whole: the program then ends as if it could not
// be opened, rather than show a shortened list.
bool load_records(RecordTable& table);

// The number of records in the file now, appended ones included, even past
// kMaxRecords; nothing when the file cannot be read.
std::optional<std::size_t> count_file_records();

enum class SaveResult { kSaved, kFull, kFailed };

// Saves `count` records after the file's last record, as one transaction under
// the exclusive lock: count, refuse when they would take the list past
// kMaxRecords (kFull), write them all, sync. On kFull, and on kFailed unless the
// disk failed again while the file was put back, the file loads as it did
// before. `held` is the number of records the file held before, once counted.
SaveResult append_records(const CustomerRecord* records, std::size_t count, std::size_t& held);

// Whether any byte other than whitespace lies at `offset` or later: the only
// test for the end of the data. A file that cannot be read answers yes.
bool record_exists_at(std::uint64_t offset);
