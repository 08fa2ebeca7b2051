#include "sessions/watch.h"

#include "audio/audio_session.h"
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

// Puts the cursor where the last listing began, before anything of the next one is written (a
// long listing is written out in parts as it is collected).
void StartRedraw(HANDLE console, ConsoleRedraw* redraw) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(console, &info)) {
        return;
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
}

// Writes the rest of the listing and blanks what the last one had beyond it. False when the
// console is gone.
bool FinishRedraw(HANDLE console, ConsoleRedraw* redraw) {
    if (!FlushOutput()) {
        return false;
    }
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(console, &info)) {
        return true;
    }
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
        if (console) {
            StartRedraw(output, &redraw);
        } else if (!first) {
            Print("\n");
        }
        PrintLocalTime(console);
        ListSessions(target, devices.Get());
        bool shown = console ? FinishRedraw(output, &redraw) : FlushOutput();
        if (!shown || WaitForSingleObject(g_stopWatching, kWatchPeriodMs) != WAIT_TIMEOUT) {
            break;
        }
    }
    SetConsoleCtrlHandler(StopWatching, FALSE);
    CloseHandle(g_stopWatching);
    return kExitDone;
}
