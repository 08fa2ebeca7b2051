#pragma once

#include <windows.h>

#include "sessions/console_listing.h"

// In the classic console window, a watch draws its listings on a screen buffer of its own, the
// size of the window, so that the user's buffer and its scrollback stay as they were; every row
// is written at its place, which never moves the cursor or scrolls, whatever the console's modes.
// The console resizes only the buffer it shows, so the watch's buffer is set to the window's
// size whenever the user has changed it.
struct WatchScreen {
    HANDLE user; // the user's screen buffer, shown again when the watch ends
    HANDLE own;
    COORD fitted; // the window size that the buffer was last fitted to
    COORD size;   // the buffer's size when the last listing was drawn
    SHORT top;    // the window's first row then
    SHORT end;    // the row below the last listing
    ConsoleListing shown;
};

// Makes a screen buffer of the window's size and shows it instead of user's. False when the
// console does not allow it.
bool OpenWatchScreen(HANDLE user, WatchScreen* screen);

// The window's size now; false when the console is gone.
bool ReadWatchWindow(const WatchScreen& screen, COORD* window);

// Draws what Print collected, fitted to the window, over the last listing, and keeps it until
// the next. The whole buffer is blanked first when its size or the window moved. False when the
// console is gone.
bool DrawListing(WatchScreen* screen, const ListingLayout& layout);

// Shows the user's buffer again in a window of the size the user last gave it, frees the watch's
// own, and writes the last listing as the window showed it below what the user had, so that it
// can still be read.
void CloseWatchScreen(WatchScreen* screen);
