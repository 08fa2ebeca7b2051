#include "sessions/read/unmute_all.h"

#include "audio/audio_session.h"
#include "process/process_rules.h"
#include "sessions/exit_status.h"
#include "sessions/output/texts.h"
#include "sessions/read/devices.h"
#include "sessions/read/session_row.h"

namespace {

// Sessions unmuted, sessions that could not be checked or unmuted, and devices whose sessions
// could not be read.
struct UnmuteCount {
    int unmuted, failed, unreadDevices;
};

void UnmuteSession(IAudioSessionEnumerator* sessions, int index, const wchar_t* device,
                   HANDLE snapshot, UnmuteCount* count, Listing* listing) {
    SessionControls session;
    const FailedCall opened = OpenSession(sessions, index, false, &session);
    if (opened) {
        AddLine(listing, kVerdictLine, Text().unmuteUnopened, index, device,
                DescribeFailure(opened).text);
        ++count->failed;
        return;
    }
    BOOL muted = FALSE;
    const FailedCall read = CheckCall("GetMute", session.volume->GetMute(&muted));
    if (!read && !muted) {
        return;
    }
    SessionOwner owner;
    DescribeSessionOwner(session.control2.Get(), snapshot, &owner);
    const FailedCall failed =
        read ? read : CheckCall("SetMute", session.volume->SetMute(FALSE, nullptr));
    if (failed) {
        AddLine(listing, kVerdictLine, Text().callFailed, DescribeFailure(failed).text);
    }
    const char* what = !failed ? Text().unmuted : read ? Text().notChecked : Text().stillMuted;
    AddUnmuteLine(what, static_cast<bool>(failed), owner, device, listing);
    ++(!failed ? count->unmuted : count->failed);
}

// A mute can be left on a device that was the default when Hushvane started, so every device's
// sessions are unmuted.
void UnmuteDevice(const PlaybackDevice& device, HANDLE snapshot, UnmuteCount* count,
                  Listing* listing) {
    if (!device.isDefault) {
        AddLine(listing, kHeadingLine, Text().unmuteDevice, device.name);
    }
    DeviceSessions list = {};
    const FailedCall failed = OpenDeviceSessions(device.device.Get(), &list, listing);
    count->unreadDevices += failed ? 1 : 0;
    for (int index = 0; !failed && index < list.count; ++index) {
        UnmuteSession(list.sessions.Get(), index, device.name, snapshot, count, listing);
    }
}

} // namespace

int UnmuteAllSessions(Listing* listing) {
    const UniqueHandle snapshot = TakeProcessSnapshot();
    UnmuteCount count = {};
    const DeviceWalk walk =
        VisitPlaybackDevices(nullptr, listing, [&](const PlaybackDevice& device) {
            UnmuteDevice(device, snapshot.Get(), &count, listing);
        });
    if (walk == kNoDefaultDevice) {
        return kExitUnreadable;
    }
    const bool complete = count.failed + count.unreadDevices == 0 && walk == kEveryDeviceVisited;
    LineText line = {};
    Append(&line, Text().unmutedCount, count.unmuted, Plural(count.unmuted, Text().sessions));
    Append(&line, count.failed > 0 ? Text().uncheckedCount : "", count.failed);
    Append(&line, count.unreadDevices > 0 ? Text().unreadDevices : "", count.unreadDevices,
           Plural(count.unreadDevices, Text().devices));
    Append(&line, walk == kSomeDevicesUnlisted ? Text().unlisted : "");
    Append(&line, "%hs%hs", complete ? Text().noneLeft : "", Text().fullStop);
    AddLine(listing, kVerdictLine, "%s", line.text);
    return complete ? kExitDone : kExitUnreadable;
}
