#pragma once

#include <windows.h>

#include "sessions/session_listing.h"

// Where the last listing stands on the console, so that each one is drawn over the last.
struct ConsoleRedraw {
    bool started;
    SHORT top;  // its first row
    SHORT end;  // the row below it, where it left the cursor
    COORD size; // the buffer's size when it was drawn
};

// Draws what Print collected over the last listing, every position taken from the console, and
// forgets it. Each row is blank beyond its text, the rows the last listing had below this one
// are blanked, and nothing above it is touched. A listing taller than the window shows as many
// session rows as fit and a line saying how many more there are. False when the console is gone.
bool DrawListing(HANDLE console, const ListingLayout& layout, ConsoleRedraw* redraw);
