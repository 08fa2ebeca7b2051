#include "sessions/watch/watch.h"

#include "audio/audio_session.h"
#include "sessions/console_window.h"
#include "sessions/exit_status.h"
#include "sessions/output/texts.h"
#include "sessions/read/list_sessions.h"
#include "sessions/watch/screen.h"

namespace {

constexpr DWORD kWatchPeriodMs = 1000;

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

// A console's mode as the user had it, given back at the end; the console is null where the
// handle is none, or refused the mode, and then takes no mode back.
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

// No more session rows than the window shows now.
int SessionRoom(HANDLE console) {
    COORD window;
    ReadWindowSize(console, &window);
    return window.Y;
}

// A file, a pipe, or a console that refuses a screen of the watch's own: each listing is
// appended, until nobody reads them any more.
void WatchAppended(const wchar_t* target, IMMDeviceEnumerator* devices, HANDLE output,
                   Listing* listing) {
    static Writer writer;
    writer.handle = output;
    for (bool first = true;; first = false) {
        ReadWatchListing(target, devices, kEverySession, false, listing);
        Write(&writer, L"\n", first ? 0 : 1); // a blank line between two listings
        WriteListing(&writer, *listing);
        if (!Flush(&writer) || !WaitForNextListing()) {
            return;
        }
    }
}

bool WatchOnClassicConsole(const wchar_t* target, IMMDeviceEnumerator* devices,
                           const UserMode& output, Listing* listing, Frame* frame) {
    ClassicScreen screen = {};
    if (!OpenClassicScreen(output.console, output.mode, &screen)) {
        return false;
    }
    do {
        ReadWatchListing(target, devices, SessionRoom(screen.own.Get()), true, listing);
    } while (DrawClassicScreen(&screen, *listing, frame) && WaitForNextListing());
    CloseClassicScreen(&screen);
    WriteFrame(output.console, *frame);
    return true;
}

bool WatchOnTerminal(const wchar_t* target, IMMDeviceEnumerator* devices, const UserMode& output,
                     Listing* listing, Frame* frame) {
    static TerminalScreen screen;
    COORD window = {};
    if (!ReadWindowSize(output.console, &window) ||
        !OpenTerminalScreen(output.console, output.mode, window, &screen)) {
        return false;
    }
    while (ShowNextListing(target, devices, &screen, listing, frame) && WaitForNextListing()) {
    }
    ReadWindowSize(output.console, &window);
    CloseTerminalScreen(&screen, window);
    WriteFrame(output.console, *frame);
    return true;
}

} // namespace

void ReadWatchListing(const wchar_t* target, IMMDeviceEnumerator* devices, int sessionRoom,
                      bool onScreen, Listing* listing) {
    StartListing(listing, sessionRoom);
    SYSTEMTIME now;
    GetLocalTime(&now);
    AddLine(listing, kHeadingLine, "%04d-%02d-%02d %02d:%02d:%02d%hs", now.wYear, now.wMonth,
            now.wDay, now.wHour, now.wMinute, now.wSecond, onScreen ? Text().everySecond : "");
    ListSessions(target, devices, listing);
}

bool ShowNextListing(const wchar_t* target, IMMDeviceEnumerator* devices, TerminalScreen* screen,
                     Listing* listing, Frame* frame) {
    HANDLE console = screen->writer.handle;
    ReadWatchListing(target, devices, SessionRoom(console), true, listing);
    COORD window;
    return ReadWindowSize(console, &window) && DrawTerminalScreen(screen, *listing, window, frame);
}

int WatchSessions(const wchar_t* target) {
    g_stopWatching = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (g_stopWatching == nullptr) {
        PrintError(Text().cannotWatch, "CreateEvent", GetLastError());
        return kExitUnreadable;
    }
    // A parent may have started us with Ctrl+C ignored; a watch must always be stoppable.
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(StopWatching, TRUE);
    // Where it cannot be created, every listing tries again and says why it could not.
    ComRef<IMMDeviceEnumerator> devices;
    CreateDeviceEnumerator(&devices);
    static Listing listing;
    static Frame frame;
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    // With processed input off, Ctrl+C would arrive as a key and never end the watch; it comes
    // from the console's own input where the standard input is redirected.
    UniqueHandle consoleInput;
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (!IsConsole(input)) {
        consoleInput.Reset(CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       0, nullptr));
        input = consoleInput.Get();
    }
    const UserMode keys = ChangeMode(input, ENABLE_PROCESSED_INPUT, 0);
    // Line feeds that return the carriage and rows that wrap, whatever a parent left; and in a
    // pseudo console, virtual terminal sequences.
    const bool terminal = IsPseudoConsole();
    const DWORD lineMode = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT |
                           (terminal ? ENABLE_VIRTUAL_TERMINAL_PROCESSING : 0);
    const UserMode lines = ChangeMode(output, lineMode, DISABLE_NEWLINE_AUTO_RETURN);
    const bool onScreen =
        lines.console != nullptr &&
        (terminal ? WatchOnTerminal(target, devices.Get(), lines, &listing, &frame)
                  : WatchOnClassicConsole(target, devices.Get(), lines, &listing, &frame));
    if (!onScreen) {
        WatchAppended(target, devices.Get(), output, &listing);
    }
    SetConsoleMode(lines.console, lines.mode);
    // Keys typed during the watch were meant for it, not for the shell that reads next.
    FlushConsoleInputBuffer(keys.console);
    SetConsoleMode(keys.console, keys.mode);
    // The handler and the event stay until the process ends, moments from now: removing a
    // handler waits for one that is running.
    return kExitDone;
}
