#include "sessions/console_window.h"

namespace {

bool IsPseudoConsoleWindow(HWND window) {
    wchar_t name[32];
    return GetClassNameW(window, name, 32) > 0 && lstrcmpW(name, L"PseudoConsoleWindow") == 0;
}

} // namespace

// A process without a console has no window, whose class cannot be read.
bool IsPseudoConsole() {
    return IsPseudoConsoleWindow(GetConsoleWindow());
}

bool IsConsoleWindowShown(HWND window) {
    if (!IsPseudoConsoleWindow(window)) {
        return IsWindowVisible(window) != FALSE;
    }
    // A window without an owner is its own root owner.
    HWND owner = GetAncestor(window, GA_ROOTOWNER);
    return owner != nullptr && owner != window && IsWindowVisible(owner);
}
