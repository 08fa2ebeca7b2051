#pragma once

// The cells a code point takes on its own in Windows Terminal: 2 for a wide or fullwidth
// character (CJK, Hangul, emoji of emoji presentation), 0 for one that joins the character
// before it (combining marks, joiners, variation selectors), 1 for any other.
int CodePointCells(unsigned point);
