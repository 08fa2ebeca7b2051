#pragma once

#include <windows.h>
#include <mmdeviceapi.h>

#include "sessions/output/cells.h"
#include "sessions/output/print.h"

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
    ConsoleLine lines[kMaxCollectedLines];
    int hiddenSessions;
    int hiddenLines;
    wchar_t moreText[160];
    ConsoleLine more;
};

// The size of the console's window, in cells.
COORD WindowSize(const CONSOLE_SCREEN_BUFFER_INFO& info);
// The size of the console's window now; false when the console is gone.
bool ReadWindowSize(HANDLE console, COORD* window);

// Prints the local time that starts each listing of a watch, with a note on a console.
void PrintLocalTime(bool console);

// Collects one listing for a window of that size, the local time first and no more sessions than
// the window could show, and fits it to the window, its rows counted as count says.
void CollectFittedListing(const wchar_t* target, IMMDeviceEnumerator* devices, COORD window,
                          CellCount count, ConsoleListing* listing);

bool IsListingCut(const ConsoleListing& listing);

// Paints a fitted listing on a window height rows tall, from its first row: each shown line with
// paint(line, row, rows), then, where lines were left out, blank(from, to) on the rows left and
// the line that says so at the window's foot. Returns the row below what it painted.
template <typename Paint, typename Blank>
int PaintListing(const ConsoleListing& listing, int height, Paint paint, Blank blank) {
    int row = 0;
    for (int i = 0; i < listing.count; ++i) {
        if (listing.lines[i].shown) {
            paint(listing.lines[i], row, listing.lines[i].rows);
            row += listing.lines[i].rows;
        }
    }
    if (!IsListingCut(listing)) {
        return row;
    }
    const int rows = listing.more.rows < height ? listing.more.rows : height;
    blank(row, height - rows);
    paint(listing.more, height - rows, rows);
    return height;
}

// Writes the lines that the window showed one after another, where the user can still read
// them once the watch has ended, each ending in one line feed whether or not the console wrapped
// at once after a row that fills the width.
void WriteShownLines(HANDLE output, const ConsoleListing& listing);
