// An in-process COM server that stands in for MMDeviceEnumerator in a test Wine prefix. It
// serves one fake endpoint whose sessions follow the script a test writes to shared memory.
#include <windows.h>

#include "fake_endpoint.h"
#include "fake_script.h"

namespace {

void ReportOnDebugChannel(const std::wstring& entry) {
    OutputDebugStringW((kFakeOutputPrefix + entry).c_str());
}

class ScriptedEndpoint : public FakeEndpoint {
  public:
    // Each tick takes a new enumerator: bring the sessions in line with the script first.
    HRESULT STDMETHODCALLTYPE GetSessionEnumerator(IAudioSessionEnumerator** sessions) override {
        FollowScript();
        OutputDebugStringW(kFakeTickMark);
        return FakeEndpoint::GetSessionEnumerator(sessions);
    }

  private:
    void FollowScript() {
        HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, kFakeScriptName);
        if (mapping == nullptr) {
            return;
        }
        auto script = static_cast<const FakeScript*>(
            MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof(FakeScript)));
        if (script != nullptr) {
            size_t count = static_cast<size_t>(script->sessionCount);
            while (SessionCount() > count) {
                RemoveSession(SessionCount() - 1);
            }
            while (SessionCount() < count) {
                AddSession(L"s" + std::to_wstring(SessionCount()), 0);
            }
            for (size_t i = 0; i < count; ++i) {
                Session(i).processId = script->processIds[i];
                Session(i).peak = script->peaks[i];
            }
            UnmapViewOfFile(script);
        }
        CloseHandle(mapping);
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
