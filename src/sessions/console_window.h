#pragma once

#include <windows.h>

// True when the console is a pseudo console (Windows Terminal, or any terminal that runs console
// programs through ConPTY): its window is a stand-in of class PseudoConsoleWindow.
bool IsPseudoConsole();

// Whether the user can see the console's window; not where there is none. A pseudo console's own
// window says nothing: a terminal that displays the console owns it, and one that nobody displays
// has no owner.
bool IsConsoleWindowShown(HWND window);
