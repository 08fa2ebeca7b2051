#include "sessions/watch/console_window.h"

#include "sessions/output/print.h"

namespace {

bool IsPseudoConsoleWindow(HWND window) {
    wchar_t name[32];
    return GetClassNameW(window, name, 32) > 0 && lstrcmpW(name, L"PseudoConsoleWindow") == 0;
}

// Services run in session 0, where nobody sees anything; a session that cannot be told counts as
// that one.
bool IsServiceSession() {
    DWORD session = 0;
    return !ProcessIdToSessionId(GetCurrentProcessId(), &session) || session == 0;
}

// A task run whether the user is logged on or not, and a service, run in a window station with
// no display.
bool IsWindowStationVisible() {
    USEROBJECTFLAGS flags = {};
    DWORD needed = 0;
    return GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof(flags),
                                     &needed) &&
           (flags.dwFlags & WSF_VISIBLE) != 0;
}

} // namespace

bool IsPseudoConsole() {
    HWND window = GetConsoleWindow();
    return window != nullptr && IsPseudoConsoleWindow(window);
}

bool IsConsoleWindowShown(HWND window) {
    if (!IsPseudoConsoleWindow(window)) {
        return IsWindowVisible(window) != FALSE;
    }
    // A window without an owner is its own root owner.
    HWND owner = GetAncestor(window, GA_ROOTOWNER);
    return owner != nullptr && owner != window && IsWindowVisible(owner);
}

bool IsSomeoneThereToAnswer() {
    DWORD processes[2];
    if (GetConsoleProcessList(processes, 2) != 1 || !IsConsole(GetStdHandle(STD_OUTPUT_HANDLE)) ||
        !IsConsole(GetStdHandle(STD_INPUT_HANDLE)) || IsServiceSession()) {
        return false;
    }
    STARTUPINFOW startup = {};
    GetStartupInfoW(&startup);
    if ((startup.dwFlags & STARTF_USESHOWWINDOW) != 0 && startup.wShowWindow == SW_HIDE) {
        return false;
    }
    HWND window = GetConsoleWindow();
    return window != nullptr && IsConsoleWindowShown(window) && IsWindowStationVisible();
}
