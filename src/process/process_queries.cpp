#include "process/process_queries.h"

#include <windows.h>
#include <shlwapi.h>

#include "common/watcher_state.h"

// The record carries pointer-sized fields, so its size depends on the architecture.
static_assert(sizeof(PROCESSENTRY32W) == (sizeof(void*) == 4 ? 556 : 568),
              "the process entry record as Windows lays it out");

UniqueHandle TakeProcessSnapshot() {
    return UniqueHandle(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
}

bool IsTargetRunning() {
    const UniqueHandle snapshot = TakeProcessSnapshot();
    if (!snapshot) {
        return false;
    }
    bool found = false;
    VisitProcesses(snapshot.Get(), [&found](const PROCESSENTRY32W& entry) {
        found = IsSameExecutableName(entry.szExeFile, g_watcher.targetName);
        return !found;
    });
    return found;
}

bool QuerySessionImagePath() {
    const UniqueHandle process(OpenProcessForQuery(g_watcher.sessionProcessId));
    DWORD size = kImagePathChars;
    return process && QueryFullProcessImageNameW(process.Get(), 0, g_watcher.imagePath, &size);
}

bool MatchesTargetName(const wchar_t* imagePath) {
    return IsSameExecutableName(PathFindFileNameW(imagePath), g_watcher.targetName);
}
