#pragma once

#include <windows.h>

#include <stdarg.h>

// The companion's own texts are narrow UTF-8 strings, which keeps the executable small. They are
// widened as they are formatted, with the conventions of msvcrt's wide functions: %s is a wide
// string (a name or a path from Windows, or a text from the command line), whose control
// characters are shown as U+FFFD, %hs a narrow one of the companion's; %d, %u, %lu, %X and %lX
// are numbers. A conversion may have a '-' or '0' and a width, which counts the cells its
// characters take on a terminal, not the characters, so that columns line up.

// The longest format, and the longest line built piece by piece.
constexpr int kLineChars = 2048;

// Formats into a buffer of room characters, always terminated; returns the length.
int FormatText(wchar_t* buffer, int room, const char* format, ...);
int FormatTextV(wchar_t* buffer, int room, const char* format, va_list args);

// A line built piece by piece.
struct LineText {
    wchar_t text[kLineChars];
    int length;
};
void Append(LineText* line, const char* format, ...);
