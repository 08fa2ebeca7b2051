#pragma once

#include <windows.h>
#include <mmdeviceapi.h>

#include "common/com_ref.h"

constexpr int kDeviceNameChars = 128;
constexpr int kMaxOtherDevices = 16;

// Reads the device's friendly name or, where it has none, its id with a note, into
// name[kDeviceNameChars].
void ReadDeviceName(IMMDevice* device, wchar_t* name);

// An active playback device that Hushvane does not watch.
struct OtherDevice {
    ComRef<IMMDevice> device;
    wchar_t name[kDeviceNameChars];
    bool communications; // Windows' default device for communications
};

struct OtherDevices {
    int count;
    OtherDevice found[kMaxOtherDevices];
};

// Finds every active playback device but the default one, which is told apart by its endpoint
// id, never by its place in the list. Prints a line for what cannot be read; false when the
// devices cannot be listed at all.
bool FindOtherDevices(IMMDeviceEnumerator* devices, IMMDevice* defaultDevice, OtherDevices* others);
