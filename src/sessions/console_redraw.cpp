#include "sessions/console_redraw.h"

#include "sessions/text_output.h"

namespace {

// Room kept in the collected output for the lines after the sessions.
constexpr int kVerdictChars = 8192;

// The most cells a character can take on any console: two for anything outside ASCII, since a
// CJK character takes two in Windows 10's console and in Windows Terminal, and the older console
// gives two to every character that its code page writes in two bytes. A surrogate pair is one
// character.
int MostCells(wchar_t c) {
    return c < 0x80 ? 1 : IS_LOW_SURROGATE(c) ? 0 : 2;
}

// The rows a line can take, wrapped at the buffer's width as the console wraps it: never fewer
// than it does take, so that a line's last row never runs into the next line.
int RowsOf(const wchar_t* text, int length, int width) {
    int rows = 1;
    for (int i = 0, column = 0; i < length; ++i) {
        int cells = MostCells(text[i]);
        if (column + cells > width) {
            ++rows;
            column = 0;
        }
        column += cells;
    }
    return rows;
}

bool IsAscii(const ConsoleLine& line) {
    for (int i = 0; i < line.length; ++i) {
        if (line.text[i] >= 0x80) {
            return false;
        }
    }
    return true;
}

bool IsSessionLine(const ListingLayout& layout, int line) {
    for (int i = 0; i < layout.groupCount; ++i) {
        const SessionRows& rows = layout.groups[i];
        if (line >= rows.firstLine && line < rows.firstLine + rows.lines) {
            return true;
        }
    }
    return false;
}

void SplitLines(const ListingLayout& layout, int width, ConsoleListing* listing) {
    int length = 0;
    const wchar_t* text = CollectedOutput(&length);
    listing->count = 0;
    for (int start = 0; start < length && listing->count < kMaxConsoleLines;) {
        int stop = start;
        while (stop < length && text[stop] != L'\n') {
            ++stop;
        }
        ConsoleLine& line = listing->lines[listing->count];
        line = {text + start, stop - start, 0, IsSessionLine(layout, listing->count), true};
        line.rows = RowsOf(line.text, line.length, width);
        ++listing->count;
        start = stop + 1;
    }
}

void FormatMoreLine(ConsoleListing* listing, int sessions, int lines) {
    wchar_t* text = listing->moreText;
    const int room = sizeof(listing->moreText) / sizeof(wchar_t);
    int length = FormatText(text, room, "(");
    if (sessions > 0) {
        length +=
            FormatText(text + length, room - length, "%d more %hs", sessions, Sessions(sessions));
    }
    if (lines > 0) {
        length += FormatText(text + length, room - length, "%hs%d more %hs",
                             sessions > 0 ? " and " : "", lines, lines == 1 ? "line" : "lines");
    }
    length +=
        FormatText(text + length, room - length, ": enlarge the window, or redirect to a file)");
    listing->more.text = text;
    listing->more.length = length;
}

// Shows the lines of one kind, in order, while they fit in the budget; returns how many are not.
int KeepWhileTheyFit(ConsoleListing* listing, bool sessions, int* budget) {
    int hidden = 0;
    for (int i = 0; i < listing->count; ++i) {
        ConsoleLine& line = listing->lines[i];
        if (line.session != sessions) {
            continue;
        }
        line.shown = hidden == 0 && line.rows <= *budget;
        if (line.shown) {
            *budget -= line.rows;
        } else {
            ++hidden;
        }
    }
    return hidden;
}

// A listing taller than the window keeps, from its first line on, every line that is not a
// session's as far as they fit, then as many sessions as fit in the rows left; the window's last
// rows say what was left out.
void FitToWindow(ConsoleListing* listing, int room, int unprintedSessions) {
    int total = 0;
    for (int i = 0; i < listing->count; ++i) {
        total += listing->lines[i].rows;
    }
    listing->hiddenSessions = unprintedSessions;
    listing->hiddenLines = 0;
    if (total <= room && unprintedSessions == 0) {
        return;
    }
    int budget = room - listing->more.rows;
    listing->hiddenLines = KeepWhileTheyFit(listing, false, &budget);
    listing->hiddenSessions += KeepWhileTheyFit(listing, true, &budget);
}

bool BlankRows(HANDLE screen, SHORT width, int from, int to) {
    DWORD written = 0;
    return from >= to || FillConsoleOutputCharacterW(screen, L' ', (to - from) * width,
                                                     COORD{0, static_cast<SHORT>(from)}, &written);
}

// Writes a line at its row, which moves no cursor and never scrolls, and blanks the rest of the
// rows it may take, whatever a longer line left there. A line of ASCII takes exactly a cell a
// character, so its text goes first and only what follows it is blanked.
bool DrawLine(HANDLE screen, const ConsoleLine& line, SHORT width, int row, int rows) {
    const COORD at = {0, static_cast<SHORT>(row)};
    const int cells = rows * width;
    const int length = line.length < cells ? line.length : cells;
    const bool ascii = IsAscii(line);
    DWORD written = 0;
    if (!ascii && !BlankRows(screen, width, row, row + rows)) {
        return false;
    }
    if (length > 0 && !WriteConsoleOutputCharacterW(screen, line.text, length, at, &written)) {
        return false;
    }
    if (ascii && length < cells) {
        const COORD after = {static_cast<SHORT>(length % width),
                             static_cast<SHORT>(row + length / width)};
        return FillConsoleOutputCharacterW(screen, L' ', cells - length, after, &written) != FALSE;
    }
    return true;
}

bool DrawFitted(HANDLE screen, const ConsoleListing& listing, SHORT width, int top, int room,
                int* end) {
    int row = top;
    for (int i = 0; i < listing.count; ++i) {
        const ConsoleLine& line = listing.lines[i];
        if (line.shown && !DrawLine(screen, line, width, row, line.rows)) {
            return false;
        }
        row += line.shown ? line.rows : 0;
    }
    if (listing.hiddenSessions + listing.hiddenLines > 0) {
        const int rows = listing.more.rows < room ? listing.more.rows : room;
        const int moreRow = top + room - rows;
        if (!BlankRows(screen, width, row, moreRow) ||
            !DrawLine(screen, listing.more, width, moreRow, rows)) {
            return false;
        }
        row = top + room;
    }
    *end = row;
    return true;
}

void WriteLine(HANDLE output, const ConsoleLine& line) {
    WriteText(output, line.text, line.length);
    WriteText(output, L"\n", 1);
}

} // namespace

