#pragma once

// A playback endpoint made of objects that implement the real Core Audio interfaces. Every
// object counts its references (each starts at 1, held by the fake itself), and any operation
// the watcher calls can be told to fail.

#include <memory>
#include <string>
#include <vector>

#include "audio/audio_session.h"

enum FakeFault : unsigned {
    // Endpoint-wide.
    kFailGetDefaultEndpoint = 1u << 0,
    kFailActivate = 1u << 1,
    kFailGetSessionEnumerator = 1u << 2,
    kFailGetCount = 1u << 3,
    // Per session.
    kFailGetSession = 1u << 4,
    kFailQueryControl2 = 1u << 5,
    kFailQueryVolume = 1u << 6,
    kFailQueryMeter = 1u << 7,
    kFailGetProcessId = 1u << 8,
    kFailGetPeakValue = 1u << 9,
    kFailSetMute = 1u << 10,
    kFailGetMute = 1u << 11,
    // Activate knows no session manager, as on Windows before 7.
    kNoSessionManager = 1u << 12,
    kFailEnumAudioEndpoints = 1u << 13,
    kFailGetState = 1u << 14,
    // The device collection.
    kFailDeviceCount = 1u << 15,
    kFailDeviceItem = 1u << 16,
    // Not a failure: GetProcessId answers with a success code, as for a session that spans
    // several processes.
    kSpansProcesses = 1u << 17,
    // The device: its property store refused, its name unread, and GetId succeeding without an id.
    kFailOpenPropertyStore = 1u << 18,
    kNoId = 1u << 19,
    kFailGetValue = 1u << 20,
};

struct FakeSession;
class FakeEndpoint;

// Records a release of one of a session's objects when the endpoint logs releases.
void LogFakeRelease(FakeSession* session, const wchar_t* role);

// What every object of a session shares: its own reference count, releases logged with its
// role, and QueryInterface for IUnknown and its interface I.
template <typename I> class FakeSessionPart : public I {
  public:
    FakeSessionPart(FakeSession* session, const wchar_t* role) : session_(session), role_(role) {}
    LONG references = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == __uuidof(IUnknown) || iid == __uuidof(I)) {
            AddRef();
            *out = static_cast<I*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        LogFakeRelease(session_, role_);
        return --references;
    }

  protected:
    FakeSession* session_;
    const wchar_t* role_;
};

