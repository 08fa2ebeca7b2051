// Entry point: reads the target's file name, opens the default playback endpoint once and runs
// a monitoring tick every second until the thread receives WM_QUIT. No window, no console.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include "audio/audio_session.h"
#include "audio/monitor_tick.h"
#include "common/watcher_state.h"

namespace {

constexpr UINT_PTR kTickTimerId = 5206;
constexpr UINT kTickPeriodMs = 1000;
constexpr UINT kErrorBoxStyle = MB_OK | MB_ICONERROR;
static_assert(kErrorBoxStyle == 0x10, "error icon and a single OK button");

const wchar_t kErrorCaption[] = L"错误";
const wchar_t kMissingArgumentText[] = L"缺少执行参数! 请加上进程名作为参数执行";

} // namespace

void CALLBACK TickTimerProc(HWND, UINT, UINT_PTR, DWORD) {
    RunTick();
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argumentCount = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &argumentCount);
    if (arguments == nullptr || argumentCount < 2) {
        MessageBoxW(nullptr, kMissingArgumentText, kErrorCaption, kErrorBoxStyle);
        return 1;
    }
    g_watcher.targetName = arguments[1];

    CoInitialize(nullptr);
    // On these early exits the holders release what they hold as the process ends.
    if (FAILED(CreateDeviceEnumerator(&g_watcher.deviceEnumerator))) {
        return 0;
    }
    if (FAILED(GetDefaultPlaybackDevice(g_watcher.deviceEnumerator.Get(), kWatchedRole,
                                        &g_watcher.renderDevice))) {
        return 0;
    }

    // A timer without a window: the system picks its identifier, and WM_TIMER carries the
    // procedure to DispatchMessageW.
    SetTimer(nullptr, kTickTimerId, kTickPeriodMs, TickTimerProc);
    MSG message;
    // GetMessageW returns -1 on failure: stop then rather than spin on a message never filled.
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }

    g_watcher.renderDevice.Reset();
    g_watcher.deviceEnumerator.Reset();
    CoUninitialize();
    LocalFree(arguments);
    return 0;
}
