#include "sessions/output/writer.h"

#include "sessions/output/format.h"

namespace {

// Old consoles refuse large writes; files and pipes take any size, but a chunk keeps the UTF-8
// bytes on the stack.
constexpr int kWriteChars = 4096;

bool WriteUtf8(HANDLE handle, const wchar_t* text, int length) {
    char bytes[kWriteChars * 3];
    const int count =
        WideCharToMultiByte(CP_UTF8, 0, text, length, bytes, sizeof(bytes), nullptr, nullptr);
    for (int done = 0; done < count;) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes + done, count - done, &written, nullptr) || written == 0) {
            return false; // a closed pipe, a full disk: what follows would fail as well
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
    const bool console = IsConsole(handle);
    while (length > 0) {
        int chunk = length < kWriteChars ? length : kWriteChars;
        // Never split a surrogate pair between two writes.
        chunk -= chunk < length && IS_HIGH_SURROGATE(text[chunk - 1]) ? 1 : 0;
        DWORD written = 0;
        const bool wrote = console ? WriteConsoleW(handle, text, chunk, &written, nullptr) != FALSE
                                   : WriteUtf8(handle, text, chunk);
        if (!wrote) {
            return false;
        }
        text += chunk;
        length -= chunk;
    }
    return true;
}

void PrintError(const char* format, ...) {
    wchar_t text[kLineChars];
    va_list args;
    va_start(args, format);
    const int length = FormatTextV(text, kLineChars, format, args);
    va_end(args);
    WriteText(GetStdHandle(STD_ERROR_HANDLE), text, length);
}

// A text that does not fit goes after what the writer holds, whole.
void Write(Writer* writer, const wchar_t* text, int length) {
    if (writer->length + length > kWriterChars) {
        Flush(writer);
    }
    if (length > kWriterChars) {
        writer->failed |= !WriteText(writer->handle, text, length);
        return;
    }
    CopyMemory(writer->text + writer->length, text, length * sizeof(wchar_t));
    writer->length += length;
}

void WriteFormatted(Writer* writer, const char* format, ...) {
    wchar_t text[kLineChars];
    va_list args;
    va_start(args, format);
    const int length = FormatTextV(text, kLineChars, format, args);
    va_end(args);
    Write(writer, text, length);
}

bool Flush(Writer* writer) {
    writer->failed |= !WriteText(writer->handle, writer->text, writer->length);
    writer->length = 0;
    return !writer->failed;
}
