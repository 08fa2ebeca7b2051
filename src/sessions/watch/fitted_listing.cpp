#include "sessions/watch/fitted_listing.h"

#include "sessions/listing/session_listing.h"
#include "sessions/output/texts.h"

namespace {

// Room kept in the collected output for the lines after the sessions.
constexpr int kVerdictChars = 8192;

void FormatMoreLine(ConsoleListing* listing, int sessions, int lines) {
    const Texts& text = Text();
    const char* const sessionWord = Plural(sessions, text.session, text.sessions);
    const char* const lineWord = Plural(lines, text.line, text.lines);
    const int room = sizeof(listing->moreText) / sizeof(wchar_t);
    listing->more.text = listing->moreText;
    listing->more.length =
        sessions > 0 && lines > 0
            ? FormatText(listing->moreText, room, text.moreBoth, sessions, sessionWord, lines,
                         lineWord)
            : FormatText(listing->moreText, room, text.more, sessions > 0 ? sessions : lines,
                         sessions > 0 ? sessionWord : lineWord);
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
void FitToWindow(ConsoleListing* listing, int room, int leftOut) {
    int total = 0;
    for (int i = 0; i < listing->count; ++i) {
        total += listing->lines[i].rows;
    }
    listing->hiddenSessions = leftOut;
    listing->hiddenLines = 0;
    if (total <= room && leftOut == 0) {
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

bool ReadWindowSize(HANDLE console, COORD* window) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(console, &info)) {
        return false;
    }
    *window = WindowSize(info);
    return true;
}

void PrintLocalTime(bool console) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    Print("%04d-%02d-%02d %02d:%02d:%02d%hs\n", now.wYear, now.wMonth, now.wDay, now.wHour,
          now.wMinute, now.wSecond, console ? Text().everySecond : "");
}

void CollectFittedListing(const wchar_t* target, IMMDeviceEnumerator* devices, COORD window,
                          CellCount count, ConsoleListing* listing) {
    CollectLines(true);
    PrintLocalTime(true);
    // No window shows more than a cell a character.
    const int cells = window.X * window.Y;
    SessionRoom room = {cells < kOutputChars - kVerdictChars ? cells : kOutputChars - kVerdictChars,
                        0, 0};
    ListSessions(target, devices, &room);
    const CollectedLine* lines = nullptr;
    listing->count = CollectedLines(&lines);
    for (int i = 0; i < listing->count; ++i) {
        listing->lines[i] = {lines[i].text, lines[i].length,
                             RowsOf(lines[i].text, lines[i].length, window.X, count),
                             lines[i].session, true};
    }
    // The line that says what was left out, measured in its widest form to keep room for it,
    // then again as it is, so that it ends on the window's last row.
    FormatMoreLine(listing, listing->count + room.leftOut, listing->count);
    listing->more.rows = RowsOf(listing->more.text, listing->more.length, window.X, count);
    FitToWindow(listing, window.Y, room.leftOut);
    FormatMoreLine(listing, listing->hiddenSessions, listing->hiddenLines);
    listing->more.rows = RowsOf(listing->more.text, listing->more.length, window.X, count);
}

bool IsListingCut(const ConsoleListing& listing) {
    return listing.hiddenSessions + listing.hiddenLines > 0;
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
