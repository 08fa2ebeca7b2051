#include "sessions/watch/watch.h"

#include "audio/audio_session.h"
#include "sessions/listing/exit_status.h"
#include "sessions/listing/session_listing.h"
#include "sessions/output/print.h"
#include "sessions/output/texts.h"
#include "sessions/watch/console_window.h"
#include "sessions/watch/screen.h"

namespace {

constexpr DWORD kWatchPeriodMs = 1000;

HANDLE g_stopWatching;

// The listing drawn on a console, kept from one drawing to the next.
WatchScreen g_screen;

// Ctrl+C and Ctrl+Break end the watch, which gives the user's screen back. When the console
// closes, Windows ends the process as soon as this returns: console functions may not work any
// more, and there is nobody left to give a screen back to.
BOOL WINAPI StopWatching(DWORD) {
    SetEvent(g_stopWatching);
    return TRUE;
}

// The input's mode as a parent left it, given back at the end; the input is null where it is
// not a console.
struct UserInput {
    HANDLE input;
    DWORD mode;
};

// With processed input off, Ctrl+C would arrive as a key and never end the watch.
UserInput TakeInput() {
    UserInput user = {GetStdHandle(STD_INPUT_HANDLE), 0};
    if (!GetConsoleMode(user.input, &user.mode)) {
        return {nullptr, 0};
    }
    SetConsoleMode(user.input, user.mode | ENABLE_PROCESSED_INPUT);
    return user;
}

// Keys typed during the watch were meant for it, not for the shell that reads next.
void GiveInputBack(const UserInput& user) {
    if (user.input != nullptr) {
        FlushConsoleInputBuffer(user.input);
        SetConsoleMode(user.input, user.mode);
    }
}

// Opens the screen that the output's kind asks for; false where the listings are appended, to a
// file, a pipe, or a console that refuses a screen of the watch's own.
bool OpenScreen(HANDLE output) {
    if (!IsConsole(output)) {
        return false;
    }
    return IsPseudoConsole() ? OpenTerminalScreen(output, output, &g_screen)
                             : OpenClassicScreen(output, &g_screen);
}

// Lists every second until told to stop, or until the output is gone.
void WatchUntilStopped(const wchar_t* target, HANDLE output) {
    // Where it cannot be created, every listing tries again and says why it could not.
    ComRef<IMMDeviceEnumerator> devices;
    CreateDeviceEnumerator(&devices);
    const UserInput user = TakeInput();
    const bool onScreen = OpenScreen(output);
    for (bool first = true;; first = false) {
        bool shown = true;
        if (onScreen) {
            shown = DrawWatchScreen(&g_screen, target, devices.Get());
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
    if (onScreen) {
        CloseWatchScreen(&g_screen);
    }
    GiveInputBack(user);
    CollectLines(false);
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
