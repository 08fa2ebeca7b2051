#include "sessions/console_redraw.h"

#include "sessions/text_output.h"

namespace {

// Lines of one listing that are measured one by one; any beyond share the last record.
constexpr int kMaxLines = 256;
// Enough rows to measure any one line, whose path has at most 259 characters.
constexpr SHORT kMeasureRows = 64;

// One line of a listing, and the rows it takes at the console's width.
struct ListingLine {
    const wchar_t* text;
    int length;
    int rows;
};

// A listing as a console window shows it: as many session rows as fit, and a line for the rest.
struct ConsoleListing {
    int count;
    ListingLine lines[kMaxLines];
    ListingLayout layout;
    int shownSessions;
    wchar_t moreText[160];
    ListingLine more;
};

void SplitLines(ConsoleListing* listing) {
    int length = 0;
    const wchar_t* text = CollectedOutput(&length);
    listing->count = 0;
    for (int start = 0; start < length;) {
        int stop = start;
        while (stop < length && text[stop] != L'\n') {
            ++stop;
        }
        if (listing->count == kMaxLines - 1) {
            stop = length; // the rest, newlines and all, is written as one
        }
        listing->lines[listing->count++] = {text + start, stop - start, 1};
        start = stop + 1;
    }
    ListingLayout& layout = listing->layout;
    layout.firstSessionLine =
        layout.firstSessionLine < listing->count ? layout.firstSessionLine : 0;
    int after = listing->count - layout.firstSessionLine;
    layout.sessionLines = layout.sessionLines < after ? layout.sessionLines : after;
}

// The rows a line takes, as the console itself wraps it in a screen buffer that is never shown:
// a character of two cells counts as two, however many characters the line has.
int RowsOf(HANDLE scratch, const wchar_t* text, int length) {
    SetConsoleCursorPosition(scratch, COORD{0, 0});
    WriteText(scratch, text, length);
    CONSOLE_SCREEN_BUFFER_INFO info;
    return GetConsoleScreenBufferInfo(scratch, &info) ? info.dwCursorPosition.Y + 1 : 1;
}

void MeasureRows(HANDLE console, const CONSOLE_SCREEN_BUFFER_INFO& info, ConsoleListing* listing) {
    HANDLE scratch = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                               CONSOLE_TEXTMODE_BUFFER, nullptr);
    if (scratch == INVALID_HANDLE_VALUE) {
        return; // each line counts as one row
    }
    SHORT windowRows = info.srWindow.Bottom - info.srWindow.Top + 1;
    SetConsoleScreenBufferSize(
        scratch, COORD{info.dwSize.X, windowRows > kMeasureRows ? windowRows : kMeasureRows});
    DWORD mode = 0;
    if (GetConsoleMode(console, &mode)) {
        SetConsoleMode(scratch, mode);
    }
    for (int i = 0; i < listing->count; ++i) {
        listing->lines[i].rows = RowsOf(scratch, listing->lines[i].text, listing->lines[i].length);
    }
    listing->more.rows = RowsOf(scratch, listing->more.text, listing->more.length);
    CloseHandle(scratch);
}

void FormatMoreLine(ConsoleListing* listing, int hidden) {
    listing->more.text = listing->moreText;
    listing->more.length =
        FormatText(listing->moreText, 160,
                   "%7hs  (%d more %hs: make the window taller, or redirect to a file)", "", hidden,
                   Sessions(hidden));
}

int RowsOfLines(const ConsoleListing& listing, int from, int to) {
    int rows = 0;
    for (int i = from; i < to; ++i) {
        rows += listing.lines[i].rows;
    }
    return rows;
}

// Keeps as many session rows as leave room in the window for the rest of the listing, so that
// a tall listing is never scrolled through every second. Returns the rows it then takes.
int FitToWindow(ConsoleListing* listing, int room) {
    const int first = listing->layout.firstSessionLine;
    const int sessions = listing->layout.sessionLines;
    const int total = RowsOfLines(*listing, 0, listing->count);
    listing->shownSessions = sessions;
    if (total <= room) {
        return total;
    }
    int budget =
        room - (total - RowsOfLines(*listing, first, first + sessions)) - listing->more.rows;
    int shown = 0;
    while (shown < sessions && listing->lines[first + shown].rows <= budget) {
        budget -= listing->lines[first + shown].rows;
        ++shown;
    }
    listing->shownSessions = shown;
    FormatMoreLine(listing, sessions - shown);
    return room - budget;
}

