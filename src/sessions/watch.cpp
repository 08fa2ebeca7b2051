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

// The console modes that a parent left, given back when the watch ends.
struct UserModes {
    HANDLE input; // null where the input is not a console
    DWORD inputMode;
    DWORD outputMode;
};

// Ctrl+C and Ctrl+Break end the watch, which gives the user's screen back. When the console
// closes, Windows ends the process as soon as this returns: console functions may not work any
// more, and there is nobody left to give a screen back to.
BOOL WINAPI StopWatching(DWORD) {
    SetEvent(g_stopWatching);
    return TRUE;
}

// With processed input off, Ctrl+C would arrive as a key and never end the watch.
void TakeInput(UserModes* modes) {
    modes->input = GetStdHandle(STD_INPUT_HANDLE);
    if (!GetConsoleMode(modes->input, &modes->inputMode)) {
        modes->input = nullptr;
        return;
    }
    SetConsoleMode(modes->input, modes->inputMode | ENABLE_PROCESSED_INPUT);
}

// Keys typed during the watch were meant for it, not for the shell that reads next.
void GiveInputBack(const UserModes& modes) {
    if (modes.input != nullptr) {
        FlushConsoleInputBuffer(modes.input);
        SetConsoleMode(modes.input, modes.inputMode);
    }
}

// Line feeds that return the carriage and rows that wrap, whatever a parent left.
DWORD LineMode(DWORD userMode) {
    return (userMode | ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT) &
           ~DISABLE_NEWLINE_AUTO_RETURN;
}

// Opens the screen that the output's kind asks for. What the console refuses falls back to
// appending, as to a file.
WatchOutput OpenWatchOutput(HANDLE output, UserModes* modes) {
    if (!GetConsoleMode(output, &modes->outputMode)) {
        return kAppended;
    }
    if (!IsPseudoConsole()) {
        SetConsoleMode(output, LineMode(modes->outputMode));
        return OpenWatchScreen(output, &g_screen) ? kOwnBuffer : kAppended;
    }
    if (!SetConsoleMode(output, LineMode(modes->outputMode) | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) {
        return kAppended;
    }
    if (!OpenTerminalScreen(output, output, &g_terminal)) {
        SetConsoleMode(output, modes->outputMode);
        return kAppended;
    }
    return kAlternateScreen;
}

void CloseWatchOutput(WatchOutput kind, HANDLE output, const UserModes& modes) {
    if (kind == kOwnBuffer) {
        CloseWatchScreen(&g_screen);
    } else if (kind == kAlternateScreen) {
        CloseTerminalScreen(&g_terminal);
    }
    if (kind != kAppended) {
        SetConsoleMode(output, modes.outputMode);
    }
}

// Lists every second until told to stop, or until the output is gone.
void WatchUntilStopped(const wchar_t* target, HANDLE output) {
    // Where it cannot be created, every listing tries again and says why it could not.
    ComRef<IMMDeviceEnumerator> devices;
    CreateDeviceEnumerator(&devices);
    UserModes modes = {};
    TakeInput(&modes);
    const WatchOutput kind = OpenWatchOutput(output, &modes);
    HoldOutput(kind != kAppended);
    for (bool first = true;; first = false) {
        bool shown = true;
        if (kind == kOwnBuffer) {
            shown = DrawListing(&g_screen, target, devices.Get());
        } else if (kind == kAlternateScreen) {
            shown = DrawTerminalListing(&g_terminal, target, devices.Get());
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
    CloseWatchOutput(kind, output, modes);
    GiveInputBack(modes);
    DiscardOutput();
    HoldOutput(false);
}

} // namespace

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
