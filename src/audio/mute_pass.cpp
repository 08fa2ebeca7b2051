#include "audio/mute_pass.h"

#include "audio/audio_session.h"
#include "audio/watcher_sessions.h"
#include "process/process_queries.h"
#include "trace/trace.h"

namespace {

const wchar_t kMuteTraceFormat[] = L"进程名:%s 动作:%d";

// Any failure before SetMute skips just this session, which keeps its mute state.
void ApplyMuteToSession(IAudioSessionEnumerator* sessions, int index, MuteAction action) {
    SessionControls session;
    if (OpenSession(sessions, index, false, &session)) {
        return;
    }
    if (!ResolveSessionProcess(session.control2.Get())) {
        return;
    }
    if (MatchesTargetName(g_watcher.imagePath)) {
        return;
    }
    TraceLine(kMuteTraceFormat, g_watcher.imagePath, static_cast<int>(action));
    // Only a change the session accepted counts: when every unmute is refused, othersMuted
    // still says the others are muted, and the next restoring tick tries again.
    if (SUCCEEDED(session.volume->SetMute(action, nullptr))) {
        g_watcher.othersMuted = action;
    }
}

} // namespace

bool ApplyMuteToOthers(IAudioSessionEnumerator* enumerator, MuteAction action) {
    ComRef<IAudioSessionEnumerator> sessions =
        ComRef<IAudioSessionEnumerator>::AddRefOf(enumerator);
    if (!ReadSessionCount(sessions.Get())) {
        return false;
    }
    // The count is read from the field at every test: the tick walks by the same field.
    for (int index = 0; index < g_watcher.sessionCount; ++index) {
        ApplyMuteToSession(sessions.Get(), index, action);
    }
    return true;
}
