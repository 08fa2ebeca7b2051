#include "sessions/console_listing.h"

#include "sessions/text_output.h"
#include "sessions/texts.h"

namespace {

// Room kept in the collected output for the lines after the sessions.
constexpr int kVerdictChars = 8192;

// Two cells for anything outside ASCII: a CJK character takes two in Windows 10's console, and
// the older console gives two to every character that its code page writes in two bytes. A
// surrogate pair is one character.
int MostCells(const wchar_t* text, int length, int* units) {
    *units = IS_HIGH_SURROGATE(text[0]) && length > 1 ? 2 : 1;
    return text[0] < 0x80 ? 1 : 2;
}

int RowsOf(const wchar_t* text, int length, int width, CellCount count) {
    int rows = 1;
    int cells = 0;
    for (int start = RowEnd(text, length, 0, width, count, &cells); start < length; ++rows) {
        start = RowEnd(text, length, start, width, count, &cells);
    }
    return rows;
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

void SplitLines(const ListingLayout& layout, int width, CellCount count, ConsoleListing* listing) {
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
        line.rows = RowsOf(line.text, line.length, width, count);
        ++listing->count;
        start = stop + 1;
    }
}

void FormatMoreLine(ConsoleListing* listing, int sessions, int lines) {
    wchar_t* text = listing->moreText;
    const int room = sizeof(listing->moreText) / sizeof(wchar_t);
    int length = FormatText(text, room, Text().moreStart);
    if (sessions > 0) {
        length += FormatText(text + length, room - length, Text().moreCount, sessions,
                             Sessions(sessions));
    }
    if (lines > 0) {
        length += FormatText(text + length, room - length, sessions > 0 ? Text().moreAnd : "");
        length += FormatText(text + length, room - length, Text().moreCount, lines,
                             lines == 1 ? Text().line : Text().lines);
    }
    length += FormatText(text + length, room - length, Text().moreEnd);
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

// Where the console wraps at once (virtual terminal processing off), a row that fills the width
// has already moved the cursor to the next row: a line feed there would add a blank row.
void WriteLine(HANDLE output, const ConsoleLine& line) {
    WriteText(output, line.text, line.length);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (line.length > 0 && GetConsoleScreenBufferInfo(output, &info) &&
        info.dwCursorPosition.X == 0) {
        return;
    }
    WriteText(output, L"\n", 1);
}

} // namespace

COORD WindowSize(const CONSOLE_SCREEN_BUFFER_INFO& info) {
    return {static_cast<SHORT>(info.srWindow.Right - info.srWindow.Left + 1),
            static_cast<SHORT>(info.srWindow.Bottom - info.srWindow.Top + 1)};
}

int RowEnd(const wchar_t* text, int length, int start, int width, CellCount count, int* cells) {
    int end = start;
    *cells = 0;
    while (end < length) {
        int units = 1;
        int next = count == kTerminalCells ? NextCharCells(text + end, length - end, &units)
                                           : MostCells(text + end, length - end, &units);
        if (*cells + next > width && end > start) {
            break;
        }
        *cells += next;
        end += units;
    }
    return end;
}

void FitListing(const ListingLayout& layout, COORD window, CellCount count,
                ConsoleListing* listing) {
    SplitLines(layout, window.X, count, listing);
    // The note in its widest form, to measure.
    FormatMoreLine(listing, listing->count + layout.unprintedSessions, listing->count);
    listing->more.rows = RowsOf(listing->more.text, listing->more.length, window.X, count);
    FitToWindow(listing, window.Y, layout.unprintedSessions);
    // What was left out, measured again, so that it ends on the window's last row.
    FormatMoreLine(listing, listing->hiddenSessions, listing->hiddenLines);
    listing->more.rows = RowsOf(listing->more.text, listing->more.length, window.X, count);
}

bool IsListingCut(const ConsoleListing& listing) {
    return listing.hiddenSessions + listing.hiddenLines > 0;
}

int SessionTextForWindow(COORD window) {
    int cells = window.X * window.Y;
    return cells < kOutputChars - kVerdictChars ? cells : kOutputChars - kVerdictChars;
}

void WriteShownLines(HANDLE output, const ConsoleListing& listing) {
    for (int i = 0; i < listing.count; ++i) {
        if (listing.lines[i].shown) {
            WriteLine(output, listing.lines[i]);
        }
    }
    if (IsListingCut(listing)) {
        WriteLine(output, listing.more);
    }
}

void PrintLocalTime(bool console) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    Print("%04d-%02d-%02d %02d:%02d:%02d%hs\n", now.wYear, now.wMonth, now.wDay, now.wHour,
          now.wMinute, now.wSecond, console ? Text().everySecond : "");
}

void CollectListing(const wchar_t* target, IMMDeviceEnumerator* devices, COORD window,
                    ListingLayout* layout) {
    DiscardOutput();
    PrintLocalTime(true);
    *layout = {};
    layout->sessionTextLimit = SessionTextForWindow(window);
    ListSessions(target, devices, layout);
}
