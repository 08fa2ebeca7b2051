#include "sessions/watch.h"

#include "audio/audio_session.h"
#include "sessions/console_redraw.h"
#include "sessions/session_listing.h"
#include "sessions/text_output.h"

namespace {

constexpr DWORD kWatchPeriodMs = 1000;
// Windows ends a console process five seconds after the close event; releasing takes far less.
constexpr DWORD kReleaseWaitMs = 3000;

HANDLE g_stopWatching;
HANDLE g_released; // set once the watch has given back the device and the console

// Keeps a listing's lines from one drawing to the next, and the last one for the end.
WatchScreen g_screen;

BOOL WINAPI StopWatching(DWORD event) {
    SetEvent(g_stopWatching);
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        // The console is closing, or the user logging off: Windows ends the process when this
        // returns, so let the main thread release what it holds first.
        WaitForSingleObject(g_released, kReleaseWaitMs);
    }
    return TRUE;
}

void PrintLocalTime(bool console) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    Print("%04d-%02d-%02d %02d:%02d:%02d%hs\n", now.wYear, now.wMonth, now.wDay, now.wHour,
          now.wMinute, now.wSecond, console ? "   (every second; Ctrl+C ends)" : "");
}

// Lists every second until told to stop, or until the output is gone. Where the console does not
// give the watch a screen buffer of its own, the listings are appended as to a file.
void WatchUntilStopped(const wchar_t* target, HANDLE output) {
    // Where it cannot be created, every listing tries again and says why it could not.
    ComRef<IMMDeviceEnumerator> devices;
    CreateDeviceEnumerator(&devices);
    const bool drawn = IsConsole(output) && OpenWatchScreen(output, &g_screen);
    HoldOutput(drawn);
    for (bool first = true;; first = false) {
        if (drawn) {
            DiscardOutput();
        } else if (!first) {
            Print("\n"); // appended, a blank line separates two listings
        }
        PrintLocalTime(drawn);
        ListingLayout layout = {};
        layout.sessionTextLimit = drawn ? SessionTextForWindow(g_screen) : 0;
        ListSessions(target, devices.Get(), drawn ? &layout : nullptr);
        bool shown = drawn ? DrawListing(&g_screen, layout) : FlushOutput();
        if (!shown || WaitForSingleObject(g_stopWatching, kWatchPeriodMs) != WAIT_TIMEOUT) {
            break;
        }
    }
    if (drawn) {
        CloseWatchScreen(&g_screen);
        DiscardOutput();
        HoldOutput(false);
    }
}

} // namespace

int WatchSessions(const wchar_t* target) {
    g_stopWatching = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_released = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (g_stopWatching == nullptr || g_released == nullptr) {
        PrintError("Cannot watch: CreateEvent failed with error %lu.\n", GetLastError());
        return kExitUnreadable;
    }
    // A parent may have started us with Ctrl+C ignored; a watch must always be stoppable.
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(StopWatching, TRUE);
    WatchUntilStopped(target, GetStdHandle(STD_OUTPUT_HANDLE));
    // The handler and both events stay until the process ends, moments from now: a close event
    // may come at any time, and removing a handler waits for one that is running.
    SetEvent(g_released);
    return kExitDone;
}
