#include "sessions/unmute_all.h"

#include "audio/audio_session.h"
#include "sessions/session_listing.h"
#include "sessions/session_owner.h"
#include "sessions/text_output.h"
#include "sessions/texts.h"

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
    Print(Text().onDevice, device);
}

void UnmuteSession(IAudioSessionEnumerator* sessions, int index, const wchar_t* device,
                   UnmuteCount* count) {
    ComRef<ISimpleAudioVolume> volume;
    ComRef<IAudioSessionControl2> control2;
    ComRef<IAudioSessionControl> control;
    HRESULT status = OpenSession(sessions, index, &control, &control2, &volume);
    if (FAILED(status)) {
        Print(Text().unmuteUnopened, index, device, status);
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
        Print(Text().getMuteFailed, status);
        PrintSession(Text().notChecked, owner, device);
        ++count->failed;
        return;
    }
    status = volume->SetMute(FALSE, nullptr);
    if (FAILED(status)) {
        Print(Text().setMuteFailed, status);
        PrintSession(Text().stillMuted, owner, device);
        ++count->failed;
        return;
    }
    PrintSession(Text().unmuted, owner, device);
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
        Print(Text().unmuteDevice, others.found[i].name);
        UnmuteDevice(others.found[i].device.Get(), others.found[i].name, &count);
    }
    Print(Text().unmutedCount, count.unmuted, Sessions(count.unmuted));
    if (count.failed > 0) {
        Print(Text().uncheckedCount, count.failed);
    }
    if (count.unreadDevices > 0) {
        Print(Text().unreadDevices, count.unreadDevices,
              count.unreadDevices == 1 ? Text().device : Text().devices);
    }
    if (count.unlisted) {
        Print(Text().unlisted);
    }
    const bool complete = count.failed + count.unreadDevices == 0 && !count.unlisted;
    Print("%hs%hs\n", complete ? Text().noneLeft : "", Text().fullStop);
    return complete ? kExitDone : kExitUnreadable;
}
