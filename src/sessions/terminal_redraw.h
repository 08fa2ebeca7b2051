#pragma once

#include <windows.h>
#include <mmdeviceapi.h>

#include "sessions/console_listing.h"

// In a pseudo console (Windows Terminal, and any terminal that runs console programs through
// ConPTY) a watch draws with virtual terminal sequences alone, on the terminal's alternate
// screen, which always has the size of the window: the user's screen and scrollback stay with
// the terminal, untouched, whatever characters and colours they hold. The console mode that
// makes the sequences work is the caller's to set and to restore.
struct TerminalScreen {
    HANDLE output;
    HANDLE console; // whose window the screen has the size of: the output itself, but in tests
    SHORT width;    // the window's width when the alternate screen was entered
    ConsoleListing shown;
};

// Enters the alternate screen in the default colours, hides the cursor and turns off the wrap at
// the end of a row: every row is placed by the watch itself. Until the screen is closed, a crash
// leaves the alternate screen too. False when the output is gone.
bool OpenTerminalScreen(HANDLE output, HANDLE console, TerminalScreen* screen);

// Collects one listing for the window's size now and draws it over the whole screen: each row
// erased and then written at its place, and every row below the listing erased. False when the
// output or the console is gone.
bool DrawTerminalListing(TerminalScreen* screen, const wchar_t* target,
                         IMMDeviceEnumerator* devices);

// Leaves the alternate screen, which gives the user's screen back as it was, shows the cursor
// again and writes the last listing as the window showed it below the user's rows: from the
// screen's last row where the window's width changed, as the terminal then reflowed the user's
// rows and the cursor it puts back may stand above some of them.
void CloseTerminalScreen(TerminalScreen* screen);
