#include "sessions/session_listing.h"

#include <shlwapi.h>
#include <wchar.h>

#include "audio/audio_session.h"
#include "audio/loudness.h"
#include "common/watcher_state.h"
#include "process/process_queries.h"
#include "sessions/playback_devices.h"
#include "sessions/session_owner.h"
#include "sessions/text_output.h"
#include "sessions/texts.h"

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

void CantRead(const char* what, const char* call, HRESULT status) {
    Print(Text().cantRead, what, call, status);
}

// Interfaces that Windows before 7 does not have, or that its audio stack does not implement.
bool IsMissingInterface(HRESULT status) {
    return status == E_NOINTERFACE || status == E_NOTIMPL || status == REGDB_E_CLASSNOTREG;
}

void PrintFailedCall(const char* call, HRESULT status) {
    Print(Text().failedCall, call, status);
}

// Reads the session's peak as Hushvane does: the meter from the session control, then its
// value. On failure names the call that failed.
HRESULT ReadPeak(IAudioSessionControl* control, float* peak, const char** failedCall) {
    ComRef<IAudioMeterInformation> meter;
    HRESULT status = control->QueryInterface(__uuidof(IAudioMeterInformation), meter.PutVoid());
    if (FAILED(status)) {
        *failedCall = "QueryInterface(IAudioMeterInformation)";
        return status;
    }
    *failedCall = "GetPeakValue";
    return meter->GetPeakValue(peak);
}

// Counts the session for the verdict: as the target's, as one Hushvane may not query, or as
// one whose name differs from the target's in letter case alone.
void CountTargetSession(const wchar_t* target, const SessionOwner& owner, bool isTarget,
                        HRESULT meterStatus, float peak, TargetSessions* seen) {
    if (isTarget) {
        ++seen->counted;
        seen->read += SUCCEEDED(meterStatus) ? 1 : 0;
        seen->loud += SUCCEEDED(meterStatus) && IsLoudPeak(peak) ? 1 : 0;
    }
    if (owner.accessDenied && MatchesTargetName(owner.name)) {
        ++seen->denied;
    }
    if (owner.resolved && !isTarget && !seen->otherCase && StrCmpIW(owner.name, target) == 0) {
        seen->otherCase = true;
        seen->otherCaseProcessId = owner.processId;
        lstrcpynW(seen->otherCaseName, owner.name, MAX_PATH);
    }
}

void ListSession(IAudioSessionEnumerator* sessions, int index, const wchar_t* target,
                 TargetSessions* seen) {
    // Declared in reverse so that leaving the scope releases the control, the extended control
    // and then the volume control, as Hushvane does.
    ComRef<ISimpleAudioVolume> volume;
    ComRef<IAudioSessionControl2> control2;
    ComRef<IAudioSessionControl> control;
    HRESULT status = OpenSession(sessions, index, &control, &control2, &volume);
    if (FAILED(status)) {
        const char* call = !control    ? "GetSession"
                           : !control2 ? "QueryInterface(IAudioSessionControl2)"
                                       : "QueryInterface(ISimpleAudioVolume)";
        Print(Text().sessionUnopened, "?", index, call, status);
        return;
    }
    // The columns: process id, mute state, peak, loud or silent, executable, path or reason.
    SessionOwner owner;
    DescribeSessionOwner(control2.Get(), &owner);
    PrintProcessId(owner);

    BOOL muted = FALSE;
    HRESULT muteStatus = volume->GetMute(&muted);
    Print("  %-7hs", FAILED(muteStatus) ? "?" : muted ? Text().muted : Text().audible);

    float peak = 0.0f;
    const char* meterCall = "";
    HRESULT meterStatus = ReadPeak(control.Get(), &peak, &meterCall);
    wchar_t peakText[kPeakChars] = L"?";
    if (SUCCEEDED(meterStatus)) {
        FormatPeak(peak, peakText);
    }
    const char* sound = FAILED(meterStatus) ? "?" : IsLoudPeak(peak) ? Text().loud : Text().silent;
    Print("  %-9s %-6hs  ", peakText, sound);
    PrintOwner(owner);

    bool isTarget = target != nullptr && owner.resolved && MatchesTargetName(owner.path);
    if (isTarget) {
        Print("   %hs", Text().target);
    }
    if (owner.resolved && owner.systemSounds) {
        Print(isTarget ? Text().systemSoundsAsTarget : Text().systemSoundsMuted);
    }
    // Hushvane reads an expired session as any other; the volume mixer hides it.
    AudioSessionState state = AudioSessionStateActive;
    HRESULT stateStatus = control->GetState(&state);
    if (SUCCEEDED(stateStatus) && state == AudioSessionStateExpired) {
        Print(Text().expired);
    }
    if (target != nullptr) {
        CountTargetSession(target, owner, isTarget, meterStatus, peak, seen);
    }
    if (!owner.hasProcessId) {
        PrintFailedCall("GetProcessId", owner.processIdStatus);
    }
    if (FAILED(muteStatus)) {
        PrintFailedCall("GetMute", muteStatus);
    }
    if (FAILED(stateStatus)) {
        PrintFailedCall("GetState", stateStatus);
    }
    if (FAILED(meterStatus)) {
        PrintFailedCall(meterCall, meterStatus);
    }
    Print("\n");
}

bool IsSessionTextLeft(const ListingLayout* layout) {
    return layout == nullptr || layout->sessionTextLimit == 0 ||
           layout->sessionText < layout->sessionTextLimit;
}

