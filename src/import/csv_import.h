// Reading a CSV list into records: the header's labels name the columns in any
// order, and each row's fields go to the record rules by the header's names.
#pragma once

#include <string_view>

#include "import/character_set.h"
#include "import/record_rules.h"

// Reads the whole of `bytes`, a file in `charset`, into `read`.
void read_csv(std::string_view bytes, Charset charset, ImportRead& read);
