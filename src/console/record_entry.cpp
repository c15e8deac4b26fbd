// The entry form: a prompt and a too-long message for each field, in record order.
#include "console/record_entry.h"

#include <cstring>

#include "console/console_io.h"
#include "record_store/data_file.h"

namespace {

// The program's own texts, kept byte for byte, spelling included ("Pronvince"):
// users and their scripts know them. Each message names the limit plus one. A
// field's prompt is its label and kPromptEnd.
constexpr const char* kTooLong[kFieldCount] = {
    "Name exceeds 20 Characters\n",
    "Name exceeds 20 Characters\n",
    "Address exceeds 30 Characters\n",
    "City Name Exceeds 20 Characters\n",
    "Pronvince Code Exceeds 3 Characters\n",
    "Postal Code Exceeds 8 Characters\n",
    "Phone Number Exceeds 15 Characters\n",
    "Year and Model Exceed 20 Characters\n",
};
constexpr std::string_view kPromptEnd = ":  ";

// The program's own texts, kept byte for byte.
constexpr const char* kFullText = "there are 100 records already";
constexpr const char* kSaveErrorText = "\n\n Error: could not save the record.";

}  // namespace

bool add_record() {
    // A count that cannot be made is no reason to ask for a record that cannot be saved.
    std::optional<std::size_t> count = count_file_records();
    if (!count) {
        write_text(kSaveErrorText);
        return true;
    }
    if (*count >= kMaxRecords) {
        write_text(kFullText);
        return true;
    }
    CustomerRecord record;
    if (!enter_record(record)) return false;
    // The limit is checked again under the lock: another program may have saved meanwhile.
    std::size_t held = 0;
    switch (append_records(&record, 1, held)) {
        case SaveResult::kSaved:
            break;
        case SaveResult::kFull:
            write_text(kFullText);
            break;
        case SaveResult::kFailed:
            write_text(kSaveErrorText);
            break;
    }
    return true;
}

bool enter_record(CustomerRecord& record) {
    // The bytes after each field's NUL are zeros, never left undefined.
    std::memset(&record, 0, sizeof record);
    char* bytes = reinterpret_cast<char*>(&record);
    for (std::size_t field = 0; field < kFieldCount; ++field) {
        const FieldLayout& layout = kFieldLayouts[field];
        ConsoleLine answer;
        discard_pending_input();
        for (;;) {
            write_text(layout.label);
            write_text(kPromptEnd);
            if (!read_console_line(answer)) return false;
            if (answer.length <= layout.limit) break;
            write_text(kTooLong[field]);
        }
        std::memcpy(bytes + layout.offset, answer.kept, answer.length);
    }
    return true;
}
