#pragma once

#include <windows.h>
#include <mmdeviceapi.h>

#include "common/com_ref.h"

// A name, and for a device that shares its name with another, its endpoint id too.
constexpr int kDeviceNameChars = 200;
constexpr int kMaxOtherDevices = 16;
// Endpoint ids are short, as "{0.0.0.00000000}.{guid}".
constexpr int kDeviceIdChars = 128;

// Reads the device's friendly name or, where it has none, its id with a note, into
// name[kDeviceNameChars].
void ReadDeviceName(IMMDevice* device, wchar_t* name);

// An active playback device that Hushvane does not watch.
struct OtherDevice {
    ComRef<IMMDevice> device;
    wchar_t name[kDeviceNameChars];
    wchar_t id[kDeviceIdChars];
    bool communications; // Windows' default device for communications
};

struct OtherDevices {
    int count;
    OtherDevice found[kMaxOtherDevices];
};

// Finds every active playback device but the default one, which is told apart by its endpoint
// id, never by its place in the list. A device whose name another one has too is named with its
// id. Prints a line for what cannot be read; false when some device may not be listed, since
// the list or an id could not be read.
bool FindOtherDevices(IMMDeviceEnumerator* devices, IMMDevice* defaultDevice, OtherDevices* others);
