#include "sessions/watch.h"

#include "audio/audio_session.h"
#include "sessions/console_redraw.h"
#include "sessions/console_window.h"
#include "sessions/session_listing.h"
#include "sessions/terminal_redraw.h"
#include "sessions/text_output.h"
#include "sessions/texts.h"

namespace {

constexpr DWORD kWatchPeriodMs = 1000;

HANDLE g_stopWatching;

// Where the listings go: appended to a file or a pipe, drawn on a screen buffer of the watch's
// own in the classic console window, or on the terminal's alternate screen in a pseudo console.
enum WatchOutput { kAppended, kOwnBuffer, kAlternateScreen };

// Keep a listing's lines from one drawing to the next, and the last one for the end.
WatchScreen g_screen;
TerminalScreen g_terminal;

// Ctrl+C and Ctrl+Break end the watch, which gives the user's screen back. When the console
// closes, Windows ends the process as soon as this returns: console functions may not work any
// more, and there is nobody left to give a screen back to.
BOOL WINAPI StopWatching(DWORD) {
    SetEvent(g_stopWatching);
    return TRUE;
}

void PrintLocalTime(bool console) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    Print("%04d-%02d-%02d %02d:%02d:%02d%hs\n", now.wYear, now.wMonth, now.wDay, now.wHour,
          now.wMinute, now.wSecond, console ? Text().everySecond : "");
}

// The terminal's window, read afresh every time: the alternate screen always has its size.
bool ReadTerminalWindow(HANDLE output, COORD* window) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(output, &info)) {
        return false;
    }
    *window = WindowSize(info);
    return true;
}

// Opens the screen that the output's kind asks for. What the console refuses falls back to
// appending, as to a file.
WatchOutput OpenWatchOutput(HANDLE output, DWORD* userMode) {
    if (!GetConsoleMode(output, userMode)) {
        return kAppended;
    }
    if (!IsPseudoConsole()) {
        return OpenWatchScreen(output, &g_screen) ? kOwnBuffer : kAppended;
    }
    const DWORD mode = *userMode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING;
    if (!SetConsoleMode(output, mode)) {
        return kAppended;
    }
    if (!OpenTerminalScreen(output, &g_terminal)) {
        SetConsoleMode(output, *userMode);
        return kAppended;
    }
    return kAlternateScreen;
}

void CloseWatchOutput(WatchOutput kind, HANDLE output, DWORD userMode) {
    if (kind == kOwnBuffer) {
        CloseWatchScreen(&g_screen);
    } else if (kind == kAlternateScreen) {
        CloseTerminalScreen(&g_terminal);
        SetConsoleMode(output, userMode);
    }
}

// Collects one listing for a window of that size and draws it; false when the console is gone.
bool DrawOnConsole(WatchOutput kind, HANDLE output, const wchar_t* target,
                   IMMDeviceEnumerator* devices) {
    COORD window = {};
    if (kind == kOwnBuffer ? !ReadWatchWindow(g_screen, &window)
                           : !ReadTerminalWindow(output, &window)) {
        return false;
    }
    ListingLayout layout = {};
    CollectListing(target, devices, window, &layout);
    return kind == kOwnBuffer ? DrawListing(&g_screen, layout)
                              : DrawTerminalListing(&g_terminal, window, layout);
}

// Lists every second until told to stop, or until the output is gone.
void WatchUntilStopped(const wchar_t* target, HANDLE output) {
    // Where it cannot be created, every listing tries again and says why it could not.
    ComRef<IMMDeviceEnumerator> devices;
    CreateDeviceEnumerator(&devices);
    DWORD userMode = 0;
    const WatchOutput kind = OpenWatchOutput(output, &userMode);
    HoldOutput(kind != kAppended);
    for (bool first = true;; first = false) {
        bool shown = true;
        if (kind != kAppended) {
            shown = DrawOnConsole(kind, output, target, devices.Get());
        } else {
            Print(first ? "" : "\n"); // a blank line separates two listings
            PrintLocalTime(false);
            ListSessions(target, devices.Get(), nullptr);
            shown = FlushOutput();
        }
        if (!shown || WaitForSingleObject(g_stopWatching, kWatchPeriodMs) != WAIT_TIMEOUT) {
            break;
        }
    }
    CloseWatchOutput(kind, output, userMode);
    DiscardOutput();
    HoldOutput(false);
}

} // namespace

void CollectListing(const wchar_t* target, IMMDeviceEnumerator* devices, COORD window,
                    ListingLayout* layout) {
    DiscardOutput();
    PrintLocalTime(true);
    *layout = {};
    layout->sessionTextLimit = SessionTextForWindow(window);
    ListSessions(target, devices, layout);
}

int WatchSessions(const wchar_t* target) {
    g_stopWatching = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (g_stopWatching == nullptr) {
        PrintError(Text().cannotWatch, GetLastError());
        return kExitUnreadable;
    }
    // A parent may have started us with Ctrl+C ignored; a watch must always be stoppable.
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(StopWatching, TRUE);
    WatchUntilStopped(target, GetStdHandle(STD_OUTPUT_HANDLE));
    // The handler and the event stay until the process ends, moments from now: removing a
    // handler waits for one that is running.
    return kExitDone;
}
