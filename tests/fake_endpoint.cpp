#include "fake_endpoint.h"

#include <initguid.h>
#include <functiondiscoverykeys_devpkey.h>

namespace {

// Hands out obj as the interface asked for, with a new reference.
template <typename T> HRESULT Hand(T* object, void** out) {
    object->AddRef();
    *out = object;
    return S_OK;
}

} // namespace

void LogFakeRelease(FakeSession* session, const wchar_t* role) {
    if (session->endpoint->logReleases) {
        session->endpoint->releases.push_back(session->label + L" " + role);
    }
}

void (*g_fakeJournalHook)(const std::wstring& entry) = nullptr;

std::vector<std::wstring>& FakeJournal() {
    static std::vector<std::wstring> journal;
    return journal;
}

HRESULT FakeSessionControl::QueryInterface(REFIID iid, void** out) {
    *out = nullptr;
    FakeSession& s = *session_;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IAudioSessionControl)) {
        return Hand(static_cast<IAudioSessionControl2*>(this), out);
    }
    if (iid == __uuidof(IAudioSessionControl2)) {
        return (s.faults & kFailQueryControl2) ? E_NOINTERFACE : Hand(&s.extended, out);
    }
    if (iid == __uuidof(ISimpleAudioVolume)) {
        return (s.faults & kFailQueryVolume) ? E_NOINTERFACE : Hand(&s.volume, out);
    }
    if (iid == __uuidof(IAudioMeterInformation)) {
        return (s.faults & kFailQueryMeter) ? E_NOINTERFACE : Hand(&s.meter, out);
    }
    return E_NOINTERFACE;
}

HRESULT FakeSessionControl::GetState(AudioSessionState* state) {
    if (session_->faults & kFailGetState) {
        return AUDCLNT_E_DEVICE_INVALIDATED;
    }
    // A session whose program plays nothing is inactive.
    *state = session_->expired       ? AudioSessionStateExpired
             : session_->peak > 0.0f ? AudioSessionStateActive
                                     : AudioSessionStateInactive;
    return S_OK;
}

HRESULT FakeSessionControl::IsSystemSoundsSession() {
    return session_->systemSounds ? S_OK : S_FALSE;
}

// Setters that a session offers besides SetMute: counted, so that a read-only caller shows.
HRESULT FakeSessionControl::SetDisplayName(LPCWSTR, LPCGUID) {
    ++session_->otherSetterCalls;
    return S_OK;
}
HRESULT FakeSessionControl::SetIconPath(LPCWSTR, LPCGUID) {
    ++session_->otherSetterCalls;
    return S_OK;
}
HRESULT FakeSessionControl::SetGroupingParam(LPCGUID, LPCGUID) {
    ++session_->otherSetterCalls;
    return S_OK;
}
HRESULT FakeSessionControl::SetDuckingPreference(BOOL) {
    ++session_->otherSetterCalls;
    return S_OK;
}
HRESULT FakeVolume::SetMasterVolume(float, LPCGUID) {
    ++session_->otherSetterCalls;
    return S_OK;
}

HRESULT FakeSessionControl::GetProcessId(DWORD* processId) {
    if (session_->faults & kFailGetProcessId) {
        return AUDCLNT_E_DEVICE_INVALIDATED;
    }
    *processId = session_->processId;
    // AUDCLNT_S_NO_SINGLE_PROCESS, which MinGW's headers do not name.
    return (session_->faults & kSpansProcesses) ? 0x0889000D : S_OK;
}

HRESULT FakeVolume::SetMute(BOOL mute, LPCGUID eventContext) {
    ++session_->setMuteCalls;
    FakeJournal().push_back(L"SetMute " + session_->label + L" " + std::to_wstring(mute) +
                            (eventContext != nullptr ? L" context" : L""));
    if (g_fakeJournalHook != nullptr) {
        g_fakeJournalHook(FakeJournal().back());
    }
    if (session_->faults & kFailSetMute) {
        return AUDCLNT_E_DEVICE_INVALIDATED;
    }
    session_->muted = mute;
    return S_OK;
}

