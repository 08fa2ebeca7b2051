#pragma once

#include <mmdeviceapi.h>

#include "sessions/watch/screen.h"

// Lists the sessions every second until Ctrl+C, Ctrl+Break or the console closes, or until
// nobody reads its output any more. On a console the listing is drawn, fitted to the window, on a
// screen of the watch's own (the terminal's alternate screen in a pseudo console, a screen buffer
// of its own in the classic console window), and the last one is left below the user's rows at
// the end; elsewhere each is appended after a line with the local time. It keeps the device
// enumerator; the default device and its session list are taken afresh every time. Whatever
// modes a parent left, Ctrl+C ends it and its lines end as lines do; the modes are given back at
// the end, and keys typed meanwhile are dropped. target may be null. It writes through out and
// reads into listing; frame holds what a window shows. Returns the exit status.
int WatchSessions(const wchar_t* target, Writer* out, Listing* listing, Frame* frame);

// One listing of a watch: the local time, with the note where it is drawn on a screen, then the
// listing, which keeps no more session rows than sessionRoom.
void ReadWatchListing(const wchar_t* target, IMMDeviceEnumerator* devices, int sessionRoom,
                      bool onScreen, Listing* listing);
