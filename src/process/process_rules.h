#pragma once

// Hushvane's rules on processes, each given what it needs, so that HushvaneSessions.exe decides
// by the very same code: whether an executable runs, which executable a process runs, and
// whether a path is the target's.

#include <windows.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include "common/failed_call.h"
#include "common/unique_handle.h"

// The record carries pointer-sized fields, so its size depends on the architecture.
static_assert(sizeof(PROCESSENTRY32W) == (sizeof(void*) == 4 ? 556 : 568),
              "the process entry record as Windows lays it out");

// The plain query right: processes that refuse it are never resolved, so never touched.
constexpr DWORD kQueryInformationAccess = PROCESS_QUERY_INFORMATION;
static_assert(kQueryInformationAccess == 0x0400, "query-information access, not the limited one");

// Hushvane's name comparison: true when two executable file names are the same, letter case
// included.
inline bool IsSameExecutableName(const wchar_t* name, const wchar_t* otherName) {
    return StrCmpW(name, otherName) == 0;
}

// A snapshot of the running processes; empty when Windows could not take one.
inline UniqueHandle TakeProcessSnapshot() {
    return UniqueHandle(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
}

// Calls visit(entry) for each process of the snapshot, from its first, until visit returns
// false. A snapshot can be walked again.
template <typename Visit> void VisitProcesses(HANDLE snapshot, Visit visit) {
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more && visit(entry);
         more = Process32NextW(snapshot, &entry)) {
    }
}

// True when some process of the snapshot has exactly that executable file name.
inline bool IsExecutableRunning(HANDLE snapshot, const wchar_t* name) {
    bool found = false;
    VisitProcesses(snapshot, [&](const PROCESSENTRY32W& entry) {
        found = IsSameExecutableName(entry.szExeFile, name);
        return !found;
    });
    return found;
}

// The full path of the process's executable into path[MAX_PATH]. Where it cannot be read, the
// call that failed: OpenProcess, which a process refuses (ERROR_ACCESS_DENIED) or which names no
// process (ERROR_INVALID_PARAMETER), or QueryFullProcessImageNameW, which a path over 259
// characters does not fit. Its status is Windows' error as an HRESULT where withError asks for
// it; without, E_FAIL, and nothing more is asked of Windows.
inline FailedCall QueryExecutablePath(DWORD processId, wchar_t* path, bool withError) {
    const UniqueHandle process(OpenProcess(kQueryInformationAccess, FALSE, processId));
    if (!process) {
        return {"OpenProcess", withError ? HRESULT_FROM_WIN32(GetLastError()) : E_FAIL};
    }
    DWORD size = MAX_PATH;
    if (!QueryFullProcessImageNameW(process.Get(), 0, path, &size)) {
        return {"QueryFullProcessImageNameW",
                withError ? HRESULT_FROM_WIN32(GetLastError()) : E_FAIL};
    }
    return {};
}

// True when the file-name part of imagePath is exactly name (letter case included).
inline bool HasExecutableName(const wchar_t* imagePath, const wchar_t* name) {
    return IsSameExecutableName(PathFindFileNameW(imagePath), name);
}
