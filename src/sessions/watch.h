#pragma once

#include <windows.h>

// Lists the sessions every second until Ctrl+C, Ctrl+Break or the console closes, or until
// nobody reads its output any more: drawn over the last listing on a console, appended after a
// line with the local time elsewhere. It keeps the device enumerator; the default device and
// its session list are taken afresh every time. target may be null. Returns 0.
int WatchSessions(const wchar_t* target);
