#pragma once

#include <windows.h>
#include <mmdeviceapi.h>

#include "sessions/console_listing.h"

// In the classic console window, a watch draws its listings on a screen buffer of its own, the
// size of the window, so that the user's buffer and its scrollback stay as they were; every row
// is written at its place, which never moves the cursor or scrolls, whatever the console's modes.
// The console resizes only the buffer it shows, and its own way: the height only grows, and the
// width follows the window only where the console rewraps rows on resize. So the watch's buffer
// is set to the window's size whenever the two differ.
struct WatchScreen {
    HANDLE user; // the user's screen buffer, shown again when the watch ends
    HANDLE own;
    // The window's and the buffer's sizes that the console left when it last refused to fit
    // them; none once a fitting succeeded.
    COORD refusedWindow;
    COORD refusedBuffer;
    bool rewraps; // the console narrowed this buffer with the window
    COORD size;   // the buffer's size when the last listing was drawn
    SHORT top;    // the window's first row then
    SHORT end;    // the row below the last listing
    ConsoleListing shown;
};

// Makes a screen buffer of the window's size and shows it instead of user's. False when the
// console does not allow it.
bool OpenWatchScreen(HANDLE user, WatchScreen* screen);

// Fits the buffer to the window, collects one listing for the window's size and draws it over
// the last one, and keeps it until the next. The whole buffer is blanked first when its size or
// the window moved. False when the console is gone.
bool DrawListing(WatchScreen* screen, const wchar_t* target, IMMDeviceEnumerator* devices);

// Shows the user's buffer again in a window of the size the user last gave it, frees the watch's
// own, and writes the last listing as the window showed it below what the user had, so that it
// can still be read.
void CloseWatchScreen(WatchScreen* screen);
