#pragma once

#include <windows.h>
#include <audiopolicy.h>

// Who owns a session, found by Hushvane's own resolution and, where that fails, explained.
struct SessionOwner {
    bool hasProcessId;
    DWORD processId;
    HRESULT processIdStatus; // of GetProcessId, when it failed
    // Hushvane resolved the owner: path holds its executable, name the file-name part.
    bool resolved;
    wchar_t path[MAX_PATH];
    // The executable's file name, from the path or else from the process list; "?" if neither.
    wchar_t name[MAX_PATH];
    // Why Hushvane cannot resolve it, in plain words and in brackets; null when it can.
    const char* reason;
    // The owner runs, but Hushvane may not query it.
    bool accessDenied;
    // Windows' own sounds, whether or not their owner resolves (Windows 10 may give
    // taskhostw.exe as their owner, and then Hushvane mutes them with the others).
    bool systemSounds;
};

// Resolves the session's owner as Hushvane does (ResolveSessionProcess: GetProcessId, then the
// image path) and, where that fails, finds out why and the name the process list gives.
void DescribeSessionOwner(IAudioSessionControl2* control2, SessionOwner* owner);

// Prints the owner's process id in the listing's first column, "?" when it is unknown.
void PrintProcessId(const SessionOwner& owner);

// Prints the executable's name and its path or, where Hushvane cannot resolve the owner, why.
void PrintOwner(const SessionOwner& owner);

// Prints a line saying whether Hushvane.exe runs, and as which processes: two or more would
// fight over the same sessions.
void PrintHushvaneProcesses();

// Prints, one a line, every running process whose name comes close to a target that does not
// run: the same name in another letter case, the file-name part of a path, the name with .exe.
// Returns how many it printed.
int PrintNearMisses(const wchar_t* target);
