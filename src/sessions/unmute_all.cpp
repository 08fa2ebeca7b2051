#include "sessions/unmute_all.h"

#include "audio/audio_session.h"
#include "sessions/session_listing.h"
#include "sessions/session_owner.h"
#include "sessions/text_output.h"

namespace {

struct UnmuteCount {
    int unmuted;
    int failed;        // sessions that could not be checked or unmuted
    int unreadDevices; // devices whose sessions could not be read
    bool unlisted;     // some device may not have been listed
};

// Names the session as the listing does: process id, executable and path, or why Hushvane
// cannot tell its owner; then its device.
void PrintSession(const char* what, const SessionOwner& owner, const wchar_t* device) {
    Print("%hs ", what);
    PrintProcessId(owner);
    Print("  ");
    PrintOwner(owner);
    Print("   on %s\n", device);
}

void UnmuteSession(IAudioSessionEnumerator* sessions, int index, const wchar_t* device,
                   UnmuteCount* count) {
    ComRef<ISimpleAudioVolume> volume;
    ComRef<IAudioSessionControl2> control2;
    ComRef<IAudioSessionControl> control;
    HRESULT status = OpenSession(sessions, index, &control, &control2, &volume);
    if (FAILED(status)) {
        Print("Session %d on %s cannot be opened (0x%08lX): whether it is muted is unknown.\n",
              index, device, status);
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
        PrintSession("  not checked", owner, device);
        ++count->failed;
        return;
    }
    status = volume->SetMute(FALSE, nullptr);
    if (FAILED(status)) {
        Print("SetMute failed with 0x%08lX:\n", status);
        PrintSession("  still muted", owner, device);
        ++count->failed;
        return;
    }
    PrintSession("Unmuted", owner, device);
    ++count->unmuted;
}

void UnmuteDevice(IMMDevice* device, const wchar_t* name, UnmuteCount* count) {
    SessionList list = {};
    list.device = ComRef<IMMDevice>::AddRefOf(device);
    if (FAILED(OpenDeviceSessions(&list))) {
        ++count->unreadDevices;
        return;
    }
    for (int index = 0; index < list.count; ++index) {
        UnmuteSession(list.sessions.Get(), index, name, count);
    }
}

} // namespace

int UnmuteAllSessions() {
    SessionList list = {};
    wchar_t name[kDeviceNameChars];
    if (!OpenDefaultDevice(&list, name)) {
        return kExitUnreadable;
    }
    UnmuteCount count = {};
    UnmuteDevice(list.device.Get(), name, &count);
    // A mute can be left on a device that was the default when Hushvane started.
    OtherDevices others = {};
    count.unlisted = !FindOtherDevices(list.deviceEnumerator.Get(), list.device.Get(), &others);
    for (int i = 0; i < others.count; ++i) {
        Print("Other playback device: %s\n", others.found[i].name);
        UnmuteDevice(others.found[i].device.Get(), others.found[i].name, &count);
    }
    Print("%d %hs unmuted", count.unmuted, Sessions(count.unmuted));
    if (count.failed > 0) {
        Print("; %d could not be checked or unmuted", count.failed);
    }
    if (count.unreadDevices > 0) {
        Print("; the sessions of %d %hs could not be read", count.unreadDevices,
              count.unreadDevices == 1 ? "device" : "devices");
    }
    if (count.unlisted) {
        Print("; some playback devices could not be listed");
    }
    const bool complete = count.failed + count.unreadDevices == 0 && !count.unlisted;
    Print("%hs.\n", complete ? "; none is left muted" : "");
    return complete ? kExitDone : kExitUnreadable;
}
