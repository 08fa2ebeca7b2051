// HushvaneSessions.exe: shows the audio sessions of every playback device as Hushvane.exe sees
// them, says whether Hushvane would hear a given target, and can unmute every muted session.
//
// Where each rule lives:
// - Hushvane's own rules, called and never copied: src/audio (opening a session and its meter,
//   loudness), src/process (the process walk, the name comparison, resolving an owner).
// - listing/: what is listed. session_listing.cpp walks the devices and gives the verdict on a
//   target; session_row.cpp reads a session and prints its row (every column's width is there);
//   playback_devices.cpp finds the default device and the others by their ids; running_programs
//   .cpp reads the one process snapshot of a listing (listed names, Hushvane's processes, near
//   misses); unmute_all.cpp; failure.h names a failed call; exit_status.h.
// - output/: how it is written. print.cpp formats (%s shows control characters as U+FFFD),
//   writes to a console or as UTF-8, and collects a listing's lines for a console window;
//   cells.cpp counts cells (cell_widths.cpp is generated); texts*.cpp hold every text.
// - watch/: the watch. watch.cpp loops and keeps the input's mode; fitted_listing.cpp fits a
//   listing to a window and paints it; classic_screen.cpp and terminal_screen.cpp draw it in the
//   two console models; console_window.cpp tells who can see the console.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <wchar.h>

#include "sessions/listing/exit_status.h"
#include "sessions/listing/session_listing.h"
#include "sessions/listing/unmute_all.h"
#include "sessions/output/print.h"
#include "sessions/output/texts.h"
#include "sessions/watch/console_window.h"
#include "sessions/watch/watch.h"

namespace {

struct Command {
    bool watch;
    bool unmuteAll;
    bool help;
    const wchar_t* target; // null when none was given
};

bool IsOption(const wchar_t* argument, const wchar_t* option) {
    return StrCmpIW(argument, option) == 0;
}

// Options may stand before or after the target.
bool ParseArguments(int count, wchar_t** arguments, Command* command) {
    for (int i = 1; i < count; ++i) {
        const wchar_t* argument = arguments[i];
        if (IsOption(argument, L"--watch")) {
            command->watch = true;
        } else if (IsOption(argument, L"--unmute-all")) {
            command->unmuteAll = true;
        } else if (IsOption(argument, L"--help") || IsOption(argument, L"-h") ||
                   IsOption(argument, L"/?")) {
            command->help = true;
        } else if (argument[0] == L'-' || argument[0] == L'/') {
            PrintError(Text().unknownOption, argument);
            return false;
        } else if (command->target != nullptr) {
            PrintError(Text().oneTarget, command->target, argument);
            return false;
        } else {
            command->target = argument;
        }
    }
    if (command->unmuteAll && (command->watch || command->target != nullptr)) {
        PrintError(Text().unmuteAllAlone);
        return false;
    }
    return true;
}

int RunCommand(const Command& command) {
    if (command.help) {
        Print(Text().usage);
        return kExitDone;
    }
    if (command.unmuteAll) {
        return UnmuteAllSessions();
    }
    if (command.watch) {
        return WatchSessions(command.target);
    }
    return ListSessions(command.target, nullptr, nullptr);
}

int RunCommandLine(bool* watch) {
    // Split as Hushvane.exe splits its own command line, so a name is read the same way.
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr) {
        PrintError(Text().commandLineUnread, GetLastError());
        return kExitUsage;
    }
    Command command = {};
    if (!ParseArguments(count, arguments, &command)) {
        PrintError(Text().usage);
        LocalFree(arguments);
        return kExitUsage;
    }
    *watch = command.watch;
    CoInitialize(nullptr);
    int status = RunCommand(command);
    FlushOutput();
    CoUninitialize();
    LocalFree(arguments);
    return status;
}

int g_exitStatus;

// Ctrl+C, Ctrl+Break or the window's close button while the result waits to be read: end as
// Enter would have, with the run's own status.
BOOL WINAPI EndWithRunStatus(DWORD) {
    ExitProcess(static_cast<UINT>(g_exitStatus));
}

void WaitForEnter(int status) {
    g_exitStatus = status;
    SetConsoleCtrlHandler(EndWithRunStatus, TRUE);
    // Keys typed while the run went on are not an answer to a prompt they came before.
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    FlushConsoleInputBuffer(input);
    Print(Text().pressEnter);
    FlushOutput();
    wchar_t typed[64];
    DWORD read = 0;
    while (ReadConsoleW(input, typed, 64, &read, nullptr) && read > 0 &&
           wmemchr(typed, L'\r', read) == nullptr) {
    }
}

} // namespace

int wmain() {
    ChooseTexts();
    bool watch = false;
    int status = RunCommandLine(&watch);
    // A watch runs until Ctrl+C: it never ends by itself with something left to read.
    if (!watch && IsSomeoneThereToAnswer()) {
        WaitForEnter(status);
    }
    return status;
}