// Writes one line and blanks the rest of its last row, whatever a longer line left there.
bool DrawRow(HANDLE console, const ListingLine& line) {
    if (!WriteText(console, line.text, line.length)) {
        return false;
    }
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(console, &info)) {
        DWORD written = 0;
        FillConsoleOutputCharacterW(console, L' ', info.dwSize.X - info.dwCursorPosition.X,
                                    info.dwCursorPosition, &written);
    }
    return WriteText(console, L"\n", 1);
}

bool DrawLines(HANDLE console, const ConsoleListing& listing) {
    const int hiddenFrom = listing.layout.firstSessionLine + listing.shownSessions;
    const int hiddenTo = listing.layout.firstSessionLine + listing.layout.sessionLines;
    for (int i = 0; i < listing.count; ++i) {
        bool hidden = i >= hiddenFrom && i < hiddenTo;
        if (hidden && i == hiddenFrom && !DrawRow(console, listing.more)) {
            return false;
        }
        if (!hidden && !DrawRow(console, listing.lines[i])) {
            return false;
        }
    }
    return true;
}

// The first listing starts on a row of its own at the cursor. So does the first after the
// buffer was resized, which may have moved the rows: it goes below the last one.
void StartAtCursor(HANDLE console, CONSOLE_SCREEN_BUFFER_INFO* info, ConsoleRedraw* redraw) {
    if (info->dwCursorPosition.X != 0) {
        WriteText(console, L"\n", 1);
        GetConsoleScreenBufferInfo(console, info);
    }
    redraw->started = true;
    redraw->top = info->dwCursorPosition.Y;
    redraw->end = redraw->top;
    redraw->size = info->dwSize;
}

// A listing that does not fit below its start moves up, as any console output does: newlines
// on the buffer's last row scroll it once, and the rows above go up with it, nothing cleared.
void MakeRoom(HANDLE console, const CONSOLE_SCREEN_BUFFER_INFO& info, int rows,
              ConsoleRedraw* redraw) {
    const SHORT lastRow = info.dwSize.Y - 1;
    int over = redraw->top + rows - lastRow;
    if (over <= 0) {
        return;
    }
    SetConsoleCursorPosition(console, COORD{0, lastRow});
    for (int i = 0; i < over; ++i) {
        WriteText(console, L"\n", 1);
    }
    redraw->top = static_cast<SHORT>(redraw->top > over ? redraw->top - over : 0);
    redraw->end = static_cast<SHORT>(redraw->end > over ? redraw->end - over : 0);
}

// Blanks the rows that the last listing had below this one.
void BlankRowsBelow(HANDLE console, ConsoleRedraw* redraw) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(console, &info)) {
        return;
    }
    const SHORT end = info.dwCursorPosition.Y;
    if (redraw->end > end) {
        DWORD written = 0;
        FillConsoleOutputCharacterW(console, L' ', (redraw->end - end) * info.dwSize.X,
                                    COORD{0, end}, &written);
    }
    redraw->end = end;
}

} // namespace

bool DrawListing(HANDLE console, const ListingLayout& layout, ConsoleRedraw* redraw) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(console, &info)) {
        return FlushOutput();
    }
    if (!redraw->started || info.dwSize.X != redraw->size.X || info.dwSize.Y != redraw->size.Y) {
        StartAtCursor(console, &info, redraw);
    }
    ConsoleListing listing = {};
    listing.layout = layout;
    SplitLines(&listing);
    FormatMoreLine(&listing, layout.sessionLines); // its widest count, to measure
    MeasureRows(console, info, &listing);
    // The row below the listing, where the cursor waits, is in the window too.
    int rows = FitToWindow(&listing, info.srWindow.Bottom - info.srWindow.Top);
    MakeRoom(console, info, rows, redraw);
    SetConsoleCursorPosition(console, COORD{0, redraw->top});
    bool drawn = DrawLines(console, listing);
    DiscardOutput();
    BlankRowsBelow(console, redraw);
    return drawn;
}
