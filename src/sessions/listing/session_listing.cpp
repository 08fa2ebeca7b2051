#include "sessions/listing/session_listing.h"

#include <shlwapi.h>

#include "audio/loudness.h"
#include "common/watcher_state.h"
#include "process/process_queries.h"
#include "sessions/listing/exit_status.h"
#include "sessions/listing/playback_devices.h"
#include "sessions/listing/running_programs.h"
#include "sessions/listing/session_row.h"
#include "sessions/output/print.h"
#include "sessions/output/texts.h"

namespace {

// What the listing learnt about the target's sessions, for the verdict.
struct TargetSessions {
    int counted; // sessions Hushvane counts as the target's
    int read;    // of those, the ones whose peak could be read
    int loud;
    int denied; // sessions of a process of the target's name that Hushvane may not query
    // The first session whose executable is the target's name in another letter case.
    bool otherCase;
    DWORD otherCaseProcessId;
    wchar_t otherCaseName[MAX_PATH];
    // The target's sessions on the first other device that has any, which Hushvane never hears.
    int elsewhere;
    wchar_t elsewhereDevice[kDeviceNameChars];
};

// One listing: its target, the process snapshot it reads names from, and what it found.
struct Listing {
    const wchar_t* target;
    HANDLE snapshot;
    SessionRoom* room;
    TargetSessions seen;
};

// Interfaces that Windows before 7 does not have, or that its audio stack does not implement.
bool IsMissingInterface(HRESULT status) {
    return status == E_NOINTERFACE || status == E_NOTIMPL || status == REGDB_E_CLASSNOTREG;
}

// Counts the session for the verdict: as the target's, as one Hushvane may not query, or as
// one whose name differs from the target's in letter case alone.
void CountTargetSession(const wchar_t* target, const SessionRow& row, TargetSessions* seen) {
    const bool peakRead = row.meter.call == nullptr;
    if (row.target) {
        ++seen->counted;
        seen->read += peakRead ? 1 : 0;
        seen->loud += peakRead && IsLoudPeak(row.peak) ? 1 : 0;
    }
    const SessionOwner& owner = row.owner;
    if (owner.accessDenied && MatchesTargetName(owner.name)) {
        ++seen->denied;
    }
    if (owner.resolved && !row.target && !seen->otherCase && StrCmpIW(owner.name, target) == 0) {
        seen->otherCase = true;
        seen->otherCaseProcessId = owner.processId;
        lstrcpynW(seen->otherCaseName, owner.name, MAX_PATH);
    }
}

bool HasRoom(const SessionRoom* room) {
    return room == nullptr || room->limit == 0 || room->used < room->limit;
}

// Lists the device's sessions, one row each, as far as the room goes; every one is counted for
// the verdict. The target's sessions on another device are counted apart from the default's.
void ListDeviceSessions(const DeviceSessions& list, const PlaybackDevice& device,
                        Listing* listing) {
    TargetSessions there = {};
    TargetSessions* seen = device.isDefault ? &listing->seen : &there;
    for (int index = 0; index < list.count; ++index) {
        SessionRow row;
        ReadSessionRow(list.sessions.Get(), index, listing->target, listing->snapshot, &row);
        if (listing->target != nullptr && row.open.call == nullptr) {
            CountTargetSession(listing->target, row, seen);
        }
        if (!HasRoom(listing->room)) {
            ++listing->room->leftOut;
            continue;
        }
        const int printed = PrintSessionRow(row);
        if (listing->room != nullptr) {
            listing->room->used += printed;
        }
    }
    if (list.count == 0) {
        PrintNoSessions();
    }
    if (there.counted > 0 && listing->seen.elsewhere == 0) {
        listing->seen.elsewhere = there.counted;
        lstrcpynW(listing->seen.elsewhereDevice, device.name, kDeviceNameChars);
    }
}

// A device, its heading, what Hushvane makes of the default one, and its sessions. Returns the
// status of its session list.
HRESULT ListDevice(const PlaybackDevice& device, Listing* listing) {
    if (!device.isDefault) {
        Print(Text().otherDevice, device.name, device.communications ? Text().communications : "");
    }
    DeviceSessions list = {};
    const HRESULT status = OpenDeviceSessions(device.device.Get(), &list);
    if (device.isDefault) {
        if (IsMissingInterface(status)) {
            Print(Text().noSessionManager);
        }
        PrintHushvaneProcesses(listing->snapshot);
        PrintColumnHeadings();
    }
    if (SUCCEEDED(status)) {
        ListDeviceSessions(list, device, listing);
    }
    return status;
}

const char* Sessions(int count) {
    return Plural(count, Text().session, Text().sessions);
}

// The target plays on a device that Hushvane does not watch, which it then never hears.
void PrintElsewhere(const wchar_t* target, const TargetSessions& seen) {
    if (seen.counted > 0) {
        Print(Text().elsewhereToo, target, seen.elsewhere, Sessions(seen.elsewhere),
              seen.elsewhereDevice);
        return;
    }
    Print(Text().elsewhereOnly, seen.elsewhere, Sessions(seen.elsewhere), seen.elsewhereDevice,
          seen.elsewhereDevice, target);
}

int PrintVerdict(const Listing& listing) {
    const wchar_t* target = listing.target;
    const TargetSessions& seen = listing.seen;
    if (!IsTargetRunning()) {
        Print(Text().notRunning, target);
        Print(Text().closest);
        if (PrintNearMisses(listing.snapshot, target) == 0) {
            Print(Text().none);
        }
        return kExitTargetNotRunning;
    }
    if (seen.counted == 0) {
        Print(Text().noSessionHere, target);
    } else {
        const char* sound = seen.loud > 0   ? Text().loudNow
                            : seen.read > 0 ? Text().silentNow
                                            : Text().peakUnread;
        Print(Text().running, target, seen.counted, Sessions(seen.counted), sound);
    }
    if (seen.elsewhere > 0) {
        PrintElsewhere(target, seen);
    }
    if (seen.counted == 0 && seen.otherCase) {
        Print(Text().otherCase, seen.otherCaseProcessId, seen.otherCaseName, target);
    }
    if (seen.denied > 0) {
        Print(Text().denied, seen.denied, Sessions(seen.denied), target,
              Plural(seen.denied, Text().belongs, Text().belong));
    }
    return kExitDone;
}

} // namespace

int ListSessions(const wchar_t* target, IMMDeviceEnumerator* devices, SessionRoom* room) {
    g_watcher.targetName = target;
    const UniqueHandle snapshot = TakeProcessSnapshot();
    Listing listing = {target, snapshot.Get(), room, {}};
    HRESULT defaultStatus = S_OK;
    const DeviceWalk walk = VisitPlaybackDevices(devices, [&](const PlaybackDevice& device) {
        const HRESULT status = ListDevice(device, &listing);
        defaultStatus = device.isDefault ? status : defaultStatus;
    });
    if (walk == kNoDefaultDevice || FAILED(defaultStatus)) {
        return kExitUnreadable;
    }
    return target == nullptr ? kExitDone : PrintVerdict(listing);
}
