#pragma once

#include <audiopolicy.h>

// The watcher's steps over a session list, on its state.

// Reads the number of sessions into sessionCount; false when it cannot be read.
bool ReadSessionCount(IAudioSessionEnumerator* sessions);

// Reads the session's owning process id into sessionProcessId and resolves it to imagePath.
bool ResolveSessionProcess(IAudioSessionControl2* control2);
