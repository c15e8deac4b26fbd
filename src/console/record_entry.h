// The Enter command (e): the 100-record check, the eight-question form with its
// length checks, and the append of the finished record.
#pragma once

#include "record_store/customer_record.h"

// Returns false when the console input ended during the form; nothing is saved then.
bool add_record();

// Asks the eight fields, each until its answer fits. False when the input ended.
bool enter_record(CustomerRecord& record);
