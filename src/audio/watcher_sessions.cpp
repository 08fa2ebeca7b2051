#include "audio/watcher_sessions.h"

#include "common/watcher_state.h"
#include "process/process_queries.h"

bool ReadSessionCount(IAudioSessionEnumerator* sessions) {
    int count = 0;
    if (FAILED(sessions->GetCount(&count))) {
        return false;
    }
    g_watcher.sessionCount = count;
    return true;
}

bool ResolveSessionProcess(IAudioSessionControl2* control2) {
    DWORD processId = 0;
    // Sessions spanning several processes answer with a success code above zero: still success.
    if (FAILED(control2->GetProcessId(&processId))) {
        return false;
    }
    g_watcher.sessionProcessId = processId;
    return QuerySessionImagePath();
}
