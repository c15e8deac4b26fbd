// The program's entry. Arguments are ignored: the program has no options.
#include "console/menu_loop.h"
#include "platform/platform.h"

int main() {
    platform_prepare_process();
    platform_prepare_console();
    return main_menu();
}
