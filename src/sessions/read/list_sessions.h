#pragma once

#include <mmdeviceapi.h>

#include "sessions/output/listing.h"

// Adds to the listing the default device's name (or its id), whether Hushvane runs, a row for
// each session, then each other active playback device with its sessions and, with a target,
// whether and how Hushvane hears it. Every session is read for what the listing says of the
// target, kept as a row or not. target and devices may be null. Returns the exit status.
int ListSessions(const wchar_t* target, IMMDeviceEnumerator* devices, Listing* listing);
