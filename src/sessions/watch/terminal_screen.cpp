#include "sessions/watch/screen.h"

namespace {

// The main screen, the cursor and the wrap at the end of a row, as the user had them.
const wchar_t kLeaveSequences[] = L"\x1b[?7h\x1b[?25h\x1b[?1049l";

// An exception filter is called with nothing of ours: the screen a crash gives back, while one is
// open, and the filter that was there before.
const TerminalScreen* g_open;
LPTOP_LEVEL_EXCEPTION_FILTER g_nextFilter;

// Each row of the line at its place, erased first: with the wrap at the end of a row off, a
// character in the last column leaves the cursor on it, and erasing from there would take it.
// Rows count from 1 in the sequences.
void DrawRows(Writer* writer, const ShownLine& line, int width, CellCount count) {
    for (int start = 0, r = 0; r < line.rows; ++r) {
        int cells = 0;
        const int end = RowEnd(line.text, line.length, start, width, count, &cells);
        WriteFormatted(writer, "\x1b[%d;1H\x1b[2K", line.row + r + 1);
        Write(writer, line.text + start, end - start);
        start = end;
    }
}

// Erases every row from this one down.
void ClearFromRow(Writer* writer, int row, int height) {
    if (row < height) {
        WriteFormatted(writer, "\x1b[%d;1H\x1b[J", row + 1);
    }
}

// A watch that crashes gives the terminal and the console's mode back before it goes.
LONG WINAPI LeaveOnCrash(EXCEPTION_POINTERS* exception) {
    HANDLE output = g_open->writer->handle;
    WriteText(output, kLeaveSequences, ARRAYSIZE(kLeaveSequences) - 1);
    SetConsoleMode(output, g_open->userMode);
    return g_nextFilter != nullptr ? g_nextFilter(exception) : EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

bool OpenTerminalScreen(Writer* writer, DWORD userMode, COORD window, TerminalScreen* screen) {
    // Windows Terminal names its session; behind any other terminal the console may be an older
    // one that gives every code point a cell of its own.
    const bool windowsTerminal = GetEnvironmentVariableW(L"WT_SESSION", nullptr, 0) > 0;
    *screen = {writer, userMode, window.X, windowsTerminal ? kTerminalCells : kCodePointCells};
    // The alternate screen in the default colours, no cursor, no wrap at the end of a row.
    WriteFormatted(writer, "\x1b[?1049h\x1b[m\x1b[?25l\x1b[?7l");
    if (!Flush(writer)) {
        return false;
    }
    g_open = screen;
    g_nextFilter = SetUnhandledExceptionFilter(LeaveOnCrash);
    return true;
}

bool DrawTerminalScreen(TerminalScreen* screen, const Listing& listing, COORD window,
                        Frame* frame) {
    Writer* writer = screen->writer;
    FitListing(listing, window, screen->count, frame);
    const int end = PaintFrame(
        *frame, [&](const ShownLine& line) { DrawRows(writer, line, window.X, screen->count); },
        [&](int from, int) { ClearFromRow(writer, from, window.Y); });
    ClearFromRow(writer, end, window.Y);
    return Flush(writer);
}

void CloseTerminalScreen(TerminalScreen* screen, COORD window, const Frame& shown) {
    Write(screen->writer, kLeaveSequences, ARRAYSIZE(kLeaveSequences) - 1);
    if (window.X < screen->width) {
        WriteFormatted(screen->writer, "\x1b[9999;1H\n");
    }
    Flush(screen->writer);
    SetUnhandledExceptionFilter(g_nextFilter);
    g_open = nullptr;
    WriteFrame(screen->writer->handle, shown);
}
