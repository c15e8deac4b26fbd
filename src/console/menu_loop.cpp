// The main menu: one command byte per line, dispatched to the four commands.
#include "console/menu_loop.h"

#include <cstdio>

#include "console/console_io.h"
#include "console/printer_output.h"
#include "console/record_entry.h"
#include "console/record_views.h"
#include "record_store/data_file.h"

namespace {

constexpr int kStatusDone = 0;
constexpr int kStatusNoDataFile = 1;

constexpr const char* kMenuText =
    "\n##### MAIN MENU #####\n\n"
    "[D]isplay All Names\n"
    "[S]earch For A Record\n"
    "[E]nter A New Record\n"
    "[P]rint a Record\n"
    "[Q]uit\n"
    "Press d,s,e,p,q To Continue\n";

// Only ever filled at start-up; too large for the stack of small machines.
RecordTable g_table;

// Every record is already on the disk; the screen is all that is left to finish.
int end_program() {
    flush_screen();
    close_data_file();
    return kStatusDone;
}

}  // namespace

int main_menu() {
    if (!open_data_file()) {
        (void)std::fflush(stdout);
        return kStatusNoDataFile;
    }
    load_records(g_table);
    prepare_record_views(g_table);
    begin_console_input();

    for (;;) {
        write_text(kMenuText);
        discard_pending_input();
        bool input_goes_on = true;
        switch (read_command_char()) {
            case 'd':
                display_all_names(g_table);
                break;
            case 's':
                input_goes_on = search_records(g_table);
                break;
            case 'e':
                input_goes_on = add_record();
                break;
            case 'p':
                input_goes_on = print_records(g_table);
                break;
            case 'q':
                write_text("Thanks For Using Ledgerine");
                return end_program();
            case kEndOfInput:
                // Nobody is left to answer the menu: end quietly.
                return end_program();
            default:
                write_text("Invalid Entry");
                break;
        }
        if (!input_goes_on) return end_program();
    }
}
