#include "audio/monitor_tick.h"

#include <stdint.h>

#include "audio/audio_session.h"
#include "audio/loudness.h"
#include "audio/mute_pass.h"
#include "audio/watcher_sessions.h"
#include "common/watcher_state.h"
#include "process/process_queries.h"
#include "trace/trace.h"

namespace {

const wchar_t kLoudMessage[] = L"目标进程有声音输出! 静音其他进程";
const wchar_t kSilentMessage[] = L"目标进程无声音输出! 恢复其他进程音量";
const wchar_t kGoneMessage[] = L"监视进程不存在,恢复静音进程\n";

constexpr int32_t kRestoreThreshold = 2;

// What the target's sessions said during one walk. A target often has several sessions, and
// the tick decides once from all of them, so that one silent session cannot undo what a loud
// one has just done.
struct TickReadings {
    bool loud;
    int32_t silent; // at most the session count, so it cannot overflow
};

// The first loud reading of a tick mutes the others at once, unless they are held muted
// already; silent readings are only counted, and weighed once the walk is over.
void TakeReading(IAudioSessionEnumerator* sessions, TickReadings* readings) {
    if (IsLoudPeak(g_watcher.peakValue)) {
        if (!readings->loud && g_watcher.othersMuted == 0) {
            TraceRaw(kLoudMessage);
            ApplyMuteToOthers(sessions, MuteActionMute);
        }
        readings->loud = true;
        return;
    }
    ++readings->silent;
}

// Any loud reading restarts the silent count; otherwise the silent ones add to it, and two
// since the last loud reading restore the others.
void WeighReadings(IAudioSessionEnumerator* sessions, const TickReadings& readings) {
    if (readings.loud) {
        g_watcher.silentReadings = 0;
        return;
    }
    if (readings.silent == 0) {
        return;
    }
    // Saturates instead of wrapping round after years of silence.
    if (g_watcher.silentReadings > INT32_MAX - readings.silent) {
        g_watcher.silentReadings = INT32_MAX;
    } else {
        g_watcher.silentReadings += readings.silent;
    }
    if (g_watcher.silentReadings >= kRestoreThreshold && g_watcher.othersMuted != 0) {
        TraceRaw(kSilentMessage);
        ApplyMuteToOthers(sessions, MuteActionUnmute);
    }
}

// Every session that resolves has its peak read; only the target's count as readings. Any
// failure on the way means no reading from this session.
void VisitSession(IAudioSessionEnumerator* sessions, int index, TickReadings* readings) {
    SessionControls session;
    if (OpenSession(sessions, index, true, &session)) {
        return;
    }
    if (!ResolveSessionProcess(session.control2.Get())) {
        return;
    }
    float peak = 0.0f;
    if (FAILED(session.meter->GetPeakValue(&peak))) {
        return;
    }
    g_watcher.peakValue = peak;
    if (MatchesTargetName(g_watcher.imagePath)) {
        TakeReading(sessions, readings);
    }
}

void RestoreAfterTargetGone(IAudioSessionEnumerator* sessions) {
    if (g_watcher.othersMuted == 0) {
        return;
    }
    TraceRaw(kGoneMessage);
    ApplyMuteToOthers(sessions, MuteActionUnmute);
    g_watcher.silentReadings = 0;
}

void WalkSessions(IAudioSessionEnumerator* sessions) {
    if (!ReadSessionCount(sessions)) {
        return;
    }
    TickReadings readings = {};
    // A mute pass run from a reading rewrites sessionCount from this same enumerator.
    for (int index = 0; index < g_watcher.sessionCount; ++index) {
        VisitSession(sessions, index, &readings);
    }
    WeighReadings(sessions, readings);
}

} // namespace

bool RunTick() {
    ComRef<IAudioSessionManager2> manager;
    if (FAILED(ActivateSessionManager(g_watcher.renderDevice.Get(), &manager))) {
        return false;
    }
    // Declared after the manager, so released before it.
    ComRef<IAudioSessionEnumerator> sessions;
    if (FAILED(manager->GetSessionEnumerator(sessions.Put()))) {
        return false;
    }
    if (IsTargetRunning()) {
        WalkSessions(sessions.Get());
    } else {
        RestoreAfterTargetGone(sessions.Get());
    }
    return true;
}
