#include "sessions/watch/frame.h"

#include "sessions/output/texts.h"

namespace {

ShownLine FormatMoreLine(Frame* frame, int sessions, int lines, COORD window, CellCount count) {
    const char* const lineWord = Plural(lines, Text().lines);
    // One kind left out takes the first two arguments; both take all four.
    const int length = FormatText(
        frame->moreText, ARRAYSIZE(frame->moreText),
        sessions > 0 && lines > 0 ? Text().moreBoth : Text().more, sessions > 0 ? sessions : lines,
        sessions > 0 ? Plural(sessions, Text().sessions) : lineWord, lines, lineWord);
    return {frame->moreText, length, 0, RowsOf(frame->moreText, length, window.X, count)};
}

// Shows the lines of one kind, in order, while they fit in the budget; returns how many are not.
int KeepWhileTheyFit(const Listing& listing, bool sessions, const int* rows, bool* shown,
                     int* budget) {
    int hidden = 0;
    for (int i = 0; i < listing.count; ++i) {
        if ((listing.lines[i].kind == kSessionLine) != sessions) {
            continue;
        }
        shown[i] = hidden == 0 && rows[i] <= *budget;
        *budget -= shown[i] ? rows[i] : 0;
        hidden += shown[i] ? 0 : 1;
    }
    return hidden;
}

} // namespace

COORD WindowSize(const CONSOLE_SCREEN_BUFFER_INFO& info) {
    return {static_cast<SHORT>(info.srWindow.Right - info.srWindow.Left + 1),
            static_cast<SHORT>(info.srWindow.Bottom - info.srWindow.Top + 1)};
}

COORD WindowSizeOf(HANDLE console) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    return GetConsoleScreenBufferInfo(console, &info) ? WindowSize(info) : COORD{};
}

void FitListing(const Listing& listing, COORD window, CellCount count, Frame* frame) {
    int rows[kMaxListingLines];
    bool shown[kMaxListingLines];
    int total = 0;
    for (int i = 0; i < listing.count; ++i) {
        rows[i] = RowsOf(listing.lines[i].text, listing.lines[i].length, window.X, count);
        total += rows[i];
    }
    int hiddenSessions = listing.sessionsLeftOut, hiddenLines = listing.linesLeftOut;
    // The line that says what was left out, where something is, measured in its widest form to
    // keep room for it, then again as it is, so that it ends on the window's last row.
    ShownLine more = FormatMoreLine(frame, listing.count + hiddenSessions,
                                    listing.count + hiddenLines, window, count);
    const bool whole = total <= window.Y && hiddenSessions + hiddenLines == 0;
    int budget = window.Y - (whole ? 0 : more.rows);
    hiddenLines += KeepWhileTheyFit(listing, false, rows, shown, &budget);
    hiddenSessions += KeepWhileTheyFit(listing, true, rows, shown, &budget);
    more = FormatMoreLine(frame, hiddenSessions, hiddenLines, window, count);
    frame->count = 0;
    for (int i = 0, row = 0; i < listing.count; ++i) {
        if (shown[i]) {
            frame->lines[frame->count++] = {listing.lines[i].text, listing.lines[i].length, row,
                                            rows[i]};
            row += rows[i];
        }
    }
    if (hiddenSessions + hiddenLines > 0) {
        more.rows = more.rows < window.Y ? more.rows : window.Y;
        more.row = window.Y - more.rows;
        frame->lines[frame->count++] = more;
    }
}

void WriteFrame(HANDLE output, const Frame& frame) {
    for (int i = 0; i < frame.count; ++i) {
        const ShownLine& line = frame.lines[i];
        WriteText(output, line.text, line.length);
        // Where the console wraps at once (virtual terminal processing off), a row that fills the
        // width has already moved the cursor to the next row: a line feed there would add a blank
        // row.
        CONSOLE_SCREEN_BUFFER_INFO info;
        if (line.length == 0 || !GetConsoleScreenBufferInfo(output, &info) ||
            info.dwCursorPosition.X != 0) {
            WriteText(output, L"\n", 1);
        }
    }
}
