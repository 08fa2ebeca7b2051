#include "process/process_queries.h"

#include "common/watcher_state.h"
#include "process/process_rules.h"

static_assert(kImagePathChars == MAX_PATH, "the path the rule reads");

bool IsTargetRunning() {
    const UniqueHandle snapshot = TakeProcessSnapshot();
    return snapshot && IsExecutableRunning(snapshot.Get(), g_watcher.targetName);
}

bool QuerySessionImagePath() {
    return !QueryExecutablePath(g_watcher.sessionProcessId, g_watcher.imagePath, false);
}

bool MatchesTargetName(const wchar_t* imagePath) {
    return HasExecutableName(imagePath, g_watcher.targetName);
}
