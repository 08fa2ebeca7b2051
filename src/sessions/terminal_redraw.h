#pragma once

#include <windows.h>

#include "sessions/console_listing.h"

// In a pseudo console (Windows Terminal, and any terminal that runs console programs through
// ConPTY) a watch draws with virtual terminal sequences alone, on the terminal's alternate
// screen, which always has the size of the window: the user's screen and scrollback stay with
// the terminal, untouched, whatever characters and colours they hold. The console mode that
// makes the sequences work is the caller's to set and to restore.
struct TerminalScreen {
    HANDLE output;
    ConsoleListing shown;
};

// Enters the alternate screen, hides the cursor and turns off the wrap at the end of a row:
// every row is placed by the watch itself. False when the output is gone.
bool OpenTerminalScreen(HANDLE output, TerminalScreen* screen);

// Draws what Print collected, fitted to a window of that size, over the whole screen: every row
// at its place, what is left of it after its text cleared, and every row below the listing.
// False when the output is gone.
bool DrawTerminalListing(TerminalScreen* screen, COORD window, const ListingLayout& layout);

// Leaves the alternate screen, which gives the user's screen back as it was, shows the cursor
// again and writes the last listing as the window showed it below the user's rows.
void CloseTerminalScreen(TerminalScreen* screen);
