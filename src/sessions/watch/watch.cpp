#include "sessions/watch/watch.h"

#include "audio/audio_session.h"
#include "sessions/console_window.h"
#include "sessions/exit_status.h"
#include "sessions/output/texts.h"
#include "sessions/read/list_sessions.h"
#include "sessions/watch/screen.h"

namespace {

constexpr DWORD kWatchPeriodMs = 1000;

// Windows calls the Ctrl handler on a thread of its own, with nothing of ours: the event that
// ends the watch is where both find it.
HANDLE g_stopWatching;

// Ctrl+C and Ctrl+Break end the watch, which gives the user's screen back. When the console
// closes, Windows ends the process as soon as this returns: console functions may not work any
// more, and there is nobody left to give a screen back to.
BOOL WINAPI StopWatching(DWORD) {
    SetEvent(g_stopWatching);
    return TRUE;
}

// False when the watch was told to stop before the next listing is due.
bool WaitForNextListing() {
    return WaitForSingleObject(g_stopWatching, kWatchPeriodMs) == WAIT_TIMEOUT;
}

// A console's mode as the user had it; the console is null where the handle is none, or refused
// the mode, and then takes no mode back.
struct UserMode {
    HANDLE console;
    DWORD mode;
};

UserMode ChangeMode(HANDLE console, DWORD add, DWORD remove) {
    DWORD mode = 0;
    if (!GetConsoleMode(console, &mode) || !SetConsoleMode(console, (mode | add) & ~remove)) {
        return {nullptr, 0};
    }
    return {console, mode};
}

// What a watch changes in the console, given back when the holder goes, whichever way the watch
// ends: its own screen closed (the terminal's main screen and the crash filter as they were, or
// the user's buffer active again) and the last listing written below the user's rows; the
// output's mode, then the input's, with the keys typed meanwhile dropped; and its Ctrl handler.
struct ConsoleChanges {
    UserMode keys, lines;
    TerminalScreen* terminal; // the screen of its own that is open, if any
    ClassicScreen* classic;
    const Frame* shown; // what the last drawing showed
    ~ConsoleChanges() {
        COORD window;
        if (terminal != nullptr) {
            ReadWindowSize(lines.console, &window);
            CloseTerminalScreen(terminal, window);
        }
        if (classic != nullptr) {
            CloseClassicScreen(classic);
        }
        if (terminal != nullptr || classic != nullptr) {
            WriteFrame(lines.console, *shown);
        }
        SetConsoleMode(lines.console, lines.mode);
        // Keys typed during the watch were meant for it, not for the shell that reads next.
        FlushConsoleInputBuffer(keys.console);
        SetConsoleMode(keys.console, keys.mode);
        SetConsoleCtrlHandler(StopWatching, FALSE);
    }
};

// No more session rows than the window shows now.
int SessionRoom(HANDLE console) {
    COORD window;
    ReadWindowSize(console, &window);
    return window.Y;
}

// A file, a pipe, or a console that refuses a screen of the watch's own: each listing is
// appended, until nobody reads them any more.
void WatchAppended(const wchar_t* target, IMMDeviceEnumerator* devices, Writer* out,
                   Listing* listing) {
    int count = 0;
    do {
        ReadWatchListing(target, devices, kEverySession, false, listing);
        Write(out, L"\n", count++ > 0 ? 1 : 0); // a blank line between two listings
        WriteListing(out, *listing);
    } while (Flush(out) && WaitForNextListing());
}

bool WatchOnClassicConsole(const wchar_t* target, IMMDeviceEnumerator* devices,
                           ConsoleChanges* changes, ClassicScreen* screen, Listing* listing,
                           Frame* frame) {
    if (!OpenClassicScreen(changes->lines.console, changes->lines.mode, screen)) {
        return false;
    }
    changes->classic = screen;
    do {
        ReadWatchListing(target, devices, SessionRoom(screen->own.Get()), true, listing);
    } while (DrawClassicScreen(screen, *listing, frame) && WaitForNextListing());
    return true;
}

bool WatchOnTerminal(const wchar_t* target, IMMDeviceEnumerator* devices, Writer* out,
                     ConsoleChanges* changes, TerminalScreen* screen, Listing* listing,
                     Frame* frame) {
    COORD window = {};
    if (!ReadWindowSize(out->handle, &window) ||
        !OpenTerminalScreen(out, changes->lines.mode, window, screen)) {
        return false;
    }
    changes->terminal = screen;
    while (ShowNextListing(target, devices, screen, listing, frame) && WaitForNextListing()) {
    }
    return true;
}

} // namespace

void ReadWatchListing(const wchar_t* target, IMMDeviceEnumerator* devices, int sessionRoom,
                      bool onScreen, Listing* listing) {
    StartListing(listing, sessionRoom);
    SYSTEMTIME now;
    GetLocalTime(&now);
    AddLine(listing, kHeadingLine, "%04d-%02d-%02d %02d:%02d:%02d%hs%hs", now.wYear, now.wMonth,
            now.wDay, now.wHour, now.wMinute, now.wSecond, onScreen ? "   " : "",
            onScreen ? Text().everySecond : "");
    ListSessions(target, devices, listing);
}

bool ShowNextListing(const wchar_t* target, IMMDeviceEnumerator* devices, TerminalScreen* screen,
                     Listing* listing, Frame* frame) {
    HANDLE console = screen->writer->handle;
    ReadWatchListing(target, devices, SessionRoom(console), true, listing);
    COORD window;
    return ReadWindowSize(console, &window) && DrawTerminalScreen(screen, *listing, window, frame);
}

int WatchSessions(const wchar_t* target, Writer* out, Listing* listing, Frame* frame) {
    g_stopWatching = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (g_stopWatching == nullptr) {
        const FailedCall failed = {"CreateEvent", HRESULT_FROM_WIN32(GetLastError())};
        PrintError(Text().cannotWatch, DescribeFailure(failed).text);
        return kExitUnreadable;
    }
    // Where it cannot be created, every listing tries again and says why it could not.
    ComRef<IMMDeviceEnumerator> devices;
    CreateDeviceEnumerator(&devices);
    // With processed input off, Ctrl+C would arrive as a key and never end the watch. It comes
    // from the console's own input, whether or not the standard input is redirected.
    const UniqueHandle input(CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         0, nullptr));
    TerminalScreen terminal;
    ClassicScreen classic = {};
    frame->count = 0;
    ConsoleChanges changes = {};
    changes.shown = frame;
    // A parent may have started us with Ctrl+C ignored; a watch must always be stoppable.
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(StopWatching, TRUE);
    changes.keys = ChangeMode(input.Get(), ENABLE_PROCESSED_INPUT, 0);
    // Line feeds that return the carriage and rows that wrap, whatever a parent left; and in a
    // pseudo console, virtual terminal sequences.
    const bool pseudo = IsPseudoConsole();
    const DWORD lineMode = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT |
                           (pseudo ? ENABLE_VIRTUAL_TERMINAL_PROCESSING : 0);
    changes.lines = ChangeMode(out->handle, lineMode, DISABLE_NEWLINE_AUTO_RETURN);
    const bool onScreen =
        changes.lines.console != nullptr &&
        (pseudo ? WatchOnTerminal(target, devices.Get(), out, &changes, &terminal, listing, frame)
                : WatchOnClassicConsole(target, devices.Get(), &changes, &classic, listing, frame));
    if (!onScreen) {
        WatchAppended(target, devices.Get(), out, listing);
    }
    return kExitDone;
}
