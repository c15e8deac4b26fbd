// The program itself: start-up, the main menu loop, and the exit status.
#pragma once

// Opens and loads the data file, then runs the menu until Quit or the end of the
// console input. Returns the exit status: 0 after either, 1 when the data file
// cannot be opened.
int main_menu();
