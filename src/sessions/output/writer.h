#pragma once

#include <windows.h>

// The companion's text goes out whole: a console gets UTF-16 through WriteConsoleW, a file or a
// pipe gets UTF-8 without a byte-order mark.

// True when the handle is a console rather than a file or a pipe.
bool IsConsole(HANDLE handle);

// Writes text to the handle at once: through WriteConsoleW to a console, as UTF-8 to anything
// else. False when a write failed.
bool WriteText(HANDLE handle, const wchar_t* text, int length);

// Writes a formatted text to the standard error at once.
void PrintError(const char* format, ...);

// Text on its way to a handle, written out when the buffer fills and by Flush, in as few writes
// as it takes, so that a terminal seldom shows a frame half drawn. A failed write is kept.
constexpr int kWriterChars = 8192;
struct Writer {
    HANDLE handle;
    bool failed;
    int length;
    wchar_t text[kWriterChars];
};

void Write(Writer* writer, const wchar_t* text, int length);
void WriteFormatted(Writer* writer, const char* format, ...);

// Writes out what the writer holds. False once a write has failed, as when the program reading a
// pipe has ended.
bool Flush(Writer* writer);
