#pragma once

#include <windows.h>

#include "sessions/session_listing.h"

// Lines of one listing that a console window can show; any beyond share the last record.
constexpr int kMaxConsoleLines = 256;

// One line of a listing, the rows it takes and whether the window shows it.
struct ConsoleLine {
    const wchar_t* text;
    int length;
    int rows;
    bool session;
    bool shown;
};

// A listing as a console window shows it: every line that is not a session's as far as they fit,
// as many session rows as leave room, and a last row saying what was left out.
struct ConsoleListing {
    int count;
    ConsoleLine lines[kMaxConsoleLines];
    int hiddenSessions;
    int hiddenLines;
    wchar_t moreText[160];
    ConsoleLine more;
};

// While a watch runs, its listings are drawn on a screen buffer of its own, the size of the
// window, so that the user's buffer and its scrollback stay as they were; every row is written
// at its place, which never moves the cursor or scrolls, whatever the console's modes.
struct WatchScreen {
    HANDLE user; // the user's screen buffer, shown again when the watch ends
    HANDLE own;
    COORD size; // the buffer's size when the last listing was drawn
    SHORT top;  // the window's first row then
    SHORT end;  // the row below the last listing
    ConsoleListing shown;
};

// Makes a screen buffer of the window's size and shows it instead of user's. False when the
// console does not allow it.
bool OpenWatchScreen(HANDLE user, WatchScreen* screen);

// Draws what Print collected, fitted to the window, over the last listing, and keeps it until
// the next. The whole buffer is blanked first when its size or the window moved. False when the
// console is gone.
bool DrawListing(WatchScreen* screen, const ListingLayout& layout);

// The session text worth collecting for the window: no more can be shown.
int SessionTextForWindow(const WatchScreen& screen);

// Shows the user's buffer again, frees the watch's own, and writes the last listing as the
// window showed it below what the user had, so that it can still be read.
void CloseWatchScreen(WatchScreen* screen);
