#include "sessions/watch/screen.h"

namespace {

// A frame is written in as few writes as it takes (WriteText cuts it into writes of 4,096
// characters), so that a terminal seldom shows one half drawn.
constexpr int kFrameChars = 8192;

// The main screen, the cursor and the wrap at the end of a row, as the user had them.
const wchar_t kLeaveSequences[] = L"\x1b[?7h\x1b[?25h\x1b[?1049l";

struct Frame {
    HANDLE output;
    int length;
    bool failed;
    wchar_t text[kFrameChars];
};

Frame g_frame;
// The screen a crash gives back, and the filter that was there before.
const WatchScreen* g_open;
LPTOP_LEVEL_EXCEPTION_FILTER g_nextFilter;

bool FlushFrame() {
    g_frame.failed |= !WriteText(g_frame.output, g_frame.text, g_frame.length);
    g_frame.length = 0;
    return !g_frame.failed;
}

// A text that does not fit goes after what the frame holds, whole.
void Emit(const wchar_t* text, int length) {
    if (g_frame.length + length > kFrameChars) {
        FlushFrame();
    }
    if (length > kFrameChars) {
        g_frame.failed |= !WriteText(g_frame.output, text, length);
        return;
    }
    for (int i = 0; i < length; ++i) {
        g_frame.text[g_frame.length++] = text[i];
    }
}

void EmitSequence(const char* format, int value = 0) {
    wchar_t sequence[32];
    Emit(sequence, FormatText(sequence, 32, format, value));
}

// Rows and columns count from 1 in the sequences.
void MoveToRow(int row) {
    EmitSequence("\x1b[%d;1H", row + 1);
}

// Each row of the line at its place, erased first: with the wrap at the end of a row off, a
// character in the last column leaves the cursor on it, and erasing from there would take it.
void DrawRows(const ConsoleLine& line, int width, int row, int rows) {
    for (int start = 0, r = 0; r < rows; ++r) {
        int cells = 0;
        const int end = RowEnd(line.text, line.length, start, width, kTerminalCells, &cells);
        MoveToRow(row + r);
        EmitSequence("\x1b[2K");
        Emit(line.text + start, end - start);
        start = end;
    }
}

// Erases every row from this one down.
void ClearFromRow(int row, int height) {
    if (row < height) {
        MoveToRow(row);
        EmitSequence("\x1b[J");
    }
}

// A watch that crashes gives the terminal and the console's mode back before it goes.
LONG WINAPI LeaveOnCrash(EXCEPTION_POINTERS* exception) {
    WriteText(g_frame.output, kLeaveSequences, sizeof(kLeaveSequences) / sizeof(wchar_t) - 1);
    SetConsoleMode(g_open->moded, g_open->userMode);
    return g_nextFilter != nullptr ? g_nextFilter(exception) : EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

bool OpenTerminalScreen(HANDLE output, HANDLE console, WatchScreen* screen) {
    COORD window = {};
    DWORD mode = 0;
    if (!ReadWindowSize(console, &window) || !GetConsoleMode(console, &mode) ||
        !SetConsoleMode(console, LineMode(mode) | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) {
        return false;
    }
    screen->terminal = true;
    screen->output = output;
    screen->console = console;
    screen->moded = console;
    screen->userMode = mode;
    screen->width = window.X;
    screen->shown.count = 0;
    g_frame.output = output;
    g_frame.failed = false;
    g_open = screen;
    g_nextFilter = SetUnhandledExceptionFilter(LeaveOnCrash);
    // The alternate screen in the default colours, no cursor, no wrap at the end of a row.
    EmitSequence("\x1b[?1049h\x1b[m\x1b[?25l\x1b[?7l");
    if (!FlushFrame()) {
        SetUnhandledExceptionFilter(g_nextFilter);
        SetConsoleMode(console, mode);
        return false;
    }
    return true;
}

bool DrawTerminalScreen(WatchScreen* screen, const wchar_t* target, IMMDeviceEnumerator* devices) {
    COORD window = {};
    if (!ReadWindowSize(screen->console, &window)) {
        return false;
    }
    CollectFittedListing(target, devices, window, kTerminalCells, &screen->shown);
    const int end = PaintListing(
        screen->shown, window.Y,
        [&](const ConsoleLine& line, int row, int rows) { DrawRows(line, window.X, row, rows); },
        [&](int from, int) { ClearFromRow(from, window.Y); });
    ClearFromRow(end, window.Y);
    return FlushFrame();
}

void CloseTerminalScreen(WatchScreen* screen) {
    Emit(kLeaveSequences, sizeof(kLeaveSequences) / sizeof(wchar_t) - 1);
    COORD window = {};
    if (!ReadWindowSize(screen->console, &window) || window.X != screen->width) {
        EmitSequence("\x1b[9999;1H\n");
    }
    FlushFrame();
    SetUnhandledExceptionFilter(g_nextFilter);
}
