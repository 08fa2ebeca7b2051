#pragma once

#include <windows.h>

// The companion's text goes out whole: a console gets UTF-16 through WriteConsoleW, a file or a
// pipe gets UTF-8 without a byte-order mark.

// The companion's own texts are narrow UTF-8 strings, which keeps the executable small. They
// are widened as they are formatted, with the conventions of msvcrt's wide functions: %s is a
// wide string (a name or a path from Windows, or a text from the command line), whose control
// characters are shown as U+FFFD, %hs a narrow one of the companion's; and a field's width
// counts the cells its characters take on a terminal, not the characters.

// Characters that Print collects before it writes them out.
constexpr int kOutputChars = 32768;
// The longest line: the usage text.
constexpr int kLineChars = 2048;

// Appends formatted text to the standard output's buffer; written out by FlushOutput, or when
// the buffer fills.
void Print(const char* format, ...);

// Writes what Print collected to the standard output and empties the buffer. False when the
// output is gone, as when the program reading a pipe has ended.
bool FlushOutput();

// A line built piece by piece and printed whole.
struct LineText {
    wchar_t text[kLineChars];
    int length;
};
void Append(LineText* line, const char* format, ...);

// Prints the line and a line feed; a listing collected for a console knows it as a session's
// line when session is true.
void PrintLine(const LineText& line, bool session);

// A listing collected for a console window. While collecting, Print never writes out: it keeps
// each line it completes, and what no longer fits is dropped rather than written outside the
// drawing.
struct CollectedLine {
    const wchar_t* text;
    int length;
    bool session;
};
constexpr int kMaxCollectedLines = 256;

// Starts collecting afresh, or ends it; what was collected is discarded either way.
void CollectLines(bool collect);
// The lines collected so far.
int CollectedLines(const CollectedLine** lines);

// Formats into a buffer of room characters, always terminated; returns the length.
int FormatText(wchar_t* buffer, int room, const char* format, ...);

// Writes a formatted text to the standard error at once.
void PrintError(const char* format, ...);

// True when the handle is a console rather than a file or a pipe.
bool IsConsole(HANDLE handle);

// Writes text to the handle: through WriteConsoleW to a console, as UTF-8 to anything else.
// False when a write failed.
bool WriteText(HANDLE handle, const wchar_t* text, int length);

// A peak level as the listing shows it: at most three significant digits, "NaN" for not a
// number. Fills text[kPeakChars].
constexpr int kPeakChars = 24;
void FormatPeak(float peak, wchar_t* text);
