#pragma once

#include <windows.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include "common/unique_handle.h"
#include "common/watcher_state.h"

// The plain query right: processes that refuse it are never resolved, so never touched.
constexpr DWORD kQueryInformationAccess = PROCESS_QUERY_INFORMATION;
static_assert(kQueryInformationAccess == 0x0400, "query-information access, not the limited one");

// Hushvane's name comparison: true when two executable file names are the same, letter case
// included.
inline bool IsSameExecutableName(const wchar_t* name, const wchar_t* otherName) {
    return StrCmpW(name, otherName) == 0;
}

// Opens a process with the access Hushvane asks for to resolve it; null, with the error in
// GetLastError, when the process refuses it or does not exist.
inline HANDLE OpenProcessForQuery(DWORD processId) {
    return OpenProcess(kQueryInformationAccess, FALSE, processId);
}

// A snapshot of the running processes; empty when Windows could not take one.
UniqueHandle TakeProcessSnapshot();

// Calls visit(entry) for each process of the snapshot, from its first, until visit returns
// false. A snapshot can be walked again.
template <typename Visit> void VisitProcesses(HANDLE snapshot, Visit visit) {
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more && visit(entry);
         more = Process32NextW(snapshot, &entry)) {
    }
}

// Hushvane's rules, each given what it needs.

// True when some process of the snapshot has exactly that executable file name.
inline bool IsExecutableRunning(HANDLE snapshot, const wchar_t* name) {
    bool found = false;
    VisitProcesses(snapshot, [&](const PROCESSENTRY32W& entry) {
        found = IsSameExecutableName(entry.szExeFile, name);
        return !found;
    });
    return found;
}

// The full path of the process's executable into path[kImagePathChars]. False when the process
// cannot be opened for query or its path does not fit.
inline bool QueryExecutablePath(DWORD processId, wchar_t* path) {
    const UniqueHandle process(OpenProcessForQuery(processId));
    DWORD size = kImagePathChars;
    return process && QueryFullProcessImageNameW(process.Get(), 0, path, &size);
}

// True when the file-name part of imagePath is exactly name (letter case included).
inline bool HasExecutableName(const wchar_t* imagePath, const wchar_t* name) {
    return IsSameExecutableName(PathFindFileNameW(imagePath), name);
}

// The watcher's queries, on its state.

// True when some running process's executable file name equals the target name exactly.
bool IsTargetRunning();

// Resolves g_watcher.sessionProcessId to the full path of its executable in g_watcher.imagePath.
// False when the process cannot be opened for query or its path does not fit.
bool QuerySessionImagePath();

// True when the file-name part of imagePath equals the target name exactly (case-sensitive).
bool MatchesTargetName(const wchar_t* imagePath);
