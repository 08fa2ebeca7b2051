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
    return snapshot && IsExecutableRunning(snapshot.Get(), g_watcher.targetName);
}

bool QuerySessionImagePath() {
    return QueryExecutablePath(g_watcher.sessionProcessId, g_watcher.imagePath);
}

bool MatchesTargetName(const wchar_t* imagePath) {
    return HasExecutableName(imagePath, g_watcher.targetName);
}
