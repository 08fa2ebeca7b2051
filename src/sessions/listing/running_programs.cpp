#include "sessions/listing/running_programs.h"

#include <shlwapi.h>

#include "process/process_queries.h"
#include "sessions/output/print.h"
#include "sessions/output/texts.h"

namespace {

constexpr int kMaxNearMisses = 8;
constexpr int kMaxHushvaneProcesses = 8;

// A name a user may have meant, how it differs from what was given, and whether its letter case
// differs too.
struct NearMiss {
    wchar_t name[MAX_PATH];
    const char* how;
    bool otherCase;
};

struct NearMisses {
    int count;
    NearMiss found[kMaxNearMisses];
};

void AddNearMiss(const wchar_t* name, const NearMiss& form, NearMisses* misses) {
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

// A process's name holds no folder: the name as given, or without its folder where it has one,
// and either with .exe where it has no extension.
int NameFormsOf(const wchar_t* target, NearMiss* forms) {
    const wchar_t* fileName = PathFindFileNameW(target);
    lstrcpynW(forms[0].name, fileName, MAX_PATH);
    forms[0].how = fileName == target ? Text().sameName : Text().withoutFolder;
    if (*PathFindExtensionW(fileName) != L'\0' || lstrlenW(fileName) + 4 >= MAX_PATH) {
        return 1;
    }
    lstrcpyW(forms[1].name, fileName);
    lstrcatW(forms[1].name, L".exe");
    forms[1].how = Text().withExe;
    return 2;
}

} // namespace

void FindListedName(HANDLE snapshot, DWORD processId, wchar_t* name) {
    lstrcpyW(name, L"?");
    // The process list calls id 0 "[System Process]", which owns no session of its own.
    if (processId == 0) {
        return;
    }
    VisitProcesses(snapshot, [&](const PROCESSENTRY32W& entry) {
        if (entry.th32ProcessID != processId) {
            return true;
        }
        lstrcpynW(name, entry.szExeFile, MAX_PATH);
        return false;
    });
}

void PrintHushvaneProcesses(HANDLE snapshot) {
    DWORD ids[kMaxHushvaneProcesses];
    int count = 0;
    // The user's own program, whatever letter case its file name has on disk.
    VisitProcesses(snapshot, [&](const PROCESSENTRY32W& entry) {
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

int PrintNearMisses(HANDLE snapshot, const wchar_t* target) {
    NearMiss forms[2] = {};
    const int formCount = NameFormsOf(target, forms);
    NearMisses misses = {};
    VisitProcesses(snapshot, [&](const PROCESSENTRY32W& entry) {
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
