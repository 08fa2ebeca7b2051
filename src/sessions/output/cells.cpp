#include "sessions/output/cells.h"

#include <windows.h>

namespace {

// The code point at text[0], and in *units the UTF-16 units it spans.
UINT32 CodePointAt(const wchar_t* text, int length, int* units) {
    *units = 1;
    if (IS_HIGH_SURROGATE(text[0]) && length > 1 && IS_LOW_SURROGATE(text[1])) {
        *units = 2;
        return 0x10000 + ((text[0] - 0xD800) << 10) + (text[1] - 0xDC00);
    }
    return text[0];
}

} // namespace

int NextCharCells(const wchar_t* text, int length, CellCount count, int* units) {
    UINT32 point = CodePointAt(text, length, units);
    // A CJK character takes two cells in Windows 10's console, and the older console gives two
    // to every character that its code page writes in two bytes.
    if (count == kMostCells) {
        return point < 0x80 ? 1 : 2;
    }
    int cells = CodePointCells(point);
    // What joins the character takes no cell of its own: marks, joiners, selectors, and after a
    // zero-width joiner the character that follows. A variation selector 16 asks for the wide,
    // emoji form.
    while (*units < length) {
        int more = 0;
        const bool afterJoiner = point == 0x200D;
        point = CodePointAt(text + *units, length - *units, &more);
        if (!afterJoiner && point != 0xFE0F && CodePointCells(point) != 0) {
            break;
        }
        cells = point == 0xFE0F ? 2 : cells;
        *units += more;
    }
    return cells;
}

int CellsOf(const wchar_t* text, int length) {
    int cells = 0;
    for (int i = 0, units = 0; i < length; i += units) {
        cells += NextCharCells(text + i, length - i, kTerminalCells, &units);
    }
    return cells;
}

int RowEnd(const wchar_t* text, int length, int start, int width, CellCount count, int* cells) {
    int end = start;
    *cells = 0;
    while (end < length) {
        int units = 1;
        const int next = NextCharCells(text + end, length - end, count, &units);
        if (*cells + next > width && end > start) {
            break;
        }
        *cells += next;
        end += units;
    }
    return end;
}

int RowsOf(const wchar_t* text, int length, int width, CellCount count) {
    int rows = 1;
    int cells = 0;
    for (int start = RowEnd(text, length, 0, width, count, &cells); start < length; ++rows) {
        start = RowEnd(text, length, start, width, count, &cells);
    }
    return rows;
}