HRESULT FakeVolume::GetMute(BOOL* mute) {
    if (session_->faults & kFailGetMute) {
        return AUDCLNT_E_DEVICE_INVALIDATED;
    }
    *mute = session_->muted;
    return S_OK;
}

HRESULT FakeMeter::GetPeakValue(float* peak) {
    if (session_->faults & kFailGetPeakValue) {
        return AUDCLNT_E_DEVICE_INVALIDATED;
    }
    *peak = session_->peak;
    return S_OK;
}

FakeSession& FakeEndpoint::AddSession(const std::wstring& label, DWORD processId) {
    sessions_.push_back(std::make_unique<FakeSession>(this, label, processId));
    return *sessions_.back();
}

void FakeEndpoint::RemoveSession(size_t index) {
    sessions_.erase(sessions_.begin() + index);
}

std::wstring FakeEndpoint::UnbalancedReferences(LONG endpointHeldElsewhere) const {
    std::wstring unbalanced;
    auto check = [&unbalanced](LONG references, const std::wstring& what, LONG expected = 1) {
        if (references != expected) {
            unbalanced += what + L" holds " + std::to_wstring(references) + L"; ";
        }
    };
    const std::wstring device = id.empty() ? L"endpoint" : L"endpoint " + id;
    check(references, device, 1 + endpointHeldElsewhere);
    check(properties.references, device + L" property store");
    for (const auto& device : otherDevices) {
        unbalanced += device->UnbalancedReferences();
    }
    for (const auto& s : sessions_) {
        check(s->control.references, s->label + L" control");
        check(s->extended.references, s->label + L" extended control");
        check(s->volume.references, s->label + L" volume");
        check(s->meter.references, s->label + L" meter");
    }
    return unbalanced;
}

HRESULT FakeEndpoint::QueryInterface(REFIID iid, void** out) {
    *out = nullptr;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IMMDeviceEnumerator)) {
        return Hand(static_cast<IMMDeviceEnumerator*>(this), out);
    }
    if (iid == __uuidof(IMMDevice)) {
        return Hand(static_cast<IMMDevice*>(this), out);
    }
    return E_NOINTERFACE;
}

HRESULT FakeEndpoint::GetDefaultAudioEndpoint(EDataFlow flow, ERole role, IMMDevice** device) {
    *device = nullptr;
    if (faults & kFailGetDefaultEndpoint) {
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    }
    if (flow != eRender) {
        return E_INVALIDARG; // this fake has playback devices only
    }
    FakeEndpoint* chosen =
        role == eCommunications && communications != nullptr ? communications : this;
    return Hand(static_cast<IMMDevice*>(chosen), reinterpret_cast<void**>(device));
}

HRESULT FakeEndpoint::EnumAudioEndpoints(EDataFlow flow, DWORD states,
                                         IMMDeviceCollection** devices) {
    *devices = nullptr;
    if (faults & kFailEnumAudioEndpoints) {
        return E_OUTOFMEMORY;
    }
    listed.clear();
    for (const auto& device : otherDevices) {
        if (flow != eCapture && (device->state & states) != 0) {
            listed.push_back(device.get());
        }
    }
    if (flow != eCapture && (state & states) != 0) {
        listed.push_back(this);
    }
    return Hand(static_cast<IMMDeviceCollection*>(this), reinterpret_cast<void**>(devices));
}

HRESULT FakeEndpoint::GetCount(UINT* count) {
    if (faults & kFailDeviceCount) {
        return E_OUTOFMEMORY;
    }
    *count = static_cast<UINT>(listed.size());
    return S_OK;
}

