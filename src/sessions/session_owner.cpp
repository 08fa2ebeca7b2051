#include "sessions/session_owner.h"

#include <shlwapi.h>
#include <tlhelp32.h>
#include <wchar.h>

#include "audio/audio_session.h"
#include "common/watcher_state.h"
#include "process/process_queries.h"
#include "sessions/text_output.h"
#include "sessions/texts.h"

namespace {

constexpr int kMaxNearMisses = 8;
constexpr int kMaxHushvaneProcesses = 8;

// Calls visit(entry) for each process of a fresh snapshot until it returns false.
template <typename Visit> void VisitProcesses(Visit visit) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return;
    }
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more && visit(entry);
         more = Process32NextW(snapshot, &entry)) {
    }
    CloseHandle(snapshot);
}

void FindListedName(DWORD processId, wchar_t* name) {
    wcscpy(name, L"?");
    // The process list calls id 0 "[System Process]", which owns no session of its own.
    if (processId == 0) {
        return;
    }
    VisitProcesses([&](const PROCESSENTRY32W& entry) {
        if (entry.th32ProcessID != processId) {
            return true;
        }
        lstrcpynW(name, entry.szExeFile, MAX_PATH);
        return false;
    });
}

// Asks again for the access Hushvane asks for, to learn why it was refused.
void ExplainUnresolved(SessionOwner* owner) {
    FindListedName(owner->processId, owner->name);
    HANDLE process = OpenProcessForQuery(owner->processId);
    DWORD error = process == nullptr ? GetLastError() : ERROR_SUCCESS;
    if (process != nullptr) {
        CloseHandle(process);
    }
    if (error == ERROR_ACCESS_DENIED) {
        owner->accessDenied = true;
        owner->reason = Text().reasonDenied;
    } else if (error == ERROR_INVALID_PARAMETER) {
        owner->reason = Text().reasonNoProcess;
    } else {
        owner->reason = Text().reasonNoPath;
    }
}

// A form of the target that a user may have meant, and how it differs from what was given.
struct NameForm {
    wchar_t name[MAX_PATH];
    const char* how;
};

struct NearMiss {
    wchar_t name[MAX_PATH];
    const char* how;
    bool otherCase;
};

struct NearMisses {
    int count;
    NearMiss found[kMaxNearMisses];
};

void AddNearMiss(const wchar_t* name, const NameForm& form, NearMisses* misses) {
    for (int i = 0; i < misses->count; ++i) {
        if (IsSameExecutableName(misses->found[i].name, name)) {
            return; // several processes of one executable: name it once
        }
    }
    if (misses->count < kMaxNearMisses) {
        NearMiss& miss = misses->found[misses->count++];
        lstrcpynW(miss.name, name, MAX_PATH);
        miss.how = form.how;
        miss.otherCase = !IsSameExecutableName(name, form.name);
    }
}

// The name itself, the file name of a path, and either with .exe when it has no extension.
int NameFormsOf(const wchar_t* target, NameForm* forms) {
    int count = 0;
    lstrcpynW(forms[count].name, target, MAX_PATH);
    forms[count++].how = Text().sameName;
    const wchar_t* fileName = PathFindFileNameW(target);
    if (fileName != target) {
        lstrcpynW(forms[count].name, fileName, MAX_PATH);
        forms[count++].how = Text().withoutFolder;
    }
    for (int i = 0, given = count; i < given; ++i) {
        if (*PathFindExtensionW(forms[i].name) == L'\0' && wcslen(forms[i].name) + 4 < MAX_PATH) {
            wcscpy(forms[count].name, forms[i].name);
            wcscat(forms[count].name, L".exe");
            forms[count++].how = Text().withExe;
        }
    }
    return count;
}

} // namespace

void DescribeSessionOwner(IAudioSessionControl2* control2, SessionOwner* owner) {
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
        wcscpy(owner->name, L"?");
        owner->reason = Text().reasonNoProcessId;
        return;
    }
    ExplainUnresolved(owner);
}

void PrintProcessId(const SessionOwner& owner) {
    if (owner.hasProcessId) {
        Print("%7lu", owner.processId);
    } else {
        Print("%7hs", "?");
    }
}

void PrintOwner(const SessionOwner& owner) {
    if (owner.resolved) {
        Print("%-16s  %s", owner.name, owner.path);
    } else {
        Print("%-16s  %hs", owner.name, owner.reason);
    }
}

void PrintHushvaneProcesses() {
    DWORD ids[kMaxHushvaneProcesses];
    int count = 0;
    // The user's own program, whatever letter case its file name has on disk.
    VisitProcesses([&](const PROCESSENTRY32W& entry) {
        if (StrCmpIW(entry.szExeFile, L"Hushvane.exe") == 0) {
            if (count < kMaxHushvaneProcesses) {
                ids[count] = entry.th32ProcessID;
            }
            ++count;
        }
        return true;
    });
    if (count == 0) {
        Print(Text().hushvaneNotRunning);
        return;
    }
    if (count == 1) {
        Print(Text().hushvaneRunning, ids[0]);
        return;
    }
    Print(Text().hushvaneRunningTimes, count);
    for (int i = 0; i < count && i < kMaxHushvaneProcesses; ++i) {
        Print("%hs%lu", i == 0 ? "" : Text().listSeparator, ids[i]);
    }
    Print(count > kMaxHushvaneProcesses ? Text().andMore : "");
    Print(Text().fight);
}

int PrintNearMisses(const wchar_t* target) {
    NameForm forms[4] = {};
    int formCount = NameFormsOf(target, forms);
    NearMisses misses = {};
    VisitProcesses([&](const PROCESSENTRY32W& entry) {
        for (int i = 0; i < formCount; ++i) {
            if (forms[i].name[0] != L'\0' && StrCmpIW(entry.szExeFile, forms[i].name) == 0) {
                AddNearMiss(entry.szExeFile, forms[i], &misses);
                break;
            }
        }
        return true;
    });
    for (int i = 0; i < misses.count; ++i) {
        const NearMiss& miss = misses.found[i];
        Print(Text().nearMiss, miss.name, miss.how, miss.otherCase ? Text().inOtherCase : "");
    }
    return misses.count;
}
