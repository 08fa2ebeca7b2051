#include "sessions/read/session_row.h"

#include <shlwapi.h>
#include <wchar.h>

#include "audio/audio_session.h"
#include "audio/loudness.h"
#include "process/process_rules.h"
#include "sessions/output/texts.h"

namespace {

// The columns of a session's row, here alone: process id, mute state, peak, loud or silent,
// executable, then its path or why Hushvane cannot tell it, then its notes. A line of
// --unmute-all starts with what became of the session, the failures indented under the line that
// says why, and names the session by the same columns.
const char kHeadingsFormat[] = "%7hs  %-7hs  %-9hs %-6hs  %-16hs  %hs";
const char kUnopenedFormat[] = "%7s  %s";
const char kNoSessionsFormat[] = "%7s  %hs";
const char kStateFormat[] = "%-7hs  %-9s %-6hs  ";
const char kOwnerFormat[] = "%7s  %s%-16s  %s";
const char kNoteFormat[] = "   %hs";
const char kOutcomeFormat[] = "%-13hs ";
const char kFailedOutcomeFormat[] = "  %-11hs ";

// A peak level as a row shows it: at most three significant digits, "NaN" for not a number, which
// msvcrt would write in a form of its own.
constexpr int kPeakChars = 24;

void FormatPeak(float peak, wchar_t* text) {
    _snwprintf(text, kPeakChars - 1, peak != peak ? L"NaN" : L"%.3g", static_cast<double>(peak));
    text[kPeakChars - 1] = L'\0';
    // msvcrt writes three exponent digits (1e-006); show two, as the C library does elsewhere.
    wchar_t* exponent = text + lstrlenW(text) - 5;
    if (exponent > text && exponent[0] == L'e' && exponent[2] == L'0') {
        lstrcpynW(exponent + 2, exponent + 3, 3);
    }
}

// Why Hushvane cannot resolve the owner, from what its own resolution saw: the process refused
// it, is gone, or its path could not be read; and the executable's file name that the process
// list gives the process ("?" where it lists none).
void ExplainUnresolved(HANDLE snapshot, const FailedCall& unread, SessionOwner* owner) {
    // The process list calls id 0 "[System Process]", which owns no session of its own.
    VisitProcesses(snapshot, [&](const PROCESSENTRY32W& entry) {
        if (owner->processId != 0 && entry.th32ProcessID == owner->processId) {
            lstrcpynW(owner->name, entry.szExeFile, MAX_PATH);
            return false;
        }
        return true;
    });
    owner->accessDenied = unread.status == HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    const char* reason = owner->accessDenied ? Text().reasonDenied
                         : unread.status == HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER)
                             ? Text().reasonNoProcess
                             : Text().reasonNoPath;
    FormatText(owner->reason, 256, reason, DescribeFailure(unread).text);
}

void AppendFailure(LineText* line, const FailedCall& failed) {
    Append(line, failed ? kNoteFormat : "", "");
    Append(line, failed ? Text().failedCall : "", DescribeFailure(failed).text);
}

void AppendOwnerColumns(LineText* line, const SessionOwner& owner, const wchar_t* between) {
    wchar_t processId[12];
    FormatText(processId, ARRAYSIZE(processId), owner.processIdRead ? "%lu" : "?", owner.processId);
    Append(line, kOwnerFormat, processId, between, owner.name,
           owner.resolved ? owner.path : owner.reason);
}

} // namespace

void DescribeSessionOwner(IAudioSessionControl2* control2, HANDLE snapshot, SessionOwner* owner) {
    *owner = {};
    lstrcpynW(owner->name, L"?", MAX_PATH);
    // Hushvane's own rule decides, and what it saw explains a refusal. Sessions spanning several
    // processes answer with a success code above zero: still success.
    FailedCall failed = CheckCall("GetProcessId", control2->GetProcessId(&owner->processId));
    owner->processIdRead = !failed;
    if (!failed) {
        failed = QueryExecutablePath(owner->processId, owner->path, true);
    }
    owner->resolved = !failed;
    owner->systemSounds = control2->IsSystemSoundsSession() == S_OK;
    if (owner->resolved) {
        lstrcpynW(owner->name, PathFindFileNameW(owner->path), MAX_PATH);
    } else if (owner->systemSounds) {
        FormatText(owner->name, MAX_PATH, Text().systemSoundsName);
        FormatText(owner->reason, 256, Text().reasonSystemSounds);
    } else if (!owner->processIdRead) {
        FormatText(owner->reason, 256, Text().reasonNoProcessId, DescribeFailure(failed).text);
    } else {
        ExplainUnresolved(snapshot, failed, owner);
    }
}

