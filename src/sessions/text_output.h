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

// Appends formatted text to the standard output's buffer; written out by FlushOutput, or when
// the buffer fills.
void Print(const char* format, ...);

// Writes what Print collected to the standard output and empties the buffer. False when the
// output is gone, as when the program reading a pipe has ended.
bool FlushOutput();

// What Print has collected and not yet written, for a caller that writes it out its own way and
// then forgets it with DiscardOutput.
const wchar_t* CollectedOutput(int* length);
int CollectedLineCount();
void DiscardOutput();

// While held, Print never writes out by itself: a listing drawn on a console is collected whole,
// and what no longer fits in the buffer is dropped rather than written outside the drawing.
void HoldOutput(bool hold);

// While set, Print drops what it is given: rows that are counted but cannot be shown.
void DropOutput(bool drop);

// Formats into a buffer of room characters, always terminated; returns the length.
int FormatText(wchar_t* buffer, int room, const char* format, ...);

// Writes a formatted text to the standard error at once.
void PrintError(const char* format, ...);

// The cells the text takes in Windows Terminal: two for a wide character, none for a combining
// one.
int CellsOf(const wchar_t* text, int length);

// The cells the text's first character takes in Windows Terminal, with what joins it (marks,
// joiners, variation selectors), and in *units the UTF-16 units they span.
int NextCharCells(const wchar_t* text, int length, int* units);

// True when the handle is a console rather than a file or a pipe.
bool IsConsole(HANDLE handle);

// Writes text to the handle: through WriteConsoleW to a console, as UTF-8 to anything else.
// False when a write failed.
bool WriteText(HANDLE handle, const wchar_t* text, int length);

// A peak level as the listing shows it: at most three significant digits, "NaN" for not a
// number. Fills text[kPeakChars].
constexpr int kPeakChars = 24;
void FormatPeak(float peak, wchar_t* text);
