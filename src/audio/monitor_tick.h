#pragma once

// What the tick writes when it decides, unchanged, on the debugger output channel.
extern const wchar_t kLoudMessage[];
extern const wchar_t kSilentMessage[];
extern const wchar_t kGoneMessage[];

// One look at the playback endpoint's sessions: takes a reading of each target session and
// mutes or restores the others when a reading calls for it. False when the endpoint gives no
// session manager or enumerator, in which case nothing changes.
bool RunTick();
