// The builds for other CPUs have no line editor to link: there a terminal is
// read as a pipe is, a line at a time as the terminal's own line input gives it.
#include "platform/console_input_posix.h"

bool line_editor_built() { return false; }
bool line_editor_start() { return false; }
std::size_t line_editor_read(std::string_view, char*, std::size_t) { return 0; }
void line_editor_end() {}
