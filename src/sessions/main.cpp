// HushvaneSessions.exe: shows the audio sessions of every playback device as Hushvane.exe sees
// them, says whether Hushvane would hear a given target, and can unmute every muted session.
//
// Where each rule lives:
// - Hushvane's own rules, called with what they need and never copied: src/audio opens a device,
//   its session list and a session with its meter, and says whether a peak is loud; src/process
//   walks a process snapshot and holds the three rules on names: whether an executable runs in a
//   snapshot (IsExecutableRunning), the executable path of a process id (QueryExecutablePath),
//   whether a path is the target's (HasExecutableName). src/common/failed_call.h names a failed
//   call, beside the call, everywhere.
// - read/: what is read. list_sessions.cpp reads every device and its sessions into a listing
//   and gives the verdict on a target, all from one process snapshot, Hushvane's processes and
//   the near misses included; session_row.cpp reads a session, explains an owner Hushvane
//   cannot resolve by the name the snapshot lists, and formats its row (every column's width is
//   there); devices.cpp finds the default device and the others by their ids; unmute_all.cpp.
// - output/: how it is written. listing.h is a listing as data, its lines each with its kind,
//   written by WriteListing; format.cpp formats (%s shows control characters as U+FFFD and cuts
//   a name, never the words around it; widths count cells); writer.cpp is the one buffered
//   writer, to a console or as UTF-8; cells.cpp counts cells as Windows Terminal, older
//   consoles or the classic console count them (cell_widths.cpp is generated from Unicode
//   16.0); texts*.cpp hold every text.
// - watch/: the watch. watch.cpp reads a listing every second and keeps the console's modes;
//   frame.cpp decides what a window shows of a listing; classic_screen.cpp and
//   terminal_screen.cpp draw a frame in the two console models.
// - console_window.cpp tells a pseudo console and whether anyone sees the window; whether to
//   wait for Enter is decided here, where it is used.
// Strings are handled with Windows' own lstr functions (lstrcpynW, lstrlenW, lstrcmpW,
// lstrcmpiW): kernel32 has them on every Windows, lstrcpynW never writes past its buffer and
// always ends the copy, and Hushvane's own name comparison (StrCmpW) stays the one exception.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include "sessions/console_window.h"
#include "sessions/exit_status.h"
#include "sessions/output/texts.h"
#include "sessions/read/list_sessions.h"
#include "sessions/read/unmute_all.h"
#include "sessions/watch/watch.h"

namespace {

struct Command {
    bool watch, unmuteAll, help;
    const wchar_t* target; // null when none was given
};

bool IsOption(const wchar_t* argument, const wchar_t* option) {
    return lstrcmpiW(argument, option) == 0;
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

int RunCommand(const Command& command, Writer* out) {
    if (command.help) {
        WriteFormatted(out, Text().usage);
        return kExitDone;
    }
    static Listing listing;
    StartListing(&listing, kEverySession);
    const int status = command.watch       ? WatchSessions(command.target)
                       : command.unmuteAll ? UnmuteAllSessions(&listing)
                                           : ListSessions(command.target, nullptr, &listing);
    WriteListing(out, listing);
    return status;
}

int RunCommandLine(bool* watch, Writer* out) {
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
    const int status = RunCommand(command, out);
    Flush(out);
    CoUninitialize();
    LocalFree(arguments);
    return status;
}

// Services run in session 0, where nobody sees anything; a session that cannot be told counts as
// that one.
bool IsServiceSession() {
    DWORD session = 0;
    return !ProcessIdToSessionId(GetCurrentProcessId(), &session) || session == 0;
}

// A task run whether the user is logged on or not, and a service, run in a window station with
// no display.
bool IsWindowStationVisible() {
    USEROBJECTFLAGS flags = {};
    DWORD needed = 0;
    return GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof(flags),
                                     &needed) &&
           (flags.dwFlags & WSF_VISIBLE) != 0;
}

// Started from Explorer, a shortcut or Win+R, the console window is the companion's alone and
// closes the moment it ends. Nobody could answer a prompt where a shell or another program
// shares the console, where the output goes to a file or a pipe, where the console has no window
// (CREATE_NO_WINDOW) or a hidden one (SW_HIDE), or where nothing is displayed (a service, or a
// task run whether the user is logged on or not).
bool IsSomeoneThereToAnswer() {
    DWORD processes[2];
    if (GetConsoleProcessList(processes, 2) != 1 || !IsConsole(GetStdHandle(STD_OUTPUT_HANDLE)) ||
        !IsConsole(GetStdHandle(STD_INPUT_HANDLE)) || IsServiceSession()) {
        return false;
    }
    STARTUPINFOW startup = {};
    GetStartupInfoW(&startup);
    if ((startup.dwFlags & STARTF_USESHOWWINDOW) != 0 && startup.wShowWindow == SW_HIDE) {
        return false;
    }
    HWND window = GetConsoleWindow();
    return window != nullptr && IsConsoleWindowShown(window) && IsWindowStationVisible();
}

int g_exitStatus;

// Ctrl+C, Ctrl+Break or the window's close button while the result waits to be read: end as
// Enter would have, with the run's own status.
BOOL WINAPI EndWithRunStatus(DWORD) {
    ExitProcess(static_cast<UINT>(g_exitStatus));
}

void WaitForEnter(int status, Writer* out) {
    g_exitStatus = status;
    SetConsoleCtrlHandler(EndWithRunStatus, TRUE);
    // Keys typed while the run went on are not an answer to a prompt they came before.
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    FlushConsoleInputBuffer(input);
    WriteFormatted(out, Text().pressEnter);
    Flush(out);
    wchar_t typed[64];
    DWORD read = 0;
    bool entered = false;
    while (!entered && ReadConsoleW(input, typed, 64, &read, nullptr) && read > 0) {
        for (DWORD i = 0; i < read; ++i) {
            entered |= typed[i] == L'\r';
        }
    }
}

} // namespace

int wmain() {
    ChooseTexts();
    static Writer out;
    out.handle = GetStdHandle(STD_OUTPUT_HANDLE);
    bool watch = false;
    const int status = RunCommandLine(&watch, &out);
    // A watch runs until Ctrl+C: it never ends by itself with something left to read.
    if (!watch && IsSomeoneThereToAnswer()) {
        WaitForEnter(status, &out);
    }
    return status;
}
