#pragma once

#include <windows.h>

// True when the console is a pseudo console (Windows Terminal, or any terminal that runs console
// programs through ConPTY): its window is a stand-in of class PseudoConsoleWindow.
bool IsPseudoConsole();

// Whether the user can see the console's window. A pseudo console's own window says nothing:
// a terminal that displays the console owns it, and one that nobody displays has no owner.
bool IsConsoleWindowShown(HWND window);

// Started from Explorer, a shortcut or Win+R, the console window is the companion's alone and
// closes the moment it ends. Nobody could answer a prompt where a shell or another program
// shares the console, where the output goes to a file or a pipe, where the console has no window
// (CREATE_NO_WINDOW) or a hidden one (SW_HIDE), or where nothing is displayed (a service, or a
// task run whether the user is logged on or not).
bool IsSomeoneThereToAnswer();
