#include "sessions/session_listing.h"

#include <shlwapi.h>
#include <wchar.h>

#include "audio/audio_session.h"
#include "audio/loudness.h"
#include "common/watcher_state.h"
#include "process/process_queries.h"
#include "sessions/session_owner.h"
#include "sessions/text_output.h"

// Defines the property key of the device's friendly name here, rather than declaring it only.
#include <initguid.h>
#include <functiondiscoverykeys_devpkey.h>

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
};

void CantRead(const char* what, const char* call, HRESULT status) {
    Print("Cannot read %hs: %hs failed with 0x%08lX.\n", what, call, status);
}

// Interfaces that Windows before 7 does not have, or that its audio stack does not implement.
bool IsMissingInterface(HRESULT status) {
    return status == E_NOINTERFACE || status == E_NOTIMPL || status == REGDB_E_CLASSNOTREG;
}

void PrintDeviceName(IMMDevice* device) {
    ComRef<IPropertyStore> properties;
    PROPVARIANT name;
    PropVariantInit(&name);
    if (SUCCEEDED(device->OpenPropertyStore(STGM_READ, properties.Put())) &&
        SUCCEEDED(properties->GetValue(PKEY_Device_FriendlyName, &name)) && name.vt == VT_LPWSTR &&
        name.pwszVal != nullptr && name.pwszVal[0] != L'\0') {
        Print("Default playback device: %s\n", name.pwszVal);
        PropVariantClear(&name);
        return;
    }
    PropVariantClear(&name);
    wchar_t* id = nullptr;
    HRESULT status = device->GetId(&id);
    if (SUCCEEDED(status) && id != nullptr) {
        Print("Default playback device: %s (its name cannot be read)\n", id);
    } else {
        Print("Default playback device: (its name and id cannot be read: 0x%08lX)\n", status);
    }
    CoTaskMemFree(id);
}

void PrintFailedCall(const char* call, HRESULT status) {
    Print("   [%hs failed: 0x%08lX]", call, status);
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
        Print("%7hs  (session %d cannot be opened: %hs failed with 0x%08lX; Hushvane skips it)\n",
              "?", index, call, status);
        return;
    }
    // The columns: process id, mute state, peak, loud or silent, executable, path or reason.
    SessionOwner owner;
    DescribeSessionOwner(control2.Get(), &owner);
    PrintProcessId(owner);

    BOOL muted = FALSE;
    HRESULT muteStatus = volume->GetMute(&muted);
    Print("  %-7hs", FAILED(muteStatus) ? "?" : muted ? "muted" : "audible");

    float peak = 0.0f;
    const char* meterCall = "";
    HRESULT meterStatus = ReadPeak(control.Get(), &peak, &meterCall);
    wchar_t peakText[kPeakChars] = L"?";
    if (SUCCEEDED(meterStatus)) {
        FormatPeak(peak, peakText);
    }
    const char* sound = FAILED(meterStatus) ? "?" : IsLoudPeak(peak) ? "loud" : "silent";
    Print("  %-9s %-6hs  ", peakText, sound);
    PrintOwner(owner);

    bool isTarget = target != nullptr && owner.resolved && MatchesTargetName(owner.path);
    if (isTarget) {
        Print("   target");
    }
    if (owner.resolved && owner.systemSounds) {
        Print("   (system sounds: Hushvane %hs)",
              isTarget ? "hears them as the target's" : "mutes them with the others");
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
        Print("%7hs  (no sessions)\n", "");
    }
    if (layout != nullptr && layout->groupCount < kMaxSessionGroups) {
        layout->groups[layout->groupCount++] = rows;
    }
}

const char* Belong(int count) {
    return count == 1 ? "belongs" : "belong";
}

int PrintVerdict(const wchar_t* target, const TargetSessions& seen) {
    if (!IsTargetRunning()) {
        Print("%s is not running. Hushvane compares names exactly, letter case included, with "
              "the file names of running programs.\n",
              target);
        Print("Running programs whose names come closest:\n");
        if (PrintNearMisses(target) == 0) {
            Print("  (none)\n");
        }
        return kExitTargetNotRunning;
    }
    if (seen.counted == 0) {
        Print("%s is running but has no session on this device that Hushvane can see. Hushvane "
              "hears it only while it has a session on this device.\n",
              target);
    } else {
        const char* sound = seen.loud > 0   ? "it is loud now"
                            : seen.read > 0 ? "it is silent now"
                                            : "its peak cannot be read, so Hushvane hears nothing";
        Print("%s is running and has %d %hs on this device; %hs.\n", target, seen.counted,
              Sessions(seen.counted), sound);
    }
    if (seen.counted == 0 && seen.otherCase) {
        Print("Process %lu has a session as %s, which is %s in another letter case: Hushvane "
              "compares names exactly, letter case included, so it does not hear that "
              "session.\n",
              seen.otherCaseProcessId, seen.otherCaseName, target);
    }
    if (seen.denied > 0) {
        Print("%d %hs of %s %hs to a process that Hushvane may not query: it runs elevated, as "
              "another user, or as a service or protected process. Hushvane hears it only when "
              "started with the same rights.\n",
              seen.denied, Sessions(seen.denied), target, Belong(seen.denied));
    }
    return kExitDone;
}

} // namespace

const char* Sessions(int count) {
    return count == 1 ? "session" : "sessions";
}

bool OpenSessionList(SessionList* list) {
    HRESULT status = S_OK;
    if (!list->deviceEnumerator) {
        status = CreateDeviceEnumerator(&list->deviceEnumerator);
    }
    if (FAILED(status)) {
        CantRead("the audio devices", "CoCreateInstance(MMDeviceEnumerator)", status);
        return false;
    }
    status = GetDefaultRenderDevice(list->deviceEnumerator.Get(), &list->device);
    if (FAILED(status)) {
        CantRead("the default playback device", "GetDefaultAudioEndpoint", status);
        return false;
    }
    PrintDeviceName(list->device.Get());
    status = ActivateSessionManager(list->device.Get(), &list->manager);
    if (SUCCEEDED(status)) {
        status = list->manager->GetSessionEnumerator(list->sessions.Put());
        if (FAILED(status)) {
            CantRead("the device's sessions", "GetSessionEnumerator", status);
        }
    } else {
        CantRead("the device's sessions", "Activate(IAudioSessionManager2)", status);
    }
    if (FAILED(status)) {
        if (IsMissingInterface(status)) {
            Print("The session manager is not available: listing sessions needs Windows 7 or "
                  "later.\n");
        }
        return false;
    }
    status = list->sessions->GetCount(&list->count);
    if (FAILED(status)) {
        CantRead("the number of sessions", "GetCount", status);
        return false;
    }
    return true;
}

int ListSessions(const wchar_t* target, IMMDeviceEnumerator* devices, ListingLayout* layout) {
    SessionList list = {};
    list.deviceEnumerator = ComRef<IMMDeviceEnumerator>::AddRefOf(devices);
    if (!OpenSessionList(&list)) {
        return kExitUnreadable;
    }
    PrintHushvaneProcesses();
    g_watcher.targetName = target;
    Print("%7hs  %-7hs  %-9hs %-6hs  %-16hs  %hs\n", "PID", "mute", "peak", "sound", "executable",
          "path");
    TargetSessions seen = {};
    ListDeviceSessions(list, target, &seen, layout);
    return target == nullptr ? kExitDone : PrintVerdict(target, seen);
}
