// The program's entry. Arguments are ignored: the program has no options.
#include <cstdio>

#include "console/menu_loop.h"
#include "platform/platform.h"

namespace {
constexpr std::size_t kScreenBufferSize = std::size_t{64} * 1024;
}

int main() {
    platform_prepare_process();
    // The console routines flush before every wait for input, so a terminal
    // needs no line buffering and a script gets few large writes. Without the
    // buffer the program is only slower.
    (void)std::setvbuf(stdout, nullptr, _IOFBF, kScreenBufferSize);
    return main_menu();
}
