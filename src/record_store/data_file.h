// The data file: one headerless run of 136-byte records, opened once at start-up
// and held open for the whole run; loading, counting and appending.
#pragma once

#include <cstddef>
#include <cstdint>

#include "record_store/customer_record.h"

// Opens "a:Maillist.dat" for update. On failure writes the error text and
// returns false; the program then ends with status 1.
bool open_data_file();
void close_data_file();

// Fills the table with the file's records, the first kMaxRecords of them.
void load_records(RecordTable& table);

// The number of records in the file now, appended ones included, even past kMaxRecords.
std::size_t count_file_records();

// Writes the record after the file's last record and puts it on the disk. On
// failure the file is left as it was and false is returned.
bool append_record(const CustomerRecord& record);

// Whether any byte other than whitespace lies at `offset` or later: the only
// test for the end of the data.
bool record_exists_at(std::uint64_t offset);
