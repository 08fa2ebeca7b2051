#pragma once

// How many cells a text takes on a console, where a listing's rows are counted and its columns
// lined up. Every count of cells is here.

// The cells a code point takes on its own in Windows Terminal: 2 for a wide or fullwidth
// character (CJK, Hangul, emoji of emoji presentation), 0 for one that joins the character
// before it (combining marks, joiners, variation selectors), 1 for any other. Generated from
// Unicode's data: cell_widths.cpp.
int CodePointCells(unsigned point);

// How a row's cells are counted: as Windows Terminal counts them, or as the most that any
// classic console gives a character (two for anything outside ASCII, whatever its code page), so
// that a row never takes more than the rows kept for it.
enum CellCount { kTerminalCells, kMostCells };

// The cells the text's first character takes, with what joins it (marks, joiners, variation
// selectors), and in *units the UTF-16 units they span.
int NextCharCells(const wchar_t* text, int length, CellCount count, int* units);

// The cells the text takes in Windows Terminal.
int CellsOf(const wchar_t* text, int length);

// The end of the row that starts at text[start]: as many characters as fit in width cells, and
// at least one. Their cells go to *cells.
int RowEnd(const wchar_t* text, int length, int start, int width, CellCount count, int* cells);

// The rows the text takes in a window width cells wide.
int RowsOf(const wchar_t* text, int length, int width, CellCount count);
