#include "sessions/listing/session_row.h"

#include <shlwapi.h>

#include "audio/audio_session.h"
#include "audio/loudness.h"
#include "common/watcher_state.h"
#include "process/process_queries.h"
#include "sessions/listing/running_programs.h"
#include "sessions/output/texts.h"

namespace {

// The columns of a session's row, here alone: process id, mute state, peak, loud or silent,
// executable, then its path or why Hushvane cannot tell it.
const char kHeadingsFormat[] = "%7hs  %-7hs  %-9hs %-6hs  %-16hs  %hs\n";
const char kProcessIdFormat[] = "%7s";
const char kStateFormat[] = "  %-7hs  %-9s %-6hs  ";
const char kOwnerFormat[] = "%-16s  %s";
const char kReasonFormat[] = "%-16s  %hs";
const char kNoSessionsFormat[] = "%7hs  %hs\n";

// Asks again for the access Hushvane asks for, to learn why it was refused.
void ExplainUnresolved(HANDLE snapshot, SessionOwner* owner) {
    FindListedName(snapshot, owner->processId, owner->name);
    const UniqueHandle process(OpenProcessForQuery(owner->processId));
    const DWORD error = process ? ERROR_SUCCESS : GetLastError();
    if (error == ERROR_ACCESS_DENIED) {
        owner->accessDenied = true;
        owner->reason = Text().reasonDenied;
    } else if (error == ERROR_INVALID_PARAMETER) {
        owner->reason = Text().reasonNoProcess;
    } else {
        owner->reason = Text().reasonNoPath;
    }
}

// The call that OpenSession stopped at: the first of its references still empty.
const char* FailedOpenCall(const SessionControls& session) {
    return !session.control    ? "GetSession"
           : !session.control2 ? "QueryInterface(IAudioSessionControl2)"
           : !session.volume   ? "QueryInterface(ISimpleAudioVolume)"
                               : "QueryInterface(IAudioMeterInformation)";
}

void AppendProcessId(LineText* line, const SessionOwner& owner) {
    wchar_t processId[12] = L"?";
    if (owner.hasProcessId) {
        FormatText(processId, 12, "%lu", owner.processId);
    }
    Append(line, kProcessIdFormat, processId);
}

// The executable and its path, or why Hushvane cannot tell them.
void AppendOwner(LineText* line, const SessionOwner& owner) {
    if (owner.resolved) {
        Append(line, kOwnerFormat, owner.name, owner.path);
    } else {
        Append(line, kReasonFormat, owner.name, owner.reason);
    }
}

void AppendFailure(LineText* line, const Failure& failure) {
    if (failure.call != nullptr) {
        Append(line, Text().failedCall, failure.call, failure.status);
    }
}

} // namespace

void DescribeSessionOwner(IAudioSessionControl2* control2, HANDLE snapshot, SessionOwner* owner) {
    *owner = {};
    // Hushvane's own rule decides; the rest only explains a refusal.
    owner->resolved = ResolveSessionProcess(control2);
    owner->systemSounds = control2->IsSystemSoundsSession() == S_OK;
    if (owner->resolved) {
        owner->hasProcessId = true;
        owner->processId = g_watcher.sessionProcessId;
        lstrcpynW(owner->path, g_watcher.imagePath, MAX_PATH);
        lstrcpynW(owner->name, PathFindFileNameW(owner->path), MAX_PATH);
        return;
    }
    owner->processIdStatus = control2->GetProcessId(&owner->processId);
    owner->hasProcessId = SUCCEEDED(owner->processIdStatus);
    if (owner->systemSounds) {
        FormatText(owner->name, MAX_PATH, Text().systemSoundsName);
        owner->reason = Text().reasonSystemSounds;
        return;
    }
    if (!owner->hasProcessId) {
        lstrcpyW(owner->name, L"?");
        owner->reason = Text().reasonNoProcessId;
        return;
    }
    ExplainUnresolved(snapshot, owner);
}

void ReadSessionRow(IAudioSessionEnumerator* sessions, int index, const wchar_t* target,
                    HANDLE snapshot, SessionRow* row) {
    *row = {};
    row->index = index;
    SessionControls session;
    const HRESULT status = OpenSession(sessions, index, true, &session);
    if (FAILED(status) && !session.volume) {
        row->open = {FailedOpenCall(session), status};
        return;
    }
    Succeeds(status, FailedOpenCall(session), &row->meter);
    DescribeSessionOwner(session.control2.Get(), snapshot, &row->owner);
    Succeeds(session.volume->GetMute(&row->muted), "GetMute", &row->mute);
    if (session.meter) {
        Succeeds(session.meter->GetPeakValue(&row->peak), "GetPeakValue", &row->meter);
    }
    // Hushvane reads an expired session as any other; the volume mixer hides it.
    AudioSessionState state = AudioSessionStateActive;
    Succeeds(session.control->GetState(&state), "GetState", &row->state);
    row->expired = row->state.call == nullptr && state == AudioSessionStateExpired;
    row->target = target != nullptr && row->owner.resolved && MatchesTargetName(row->owner.path);
}

void PrintColumnHeadings() {
    Print(kHeadingsFormat, Text().columnProcessId, Text().columnMute, Text().columnPeak,
          Text().columnSound, Text().columnExecutable, Text().columnPath);
}

void PrintNoSessions() {
    Print(kNoSessionsFormat, "", Text().noSessions);
}

void AppendOwnerColumns(LineText* line, const SessionOwner& owner) {
    AppendProcessId(line, owner);
    Append(line, "  ");
    AppendOwner(line, owner);
}

int PrintSessionRow(const SessionRow& row) {
    LineText line = {};
    if (row.open.call != nullptr) {
        Append(&line, Text().sessionUnopened, "?", row.index, row.open.call, row.open.status);
        PrintLine(line, true);
        return line.length + 1;
    }
    const bool peakRead = row.meter.call == nullptr;
    wchar_t peak[kPeakChars] = L"?";
    if (peakRead) {
        FormatPeak(row.peak, peak);
    }
    const char* mute = row.mute.call == nullptr && row.muted ? Text().muted : Text().audible;
    const char* sound = IsLoudPeak(row.peak) ? Text().loud : Text().silent;
    AppendProcessId(&line, row.owner);
    Append(&line, kStateFormat, row.mute.call != nullptr ? "?" : mute, peak,
           peakRead ? sound : "?");
    AppendOwner(&line, row.owner);
    if (row.target) {
        Append(&line, "   %hs", Text().target);
    }
    if (row.owner.resolved && row.owner.systemSounds) {
        Append(&line, row.target ? Text().systemSoundsAsTarget : Text().systemSoundsMuted);
    }
    Append(&line, row.expired ? Text().expired : "");
    AppendFailure(&line,
                  {row.owner.hasProcessId ? nullptr : "GetProcessId", row.owner.processIdStatus});
    AppendFailure(&line, row.mute);
    AppendFailure(&line, row.state);
    AppendFailure(&line, row.meter);
    PrintLine(line, true);
    return line.length + 1;
}