// Control and extended control are separate objects so that the order of their releases can be
// observed; either hands out the session's other objects.
class FakeSessionControl : public FakeSessionPart<IAudioSessionControl2> {
  public:
    using FakeSessionPart::FakeSessionPart;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    HRESULT STDMETHODCALLTYPE GetState(AudioSessionState* state) override;
    HRESULT STDMETHODCALLTYPE GetDisplayName(LPWSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetDisplayName(LPCWSTR, LPCGUID) override;
    HRESULT STDMETHODCALLTYPE GetIconPath(LPWSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetIconPath(LPCWSTR, LPCGUID) override;
    HRESULT STDMETHODCALLTYPE GetGroupingParam(GUID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetGroupingParam(LPCGUID, LPCGUID) override;
    HRESULT STDMETHODCALLTYPE RegisterAudioSessionNotification(IAudioSessionEvents*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE UnregisterAudioSessionNotification(IAudioSessionEvents*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetSessionIdentifier(LPWSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSessionInstanceIdentifier(LPWSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetProcessId(DWORD* processId) override;
    HRESULT STDMETHODCALLTYPE IsSystemSoundsSession() override;
    HRESULT STDMETHODCALLTYPE SetDuckingPreference(BOOL) override;
};

class FakeVolume : public FakeSessionPart<ISimpleAudioVolume> {
  public:
    explicit FakeVolume(FakeSession* session) : FakeSessionPart(session, L"volume") {}

    HRESULT STDMETHODCALLTYPE SetMasterVolume(float, LPCGUID) override;
    HRESULT STDMETHODCALLTYPE GetMasterVolume(float*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMute(BOOL mute, LPCGUID eventContext) override;
    HRESULT STDMETHODCALLTYPE GetMute(BOOL* mute) override;
};

class FakeMeter : public FakeSessionPart<IAudioMeterInformation> {
  public:
    explicit FakeMeter(FakeSession* session) : FakeSessionPart(session, L"meter") {}

    HRESULT STDMETHODCALLTYPE GetPeakValue(float* peak) override;
    HRESULT STDMETHODCALLTYPE GetMeteringChannelCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetChannelsPeakValues(UINT32, float*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryHardwareSupport(DWORD*) override { return E_NOTIMPL; }
};

struct FakeSession {
    FakeSession(FakeEndpoint* owner, std::wstring name, DWORD id)
        : endpoint(owner), label(std::move(name)), processId(id) {}
    FakeEndpoint* endpoint;
    std::wstring label; // names the session in the journal
    DWORD processId;
    float peak = 0.0f;
    BOOL muted = FALSE;
    bool systemSounds = false;
    bool expired = false; // its program has released its last stream
    unsigned faults = 0;  // FakeFault bits of this session
    int setMuteCalls = 0;
    int otherSetterCalls = 0; // volume, display name, icon, grouping, ducking
    FakeSessionControl control{this, L"control"};
    FakeSessionControl extended{this, L"extended"};
    FakeVolume volume{this};
    FakeMeter meter{this};
};

// The endpoint's property store: its friendly name, when it has one.
class FakePropertyStore : public IPropertyStore {
  public:
    explicit FakePropertyStore(FakeEndpoint* endpoint) : endpoint_(endpoint) {}
    LONG references = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE GetCount(DWORD* count) override;
    HRESULT STDMETHODCALLTYPE GetAt(DWORD, PROPERTYKEY*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetValue(REFPROPERTYKEY key, PROPVARIANT* value) override;
    HRESULT STDMETHODCALLTYPE SetValue(REFPROPERTYKEY, REFPROPVARIANT) override {
        return STG_E_ACCESSDENIED;
    }
    HRESULT STDMETHODCALLTYPE Commit() override { return STG_E_ACCESSDENIED; }

  private:
    FakeEndpoint* endpoint_;
};

// The device enumerator, the endpoint, its session manager, its session enumerator and the
// device collection in one object; GetSessionEnumerator lists the sessions as they stand. The
// endpoint is the default playback device; other devices, each a FakeEndpoint of its own, can be
// added beside it, and EnumAudioEndpoints lists them before it.
class FakeEndpoint : public IMMDeviceEnumerator,
                     public IMMDevice,
                     public IAudioSessionManager2,
                     public IAudioSessionEnumerator,
                     public IMMDeviceCollection {
  public:
    LONG references = 1;
    unsigned faults = 0; // endpoint-wide FakeFault bits
    DWORD lastActivateContext = 0;
    bool logReleases = false;
    std::vector<std::wstring> releases; // "<label> <role>", when logReleases is set
    std::wstring friendlyName;          // empty: the property store has no name
    std::wstring id;                    // empty: GetId fails
    DWORD state = DEVICE_STATE_ACTIVE;
    FakePropertyStore properties{this};
    std::vector<std::unique_ptr<FakeEndpoint>> otherDevices;
    FakeEndpoint* communications = nullptr; // the default for communications; null: this one
    std::vector<IMMDevice*> listed;         // what the last EnumAudioEndpoints found

    FakeSession& AddSession(const std::wstring& label, DWORD processId);
    void RemoveSession(size_t index);
    FakeSession& Session(size_t index) { return *sessions_[index]; }
    size_t SessionCount() const { return sessions_.size(); }
    // Describes every object whose count is not back where it started (1, plus references that
    // others hold on the endpoint for longer); empty when all are.
    std::wstring UnbalancedReferences(LONG endpointHeldElsewhere = 0) const;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }

    // IMMDeviceEnumerator
    HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(EDataFlow flow, DWORD states,
                                                 IMMDeviceCollection** devices) override;
    HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(EDataFlow flow, ERole role,
                                                      IMMDevice** device) override;
    HRESULT STDMETHODCALLTYPE GetDevice(LPCWSTR, IMMDevice**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE
    RegisterEndpointNotificationCallback(IMMNotificationClient*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE
    UnregisterEndpointNotificationCallback(IMMNotificationClient*) override {
        return E_NOTIMPL;
    }

    // IMMDevice
    HRESULT STDMETHODCALLTYPE Activate(REFIID iid, DWORD context, PROPVARIANT* parameters,
                                       void** out) override;
    HRESULT STDMETHODCALLTYPE OpenPropertyStore(DWORD access, IPropertyStore** store) override;
    HRESULT STDMETHODCALLTYPE GetId(LPWSTR* id) override;
    HRESULT STDMETHODCALLTYPE GetState(DWORD* state) override;

    // IAudioSessionManager2
    HRESULT STDMETHODCALLTYPE GetAudioSessionControl(LPCGUID, DWORD,
                                                     IAudioSessionControl**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetSimpleAudioVolume(LPCGUID, DWORD, ISimpleAudioVolume**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetSessionEnumerator(IAudioSessionEnumerator** sessions) override;
    HRESULT STDMETHODCALLTYPE RegisterSessionNotification(IAudioSessionNotification*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE UnregisterSessionNotification(IAudioSessionNotification*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RegisterDuckNotification(LPCWSTR,
                                                       IAudioVolumeDuckNotification*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE UnregisterDuckNotification(IAudioVolumeDuckNotification*) override {
        return E_NOTIMPL;
    }

    // IAudioSessionEnumerator
    HRESULT STDMETHODCALLTYPE GetCount(int* count) override;
    HRESULT STDMETHODCALLTYPE GetSession(int index, IAudioSessionControl** control) override;

    // IMMDeviceCollection
    HRESULT STDMETHODCALLTYPE GetCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE Item(UINT index, IMMDevice** device) override;

  private:
    std::vector<std::unique_ptr<FakeSession>> sessions_;
};

// What the fakes saw happen, in order: "SetMute <label> <value>" for each SetMute call (with
// " context" appended when an event context was passed). Tests add the debug output to it.
std::vector<std::wstring>& FakeJournal();

// Called with every entry the fakes add to the journal, when set.
extern void (*g_fakeJournalHook)(const std::wstring& entry);
