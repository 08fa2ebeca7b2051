#pragma once

// Unmutes every session of the default playback device that reports muted, the target's and
// the unresolvable ones included, and names each. Returns the exit status: 0 when every muted
// session it found was unmuted.
int UnmuteAllSessions();