// Lists the device's sessions, one row each, and notes where the rows stand. Once the layout's
// limit of session text is reached, the rest are counted for the verdict but not printed.
void ListDeviceSessions(const SessionList& list, const wchar_t* target, TargetSessions* seen,
                        ListingLayout* layout) {
    SessionRows rows = {CollectedLineCount(), 0};
    for (int index = 0; index < list.count; ++index) {
        bool printed = IsSessionTextLeft(layout);
        int before = 0;
        CollectedOutput(&before);
        DropOutput(!printed);
        ListSession(list.sessions.Get(), index, target, seen);
        DropOutput(false);
        if (layout == nullptr) {
            continue;
        }
        int after = 0;
        CollectedOutput(&after);
        layout->sessionText += after - before;
        rows.lines += printed ? 1 : 0;
        layout->unprintedSessions += printed ? 0 : 1;
    }
    if (list.count == 0) {
        Print("%7hs  %hs\n", "", Text().noSessions);
    }
    if (layout != nullptr && layout->groupCount < kMaxSessionGroups) {
        layout->groups[layout->groupCount++] = rows;
    }
}

// A device that Hushvane does not watch, under a heading of its own. The target's sessions there
// are marked, but counted apart from the default device's.
void ListOtherDevice(const OtherDevice& other, const wchar_t* target, TargetSessions* seen,
                     ListingLayout* layout) {
    Print(Text().otherDevice, other.name, other.communications ? Text().communications : "");
    SessionList list = {};
    list.device = ComRef<IMMDevice>::AddRefOf(other.device.Get());
    if (FAILED(OpenDeviceSessions(&list))) {
        return;
    }
    TargetSessions there = {};
    ListDeviceSessions(list, target, &there, layout);
    if (there.counted > 0 && seen->elsewhere == 0) {
        seen->elsewhere = there.counted;
        lstrcpynW(seen->elsewhereDevice, other.name, kDeviceNameChars);
    }
}

void ListOtherDevices(const SessionList& defaultList, const wchar_t* target, TargetSessions* seen,
                      ListingLayout* layout) {
    OtherDevices others = {};
    FindOtherDevices(defaultList.deviceEnumerator.Get(), defaultList.device.Get(), &others);
    for (int i = 0; i < others.count; ++i) {
        ListOtherDevice(others.found[i], target, seen, layout);
    }
}

const char* Belong(int count) {
    return count == 1 ? Text().belongs : Text().belong;
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

int PrintVerdict(const wchar_t* target, const TargetSessions& seen) {
    if (!IsTargetRunning()) {
        Print(Text().notRunning, target);
        Print(Text().closest);
        if (PrintNearMisses(target) == 0) {
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
        Print(Text().denied, seen.denied, Sessions(seen.denied), target, Belong(seen.denied));
    }
    return kExitDone;
}

} // namespace

const char* Sessions(int count) {
    return count == 1 ? Text().session : Text().sessions;
}

bool OpenDefaultDevice(SessionList* list, wchar_t* name) {
    HRESULT status = S_OK;
    if (!list->deviceEnumerator) {
        status = CreateDeviceEnumerator(&list->deviceEnumerator);
    }
    if (FAILED(status)) {
        CantRead(Text().theAudioDevices, "CoCreateInstance(MMDeviceEnumerator)", status);
        return false;
    }
    status = GetDefaultRenderDevice(list->deviceEnumerator.Get(), &list->device);
    if (FAILED(status)) {
        CantRead(Text().theDefaultDevice, "GetDefaultAudioEndpoint", status);
        return false;
    }
    ReadDeviceName(list->device.Get(), name);
    Print(Text().defaultDevice, name);
    return true;
}

HRESULT OpenDeviceSessions(SessionList* list) {
    const char* call = "Activate(IAudioSessionManager2)";
    HRESULT status = ActivateSessionManager(list->device.Get(), &list->manager);
    if (SUCCEEDED(status)) {
        call = "GetSessionEnumerator";
        status = list->manager->GetSessionEnumerator(list->sessions.Put());
    }
    if (FAILED(status)) {
        CantRead(Text().theDeviceSessions, call, status);
        return status;
    }
    status = list->sessions->GetCount(&list->count);
    if (FAILED(status)) {
        CantRead(Text().theSessionCount, "GetCount", status);
    }
    return status;
}

int ListSessions(const wchar_t* target, IMMDeviceEnumerator* devices, ListingLayout* layout) {
    SessionList list = {};
    list.deviceEnumerator = ComRef<IMMDeviceEnumerator>::AddRefOf(devices);
    wchar_t name[kDeviceNameChars];
    if (!OpenDefaultDevice(&list, name)) {
        return kExitUnreadable;
    }
    HRESULT status = OpenDeviceSessions(&list);
    if (IsMissingInterface(status)) {
        Print(Text().noSessionManager);
    }
    PrintHushvaneProcesses();
    g_watcher.targetName = target;
    Print("%7hs  %-7hs  %-9hs %-6hs  %-16hs  %hs\n", Text().columnProcessId, Text().columnMute,
          Text().columnPeak, Text().columnSound, Text().columnExecutable, Text().columnPath);
    TargetSessions seen = {};
    if (SUCCEEDED(status)) {
        ListDeviceSessions(list, target, &seen, layout);
    }
    ListOtherDevices(list, target, &seen, layout);
    if (FAILED(status)) {
        return kExitUnreadable;
    }
    return target == nullptr ? kExitDone : PrintVerdict(target, seen);
}
