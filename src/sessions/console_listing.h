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

// The size of the console's window, in cells.
COORD WindowSize(const CONSOLE_SCREEN_BUFFER_INFO& info);

// How the cells of a row are counted: as a terminal counts them, or as the most that any classic
// console gives a character (two for anything outside ASCII, whatever its code page), so that a
// row never takes more than the rows kept for it.
enum CellCount { kTerminalCells, kMostCells };

// The end of the row that starts at text[start]: as many characters as fit in width cells, and
// at least one. Their cells go to *cells.
int RowEnd(const wchar_t* text, int length, int start, int width, CellCount count, int* cells);

// Splits what Print collected into lines, counts the rows each takes in the window's width, and
// fits them to its height.
void FitListing(const ListingLayout& layout, COORD window, CellCount count,
                ConsoleListing* listing);

bool IsListingCut(const ConsoleListing& listing);

// The session text worth collecting for a window of that size: no more can be shown.
int SessionTextForWindow(COORD window);

// Writes the lines that the window showed one after another, where the user can still read
// them once the watch has ended, each ending in one line feed whether or not the console wrapped
// at once after a row that fills the width.
void WriteShownLines(HANDLE output, const ConsoleListing& listing);

// Prints the local time that starts each listing of a watch, with a note on a console.
void PrintLocalTime(bool console);

// Collects, while output is held, one listing as a console window of that size shows it: the
// local time, then the sessions, no more of them than the window could show.
void CollectListing(const wchar_t* target, IMMDeviceEnumerator* devices, COORD window,
                    ListingLayout* layout);
