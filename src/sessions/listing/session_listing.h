#pragma once

#include <mmdeviceapi.h>

// How many session rows a listing prints: every one, or no more than a console window could
// show, the others counted as left out.
struct SessionRoom {
    int limit;   // characters of session rows; 0 prints every one
    int used;    // characters printed so far
    int leftOut; // sessions counted but not printed
};

// Prints the default device's name (or its id), whether Hushvane runs, one line per session,
// then each other active playback device with its sessions and, with a target, whether and how
// Hushvane hears it. target, devices and room may be null. Returns the exit status.
int ListSessions(const wchar_t* target, IMMDeviceEnumerator* devices, SessionRoom* room);
