#pragma once

#include <windows.h>

// Lists the sessions every second until Ctrl+C, Ctrl+Break or the console closes, or until
// nobody reads its output any more. On a console the listing is drawn, fitted to the window, on a
// screen buffer of the watch's own, and the last one is left below the user's rows at the end;
// elsewhere each is appended after a line with the local time. It keeps the device enumerator;
// the default device and its session list are taken afresh every time. target may be null.
// Returns 0.
int WatchSessions(const wchar_t* target);
