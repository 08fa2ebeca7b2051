#include "process/process_queries.h"

#include <windows.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include "common/watcher_state.h"

// The record carries pointer-sized fields, so its size depends on the architecture.
static_assert(sizeof(PROCESSENTRY32W) == (sizeof(void*) == 4 ? 556 : 568),
              "the process entry record as Windows lays it out");

bool IsTargetRunning() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return false;
    }
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    bool found = false;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (IsSameExecutableName(entry.szExeFile, g_watcher.targetName)) {
            found = true;
            break;
        }
    }
    CloseHandle(snapshot);
    return found;
}

bool QuerySessionImagePath() {
    HANDLE process = OpenProcessForQuery(g_watcher.sessionProcessId);
    if (process == nullptr) {
        return false;
    }
    DWORD size = kImagePathChars;
    BOOL resolved = QueryFullProcessImageNameW(process, 0, g_watcher.imagePath, &size);
    CloseHandle(process);
    return resolved != FALSE;
}

bool MatchesTargetName(const wchar_t* imagePath) {
    return IsSameExecutableName(PathFindFileNameW(imagePath), g_watcher.targetName);
}
