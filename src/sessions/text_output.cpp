#include "sessions/text_output.h"

#include <stdarg.h>
#include <wchar.h>

namespace {

// Old consoles refuse large writes; files and pipes take any size, but a chunk keeps the
// UTF-8 bytes on the stack.
constexpr int kWriteChars = 4096;
constexpr int kLineChars = 2048; // the usage text is the longest

wchar_t g_output[kOutputChars];
int g_outputLength;
bool g_holdOutput;
bool g_dropOutput;

// msvcrt's _vsnwprintf reads %s as a wide string here. It writes no terminator when it cuts the
// text, and returns -1 then: the text is kept up to the room it had.
int FormatInto(wchar_t* buffer, int room, const char* format, va_list args) {
    wchar_t wideFormat[kLineChars];
    int i = 0;
    for (; format[i] != '\0' && i < kLineChars - 1; ++i) {
        wideFormat[i] = static_cast<unsigned char>(format[i]);
    }
    wideFormat[i] = L'\0';
    int written = _vsnwprintf(buffer, room - 1, wideFormat, args);
    if (written < 0) {
        written = room - 1;
    }
    buffer[written] = L'\0';
    return written;
}

bool WriteUtf8(HANDLE handle, const wchar_t* text, int length) {
    char bytes[kWriteChars * 3];
    int count =
        WideCharToMultiByte(CP_UTF8, 0, text, length, bytes, sizeof(bytes), nullptr, nullptr);
    for (int done = 0; done < count;) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes + done, count - done, &written, nullptr) || written == 0) {
            return false; // a closed pipe: nobody reads any more
        }
        done += written;
    }
    return true;
}

} // namespace

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != FALSE;
}

bool WriteText(HANDLE handle, const wchar_t* text, int length) {
    bool console = IsConsole(handle);
    while (length > 0) {
        int chunk = length < kWriteChars ? length : kWriteChars;
        // Never split a surrogate pair between two writes.
        if (chunk < length && IS_HIGH_SURROGATE(text[chunk - 1])) {
            --chunk;
        }
        DWORD written = 0;
        bool wrote = console ? WriteConsoleW(handle, text, chunk, &written, nullptr) != FALSE
                             : WriteUtf8(handle, text, chunk);
        if (!wrote) {
            return false;
        }
        text += chunk;
        length -= chunk;
    }
    return true;
}

void Print(const char* format, ...) {
    if (g_dropOutput) {
        return;
    }
    wchar_t line[kLineChars];
    va_list args;
    va_start(args, format);
    int length = FormatInto(line, kLineChars, format, args);
    va_end(args);
    if (g_outputLength + length > kOutputChars) {
        if (g_holdOutput) {
            return;
        }
        FlushOutput();
    }
    wmemcpy(g_output + g_outputLength, line, length);
    g_outputLength += length;
}

bool FlushOutput() {
    bool written = WriteText(GetStdHandle(STD_OUTPUT_HANDLE), g_output, g_outputLength);
    g_outputLength = 0;
    return written;
}

const wchar_t* CollectedOutput(int* length) {
    *length = g_outputLength;
    return g_output;
}

int CollectedLineCount() {
    int lines = 0;
    for (int i = 0; i < g_outputLength; ++i) {
        lines += g_output[i] == L'\n' ? 1 : 0;
    }
    return lines;
}

void DiscardOutput() {
    g_outputLength = 0;
}

void HoldOutput(bool hold) {
    g_holdOutput = hold;
}

void DropOutput(bool drop) {
    g_dropOutput = drop;
}

int FormatText(wchar_t* buffer, int room, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int length = FormatInto(buffer, room, format, args);
    va_end(args);
    return length;
}

void PrintError(const char* format, ...) {
    wchar_t text[kLineChars];
    va_list args;
    va_start(args, format);
    int length = FormatInto(text, kLineChars, format, args);
    va_end(args);
    WriteText(GetStdHandle(STD_ERROR_HANDLE), text, length);
}

void FormatPeak(float peak, wchar_t* text) {
    if (peak != peak) {
        wcscpy(text, L"NaN");
        return;
    }
    _snwprintf(text, kPeakChars - 1, L"%.3g", static_cast<double>(peak));
    text[kPeakChars - 1] = L'\0';
    // msvcrt writes three exponent digits (1e-006); show two, as the C library does elsewhere.
    wchar_t* exponent = wcschr(text, L'e');
    if (exponent != nullptr && wcslen(exponent) == 5 && exponent[2] == L'0') {
        wmemmove(exponent + 2, exponent + 3, 3);
    }
}
