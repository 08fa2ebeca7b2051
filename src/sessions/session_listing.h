#pragma once

#include <audiopolicy.h>
#include <mmdeviceapi.h>

#include "common/com_ref.h"
#include "sessions/playback_devices.h"

// Exit statuses of HushvaneSessions.exe.
enum ExitStatus {
    kExitDone = 0,
    kExitUnreadable = 1, // the device or its session list could not be read, or an unmute failed
    kExitUsage = 2,
    kExitTargetNotRunning = 3,
};

// A playback device's session list, opened as Hushvane opens the default device's. The members are
// released in reverse order: the list, the manager, the device, the enumerator.
struct SessionList {
    ComRef<IMMDeviceEnumerator> deviceEnumerator;
    ComRef<IMMDevice> device;
    ComRef<IAudioSessionManager2> manager;
    ComRef<IAudioSessionEnumerator> sessions;
    int count;
};

// "session" or "sessions", as the count asks.
const char* Sessions(int count);

// Opens the default device, with the device enumerator the list holds or else a new one, and
// prints its name, which it also reads into name[kDeviceNameChars]. On failure prints at which
// step, with the status, and returns false.
bool OpenDefaultDevice(SessionList* list, wchar_t* name);

// Reads the list's device's session list and count. On failure prints at which step, with the
// status, and returns the status.
HRESULT OpenDeviceSessions(SessionList* list);

// Where a listing's session rows stand among the lines that Print has collected, so that a
// console window can show as many of them as fit.
constexpr int kMaxSessionGroups = 1 + kMaxOtherDevices;
struct SessionRows {
    int firstLine;
    int lines;
};
struct ListingLayout {
    // Set by the caller: once this many characters of session rows are collected, the further
    // sessions are counted but not printed, since no window could show them. 0 prints all.
    int sessionTextLimit;
    // Set by the listing: the session rows of each device, the characters they took, and the
    // sessions left unprinted.
    int groupCount;
    SessionRows groups[kMaxSessionGroups];
    int sessionText;
    int unprintedSessions;
};

// Prints the default device's name (or its id), whether Hushvane runs, one line per session,
// then each other active playback device with its sessions and, with a target, whether and how
// Hushvane hears it. target, devices and layout may be null. Returns
// the exit status.
int ListSessions(const wchar_t* target, IMMDeviceEnumerator* devices, ListingLayout* layout);
