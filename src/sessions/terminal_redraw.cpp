#include "sessions/terminal_redraw.h"

#include "sessions/text_output.h"

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
LPTOP_LEVEL_EXCEPTION_FILTER g_nextFilter;

bool FlushFrame() {
    g_frame.failed |= !WriteText(g_frame.output, g_frame.text, g_frame.length);
    g_frame.length = 0;
    return !g_frame.failed;
}

void Emit(const wchar_t* text, int length) {
    for (int i = 0; i < length; ++i) {
        // Full, or full but for the second half of a surrogate pair, which goes with its first.
        if (g_frame.length == kFrameChars ||
            (g_frame.length == kFrameChars - 1 && !IS_LOW_SURROGATE(text[i]))) {
            FlushFrame();
        }
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
        int end = RowEnd(line.text, line.length, start, width, kTerminalCells, &cells);
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

// A watch that crashes gives the terminal back before it goes.
LONG WINAPI LeaveOnCrash(EXCEPTION_POINTERS* exception) {
    WriteText(g_frame.output, kLeaveSequences, sizeof(kLeaveSequences) / sizeof(wchar_t) - 1);
    return g_nextFilter != nullptr ? g_nextFilter(exception) : EXCEPTION_CONTINUE_SEARCH;
}

bool ReadWindow(HANDLE console, COORD* window) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(console, &info)) {
        return false;
    }
    *window = WindowSize(info);
    return true;
}

} // namespace

bool OpenTerminalScreen(HANDLE output, HANDLE console, TerminalScreen* screen) {
    COORD window = {};
    if (!ReadWindow(console, &window)) {
        return false;
    }
    screen->output = output;
    screen->console = console;
    screen->width = window.X;
    screen->shown.count = 0;
    g_frame.output = output;
    g_frame.failed = false;
    g_nextFilter = SetUnhandledExceptionFilter(LeaveOnCrash);
    // The alternate screen in the default colours, no cursor, no wrap at the end of a row.
    EmitSequence("\x1b[?1049h\x1b[m\x1b[?25l\x1b[?7l");
    return FlushFrame();
}

bool DrawTerminalListing(TerminalScreen* screen, const wchar_t* target,
                         IMMDeviceEnumerator* devices) {
    COORD window = {};
    if (!ReadWindow(screen->console, &window)) {
        return false;
    }
    ListingLayout layout = {};
    CollectListing(target, devices, window, &layout);
    ConsoleListing& listing = screen->shown;
    FitListing(layout, window, kTerminalCells, &listing);
    int row = 0;
    for (int i = 0; i < listing.count; ++i) {
        const ConsoleLine& line = listing.lines[i];
        if (line.shown) {
            DrawRows(line, window.X, row, line.rows);
            row += line.rows;
        }
    }
    ClearFromRow(row, window.Y);
    if (IsListingCut(listing)) {
        const int rows = listing.more.rows < window.Y ? listing.more.rows : window.Y;
        DrawRows(listing.more, window.X, window.Y - rows, rows);
    }
    return FlushFrame();
}

void CloseTerminalScreen(TerminalScreen* screen) {
    Emit(kLeaveSequences, sizeof(kLeaveSequences) / sizeof(wchar_t) - 1);
    COORD window = {};
    if (!ReadWindow(screen->console, &window) || window.X != screen->width) {
        EmitSequence("\x1b[9999;1H\n");
    }
    FlushFrame();
    SetUnhandledExceptionFilter(g_nextFilter);
    WriteShownLines(screen->output, screen->shown);
}
