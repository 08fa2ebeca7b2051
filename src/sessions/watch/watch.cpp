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

// A console's mode changed for the watch, given back when the holder goes; nothing is given back
// where the handle is no console or refused the mode.
struct ModeChange {
    HANDLE console = nullptr;
    DWORD mode = 0;
    ModeChange(HANDLE handle, DWORD add, DWORD remove) {
        if (GetConsoleMode(handle, &mode) && SetConsoleMode(handle, (mode | add) & ~remove)) {
            console = handle;
        }
    }
    ~ModeChange() {
        if (console != nullptr) {
            SetConsoleMode(console, mode);
        }
    }
};

// The watch's Ctrl handler, in place while the holder lives.
struct CtrlHandler {
    CtrlHandler() { SetConsoleCtrlHandler(StopWatching, TRUE); }
    ~CtrlHandler() { SetConsoleCtrlHandler(StopWatching, FALSE); }
};

// A screen of the watch's own, open while the holder lives; then the user's screen is back, and
// the last listing, as the window showed it (shown), below the user's rows.
struct OpenTerminal {
    TerminalScreen* screen;
    const Frame* shown;
    ~OpenTerminal() { CloseTerminalScreen(screen, WindowSizeOf(screen->writer->handle), *shown); }
};
struct OpenClassic {
    ClassicScreen* screen;
    const Frame* shown;
    ~OpenClassic() { CloseClassicScreen(screen, *shown); }
};

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

bool WatchOnClassicConsole(const wchar_t* target, IMMDeviceEnumerator* devices, HANDLE console,
                           DWORD userMode, Listing* listing, Frame* frame) {
    ClassicScreen screen = {};
    if (!OpenClassicScreen(console, userMode, &screen)) {
        return false;
    }
    const OpenClassic open = {&screen, frame};
    do {
        ReadWatchListing(target, devices, WindowSizeOf(screen.own.Get()).Y, true, listing);
    } while (DrawClassicScreen(&screen, *listing, frame) && WaitForNextListing());
    return true;
}

bool WatchOnTerminal(const wchar_t* target, IMMDeviceEnumerator* devices, Writer* out,
                     DWORD userMode, Listing* listing, Frame* frame) {
    TerminalScreen screen;
    COORD window = WindowSizeOf(out->handle);
    if (window.X == 0 || !OpenTerminalScreen(out, userMode, window, &screen)) {
        return false;
    }
    const OpenTerminal open = {&screen, frame};
    // The listing is drawn for the window as it is once read: the user may resize it meanwhile.
    do {
        ReadWatchListing(target, devices, WindowSizeOf(out->handle).Y, true, listing);
        window = WindowSizeOf(out->handle);
    } while (window.X > 0 && DrawTerminalScreen(&screen, *listing, window, frame) &&
             WaitForNextListing());
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
    frame->count = 0;
    // A parent may have started us with Ctrl+C ignored; a watch must always be stoppable.
    SetConsoleCtrlHandler(nullptr, FALSE);
    const CtrlHandler handler;
    const ModeChange keys(input.Get(), ENABLE_PROCESSED_INPUT, 0);
    // Line feeds that return the carriage and rows that wrap, whatever a parent left; and in a
    // pseudo console, virtual terminal sequences.
    const bool pseudo = IsPseudoConsole();
    const DWORD lineMode = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT |
                           (pseudo ? ENABLE_VIRTUAL_TERMINAL_PROCESSING : 0);
    const ModeChange lines(out->handle, lineMode, DISABLE_NEWLINE_AUTO_RETURN);
    const bool onScreen =
        lines.console != nullptr &&
        (pseudo ? WatchOnTerminal(target, devices.Get(), out, lines.mode, listing, frame)
                : WatchOnClassicConsole(target, devices.Get(), out->handle, lines.mode, listing,
                                        frame));
    if (!onScreen) {
        WatchAppended(target, devices.Get(), out, listing);
    }
    // Keys typed during the watch were meant for it, not for the shell that reads next.
    FlushConsoleInputBuffer(input.Get());
    return kExitDone;
}