void ReadSessionRow(IAudioSessionEnumerator* sessions, int index, const wchar_t* target,
                    HANDLE snapshot, SessionRow* row) {
    *row = {};
    row->index = index;
    SessionControls session;
    const FailedCall failed = OpenSession(sessions, index, true, &session);
    // OpenSession takes the meter last: a session that has its volume failed at the meter, and
    // still has a row; without its volume it has none.
    if (failed && !session.volume) {
        row->openFailed = failed;
        return;
    }
    row->peakFailed = failed;
    DescribeSessionOwner(session.control2.Get(), snapshot, &row->owner);
    row->muteFailed = CheckCall("GetMute", session.volume->GetMute(&row->muted));
    if (!row->peakFailed) {
        row->peakFailed = CheckCall("GetPeakValue", session.meter->GetPeakValue(&row->peak));
    }
    // Hushvane reads an expired session as any other; the volume mixer hides it.
    AudioSessionState state = AudioSessionStateActive;
    row->stateFailed = CheckCall("GetState", session.control->GetState(&state));
    row->expired = !row->stateFailed && state == AudioSessionStateExpired;
    row->target =
        target != nullptr && row->owner.resolved && HasExecutableName(row->owner.path, target);
}

void AddColumnHeadings(Listing* listing) {
    AddLine(listing, kHeadingLine, kHeadingsFormat, Text().columnProcessId, Text().columnMute,
            Text().columnPeak, Text().columnSound, Text().columnExecutable, Text().columnPath);
}

void AddNoSessions(Listing* listing) {
    AddLine(listing, kHeadingLine, kNoSessionsFormat, L"", Text().noSessions);
}

void AddUnmuteLine(const char* outcome, bool failed, const SessionOwner& owner,
                   const wchar_t* device, Listing* listing) {
    LineText line = {};
    Append(&line, failed ? kFailedOutcomeFormat : kOutcomeFormat, outcome);
    AppendOwnerColumns(&line, owner, L"");
    Append(&line, kNoteFormat, "");
    Append(&line, Text().onDevice, device);
    AddLine(listing, kVerdictLine, "%s", line.text);
}

void AddSessionRow(const SessionRow& row, Listing* listing) {
    LineText line = {};
    if (row.openFailed) {
        Append(&line, Text().sessionUnopened, row.index, DescribeFailure(row.openFailed).text);
        AddLine(listing, kSessionLine, kUnopenedFormat, L"?", line.text);
        return;
    }
    wchar_t peak[kPeakChars] = L"?", state[64];
    if (!row.peakFailed) {
        FormatPeak(row.peak, peak);
    }
    const char* mute = row.muted ? Text().muted : Text().audible;
    const char* sound = IsLoudPeak(row.peak) ? Text().loud : Text().silent;
    FormatText(state, ARRAYSIZE(state), kStateFormat, row.muteFailed ? "?" : mute, peak,
               row.peakFailed ? "?" : sound);
    AppendOwnerColumns(&line, row.owner, state);
    const char* systemSounds = row.target ? Text().systemSoundsAsTarget : Text().systemSoundsMuted;
    Append(&line, row.target ? kNoteFormat : "", Text().target);
    Append(&line, row.owner.resolved && row.owner.systemSounds ? kNoteFormat : "", systemSounds);
    Append(&line, row.expired ? kNoteFormat : "", Text().expired);
    AppendFailure(&line, row.muteFailed);
    AppendFailure(&line, row.stateFailed);
    AppendFailure(&line, row.peakFailed);
    AddLine(listing, kSessionLine, "%s", line.text);
}
