#include "sessions/listing/unmute_all.h"

#include "audio/audio_session.h"
#include "process/process_queries.h"
#include "sessions/listing/exit_status.h"
#include "sessions/listing/playback_devices.h"
#include "sessions/listing/session_row.h"
#include "sessions/output/print.h"
#include "sessions/output/texts.h"

namespace {

struct UnmuteCount {
    int unmuted;
    int failed;        // sessions that could not be checked or unmuted
    int unreadDevices; // devices whose sessions could not be read
};

// Names the session as the listing does: process id, executable and path, or why Hushvane
// cannot tell its owner; then its device.
void PrintSession(const char* what, const SessionOwner& owner, const wchar_t* device) {
    LineText line = {};
    Append(&line, "%hs ", what);
    AppendOwnerColumns(&line, owner);
    Append(&line, Text().onDevice, device);
    PrintLine(line, false);
}

void UnmuteSession(IAudioSessionEnumerator* sessions, int index, const wchar_t* device,
                   HANDLE snapshot, UnmuteCount* count) {
    SessionControls session;
    HRESULT status = OpenSession(sessions, index, false, &session);
    if (FAILED(status)) {
        Print(Text().unmuteUnopened, index, device, status);
        ++count->failed;
        return;
    }
    BOOL muted = FALSE;
    status = session.volume->GetMute(&muted);
    if (SUCCEEDED(status) && !muted) {
        return;
    }
    SessionOwner owner;
    DescribeSessionOwner(session.control2.Get(), snapshot, &owner);
    if (FAILED(status)) {
        Print(Text().getMuteFailed, status);
        PrintSession(Text().notChecked, owner, device);
        ++count->failed;
        return;
    }
    status = session.volume->SetMute(FALSE, nullptr);
    if (FAILED(status)) {
        Print(Text().setMuteFailed, status);
        PrintSession(Text().stillMuted, owner, device);
        ++count->failed;
        return;
    }
    PrintSession(Text().unmuted, owner, device);
    ++count->unmuted;
}

// A mute can be left on a device that was the default when Hushvane started, so every device's
// sessions are unmuted.
void UnmuteDevice(const PlaybackDevice& device, HANDLE snapshot, UnmuteCount* count) {
    if (!device.isDefault) {
        Print(Text().unmuteDevice, device.name);
    }
    DeviceSessions list = {};
    if (FAILED(OpenDeviceSessions(device.device.Get(), &list))) {
        ++count->unreadDevices;
        return;
    }
    for (int index = 0; index < list.count; ++index) {
        UnmuteSession(list.sessions.Get(), index, device.name, snapshot, count);
    }
}

} // namespace

int UnmuteAllSessions() {
    const UniqueHandle snapshot = TakeProcessSnapshot();
    UnmuteCount count = {};
    const DeviceWalk walk = VisitPlaybackDevices(nullptr, [&](const PlaybackDevice& device) {
        UnmuteDevice(device, snapshot.Get(), &count);
    });
    if (walk == kNoDefaultDevice) {
        return kExitUnreadable;
    }
    Print(Text().unmutedCount, count.unmuted,
          Plural(count.unmuted, Text().session, Text().sessions));
    if (count.failed > 0) {
        Print(Text().uncheckedCount, count.failed);
    }
    if (count.unreadDevices > 0) {
        Print(Text().unreadDevices, count.unreadDevices,
              Plural(count.unreadDevices, Text().device, Text().devices));
    }
    if (walk == kSomeDevicesUnlisted) {
        Print(Text().unlisted);
    }
    const bool complete = count.failed + count.unreadDevices == 0 && walk == kEveryDeviceVisited;
    Print("%hs%hs\n", complete ? Text().noneLeft : "", Text().fullStop);
    return complete ? kExitDone : kExitUnreadable;
}
