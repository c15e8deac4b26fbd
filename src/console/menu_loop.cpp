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
        bool input_left = true;
        switch (read_command_char()) {
            case 'd':
                display_all_names(table, views);
                break;
            case 's':
                input_left = search_records(table, views);
                break;
            case 'e':
                input_left = add_record();
                break;
            case 'p':
                input_left = print_records(table, views);
                break;
            case 'q':
                write_text(kFarewellText);
                return end_program();
            case kEndOfInput:
                // Nobody is left to answer the menu: end quietly.
                return end_program();
            default:
                write_text(kInvalidText);
                break;
        }
        if (!input_left) return end_program();
    }
}
