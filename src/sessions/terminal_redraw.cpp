#include "sessions/terminal_redraw.h"

#include "sessions/text_output.h"

namespace {

// A frame is written whole, or in as few writes as it takes, so that a terminal seldom shows one
// half drawn.
constexpr int kFrameChars = 8192;

struct Frame {
    HANDLE output;
    int length;
    bool failed;
    wchar_t text[kFrameChars];
};

Frame g_frame;

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

// Each row of the line at its place. A row that fills the window's width leaves the cursor on
// its last column, waiting to wrap: clearing "to the end of the line" there would take the row's
// last character, so only a shorter row has the rest of it cleared.
void DrawRows(const ConsoleLine& line, int width, int row, int rows) {
    for (int start = 0, r = 0; r < rows; ++r) {
        int cells = 0;
        int end = RowEnd(line.text, line.length, start, width, kTerminalCells, &cells);
        MoveToRow(row + r);
        Emit(line.text + start, end - start);
        if (cells < width) {
            EmitSequence("\x1b[K");
        }
        start = end;
    }
}

// Clears every row from this one down.
void ClearFromRow(int row, int height) {
    if (row < height) {
        MoveToRow(row);
        EmitSequence("\x1b[J");
    }
}

} // namespace

bool OpenTerminalScreen(HANDLE output, TerminalScreen* screen) {
    screen->output = output;
    screen->shown.count = 0;
    g_frame.output = output;
    g_frame.failed = false;
    // The alternate screen, no cursor, no wrap at the end of a row.
    EmitSequence("\x1b[?1049h\x1b[?25l\x1b[?7l");
    return FlushFrame();
}

bool DrawTerminalListing(TerminalScreen* screen, COORD window, const ListingLayout& layout) {
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
    EmitSequence("\x1b[?7h\x1b[?25h\x1b[?1049l");
    FlushFrame();
    WriteShownLines(screen->output, screen->shown);
}
