#pragma once

#include "sessions/output/listing.h"

// Unmutes each session that reports muted, on each active playback device it can list, the
// default one first, the target's and the unresolvable ones included, and adds a line naming each
// with its device. Returns the exit status: 0 when every muted session it found was unmuted and
// every device's sessions could be read.
int UnmuteAllSessions(Listing* listing);
