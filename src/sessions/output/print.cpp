#include "sessions/output/print.h"

#include "sessions/output/cells.h"

#include <stdarg.h>
#include <wchar.h>

namespace {

// Old consoles refuse large writes; files and pipes take any size, but a chunk keeps the
// UTF-8 bytes on the stack.
constexpr int kWriteChars = 4096;

wchar_t g_output[kOutputChars];
int g_outputLength;

// While a listing is collected for a console window: the lines completed, and where the next
// one starts.
bool g_collecting;
CollectedLine g_lines[kMaxCollectedLines];
int g_lineCount;
int g_lineStart;

// Appends to a buffer of room characters, keeping room for the terminator.
struct TextBuffer {
    wchar_t* text;
    int room;
    int length;
};

void AppendTo(TextBuffer* buffer, const wchar_t* text, int length) {
    for (int i = 0; i < length && buffer->length < buffer->room - 1; ++i) {
        buffer->text[buffer->length++] = text[i];
    }
}

void AppendPadded(TextBuffer* buffer, const wchar_t* text, int length, int width, bool left,
                  wchar_t pad) {
    for (int i = left ? width : CellsOf(text, length); i < width; ++i) {
        AppendTo(buffer, &pad, 1);
    }
    AppendTo(buffer, text, length);
    for (int i = left ? CellsOf(text, length) : width; i < width; ++i) {
        AppendTo(buffer, L" ", 1);
    }
}

int Widen(const char* text, wchar_t* wide, int room) {
    int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, room);
    if (length == 0) { // cut: keep what fitted
        length = room;
    }
    wide[length - 1] = L'\0';
    return length - 1;
}

// Names, paths and command-line texts come from drivers, users and the command line: a control
// character among them (C0, DEL or C1) would be a command to a terminal, so it is shown as U+FFFD.
int CopyShowingControls(const wchar_t* text, wchar_t* copy, int room) {
    int length = 0;
    for (; text[length] != L'\0' && length < room - 1; ++length) {
        const wchar_t c = text[length];
        copy[length] = c < 0x20 || (c >= 0x7F && c <= 0x9F) ? L'\xFFFD' : c;
    }
    return length;
}

// The few conversions the companion uses: %s a wide string, its control characters shown as
// U+FFFD, %hs a UTF-8 one, %d, %u, %lu, %X and %lX, with an optional '-' or '0' and a width that
// counts cells, so that columns line up whatever characters they hold. The format itself is UTF-8.
int FormatInto(wchar_t* out, int room, const char* format, va_list args) {
    wchar_t wide[kLineChars];
    Widen(format, wide, kLineChars);
    TextBuffer buffer = {out, room, 0};
    for (const wchar_t* at = wide; *at != L'\0'; ++at) {
        if (*at != L'%' || at[1] == L'%') {
            at += *at == L'%' ? 1 : 0;
            AppendTo(&buffer, at, 1);
            continue;
        }
        const bool left = *++at == L'-';
        const wchar_t pad = *at == L'0' ? L'0' : L' ';
        at += left || pad == L'0' ? 1 : 0;
        int width = 0;
        for (; *at >= L'0' && *at <= L'9'; ++at) {
            width = width * 10 + (*at - L'0');
        }
        const bool narrow = *at == L'h';
        at += *at == L'h' || *at == L'l' ? 1 : 0;
        wchar_t text[kLineChars];
        int length = 0;
        if (*at == L's' && narrow) {
            length = Widen(va_arg(args, const char*), text, kLineChars);
        } else if (*at == L's') {
            length = CopyShowingControls(va_arg(args, const wchar_t*), text, kLineChars);
        } else {
            const wchar_t number[] = {L'%', *at == L'd' || *at == L'X' ? *at : L'u', L'\0'};
            length = _snwprintf(text, kLineChars, number, va_arg(args, unsigned));
        }
        AppendPadded(&buffer, text, length, width, left, pad);
    }
    out[buffer.length] = L'\0';
    return buffer.length;
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

// Appends text to the output's buffer. While a listing is collected, each line it completes is
// kept, and what does not fit is dropped; otherwise a full buffer is written out first.
void Emit(const wchar_t* text, int length, bool session) {
    if (g_outputLength + length > kOutputChars) {
        if (g_collecting) {
            return;
        }
        FlushOutput();
    }
    for (int i = 0; i < length; ++i) {
        g_output[g_outputLength++] = text[i];
        if (g_collecting && text[i] == L'\n' && g_lineCount < kMaxCollectedLines) {
            g_lines[g_lineCount++] = {g_output + g_lineStart, g_outputLength - 1 - g_lineStart,
                                      session};
        }
        g_lineStart = text[i] == L'\n' ? g_outputLength : g_lineStart;
    }
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
    wchar_t line[kLineChars];
    va_list args;
    va_start(args, format);
    const int length = FormatInto(line, kLineChars, format, args);
    va_end(args);
    Emit(line, length, false);
}

bool FlushOutput() {
    bool written = WriteText(GetStdHandle(STD_OUTPUT_HANDLE), g_output, g_outputLength);
    g_outputLength = 0;
    return written;
}

void Append(LineText* line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    line->length += FormatInto(line->text + line->length, kLineChars - line->length, format, args);
    va_end(args);
}

void PrintLine(const LineText& line, bool session) {
    Emit(line.text, line.length, session);
    Emit(L"\n", 1, session);
}

void CollectLines(bool collect) {
    g_collecting = collect;
    g_outputLength = 0;
    g_lineCount = 0;
    g_lineStart = 0;
}

int CollectedLines(const CollectedLine** lines) {
    *lines = g_lines;
    return g_lineCount;
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
