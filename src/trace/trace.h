#pragma once

#include <windows.h>

#include <stdarg.h>

constexpr int kTraceLineChars = 1024; // terminator included

// Writes "<local time>  <message>\n" to the debugger output channel. The format follows the
// msvcrt wide conventions: %s is a wide string, %d a signed integer.
void TraceLine(const wchar_t* format, ...);

// Writes text to the debugger output channel unchanged: no time stamp, no added newline.
void TraceRaw(const wchar_t* text);

// Builds a trace line for the given time into line[kTraceLineChars]. An overlong message is cut
// so that the line still ends with "\n" and a terminator.
void FormatTraceLine(wchar_t* line, const SYSTEMTIME& time, const wchar_t* format, va_list args);