HRESULT FakeEndpoint::Item(UINT index, IMMDevice** device) {
    *device = nullptr;
    if (index >= listed.size()) {
        return E_INVALIDARG;
    }
    if (faults & kFailDeviceItem) {
        return AUDCLNT_E_DEVICE_INVALIDATED; // unplugged since it was listed
    }
    return Hand(listed[index], reinterpret_cast<void**>(device));
}

HRESULT FakeEndpoint::Activate(REFIID iid, DWORD context, PROPVARIANT* parameters, void** out) {
    *out = nullptr;
    lastActivateContext = context;
    if (faults & kFailActivate) {
        return AUDCLNT_E_DEVICE_INVALIDATED;
    }
    if (faults & kNoSessionManager) {
        return E_NOINTERFACE;
    }
    if (iid != __uuidof(IAudioSessionManager2) || parameters != nullptr) {
        return E_NOINTERFACE;
    }
    return Hand(static_cast<IAudioSessionManager2*>(this), out);
}

HRESULT FakeEndpoint::OpenPropertyStore(DWORD access, IPropertyStore** store) {
    *store = nullptr;
    if (access != STGM_READ || (faults & kFailOpenPropertyStore)) {
        return E_ACCESSDENIED;
    }
    return Hand(static_cast<IPropertyStore*>(&properties), reinterpret_cast<void**>(store));
}

HRESULT FakeEndpoint::GetId(LPWSTR* out) {
    *out = nullptr;
    if (faults & kNoId) {
        return S_OK;
    }
    if (id.empty()) {
        return E_OUTOFMEMORY;
    }
    size_t bytes = (id.size() + 1) * sizeof(wchar_t);
    *out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    memcpy(*out, id.c_str(), bytes);
    return S_OK;
}

HRESULT FakePropertyStore::QueryInterface(REFIID iid, void** out) {
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IPropertyStore)) {
        return Hand(this, out);
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT FakePropertyStore::GetCount(DWORD* count) {
    *count = endpoint_->friendlyName.empty() ? 0 : 1;
    return S_OK;
}

// A key the store does not hold reads as VT_EMPTY, as a real store answers.
HRESULT FakePropertyStore::GetValue(REFPROPERTYKEY key, PROPVARIANT* value) {
    PropVariantInit(value);
    if (endpoint_->faults & kFailGetValue) {
        return E_ACCESSDENIED;
    }
    const std::wstring& name = endpoint_->friendlyName;
    if (name.empty() || !IsEqualPropertyKey(key, PKEY_Device_FriendlyName)) {
        return S_OK;
    }
    size_t bytes = (name.size() + 1) * sizeof(wchar_t);
    value->vt = VT_LPWSTR;
    value->pwszVal = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    memcpy(value->pwszVal, name.c_str(), bytes);
    return S_OK;
}

HRESULT FakeEndpoint::GetState(DWORD* deviceState) {
    *deviceState = state;
    return S_OK;
}

HRESULT FakeEndpoint::GetSessionEnumerator(IAudioSessionEnumerator** sessions) {
    *sessions = nullptr;
    if (faults & kFailGetSessionEnumerator) {
        return AUDCLNT_E_DEVICE_INVALIDATED;
    }
    return Hand(static_cast<IAudioSessionEnumerator*>(this), reinterpret_cast<void**>(sessions));
}

HRESULT FakeEndpoint::GetCount(int* count) {
    if (faults & kFailGetCount) {
        return AUDCLNT_E_DEVICE_INVALIDATED;
    }
    *count = static_cast<int>(sessions_.size());
    return S_OK;
}

HRESULT FakeEndpoint::GetSession(int index, IAudioSessionControl** control) {
    *control = nullptr;
    if (index < 0 || static_cast<size_t>(index) >= sessions_.size()) {
        return E_INVALIDARG;
    }
    FakeSession& s = *sessions_[index];
    if (s.faults & kFailGetSession) {
        return AUDCLNT_E_DEVICE_INVALIDATED;
    }
    return Hand(static_cast<IAudioSessionControl*>(&s.control), reinterpret_cast<void**>(control));
}
