// Which records go on the labels, and in which order: all of them or those of
// one last name, in file order or sorted by last name or by postal code.
#pragma once

#include <cstddef>
#include <string_view>

#include "record_store/customer_record.h"

enum class LabelOrder { kFile, kLastName, kPostalCode };

struct LabelSelection {
    std::size_t slots[kMaxRecords];  // slots of the table, in label order
    std::size_t count;
};

// Every record, or with `last_name` (in the list's code page) those whose last
// name matches it as the search command matches it; in file order.
void select_records(const RecordTable& table, const std::string_view* last_name, LabelSelection& selection);

// Puts the selection in `order`: first with case and accents ignored, then by
// the stored bytes, keeping file order for what is still equal. False when the
// character table it compares with cannot be made.
bool sort_selection(const RecordTable& table, LabelOrder order, LabelSelection& selection);
