// Measures one tick against fake endpoints of 1, 16 and 64 sessions, next to the system queries
// a tick cannot avoid: one process snapshot walk up to the target and one open-and-query per
// session.
// Run on demand: build/tests/wineprefix-run.sh build/tests/tests/bench_tick.exe
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>

#include "audio/monitor_tick.h"
#include "common/watcher_state.h"
#include "fake_endpoint.h"
#include "test_support.h"

namespace {

double Now() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Walks the process list up to the target, as any way of telling whether it runs must.
void WalkSnapshot(const wchar_t* targetName) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (lstrcmpW(entry.szExeFile, targetName) == 0) {
            break;
        }
    }
    CloseHandle(snapshot);
}

void QueryImagePath(DWORD processId) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId);
    wchar_t path[MAX_PATH];
    DWORD size = MAX_PATH;
    QueryFullProcessImageNameW(process, 0, path, &size);
    CloseHandle(process);
}

} // namespace

int main() {
    const wchar_t* paths[] = {L"C:\\hvtest\\bench\\benchtarget.exe", L"C:\\hvtest\\bench\\a.exe",
                              L"C:\\hvtest\\bench\\b.exe", L"C:\\hvtest\\bench\\c.exe"};
    TestProcess processes[4];
    for (int i = 0; i < 4; ++i) {
        if (!StartTestProcess(paths[i], false, &processes[i])) {
            std::printf("cannot start %ls\n", paths[i]);
            return 1;
        }
    }
    std::printf("sessions  tick(us)  unavoidable(us)  ratio\n");
    const int sizes[] = {1, 16, 64};
    for (int size : sizes) {
        FakeEndpoint endpoint;
        for (int i = 0; i < size; ++i) {
            // Session 0 is the loud target; the watcher holds the others muted, so every tick
            // reads every session and runs no pass: the steady state while the target plays.
            endpoint.AddSession(L"s", processes[i == 0 ? 0 : 1 + i % 3].id).peak = 0.5f;
        }
        g_watcher.targetName = L"benchtarget.exe";
        g_watcher.othersMuted = 1;
        g_watcher.renderDevice = ComRef<IMMDevice>::AddRefOf(&endpoint);
        const int rounds = size == 64 ? 200 : 1000;
        RunTick();
        double start = Now();
        for (int round = 0; round < rounds; ++round) {
            RunTick();
        }
        double tick = (Now() - start) / rounds;
        start = Now();
        for (int round = 0; round < rounds; ++round) {
            WalkSnapshot(g_watcher.targetName);
            for (int i = 0; i < size; ++i) {
                QueryImagePath(endpoint.Session(i).processId);
            }
        }
        double unavoidable = (Now() - start) / rounds;
        g_watcher.renderDevice.Reset();
        std::printf("%8d  %8.1f  %15.1f  %5.3f\n", size, tick * 1e6, unavoidable * 1e6,
                    tick / unavoidable);
    }
    for (TestProcess& process : processes) {
        StopTestProcess(&process);
    }
    return 0;
}
