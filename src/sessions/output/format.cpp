#include "sessions/output/format.h"

#include <wchar.h>

#include "sessions/output/cells.h"

namespace {

// A text formatted into room characters, the terminator's place kept, and how many of them the
// names (%s) may still take.
struct TextBuffer {
    wchar_t* text;
    int room, length, names;
};

void AppendTo(TextBuffer* buffer, const wchar_t* text, int length) {
    for (int i = 0; i < length && buffer->length < buffer->room - 1; ++i) {
        buffer->text[buffer->length++] = text[i];
    }
}

// Names, paths and command-line texts come from drivers, users and the command line: a control
// character among them (C0, DEL or C1) would be a command to a terminal, so it is shown as U+FFFD.
// One longer than the room left for names is cut after a whole character, never inside a
// surrogate pair, and ends in an ellipsis that says so.
void AppendShown(TextBuffer* buffer, const wchar_t* text) {
    const int length = lstrlenW(text);
    const bool cut = length > buffer->names;
    int end = cut ? 0 : length;
    for (int units = 0; cut && end < length; end += units) {
        NextCharCells(text + end, length - end, kTerminalCells, &units);
        if (end + units >= buffer->names) {
            break;
        }
    }
    buffer->names -= end;
    for (int i = 0; i < end; ++i) {
        const wchar_t c = text[i];
        buffer->text[buffer->length++] = c < 0x20 || (c >= 0x7F && c <= 0x9F) ? L'\xFFFD' : c;
    }
    if (cut && buffer->names > 0) {
        AppendTo(buffer, L"\x2026", 1);
        buffer->names = 0;
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
    // Right-aligned: the field moves to the end, the padding before it.
    const int moved = buffer->length - end;
    for (int i = buffer->length - 1; !left && moved > 0 && i - moved >= start; --i) {
        buffer->text[i] = buffer->text[i - moved];
        buffer->text[i - moved] = pad;
    }
}

// One pass over the format, the names given at most names characters in all.
int FormatPass(wchar_t* out, int room, const wchar_t* wide, va_list args, int names) {
    TextBuffer buffer = {out, room, 0, names};
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

} // namespace

// The line's own words are measured first, with every name left empty: the names take what room
// is left, so that the words around them are never what gets cut.
int FormatTextV(wchar_t* out, int room, const char* format, va_list args) {
    wchar_t wide[kLineChars];
    TextBuffer widened = {wide, kLineChars, 0, 0};
    AppendWidened(&widened, format);
    wide[widened.length] = L'\0';
    va_list again;
    va_copy(again, args);
    const int words = FormatPass(out, room, wide, args, 0);
    const int length = FormatPass(out, room, wide, again, room - 1 - words);
    va_end(again);
    return length;
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
