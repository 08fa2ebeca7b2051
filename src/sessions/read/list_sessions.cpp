#include "sessions/read/list_sessions.h"

#include <shlwapi.h>

#include "audio/loudness.h"
#include "process/process_rules.h"
#include "sessions/exit_status.h"
#include "sessions/output/texts.h"
#include "sessions/read/devices.h"
#include "sessions/read/session_row.h"

namespace {

constexpr int kMaxNearMisses = 8;
constexpr int kMaxHushvaneProcesses = 8;

// What one listing reads by, its target and its process snapshot, and what it learns for the
// verdict: whether the default device's session list could not be read; of the sessions there
// that Hushvane counts as the target's, how many, the ones whose peak could be read, and the loud
// ones; and how many belong to a process of the target's name that Hushvane may not query.
struct Reading {
    const wchar_t* target;
    HANDLE snapshot;
    bool defaultUnread;
    int counted, read, loud, denied;
    // The first session whose executable is the target's name in another letter case; its process
    // resolved, so it is not 0.
    DWORD otherCaseProcessId;
    wchar_t otherCaseName[MAX_PATH];
    // The target's sessions on the first other device that has any, which Hushvane never hears.
    int elsewhere;
    wchar_t elsewhereDevice[kDeviceNameChars];
};

// Adds a line saying whether Hushvane.exe runs, and as which processes: two or more would fight
// over the same sessions.
void AddHushvaneProcesses(HANDLE snapshot, Listing* listing) {
    LineText ids = {};
    int count = 0;
    // The user's own program, whatever letter case its file name has on disk.
    VisitProcesses(snapshot, [&](const PROCESSENTRY32W& entry) {
        if (lstrcmpiW(entry.szExeFile, L"Hushvane.exe") == 0 && ++count <= kMaxHushvaneProcesses) {
            Append(&ids, "%hs%lu", count == 1 ? "" : Text().listSeparator, entry.th32ProcessID);
        }
        return true;
    });
    if (count < 2) {
        AddLine(listing, kHeadingLine,
                count == 0 ? Text().hushvaneNotRunning : Text().hushvaneRunning, ids.text);
        return;
    }
    AddLine(listing, kHeadingLine, Text().hushvaneRunningTimes, count, ids.text,
            count > kMaxHushvaneProcesses ? Text().andMore : "");
}

// Adds, one a line, every running program whose name comes close to a target that does not run:
// the same name in another letter case, or the name the target has without its folder (a
// process's name holds none) or with .exe added where it has no extension; or a line saying
// that none does.
void AddNearMisses(HANDLE snapshot, const wchar_t* target, Listing* listing) {
    const wchar_t* fileName = PathFindFileNameW(target);
    wchar_t withExe[MAX_PATH + 4];
    FormatText(withExe, ARRAYSIZE(withExe), *PathFindExtensionW(fileName) == L'\0' ? "%s.exe" : "",
               fileName);
    const wchar_t* forms[] = {fileName, withExe};
    const char* hows[] = {fileName == target ? Text().sameName : Text().withoutFolder,
                          Text().withExe};
    wchar_t found[kMaxNearMisses][MAX_PATH];
    int count = 0;
    VisitProcesses(snapshot, [&](const PROCESSENTRY32W& entry) {
        // Several processes of one executable are named once.
        for (int i = 0; i < count; ++i) {
            if (IsSameExecutableName(found[i], entry.szExeFile)) {
                return true;
            }
        }
        for (int i = 0; i < 2 && count < kMaxNearMisses; ++i) {
            if (lstrcmpiW(entry.szExeFile, forms[i]) == 0) {
                lstrcpynW(found[count++], entry.szExeFile, MAX_PATH);
                const bool sameCase = IsSameExecutableName(entry.szExeFile, forms[i]);
                wchar_t how[kWhyChars];
                FormatText(how, kWhyChars, Text().nearMiss, hows[i],
                           sameCase ? "" : Text().inOtherCase);
                AddLine(listing, kVerdictLine, "  %s   %s", entry.szExeFile, how);
                break;
            }
        }
        return true;
    });
    if (count == 0) {
        AddLine(listing, kVerdictLine, "  %hs", Text().none);
    }
}

// Counts a session of the default device for the verdict: as the target's, as one Hushvane may
// not query, or as one whose name differs from the target's in letter case alone.
void CountTargetSession(const SessionRow& row, Reading* seen) {
    if (row.target) {
        ++seen->counted;
        seen->read += row.peakFailed ? 0 : 1;
        seen->loud += !row.peakFailed && IsLoudPeak(row.peak) ? 1 : 0;
    }
    const SessionOwner& owner = row.owner;
    seen->denied += owner.accessDenied && IsSameExecutableName(owner.name, seen->target) ? 1 : 0;
    if (owner.resolved && !row.target && seen->otherCaseProcessId == 0 &&
        lstrcmpiW(owner.name, seen->target) == 0) {
        seen->otherCaseProcessId = owner.processId;
        lstrcpynW(seen->otherCaseName, owner.name, MAX_PATH);
    }
}

// A device: its heading, what Hushvane makes of the default one, and its sessions, a row each.
// Each session that opens is counted for the verdict, the target's on another device apart.
void ListDevice(const PlaybackDevice& device, Reading* reading, Listing* listing) {
    if (!device.isDefault) {
        AddLine(listing, kHeadingLine, Text().otherDevice, device.name,
                device.communications ? Text().communications : "");
    }
    DeviceSessions list = {};
    const FailedCall failed = OpenDeviceSessions(device.device.Get(), &list, listing);
    if (device.isDefault) {
        // A device that activates no session manager, an interface that Windows before 7 does
        // not have or that its audio stack does not implement; later steps say only that they
        // failed.
        const HRESULT status = failed.status;
        if (!list.manager &&
            (status == E_NOINTERFACE || status == E_NOTIMPL || status == REGDB_E_CLASSNOTREG)) {
            AddLine(listing, kHeadingLine, Text().noSessionManager);
        }
        AddHushvaneProcesses(reading->snapshot, listing);
        AddColumnHeadings(listing);
        reading->defaultUnread = static_cast<bool>(failed);
    }
    int elsewhere = 0;
    for (int index = 0; !failed && index < list.count; ++index) {
        SessionRow row;
        ReadSessionRow(list.sessions.Get(), index, reading->target, reading->snapshot, &row);
        if (device.isDefault && reading->target != nullptr && !row.openFailed) {
            CountTargetSession(row, reading);
        }
        elsewhere += !device.isDefault && row.target ? 1 : 0;
        AddSessionRow(row, listing);
    }
    if (!failed && list.count == 0) {
        AddNoSessions(listing);
    }
    if (elsewhere > 0 && reading->elsewhere == 0) {
        reading->elsewhere = elsewhere;
        lstrcpynW(reading->elsewhereDevice, device.name, kDeviceNameChars);
    }
}

int AddVerdict(const Reading& seen, Listing* listing) {
    const wchar_t* target = seen.target;
    if (!IsExecutableRunning(seen.snapshot, target)) {
        AddLine(listing, kVerdictLine, Text().notRunning, target);
        AddLine(listing, kVerdictLine, Text().closest);
        AddNearMisses(seen.snapshot, target, listing);
        return kExitTargetNotRunning;
    }
    // Without a session here, only the target's name is said.
    const char* sound = seen.loud > 0   ? Text().loudNow
                        : seen.read > 0 ? Text().silentNow
                                        : Text().peakUnread;
    AddLine(listing, kVerdictLine, seen.counted == 0 ? Text().noSessionHere : Text().running,
            target, seen.counted, Plural(seen.counted, Text().sessions), sound);
    // The target plays on a device that Hushvane does not watch, which it then never hears.
    if (seen.elsewhere > 0 && seen.counted > 0) {
        AddLine(listing, kVerdictLine, Text().elsewhereToo, target, seen.elsewhere,
                Plural(seen.elsewhere, Text().sessions), seen.elsewhereDevice);
    } else if (seen.elsewhere > 0) {
        AddLine(listing, kVerdictLine, Text().elsewhereOnly, seen.elsewhere,
                Plural(seen.elsewhere, Text().sessions), seen.elsewhereDevice, seen.elsewhereDevice,
                target);
    }
    if (seen.counted == 0 && seen.otherCaseProcessId != 0) {
        AddLine(listing, kVerdictLine, Text().otherCase, seen.otherCaseProcessId,
                seen.otherCaseName, target);
    }
    if (seen.denied > 0) {
        AddLine(listing, kVerdictLine, Text().denied, seen.denied,
                Plural(seen.denied, Text().sessions), target, Plural(seen.denied, Text().belong));
    }
    return kExitDone;
}

} // namespace

int ListSessions(const wchar_t* target, IMMDeviceEnumerator* devices, Listing* listing) {
    const UniqueHandle snapshot = TakeProcessSnapshot();
    Reading reading = {};
    reading.target = target;
    reading.snapshot = snapshot.Get();
    const DeviceWalk walk =
        VisitPlaybackDevices(devices, listing, [&](const PlaybackDevice& device) {
            ListDevice(device, &reading, listing);
        });
    if (walk == kNoDefaultDevice || reading.defaultUnread) {
        return kExitUnreadable;
    }
    return target == nullptr ? kExitDone : AddVerdict(reading, listing);
}
