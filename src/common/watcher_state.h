#pragma once

#include <windows.h>
#include <mmdeviceapi.h>

#include <stdint.h>

#include "common/com_ref.h"

// The action a mute pass applies: handed to SetMute as a boolean, printed as a number and
// remembered in othersMuted.
enum MuteAction : int32_t {
    MuteActionUnmute = 0,
    MuteActionMute = 1,
};

constexpr int kImagePathChars = MAX_PATH; // terminator included

// Everything the watcher remembers. One instance lives for the whole process; it starts zeroed.
struct WatcherState {
    const wchar_t* targetName; // element 1 of the argument vector, owned by the shell
    ComRef<IMMDeviceEnumerator> deviceEnumerator;
    ComRef<IMMDevice> renderDevice; // the playback endpoint that was the default at start
    int32_t othersMuted;            // action of the last session change a mute pass made
    int32_t silentReadings;         // silent target readings since the last loud one
    // Scratch, overwritten by the tick and the mute pass as they go.
    int32_t sessionCount;
    uint32_t sessionProcessId;
    wchar_t imagePath[kImagePathChars];
    float peakValue;
};

static_assert(sizeof(float) == 4, "peak levels are 32-bit floats");
static_assert(kImagePathChars == 260, "image paths are read into 260 characters");

extern WatcherState g_watcher;
