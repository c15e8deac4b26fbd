// The Print command (p): every loaded record with a given last name goes to the
// printer, one job of five lines per record.
#pragma once

#include "console/record_views.h"
#include "record_store/customer_record.h"

// Returns false when the console input ended at the name question.
bool print_records(const RecordTable& table, const RecordViews& views);

void print_record(const CustomerRecord& record);
