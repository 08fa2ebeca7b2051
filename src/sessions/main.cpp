// HushvaneSessions.exe: shows the default playback device's audio sessions as Hushvane.exe sees
// them, says whether Hushvane would hear a given target, and can unmute every muted session.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlwapi.h>

#include "audio/audio_session.h"
#include "sessions/session_listing.h"
#include "sessions/text_output.h"
#include "sessions/unmute_all.h"

namespace {

constexpr DWORD kWatchPeriodMs = 1000;

const char kUsage[] =
    "Shows the audio sessions of the default playback device as Hushvane.exe sees them.\n"
    "\n"
    "Usage:\n"
    "  HushvaneSessions.exe [target.exe]           list the sessions once\n"
    "  HushvaneSessions.exe --watch [target.exe]   list them again every second until Ctrl+C\n"
    "  HushvaneSessions.exe --unmute-all           unmute every muted session of the device\n"
    "  HushvaneSessions.exe --help                 show this text (also -h and /?)\n"
    "\n"
    "Give the target as you would give it to Hushvane.exe: the file name of its executable,\n"
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

HANDLE g_stopWatching;

BOOL WINAPI StopWatching(DWORD event) {
    SetEvent(g_stopWatching);
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        return TRUE;
    }
    // The console is closing, or the user logging off: Windows ends the process once this
    // returns, so wait here while the main thread releases everything and exits.
    Sleep(INFINITE);
    return TRUE;
}

// Where the listings stand on a console, so that each one is drawn over the last.
struct ConsoleRedraw {
    bool started;
    bool clearFirst;
    COORD origin;
    COORD end;
};

DWORD CellsBetween(COORD from, COORD to, SHORT width) {
    int cells = (to.Y - from.Y) * width + (to.X - from.X);
    return cells > 0 ? static_cast<DWORD>(cells) : 0;
}

void ClearConsole(HANDLE console, const CONSOLE_SCREEN_BUFFER_INFO& info) {
    COORD top = {0, 0};
    DWORD cells = static_cast<DWORD>(info.dwSize.X) * info.dwSize.Y;
    DWORD written = 0;
    FillConsoleOutputCharacterW(console, L' ', cells, top, &written);
    FillConsoleOutputAttribute(console, info.wAttributes, cells, top, &written);
}

// Writes the collected listing over the last one and blanks what the last one had beyond it.
// False when the console is gone.
bool RedrawListing(HANDLE console, ConsoleRedraw* redraw) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(console, &info)) {
        return FlushOutput();
    }
    if (!redraw->started || redraw->clearFirst) {
        if (redraw->clearFirst) {
            ClearConsole(console, info);
            redraw->origin = {0, 0};
        } else {
            redraw->origin = info.dwCursorPosition;
        }
        redraw->end = redraw->origin;
        redraw->started = true;
        redraw->clearFirst = false;
    }
    SetConsoleCursorPosition(console, redraw->origin);
    if (!FlushOutput()) {
        return false;
    }
    GetConsoleScreenBufferInfo(console, &info);
    COORD end = info.dwCursorPosition;
    DWORD written = 0;
    FillConsoleOutputCharacterW(console, L' ', CellsBetween(end, redraw->end, info.dwSize.X), end,
                                &written);
    redraw->end = end;
    // A listing that reached the buffer's last row may have scrolled it, and the origin with
    // it: the next one starts from the top of a cleared buffer.
    redraw->clearFirst = end.Y >= info.dwSize.Y - 1;
    return true;
}

void PrintLocalTime(bool console) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    Print("%04d-%02d-%02d %02d:%02d:%02d%hs\n", now.wYear, now.wMonth, now.wDay, now.wHour,
          now.wMinute, now.wSecond, console ? "   (every second; Ctrl+C ends)" : "");
}

// Lists the sessions every second until Ctrl+C, Ctrl+Break or the console closes, or until
// nobody reads its output any more. It keeps the device enumerator; the default device and its
// session list are taken afresh every time.
int WatchSessions(const wchar_t* target) {
    g_stopWatching = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (g_stopWatching == nullptr) {
        PrintError("Cannot watch: CreateEvent failed with error %lu.\n", GetLastError());
        return kExitUnreadable;
    }
    // A parent may have started us with Ctrl+C ignored; a watch must always be stoppable.
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(StopWatching, TRUE);
    // Where it cannot be created, every listing tries again and says why it could not.
    ComRef<IMMDeviceEnumerator> devices;
    CreateDeviceEnumerator(&devices);
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    bool console = IsConsole(output);
    ConsoleRedraw redraw = {};
    for (bool first = true;; first = false) {
        // Appended to a file or a pipe, a blank line separates two listings.
        if (!console && !first) {
            Print("\n");
        }
        PrintLocalTime(console);
        ListSessions(target, devices.Get());
        bool shown = console ? RedrawListing(output, &redraw) : FlushOutput();
        if (!shown || WaitForSingleObject(g_stopWatching, kWatchPeriodMs) != WAIT_TIMEOUT) {
            break;
        }
    }
    SetConsoleCtrlHandler(StopWatching, FALSE);
    CloseHandle(g_stopWatching);
    return kExitDone;
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
    return ListSessions(command.target, nullptr);
}

} // namespace

int wmain() {
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
    CoInitialize(nullptr);
    int status = RunCommand(command);
    FlushOutput();
    CoUninitialize();
    LocalFree(arguments);
    return status;
}
