#pragma once

#include <audiopolicy.h>

#include "common/failed_call.h"
#include "sessions/output/listing.h"

// Who owns a session, found by Hushvane's own resolution and, where that fails, explained by
// what it saw.
struct SessionOwner {
    DWORD processId;
    bool processIdRead;
    // Hushvane resolved the owner: path holds its executable, name the file-name part.
    bool resolved;
    wchar_t path[MAX_PATH];
    // The executable's file name, from the path or else from the process list; "?" if neither.
    wchar_t name[MAX_PATH];
    // Why Hushvane cannot resolve it, in plain words and in brackets; empty when it can.
    wchar_t reason[256];
    // The owner runs, but Hushvane may not query it.
    bool accessDenied;
    // Windows' own sounds, whether or not their owner resolves (Windows 10 may give
    // taskhostw.exe as their owner, and then Hushvane mutes them with the others).
    bool systemSounds;
};

// Resolves the session's owner as Hushvane does (the process id the session reports, then its
// executable's path) and, where that fails, says why and finds the name the process list gives.
void DescribeSessionOwner(IAudioSessionControl2* control2, HANDLE snapshot, SessionOwner* owner);

// What a listing shows of one session: its owner, mute state, peak and state, each beside the
// call that failed to tell it, if one did.
struct SessionRow {
    int index;
    FailedCall openFailed; // where the session could not be opened, nothing else is read
    SessionOwner owner;
    BOOL muted;
    FailedCall muteFailed;
    float peak;
    FailedCall peakFailed; // the meter's, or its reading's
    bool expired;
    FailedCall stateFailed;
    bool target; // its executable is the target's
};

// Opens session index as Hushvane does, with its meter, and reads its row; where the session
// cannot be opened, only which call failed.
void ReadSessionRow(IAudioSessionEnumerator* sessions, int index, const wchar_t* target,
                    HANDLE snapshot, SessionRow* row);

// The heading of the listing's columns, a session's row under it, and the line under the heading
// of a device without sessions.
void AddColumnHeadings(Listing* listing);
void AddSessionRow(const SessionRow& row, Listing* listing);
void AddNoSessions(Listing* listing);

// A line of --unmute-all: what became of a session (outcome, which failed or not), then the
// session's owner as its row names it, then its device.
void AddUnmuteLine(const char* outcome, bool failed, const SessionOwner& owner,
                   const wchar_t* device, Listing* listing);
