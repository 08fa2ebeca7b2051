#pragma once

#include <audiopolicy.h>

#include "common/watcher_state.h"

// Sets the mute state of every session of the enumerator that does not belong to the target,
// writing a trace line for each, and records the action in othersMuted once a session has
// accepted it. Holds its own reference to the enumerator while it runs. False only when the
// session count cannot be read.
bool ApplyMuteToOthers(IAudioSessionEnumerator* enumerator, MuteAction action);
