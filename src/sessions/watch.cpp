#include "sessions/watch.h"

#include "audio/audio_session.h"
#include "sessions/console_redraw.h"
#include "sessions/session_listing.h"
#include "sessions/text_output.h"

namespace {

constexpr DWORD kWatchPeriodMs = 1000;

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

void PrintLocalTime(bool console) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    Print("%04d-%02d-%02d %02d:%02d:%02d%hs\n", now.wYear, now.wMonth, now.wDay, now.wHour,
          now.wMinute, now.wSecond, console ? "   (every second; Ctrl+C ends)" : "");
}

} // namespace

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
        ListingLayout layout = {};
        ListSessions(target, devices.Get(), &layout);
        bool shown = console ? DrawListing(output, layout, &redraw) : FlushOutput();
        if (!shown || WaitForSingleObject(g_stopWatching, kWatchPeriodMs) != WAIT_TIMEOUT) {
            break;
        }
    }
    SetConsoleCtrlHandler(StopWatching, FALSE);
    CloseHandle(g_stopWatching);
    return kExitDone;
}