bool OpenWatchScreen(HANDLE user, WatchScreen* screen) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(user, &info)) {
        return false;
    }
    HANDLE own =
        CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
    if (own == INVALID_HANDLE_VALUE) {
        return false;
    }
    // As tall and wide as the window, so nothing is out of sight. A buffer is never smaller than
    // its window: whichever of the two is too big for the other gives way first.
    const SMALL_RECT window = {0, 0, static_cast<SHORT>(info.srWindow.Right - info.srWindow.Left),
                               static_cast<SHORT>(info.srWindow.Bottom - info.srWindow.Top)};
    const COORD size = {static_cast<SHORT>(window.Right + 1),
                        static_cast<SHORT>(window.Bottom + 1)};
    SetConsoleScreenBufferSize(own, size);
    SetConsoleWindowInfo(own, TRUE, &window);
    SetConsoleScreenBufferSize(own, size);
    CONSOLE_CURSOR_INFO cursor;
    if (GetConsoleCursorInfo(own, &cursor)) {
        cursor.bVisible = FALSE;
        SetConsoleCursorInfo(own, &cursor);
    }
    if (!SetConsoleActiveScreenBuffer(own)) {
        CloseHandle(own);
        return false;
    }
    screen->user = user;
    screen->own = own;
    screen->size = COORD{0, 0};
    screen->top = -1;
    screen->end = 0;
    screen->shown.count = 0;
    return true;
}

int SessionTextForWindow(const WatchScreen& screen) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(screen.own, &info)) {
        return 1;
    }
    int cells = (info.srWindow.Bottom - info.srWindow.Top + 1) * info.dwSize.X;
    return cells < kOutputChars - kVerdictChars ? cells : kOutputChars - kVerdictChars;
}

bool DrawListing(WatchScreen* screen, const ListingLayout& layout) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(screen->own, &info)) {
        return false;
    }
    const SHORT width = info.dwSize.X;
    const int top = info.srWindow.Top;
    const int room = info.srWindow.Bottom - info.srWindow.Top + 1;
    ConsoleListing& listing = screen->shown;
    SplitLines(layout, width, &listing);
    // The note in its widest form, to measure.
    FormatMoreLine(&listing, listing.count + layout.unprintedSessions, listing.count);
    listing.more.rows = RowsOf(listing.more.text, listing.more.length, width);
    FitToWindow(&listing, room, layout.unprintedSessions);
    FormatMoreLine(&listing, listing.hiddenSessions, listing.hiddenLines);
    // A resize may have moved or rewrapped every row: start again from a blank buffer.
    if (info.dwSize.X != screen->size.X || info.dwSize.Y != screen->size.Y || top != screen->top) {
        if (!BlankRows(screen->own, width, 0, info.dwSize.Y)) {
            return false;
        }
        screen->end = 0;
    }
    int end = top;
    if (!DrawFitted(screen->own, listing, width, top, room, &end) ||
        !BlankRows(screen->own, width, end, screen->end)) {
        return false;
    }
    screen->size = info.dwSize;
    screen->top = static_cast<SHORT>(top);
    screen->end = static_cast<SHORT>(end);
    return true;
}

void CloseWatchScreen(WatchScreen* screen) {
    SetConsoleActiveScreenBuffer(screen->user);
    CloseHandle(screen->own);
    screen->own = nullptr;
    const ConsoleListing& listing = screen->shown;
    for (int i = 0; i < listing.count; ++i) {
        if (listing.lines[i].shown) {
            WriteLine(screen->user, listing.lines[i]);
        }
    }
    if (listing.hiddenSessions + listing.hiddenLines > 0) {
        WriteLine(screen->user, listing.more);
    }
}
