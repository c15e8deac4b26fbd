// ledgerine-export: the list in the current directory as CSV on standard
// output, whole or not at all.
#include <cstdio>

#include "export/csv_export.h"
#include "platform/platform.h"
#include "record_store/data_file.h"
#include "tools/command_line.h"

namespace {

constexpr int kStatusWritten = 0;
constexpr int kStatusFailed = 1;

constexpr ToolCommandLine kCommandLine = {
    "ledgerine-export",
    "Usage: ledgerine-export\n"
    "Writes the list in Maillist.dat, in the current directory, to standard output\n"
    "as CSV in UTF-8.\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n",
    {},
    0,
};

// Static: too large for the stack of small machines.
RecordTable g_table;
CsvText g_csv;

}  // namespace

int main(int argc, char** argv) {
    ToolArguments arguments;
    // First, so that a closed standard stream can never become the data file.
    platform_prepare_process();
    if (std::optional<int> done = read_command_line(argc, argv, kCommandLine, arguments)) return *done;
    bool loaded = open_data_file() && load_records(g_table);
    close_data_file();
    if (!loaded) {
        (void)std::fputs("ledgerine-export: could not read Maillist.dat\n", stderr);
        return kStatusFailed;
    }
    format_csv(g_table, platform_marks_utf8_files(), g_csv);
    if (!platform_write_standard_output(g_csv.bytes, g_csv.length)) {
        (void)std::fputs("ledgerine-export: could not write the list to standard output\n", stderr);
        return kStatusFailed;
    }
    return kStatusWritten;
}
