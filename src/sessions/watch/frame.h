#pragma once

#include "sessions/output/cells.h"
#include "sessions/output/listing.h"

// What a console window shows of a listing: the whole listing where it fits; otherwise every
// line that is not a session's as far as they fit, from the first on, as many session rows as
// leave room, and at the window's foot a line saying what was left out. The watch keeps no more
// session rows in a listing than the window is tall (ReadWatchListing), and the classic console's
// buffer is fitted to its window apart (FitBufferToWindow).

// A line at its place: its first row, and the rows it takes.
struct ShownLine {
    const wchar_t* text;
    int length, row, rows;
};

struct Frame {
    int count;
    ShownLine lines[kMaxListingLines + 1];
    wchar_t moreText[160];
};

// The size of a console's window, in cells; 0 by 0 where it cannot be read.
COORD WindowSize(const CONSOLE_SCREEN_BUFFER_INFO& info);
COORD WindowSizeOf(HANDLE console);

// Fits the listing to a window of that size, its rows counted as count says.
void FitListing(const Listing& listing, COORD window, CellCount count, Frame* frame);

// Paints the frame from the window's first row: each line with paint(line), and blank(from, to)
// on the rows between two lines. Returns the row below the last line.
template <typename Paint, typename Blank>
int PaintFrame(const Frame& frame, Paint paint, Blank blank) {
    int row = 0;
    for (int i = 0; i < frame.count; ++i) {
        const ShownLine& line = frame.lines[i];
        if (line.row > row) {
            blank(row, line.row);
        }
        paint(line);
        row = line.row + line.rows;
    }
    return row;
}

// Writes the frame's lines one after another, where the user can still read them once the watch
// has ended, each ending in one line feed whether or not the console wrapped at once after a row
// that fills the width.
void WriteFrame(HANDLE output, const Frame& frame);
