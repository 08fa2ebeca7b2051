#include "trace/trace.h"

#include <wchar.h>

void FormatTraceLine(wchar_t* line, const SYSTEMTIME& time, const wchar_t* format, va_list args) {
    ZeroMemory(line, kTraceLineChars * sizeof(wchar_t));
    // msvcrt's _snwprintf and _vsnwprintf read %s as a wide string in wide formats. They write
    // no terminator when they truncate, which the zeroed buffer and the reserved tail cover.
    _snwprintf(line, kTraceLineChars - 1, L"%02d-%02d-%02d %02d:%02d:%02d  ", time.wYear,
               time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond);
    size_t stampLength = wcslen(line);
    // Keep the last two characters for "\n" and the terminator.
    size_t messageRoom = kTraceLineChars - 2 - stampLength;
    _vsnwprintf(line + stampLength, messageRoom, format, args);
    wcscat(line, L"\n");
}

void TraceLine(const wchar_t* format, ...) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t line[kTraceLineChars];
    va_list args;
    va_start(args, format);
    FormatTraceLine(line, now, format, args);
    va_end(args);
    OutputDebugStringW(line);
}

void TraceRaw(const wchar_t* text) {
    OutputDebugStringW(text);
}
