#pragma once

// One look at the playback endpoint's sessions. It reads the peak of each target session and
// decides once from all of them: the first loud reading mutes the others at once; with none
// loud, the silent readings add up, and two since the last loud one restore the others once
// the walk is over. When the target is gone, it restores the others. False when the endpoint
// gives no session manager or enumerator, in which case nothing changes.
bool RunTick();
