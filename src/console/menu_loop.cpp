// The main menu: one command byte per line, dispatched to the four commands.
#include "console/menu_loop.h"

#include "console/console_io.h"
#include "console/printer_output.h"
#include "console/record_entry.h"
#include "console/record_views.h"
#include "record_store/data_file.h"

namespace {

constexpr int kStatusDone = 0;
constexpr int kStatusNoDataFile = 1;

// The program's own texts, kept byte for byte, spelling and spacing included.
constexpr const char* kOpenErrorText = "\n\n Error: could not open the requested file.";
constexpr const char* kInvalidText = "Invalid Entry";
constexpr const char* kFarewellText = "Thanks For Using Ledgerine";
constexpr const char* kMenuText =
    "\n##### MAIN MENU #####\n\n"
    "[D]isplay All Names\n"
    "[S]earch For A Record\n"
    "[E]nter A New Record\n"
    "[P]rint a Record\n"
    "[Q]uit\n"
    "Press d,s,e,p,q To Continue\n";

// Every record is already on the disk; the screen is all that is left to finish.
int end_program() {
    end_console();
    close_data_file();
    return kStatusDone;
}

// Carries out one command; false when the run is over: q, or no input left.
bool run_command(int command, const RecordTable& table, RecordViews& views) {
    switch (command) {
        case 'd':
            display_all_names(table, views);
            return true;
        case 's':
            return search_records(table, views);
        case 'e':
            return add_record();
        case 'p':
            return print_records(table, views);
        case 'q':
            write_text(kFarewellText);
            return false;
        case kEndOfInput:
            // Nobody is left to answer the menu: end quietly.
            return false;
        default:
            write_text(kInvalidText);
            return true;
    }
}

}  // namespace

int main_menu() {
    // The list and what the commands read of it (its screen texts and its index
    // by last name), for the whole run: the list loaded and indexed at start-up,
    // each screen text made when first shown. Static: too large for the stack of
    // small machines.
    static RecordTable table;
    static RecordViews views;
    // A file that cannot be read whole is as good as missing: a shortened list
    // would look like lost records.
    if (!open_data_file() || !load_records(table)) {
        write_text(kOpenErrorText);
        close_data_file();
        flush_screen();
        return kStatusNoDataFile;
    }
    begin_console();
    prepare_record_views(table, views);

    for (;;) {
        write_text(kMenuText);
        discard_pending_input();
        if (!run_command(read_command_char(), table, views)) return end_program();
    }
}
