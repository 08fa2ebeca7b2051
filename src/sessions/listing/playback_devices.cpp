#include "sessions/listing/playback_devices.h"

#include <shlwapi.h>

#include <utility>

#include "audio/audio_session.h"
#include "sessions/listing/failure.h"
#include "sessions/output/print.h"
#include "sessions/output/texts.h"

// Defines the property key of the device's friendly name here, rather than declaring it only.
#include <initguid.h>
#include <functiondiscoverykeys_devpkey.h>

namespace {

// A property's value, cleared with the holder.
struct PropertyValue {
    PropertyValue() { PropVariantInit(&value); }
    ~PropertyValue() { PropVariantClear(&value); }
    PROPVARIANT value;
};

void PrintCantRead(const char* what, const Failure& failure) {
    Print(Text().cantRead, what, failure.call, failure.status);
}

HRESULT ReadDeviceId(IMMDevice* device, wchar_t* id) {
    wchar_t* text = nullptr;
    HRESULT status = device->GetId(&text);
    if (SUCCEEDED(status) && text == nullptr) {
        status = E_POINTER;
    }
    lstrcpynW(id, SUCCEEDED(status) ? text : L"", kDeviceIdChars);
    CoTaskMemFree(text);
    return status;
}

// The device's friendly name or, where it has none, its id with a note.
void ReadDeviceName(IMMDevice* device, wchar_t* name) {
    ComRef<IPropertyStore> properties;
    PropertyValue friendly;
    if (SUCCEEDED(device->OpenPropertyStore(STGM_READ, properties.Put())) &&
        SUCCEEDED(properties->GetValue(PKEY_Device_FriendlyName, &friendly.value)) &&
        friendly.value.vt == VT_LPWSTR && friendly.value.pwszVal != nullptr &&
        friendly.value.pwszVal[0] != L'\0') {
        lstrcpynW(name, friendly.value.pwszVal, kDeviceNameChars);
        return;
    }
    wchar_t id[kDeviceIdChars];
    const HRESULT status = ReadDeviceId(device, id);
    if (SUCCEEDED(status)) {
        FormatText(name, kDeviceNameChars, Text().nameUnread, id);
    } else {
        FormatText(name, kDeviceNameChars, Text().nameAndIdUnread, status);
    }
}

// Identical adapters, two identical headsets say, give their devices identical names, and the
// adapter's name is already the part in brackets: only the id tells them apart.
void NameTwinsByTheirIds(const wchar_t* defaultName, OtherDevices* others) {
    bool twin[kMaxOtherDevices] = {};
    for (int i = 0; i < others->count; ++i) {
        twin[i] = lstrcmpW(others->found[i].name, defaultName) == 0;
        for (int j = 0; j < others->count; ++j) {
            twin[i] |= j != i && lstrcmpW(others->found[i].name, others->found[j].name) == 0;
        }
    }
    for (int i = 0; i < others->count; ++i) {
        PlaybackDevice& other = others->found[i];
        const int length = lstrlenW(other.name);
        if (twin[i]) {
            FormatText(other.name + length, kDeviceNameChars - length, Text().twinId, other.id);
        }
    }
}

// The id of the default playback device for the role; empty when there is none.
void ReadDefaultDeviceId(IMMDeviceEnumerator* devices, ERole role, wchar_t* id) {
    ComRef<IMMDevice> device;
    id[0] = L'\0';
    if (SUCCEEDED(GetDefaultPlaybackDevice(devices, role, &device))) {
        ReadDeviceId(device.Get(), id);
    }
}

bool IsSameDevice(const wchar_t* id, const wchar_t* otherId) {
    return id[0] != L'\0' && StrCmpIW(id, otherId) == 0;
}

} // namespace

bool OpenDefaultDevice(ComRef<IMMDeviceEnumerator>* devices, PlaybackDevice* device) {
    Failure failed = {};
    if (!*devices && !Succeeds(CreateDeviceEnumerator(devices),
                               "CoCreateInstance(MMDeviceEnumerator)", &failed)) {
        PrintCantRead(Text().theAudioDevices, failed);
        return false;
    }
    if (!Succeeds(GetDefaultRenderDevice(devices->Get(), &device->device),
                  "GetDefaultAudioEndpoint", &failed)) {
        PrintCantRead(Text().theDefaultDevice, failed);
        return false;
    }
    device->isDefault = true;
    ReadDeviceName(device->device.Get(), device->name);
    Print(Text().defaultDevice, device->name);
    return true;
}

bool FindOtherDevices(IMMDeviceEnumerator* devices, const PlaybackDevice& defaultDevice,
                      OtherDevices* others) {
    others->count = 0;
    wchar_t defaultId[kDeviceIdChars];
    wchar_t communicationsId[kDeviceIdChars];
    HRESULT status = ReadDeviceId(defaultDevice.device.Get(), defaultId);
    if (FAILED(status)) {
        Print(Text().defaultIdUnread, status);
        return false;
    }
    ReadDefaultDeviceId(devices, eCommunications, communicationsId);
    ComRef<IMMDeviceCollection> collection;
    UINT count = 0;
    status = devices->EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE, collection.Put());
    if (SUCCEEDED(status)) {
        status = collection->GetCount(&count);
    }
    if (FAILED(status)) {
        Print(Text().listUnread, status);
        return false;
    }
    bool complete = true;
    for (UINT i = 0; i < count; ++i) {
        ComRef<IMMDevice> device;
        wchar_t id[kDeviceIdChars];
        Failure failed = {};
        if (!Succeeds(collection->Item(i, device.Put()), "Item", &failed) ||
            !Succeeds(ReadDeviceId(device.Get(), id), "GetId", &failed)) {
            // It may be the default device as well as another one.
            Print(Text().deviceUnlisted, i + 1, count, failed.call, failed.status);
            complete = false;
            continue;
        }
        if (IsSameDevice(defaultId, id)) {
            continue;
        }
        if (others->count == kMaxOtherDevices) {
            Print(Text().tooManyDevices, kMaxOtherDevices);
            complete = false;
            break;
        }
        PlaybackDevice& other = others->found[others->count++];
        other.device = std::move(device);
        lstrcpynW(other.id, id, kDeviceIdChars);
        ReadDeviceName(other.device.Get(), other.name);
        other.communications = IsSameDevice(communicationsId, id);
    }
    NameTwinsByTheirIds(defaultDevice.name, others);
    return complete;
}

HRESULT OpenDeviceSessions(IMMDevice* device, DeviceSessions* list) {
    Failure failed = {};
    if (!Succeeds(ActivateSessionManager(device, &list->manager), "Activate(IAudioSessionManager2)",
                  &failed) ||
        !Succeeds(list->manager->GetSessionEnumerator(list->sessions.Put()), "GetSessionEnumerator",
                  &failed)) {
        PrintCantRead(Text().theDeviceSessions, failed);
        return failed.status;
    }
    if (!Succeeds(list->sessions->GetCount(&list->count), "GetCount", &failed)) {
        PrintCantRead(Text().theSessionCount, failed);
    }
    return failed.call != nullptr ? failed.status : S_OK;
}
