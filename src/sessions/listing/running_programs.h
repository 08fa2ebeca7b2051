#pragma once

#include <windows.h>

// What the running processes tell a listing beyond Hushvane's own rules, all from the one
// snapshot a listing takes (TakeProcessSnapshot).

// The executable's file name that the process list gives the process into name[MAX_PATH]; "?"
// where it lists none.
void FindListedName(HANDLE snapshot, DWORD processId, wchar_t* name);

// Prints a line saying whether Hushvane.exe runs, and as which processes: two or more would
// fight over the same sessions.
void PrintHushvaneProcesses(HANDLE snapshot);

// Prints, one a line, every running program whose name comes close to a target that does not
// run: the same name in another letter case, or the name the target has without its folder or
// with .exe added. Returns how many it printed.
int PrintNearMisses(HANDLE snapshot, const wchar_t* target);
