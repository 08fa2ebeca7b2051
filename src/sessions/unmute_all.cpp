#include "sessions/unmute_all.h"

#include "audio/audio_session.h"
#include "sessions/session_listing.h"
#include "sessions/session_owner.h"
#include "sessions/text_output.h"

namespace {

struct UnmuteCount {
    int unmuted;
    int failed; // sessions that could not be checked or unmuted
};

// Names the session as the listing does: process id, executable and path, or why Hushvane
// cannot tell its owner.
void PrintSession(const char* what, const SessionOwner& owner) {
    Print("%hs ", what);
    PrintProcessId(owner);
    Print("  ");
    PrintOwner(owner);
    Print("\n");
}

void UnmuteSession(IAudioSessionEnumerator* sessions, int index, UnmuteCount* count) {
    ComRef<ISimpleAudioVolume> volume;
    ComRef<IAudioSessionControl2> control2;
    ComRef<IAudioSessionControl> control;
    HRESULT status = OpenSession(sessions, index, &control, &control2, &volume);
    if (FAILED(status)) {
        Print("Session %d cannot be opened (0x%08lX): whether it is muted is unknown.\n", index,
              status);
        ++count->failed;
        return;
    }
    BOOL muted = FALSE;
    status = volume->GetMute(&muted);
    if (SUCCEEDED(status) && !muted) {
        return;
    }
    SessionOwner owner;
    DescribeSessionOwner(control2.Get(), &owner);
    if (FAILED(status)) {
        Print("GetMute failed with 0x%08lX:\n", status);
        PrintSession("  not checked", owner);
        ++count->failed;
        return;
    }
    status = volume->SetMute(FALSE, nullptr);
    if (FAILED(status)) {
        Print("SetMute failed with 0x%08lX:\n", status);
        PrintSession("  still muted", owner);
        ++count->failed;
        return;
    }
    PrintSession("Unmuted", owner);
    ++count->unmuted;
}

} // namespace

int UnmuteAllSessions() {
    SessionList list = {};
    if (!OpenSessionList(&list)) {
        return kExitUnreadable;
    }
    UnmuteCount count = {};
    for (int index = 0; index < list.count; ++index) {
        UnmuteSession(list.sessions.Get(), index, &count);
    }
    Print("%d %hs unmuted", count.unmuted, Sessions(count.unmuted));
    if (count.failed > 0) {
        Print("; %d could not be checked or unmuted.\n", count.failed);
        return kExitUnreadable;
    }
    Print("; none is left muted.\n");
    return kExitDone;
}
