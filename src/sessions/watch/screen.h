#pragma once

#include <windows.h>
#include <mmdeviceapi.h>

#include "common/unique_handle.h"
#include "sessions/watch/fitted_listing.h"

// A watch's screen on a console, fitted to the window and drawn over every second. In the
// classic console window it is a screen buffer of the watch's own, the size of the window: every
// row is written at its place, which never moves the cursor or scrolls, and the user's buffer and
// scrollback stay as they were. In a pseudo console (Windows Terminal, and any terminal that runs
// console programs through ConPTY) it is the terminal's alternate screen, drawn with virtual
// terminal sequences alone, which always has the size of the window: the user's screen and
// scrollback stay with the terminal, whatever characters and colours they hold.
struct WatchScreen {
    bool terminal;
    HANDLE output;  // the user's screen buffer, or the terminal's output
    HANDLE console; // whose window the screen has the size of
    // Line feeds that return the carriage and rows that wrap, whatever a parent left; the mode
    // the user had is given back at the end.
    HANDLE moded;
    DWORD userMode;
    // The classic console resizes only the buffer it shows, and its own way: the height only
    // grows, and the width follows the window only where it rewraps rows on resize. The sizes
    // it left when it last refused to fit them (none once a fitting succeeded), whether it
    // narrowed this buffer with the window, and the buffer, window and rows of the last drawing.
    UniqueHandle own;
    COORD refusedWindow;
    COORD refusedBuffer;
    bool rewraps;
    COORD size;
    SHORT top;
    SHORT end;
    // The terminal's window's width when the alternate screen was entered.
    SHORT width;
    // The listing drawn last, written below the user's rows at the end.
    ConsoleListing shown;
};

// Makes a screen buffer of the window's size and shows it instead of the user's. False when the
// console does not allow it.
bool OpenClassicScreen(HANDLE user, WatchScreen* screen);

// Turns on virtual terminal processing where console (the output itself, but in tests) takes it,
// enters the alternate screen in the default colours, hides the cursor and turns off the wrap at
// the end of a row: every row is placed by the watch itself. Until the screen is closed, a crash
// gives the terminal back too. False when the console refuses or the output is gone.
bool OpenTerminalScreen(HANDLE output, HANDLE console, WatchScreen* screen);

// Collects one listing for the window's size now and draws it over the last one. False when the
// console or the output is gone.
bool DrawClassicScreen(WatchScreen* screen, const wchar_t* target, IMMDeviceEnumerator* devices);
bool DrawTerminalScreen(WatchScreen* screen, const wchar_t* target, IMMDeviceEnumerator* devices);
inline bool DrawWatchScreen(WatchScreen* screen, const wchar_t* target,
                            IMMDeviceEnumerator* devices) {
    return screen->terminal ? DrawTerminalScreen(screen, target, devices)
                            : DrawClassicScreen(screen, target, devices);
}

// Gives the user's screen back (the classic console's window keeps the size the user last gave
// it), then writes the last listing as the window showed it below the user's rows: from the
// screen's last row where the terminal's width changed, as the terminal then reflowed the user's
// rows and the cursor it puts back may stand above some of them. Then gives the mode back.
void CloseClassicScreen(WatchScreen* screen);
void CloseTerminalScreen(WatchScreen* screen);
inline void CloseWatchScreen(WatchScreen* screen) {
    if (screen->terminal) {
        CloseTerminalScreen(screen);
    } else {
        CloseClassicScreen(screen);
    }
    WriteShownLines(screen->output, screen->shown);
    SetConsoleMode(screen->moded, screen->userMode);
}

// Line feeds that return the carriage and rows that wrap, whatever a parent left.
inline DWORD LineMode(DWORD userMode) {
    return (userMode | ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT) &
           ~DISABLE_NEWLINE_AUTO_RETURN;
}
