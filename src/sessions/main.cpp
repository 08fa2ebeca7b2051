// HushvaneSessions.exe: shows the audio sessions of every playback device as Hushvane.exe sees
// them, says whether Hushvane would hear a given target, and can unmute every muted session.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <wchar.h>

#include "sessions/console_window.h"
#include "sessions/session_listing.h"
#include "sessions/text_output.h"
#include "sessions/unmute_all.h"
#include "sessions/watch.h"

namespace {

const char kUsage[] =
    "Shows the audio sessions of every playback device as Hushvane.exe sees them: the\n"
    "default device, which Hushvane watches, first.\n"
    "\n"
    "Usage:\n"
    "  HushvaneSessions.exe [target.exe]           list the sessions once\n"
    "  HushvaneSessions.exe --watch [target.exe]   list them again every second until Ctrl+C\n"
    "  HushvaneSessions.exe --unmute-all           unmute every muted session of every device\n"
    "  HushvaneSessions.exe --help                 show this text (also -h and /?)\n"
    "\n"
    "Give the target as you would give it to Hushvane.exe: its executable's file name,\n"
    "letter case included. Its sessions are marked \"target\", and a last line says whether\n"
    "Hushvane hears it.\n"
    "\n"
    "Exit status: 0 done; 1 the device or its sessions could not be read, or a session\n"
    "stayed muted; 2 the command line was not understood; 3 the target is not running.\n";

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
            PrintError("Unknown option: %s\n\n", argument);
            return false;
        } else if (command->target != nullptr) {
            PrintError("Only one target can be given, not both %s and %s.\n\n", command->target,
                       argument);
            return false;
        } else {
            command->target = argument;
        }
    }
    if (command->unmuteAll && (command->watch || command->target != nullptr)) {
        PrintError("--unmute-all takes no target and does not go with --watch.\n\n");
        return false;
    }
    return true;
}

int RunCommand(const Command& command) {
    if (command.help) {
        Print("%hs", kUsage);
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
        PrintError("The command line cannot be read (error %lu).\n", GetLastError());
        return kExitUsage;
    }
    Command command = {};
    if (!ParseArguments(count, arguments, &command)) {
        PrintError("%hs", kUsage);
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
    Print("\nPress Enter to close this window.");
    FlushOutput();
    wchar_t typed[64];
    DWORD read = 0;
    while (ReadConsoleW(input, typed, 64, &read, nullptr) && read > 0 &&
           wmemchr(typed, L'\r', read) == nullptr) {
    }
}

} // namespace

int wmain() {
    bool watch = false;
    int status = RunCommandLine(&watch);
    // A watch runs until Ctrl+C: it never ends by itself with something left to read.
    if (!watch && IsSomeoneThereToAnswer()) {
        WaitForEnter(status);
    }
    return status;
}
