#include "sessions/output/cells.h"

#include <windows.h>

namespace {

// The code point at text[0], and in *units the UTF-16 units it spans. A lone surrogate reaches
// the terminal as U+FFFD.
unsigned CodePointAt(const wchar_t* text, int length, int* units) {
    *units = 1;
    if (IS_HIGH_SURROGATE(text[0]) && length > 1 && IS_LOW_SURROGATE(text[1])) {
        *units = 2;
        return 0x10000 + ((text[0] - 0xD800) << 10) + (text[1] - 0xDC00);
    }
    return (text[0] & 0xF800) == 0xD800 ? 0xFFFD : text[0];
}

// Whether trail joins lead into one character, by Windows Terminal's form of Unicode's rules:
// what extends or links joins what comes before it, a prefix what comes after, Hangul jamo join
// into syllables, a linker and a consonant into a conjunct, a joiner and a pictograph into an
// emoji sequence, and two regional indicators into a flag, which takes no third.
bool Joins(JoinKind lead, JoinKind trail, bool* paired) {
    if (lead == kJoinControl || trail == kJoinControl) {
        return false;
    }
    if (trail == kJoinExtend || trail == kJoinZwj || trail == kJoinLinker || lead == kJoinPrepend) {
        return true;
    }
    switch (lead) {
    case kJoinHangulL:
        return trail == kJoinHangulL || trail == kJoinHangulV || trail == kJoinHangulLV ||
               trail == kJoinHangulLVT;
    case kJoinHangulV:
    case kJoinHangulLV:
        return trail == kJoinHangulV || trail == kJoinHangulT;
    case kJoinHangulT:
    case kJoinHangulLVT:
        return trail == kJoinHangulT;
    case kJoinLinker:
        return trail == kJoinConsonant;
    case kJoinZwj:
        return trail == kJoinPictographic;
    case kJoinRegional:
        *paired = !*paired && trail == kJoinRegional;
        return *paired;
    default:
        return false;
    }
}

} // namespace

int NextCharCells(const wchar_t* text, int length, CellCount count, int* units) {
    unsigned point = CodePointAt(text, length, units);
    if (count == kMostCells) {
        return point < 0x80 ? 1 : 2;
    }
    CodePointClass lead = ClassOf(point);
    if (count == kCodePointCells) {
        return lead.cells > 1 ? lead.cells : 1;
    }
    // A variation selector 16 asks for an emoji's wide form, wherever it stands.
    int cells = point == 0xFE0F ? 2 : lead.cells;
    bool paired = false;
    for (int more = 0; *units < length; *units += more) {
        point = CodePointAt(text + *units, length - *units, &more);
        const CodePointClass trail = ClassOf(point);
        if (!Joins(lead.kind, trail.kind, &paired)) {
            break;
        }
        cells += point == 0xFE0F ? 2 : trail.cells;
        lead = trail;
    }
    // Two cells at most; a character of no width joins the cell before it.
    return cells < 2 ? cells : 2;
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
        // A character that starts a row takes a cell at least.
        int next = NextCharCells(text + end, length - end, count, &units);
        next += next == 0 && end == start ? 1 : 0;
        if (*cells + next > width && end > start) {
            break;
        }
        *cells += next;
        end += units;
    }
    return end;
}

int RowsOf(const wchar_t* text, int length, int width, CellCount count) {
    int rows = 1, cells = 0;
    for (int start = RowEnd(text, length, 0, width, count, &cells); start < length; ++rows) {
        start = RowEnd(text, length, start, width, count, &cells);
    }
    return rows;
}
