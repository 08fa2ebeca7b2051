#pragma once

#include <audiopolicy.h>
#include <mmdeviceapi.h>

#include "common/com_ref.h"
#include "common/failed_call.h"
#include "sessions/output/listing.h"

constexpr int kMaxOtherDevices = 16;
// Endpoint ids are short, as "{0.0.0.00000000}.{guid}".
constexpr int kDeviceIdChars = 128;
// A name, cut with an ellipsis where it is longer than kNameChars, and for a device that shares
// its name with another, its endpoint id too.
constexpr int kNameChars = 256;
constexpr int kDeviceNameChars = kNameChars + kDeviceIdChars + 8;
// Why a device has no name or no id, in a few words and the call that failed.
constexpr int kWhyChars = 192;

// An active playback device: the default one, which Hushvane watches, or another.
struct PlaybackDevice {
    ComRef<IMMDevice> device;
    wchar_t name[kDeviceNameChars];
    wchar_t id[kDeviceIdChars];
    bool isDefault;
    bool communications; // Windows' default device for communications
};

struct OtherDevices {
    int count;
    PlaybackDevice found[kMaxOtherDevices];
};

// Opens the default playback device with the enumerator, which it creates where there is none,
// reads its name and adds its heading. False, with a line saying why, when it cannot.
bool OpenDefaultDevice(ComRef<IMMDeviceEnumerator>* devices, PlaybackDevice* device,
                       Listing* listing);

// Finds the active playback devices but the default one, at most kMaxOtherDevices, told apart
// from it by their endpoint ids, never by their place in the list. A device whose name another one
// has too is named with its id. Adds a line for what cannot be read; false when some device may not
// be listed, since the list or an id could not be read.
bool FindOtherDevices(IMMDeviceEnumerator* devices, const PlaybackDevice& defaultDevice,
                      OtherDevices* others, Listing* listing);

// How a walk of the devices ended.
enum DeviceWalk { kNoDefaultDevice, kSomeDevicesUnlisted, kEveryDeviceVisited };

// Calls visit(device) for each active playback device it can list, the default one first. The
// others are found once it has been visited, so that what cannot be read of them follows its
// lines.
template <typename Visit>
DeviceWalk VisitPlaybackDevices(IMMDeviceEnumerator* devices, Listing* listing, Visit visit) {
    ComRef<IMMDeviceEnumerator> enumerator = ComRef<IMMDeviceEnumerator>::AddRefOf(devices);
    PlaybackDevice defaultDevice = {};
    if (!OpenDefaultDevice(&enumerator, &defaultDevice, listing)) {
        return kNoDefaultDevice;
    }
    visit(defaultDevice);
    OtherDevices others = {};
    const bool complete = FindOtherDevices(enumerator.Get(), defaultDevice, &others, listing);
    for (int i = 0; i < others.count; ++i) {
        visit(others.found[i]);
    }
    return complete ? kEveryDeviceVisited : kSomeDevicesUnlisted;
}

// A device's session list, opened as Hushvane opens the default device's.
struct DeviceSessions {
    ComRef<IAudioSessionManager2> manager;
    ComRef<IAudioSessionEnumerator> sessions;
    int count;
};

// Opens the device's session list and reads its count. Where a call fails, adds a line that
// names it and returns it.
FailedCall OpenDeviceSessions(IMMDevice* device, DeviceSessions* list, Listing* listing);
