// An in-process COM server that stands in for MMDeviceEnumerator in a test Wine prefix. It
// serves one fake endpoint whose sessions follow the script a test writes to shared memory.
#include <windows.h>

#include "fake_endpoint.h"
#include "fake_script.h"

namespace {

void ReportOnDebugChannel(const std::wstring& entry) {
    OutputDebugStringW((kFakeOutputPrefix + entry).c_str());
}

// Calls use(script) with the test's script mapped, when the test has one.
template <typename Use> void WithScript(Use use) {
    HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, kFakeScriptName);
    if (mapping == nullptr) {
        return;
    }
    auto script =
        static_cast<FakeScript*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(FakeScript)));
    if (script != nullptr) {
        use(script);
        UnmapViewOfFile(script);
    }
    CloseHandle(mapping);
}

class ScriptedEndpoint : public FakeEndpoint {
  public:
    // Each tick takes a new enumerator: bring the sessions in line with the script first.
    HRESULT STDMETHODCALLTYPE GetSessionEnumerator(IAudioSessionEnumerator** sessions) override {
        FollowScript();
        ResizeWindowAsAsked();
        OutputDebugStringW(kFakeTickMark);
        return FakeEndpoint::GetSessionEnumerator(sessions);
    }

    void FollowScript() {
        WithScript([this](const FakeScript* script) {
            faults = script->endpointFaults;
            friendlyName = script->deviceName;
            id = script->deviceId;
            FollowOtherDevices(*script);
            ForEachScriptSession(*script, true, [script](FakeSession& session, LONG i) {
                session.label = L"s" + std::to_wstring(i);
                session.processId = script->processIds[i];
                session.peak = script->peaks[i];
                session.muted = script->muted[i];
                session.faults = script->faults[i];
                session.systemSounds = script->systemSounds[i] != FALSE;
                session.expired = script->expired[i] != FALSE;
            });
        });
    }

    // Resizes the window of the console's active buffer as the console does when a user does:
    // the buffer's width follows, its height only grows.
    void ResizeWindowAsAsked() {
        WithScript([](FakeScript* script) {
            if (script->resizeWindows[0].X == 0) {
                return;
            }
            HANDLE console =
                CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
            CONSOLE_SCREEN_BUFFER_INFO info = {};
            GetConsoleScreenBufferInfo(console, &info);
            const COORD window = script->resizeWindows[script->resizes % 2];
            const SMALL_RECT at = {0, 0, static_cast<SHORT>(window.X - 1),
                                   static_cast<SHORT>(window.Y - 1)};
            const SHORT height = info.dwSize.Y > window.Y ? info.dwSize.Y : window.Y;
            SetConsoleScreenBufferSize(
                console, {info.dwSize.X > window.X ? info.dwSize.X : window.X, height});
            SetConsoleWindowInfo(console, TRUE, &at);
            SetConsoleScreenBufferSize(console, {window.X, height});
            CloseHandle(console);
            ++script->resizes;
        });
    }

    // Tells the test what the program did to the sessions and whether it gave back every
    // reference before it ended.
    void ReportEnding() {
        WithScript([this](FakeScript* script) {
            ForEachScriptSession(*script, false, [script](FakeSession& session, LONG i) {
                script->setMuteCalls[i] = session.setMuteCalls;
                script->otherSetterCalls += session.otherSetterCalls;
                script->muted[i] = session.muted;
            });
            std::wstring unbalanced = UnbalancedReferences();
            lstrcpynW(script->unbalanced, unbalanced.c_str(), 256);
            script->endedBalanced = unbalanced.empty() ? kFakeEndedBalanced : kFakeEndedHolding;
        });
    }

  private:
    void FollowOtherDevices(const FakeScript& script) {
        const size_t count = static_cast<size_t>(script.otherDeviceCount);
        otherDevices.resize(count);
        for (size_t i = 0; i < count; ++i) {
            if (!otherDevices[i]) {
                otherDevices[i] = std::make_unique<FakeEndpoint>();
            }
            otherDevices[i]->friendlyName = script.otherDevices[i].name;
            otherDevices[i]->id = script.otherDevices[i].id;
            otherDevices[i]->state = script.otherDevices[i].state;
            otherDevices[i]->faults = script.otherDevices[i].faults;
        }
        LONG chosen = script.communicationsDevice;
        communications = chosen > 0 && chosen <= script.otherDeviceCount
                             ? otherDevices[chosen - 1].get()
                             : nullptr;
    }

    // Calls visit(session, index) for each of the script's sessions with the device's session
    // that stands for it, in the script's order on each device. With follow, the devices gain or
    // lose sessions to match the script; without, sessions that no longer match are skipped.
    template <typename Visit>
    void ForEachScriptSession(const FakeScript& script, bool follow, Visit visit) {
        for (size_t device = 0; device <= otherDevices.size(); ++device) {
            FakeEndpoint& endpoint = device == 0 ? *this : *otherDevices[device - 1];
            size_t count = 0;
            for (LONG i = 0; i < script.sessionCount && i < kFakeScriptMaxSessions; ++i) {
                if (static_cast<size_t>(script.sessionDevice[i]) != device) {
                    continue;
                }
                if (count == endpoint.SessionCount() && follow) {
                    endpoint.AddSession(L"", 0);
                }
                if (count < endpoint.SessionCount()) {
                    visit(endpoint.Session(count++), i);
                }
            }
            while (follow && endpoint.SessionCount() > count) {
                endpoint.RemoveSession(endpoint.SessionCount() - 1);
            }
        }
    }
};

ScriptedEndpoint g_endpoint;

class ClassFactory : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IClassFactory)) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        *out = nullptr;
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        g_fakeJournalHook = ReportOnDebugChannel;
        g_endpoint.FollowScript();
        return g_endpoint.QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

ClassFactory g_factory;

} // namespace

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE
    DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (clsid != __uuidof(MMDeviceEnumerator)) {
        *out = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return g_factory.QueryInterface(iid, out);
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return S_FALSE;
}

// The server stays loaded until the process ends, since it never lets COM unload it.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_DETACH) {
        g_endpoint.ReportEnding();
    }
    return TRUE;
}
