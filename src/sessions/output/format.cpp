#include "sessions/output/format.h"

#include <wchar.h>

#include <algorithm>

#include "sessions/output/cells.h"

namespace {

// A text formatted into room characters, the terminator's place kept.
struct TextBuffer {
    wchar_t* text;
    int room, length;
};

void AppendTo(TextBuffer* buffer, const wchar_t* text, int length) {
    for (int i = 0; i < length && buffer->length < buffer->room - 1; ++i) {
        buffer->text[buffer->length++] = text[i];
    }
}

// Names, paths and command-line texts come from drivers, users and the command line: a control
// character among them (C0, DEL or C1) would be a command to a terminal, so it is shown as U+FFFD.
void AppendShown(TextBuffer* buffer, const wchar_t* text) {
    for (; *text != L'\0' && buffer->length < buffer->room - 1; ++text) {
        const wchar_t c = *text;
        buffer->text[buffer->length++] = c < 0x20 || (c >= 0x7F && c <= 0x9F) ? L'\xFFFD' : c;
    }
}

void AppendWidened(TextBuffer* buffer, const char* text) {
    const int room = buffer->room - buffer->length;
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text, -1, buffer->text + buffer->length, room);
    buffer->length += length > 0 ? length - 1 : room - 1; // cut: keep what fitted
}

// Pads the field that starts at start to width cells, after it or, with pad, before it.
void PadField(TextBuffer* buffer, int start, int width, bool left, wchar_t pad) {
    const int end = buffer->length;
    for (int cells = CellsOf(buffer->text + start, end - start); cells < width; ++cells) {
        AppendTo(buffer, left ? L" " : &pad, 1);
    }
    if (!left) {
        std::rotate(buffer->text + start, buffer->text + end, buffer->text + buffer->length);
    }
}

} // namespace

int FormatTextV(wchar_t* out, int room, const char* format, va_list args) {
    wchar_t wide[kLineChars];
    TextBuffer widened = {wide, kLineChars, 0};
    AppendWidened(&widened, format);
    wide[widened.length] = L'\0';
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
        const int start = buffer.length;
        if (*at == L's' && narrow) {
            AppendWidened(&buffer, va_arg(args, const char*));
        } else if (*at == L's') {
            AppendShown(&buffer, va_arg(args, const wchar_t*));
        } else {
            const wchar_t conversion[] = {L'%', *at == L'd' || *at == L'X' ? *at : L'u', L'\0'};
            wchar_t number[16];
            AppendTo(&buffer, number, _snwprintf(number, 16, conversion, va_arg(args, unsigned)));
        }
        PadField(&buffer, start, width, left, pad);
    }
    out[buffer.length] = L'\0';
    return buffer.length;
}

int FormatText(wchar_t* buffer, int room, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int length = FormatTextV(buffer, room, format, args);
    va_end(args);
    return length;
}

void Append(LineText* line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    line->length += FormatTextV(line->text + line->length, kLineChars - line->length, format, args);
    va_end(args);
}
