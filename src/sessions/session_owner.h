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
    // Why Hushvane cannot resolve it, in plain words; null when it can.
    const char* reason;
    // The owner runs, but Hushvane may not query it.
    bool accessDenied;
};

// Resolves the session's owner as Hushvane does (ResolveSessionProcess: GetProcessId, then the
// image path) and, where that fails, finds out why and the name the process list gives.
void DescribeSessionOwner(IAudioSessionControl2* control2, SessionOwner* owner);

// Prints, one a line, every running process whose name comes close to a target that does not
// run: the same name in another letter case, the file-name part of a path, the name with .exe.
// Returns how many it printed.
int PrintNearMisses(const wchar_t* target);
