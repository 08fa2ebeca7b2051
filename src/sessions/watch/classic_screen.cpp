#include "sessions/watch/screen.h"

#include <algorithm>

namespace {

bool IsSameSize(COORD size, COORD other) {
    return size.X == other.X && size.Y == other.Y;
}

// A buffer is never smaller than its window, so whichever dimensions grow or shrink, the buffer
// grows first in those that grow, then the window takes its place, then the buffer its size.
bool ResizeBuffer(HANDLE buffer, COORD size, const SMALL_RECT& window) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(buffer, &info)) {
        return false;
    }
    const COORD grown = {std::max(info.dwSize.X, size.X), std::max(info.dwSize.Y, size.Y)};
    return SetConsoleScreenBufferSize(buffer, grown) &&
           SetConsoleWindowInfo(buffer, TRUE, &window) && SetConsoleScreenBufferSize(buffer, size);
}

bool SetBufferToWindow(HANDLE buffer, COORD window) {
    const SMALL_RECT at = {0, 0, static_cast<SHORT>(window.X - 1),
                           static_cast<SHORT>(window.Y - 1)};
    return ResizeBuffer(buffer, window, at);
}

// A refusal is not asked again every second: the sizes the last fitting left are remembered,
// and while the window and the buffer keep them, the buffer stays as the console left it.
bool FitBufferToWindow(ClassicScreen* screen, CONSOLE_SCREEN_BUFFER_INFO* info) {
    if (IsSameSize(info->dwSize, WindowSize(*info)) ||
        (IsSameSize(screen->fittedWindow, WindowSize(*info)) &&
         IsSameSize(screen->fittedBuffer, info->dwSize))) {
        return true;
    }
    SetBufferToWindow(screen->own.Get(), WindowSize(*info));
    if (!GetConsoleScreenBufferInfo(screen->own.Get(), info)) {
        return false;
    }
    screen->fittedWindow = WindowSize(*info);
    screen->fittedBuffer = info->dwSize;
    return true;
}

// The window keeps the size the user gave it during the watch. The user's buffer grows to it,
// and narrows with it only where the console rewraps rows on resize, as it would have done
// itself; elsewhere narrowing would cut the user's rows. As the console does when it shrinks a
// window, the cursor stays in sight: the last listing and the next prompt follow it there.
void GiveUserTheWindow(HANDLE user, COORD window, bool rewraps) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(user, &info)) {
        return;
    }
    if (!IsSameSize(WindowSize(info), window)) {
        const COORD size = {rewraps ? window.X : std::max(info.dwSize.X, window.X),
                            std::max(info.dwSize.Y, window.Y)};
        const SHORT top = std::min<SHORT>(info.srWindow.Top, size.Y - window.Y);
        const SMALL_RECT at = {0, top, static_cast<SHORT>(window.X - 1),
                               static_cast<SHORT>(top + window.Y - 1)};
        // Rewrapped rows move the cursor too.
        if (!ResizeBuffer(user, size, at) || !GetConsoleScreenBufferInfo(user, &info)) {
            return;
        }
    }
    // The window moves by as many rows as the cursor stands above it or below it.
    const int row = info.dwCursorPosition.Y;
    const SHORT by = static_cast<SHORT>(std::min(0, row - info.srWindow.Top) +
                                        std::max(0, row - info.srWindow.Bottom));
    const SMALL_RECT moved = {0, by, 0, by};
    SetConsoleWindowInfo(user, FALSE, &moved);
}

// The cell so many cells from the start of a buffer width cells wide.
COORD CellAt(int cell, SHORT width) {
    return {static_cast<SHORT>(cell % width), static_cast<SHORT>(cell / width)};
}

// Blanks the cells from one to another, counted from the buffer's start.
bool BlankCells(HANDLE screen, SHORT width, int from, int to) {
    DWORD written = 0;
    return from >= to ||
           FillConsoleOutputCharacterW(screen, L' ', to - from, CellAt(from, width), &written);
}

// A classic console gives up to two cells to any character outside ASCII; ASCII takes exactly
// one a character.
bool IsAscii(const ShownLine& line) {
    for (int i = 0; i < line.length; ++i) {
        if (line.text[i] >= 0x80) {
            return false;
        }
    }
    return true;
}

// Writes a line at its row, which moves no cursor and never scrolls, once the rows it may take
// are blank, whatever a longer line left there: all of them, or, where the line is ASCII and its
// cells are known, those after its text.
bool DrawLine(HANDLE screen, const ShownLine& line, SHORT width, int top) {
    const int start = (top + line.row) * width, cells = line.rows * width;
    const int length = line.length < cells ? line.length : cells;
    DWORD written = 0;
    return BlankCells(screen, width, start + (IsAscii(line) ? length : 0), start + cells) &&
           (length == 0 || WriteConsoleOutputCharacterW(screen, line.text, length,
                                                        CellAt(start, width), &written));
}

} // namespace

bool OpenClassicScreen(HANDLE user, DWORD userMode, ClassicScreen* screen) {
    const COORD window = WindowSizeOf(user);
    if (window.X == 0) {
        return false;
    }
    screen->own.Reset(CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                CONSOLE_TEXTMODE_BUFFER, nullptr));
    HANDLE own = screen->own.Get();
    if (!screen->own) {
        return false;
    }
    // As tall and wide as the window, so nothing is out of sight.
    SetBufferToWindow(own, window);
    const CONSOLE_CURSOR_INFO hidden = {25, FALSE};
    SetConsoleCursorInfo(own, &hidden);
    if (!SetConsoleActiveScreenBuffer(own)) {
        return false;
    }
    screen->user = user;
    // The console rewraps the rows of a buffer that wraps at the end of a row when its window
    // narrows ("wrap text output on resize"); the rows of one that does not, it cuts.
    screen->rewraps = (userMode & ENABLE_WRAP_AT_EOL_OUTPUT) != 0;
    return true;
}

bool DrawClassicScreen(ClassicScreen* screen, const Listing& listing, Frame* frame) {
    HANDLE own = screen->own.Get();
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(own, &info) || !FitBufferToWindow(screen, &info)) {
        return false;
    }
    const SHORT width = info.dwSize.X;
    const int top = info.srWindow.Top;
    FitListing(listing, WindowSize(info), kMostCells, frame);
    // Every row that no line takes is blanked: a resize may have moved or rewrapped any of them.
    bool drawn = BlankCells(own, width, 0, top * width);
    const int end = PaintFrame(
        *frame, [&](const ShownLine& line) { drawn &= DrawLine(own, line, width, top); },
        [&](int from, int to) {
            drawn &= BlankCells(own, width, (top + from) * width, (top + to) * width);
        });
    return drawn && BlankCells(own, width, (top + end) * width, info.dwSize.X * info.dwSize.Y);
}

void CloseClassicScreen(ClassicScreen* screen, const Frame& shown) {
    // The font the user picked during the watch went to the watch's buffer alone.
    CONSOLE_FONT_INFOEX font = {};
    font.cbSize = sizeof(font);
    if (GetCurrentConsoleFontEx(screen->own.Get(), FALSE, &font)) {
        SetCurrentConsoleFontEx(screen->user, FALSE, &font);
    }
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(screen->own.Get(), &info)) {
        GiveUserTheWindow(screen->user, WindowSize(info), screen->rewraps);
    }
    SetConsoleActiveScreenBuffer(screen->user);
    screen->own.Reset(nullptr);
    WriteFrame(screen->user, shown);
}
