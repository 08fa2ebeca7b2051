#pragma once

#include "common/unique_handle.h"
#include "sessions/output/writer.h"
#include "sessions/watch/frame.h"

// A watch's screen, fitted to the window and drawn over every second; each console model keeps
// its own. Both fill the frame they draw, which the watch writes below the user's rows at the end.

// The classic console window: a screen buffer of the watch's own, the size of the window. Every
// row is written at its place, which never moves the cursor or scrolls, and the user's buffer
// and scrollback stay as they were. The console resizes only the buffer it shows, and its own
// way: the height only grows, and the width follows the window only where it rewraps rows on
// resize. The screen keeps the window's and the buffer's sizes as the last fitting left them,
// apart where the console refused it, and whether the console rewraps the user's rows.
struct ClassicScreen {
    HANDLE user;
    UniqueHandle own;
    COORD fittedWindow, fittedBuffer;
    bool rewraps;
};

// Makes a screen buffer of the window's size and shows it instead of the user's, whose mode was
// userMode. False when the console does not allow it.
bool OpenClassicScreen(HANDLE user, DWORD userMode, ClassicScreen* screen);

// Fits the buffer to the window as it is now, then the listing to it, and draws it over the
// last one, every row of the buffer written or blanked. False when the console is gone.
bool DrawClassicScreen(ClassicScreen* screen, const Listing& listing, Frame* frame);

// Shows the user's buffer again, with the window the size the user last gave it, the font the
// user last picked, and the cursor in sight, then the frame shown last below the user's rows.
void CloseClassicScreen(ClassicScreen* screen, const Frame& shown);

// A pseudo console (Windows Terminal, and any terminal that runs console programs through
// ConPTY): the terminal's alternate screen, drawn with virtual terminal sequences alone, which
// always has the size of the window; the user's screen and scrollback stay with the terminal,
// whatever characters and colours they hold. The screen keeps the writer it draws through, the
// window's width when it was entered, the output's mode as the user had it, which a crash gives
// back, and how the terminal counts cells.
struct TerminalScreen {
    Writer* writer;
    DWORD userMode;
    SHORT width;
    CellCount count;
};

// Enters the alternate screen in the default colours, hides the cursor and turns off the wrap
// at the end of a row: every row is placed by the watch itself. Until the screen is closed, a
// crash gives the terminal back too. False when the output is gone.
bool OpenTerminalScreen(Writer* writer, DWORD userMode, COORD window, TerminalScreen* screen);

// Fits the listing to a window of that size and draws it over the last one. False when the
// output is gone.
bool DrawTerminalScreen(TerminalScreen* screen, const Listing& listing, COORD window, Frame* frame);

// Leaves the alternate screen. Where the window became narrower, the terminal rewrapped the
// user's rows, and the cursor it puts back may stand above some of them: the cursor goes below
// the screen's last row. After a widening the rows only unwrapped, and the cursor follows them.
// Then the frame shown last follows the user's rows.
void CloseTerminalScreen(TerminalScreen* screen, COORD window, const Frame& shown);
