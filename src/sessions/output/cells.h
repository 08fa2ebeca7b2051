#pragma once

// How many cells a text takes on a console, where a listing's rows are counted and its columns
// lined up. Every count of cells is here.

// How a code point joins its neighbours into one character (a grapheme cluster), sorted as
// Windows Terminal sorts them.
enum JoinKind : unsigned char {
    kJoinOther,
    kJoinControl,
    kJoinExtend, // marks, spacing marks and format characters
    kJoinRegional,
    kJoinPrepend,
    kJoinHangulL,
    kJoinHangulV,
    kJoinHangulT,
    kJoinHangulLV,
    kJoinHangulLVT,
    kJoinLinker,    // an Indic virama that links two consonants into a conjunct
    kJoinConsonant, // a consonant that a linker joins
    kJoinPictographic,
    kJoinZwj,
};

// The cells a code point takes on its own in Windows Terminal (2 for a wide or fullwidth one, 0
// for a mark or a format character, 1 for any other) and how it joins. Generated from Unicode's
// data: cell_widths.cpp.
struct CodePointClass {
    JoinKind kind;
    unsigned char cells;
};
CodePointClass ClassOf(unsigned point);

// How a row's cells are counted: as Windows Terminal 1.23 and later counts them, a character of
// several code points taking the sum of their cells, at most two, and one of no width joining the
// cell before it (a row's first character takes a cell at least); at least a cell for every code
// point, as older consoles behind other terminals count them; or as the most that a classic
// console gives a character (two for anything outside ASCII, whatever its code page). A row
// counted long only ends early.
enum CellCount { kTerminalCells, kCodePointCells, kMostCells };

// The cells the text's first character takes, and in *units the UTF-16 units it spans.
int NextCharCells(const wchar_t* text, int length, CellCount count, int* units);

// The cells the text takes in Windows Terminal after another character in its line.
int CellsOf(const wchar_t* text, int length);

// The end of the row that starts at text[start]: as many characters as fit in width cells, and
// at least one. Their cells go to *cells.
int RowEnd(const wchar_t* text, int length, int start, int width, CellCount count, int* cells);

// The rows the text takes in a window width cells wide.
int RowsOf(const wchar_t* text, int length, int width, CellCount count);
