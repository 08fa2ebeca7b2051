#include "sessions/playback_devices.h"

#include <shlwapi.h>

#include <utility>

#include "audio/audio_session.h"
#include "sessions/text_output.h"
#include "sessions/texts.h"

// Defines the property key of the device's friendly name here, rather than declaring it only.
#include <initguid.h>
#include <functiondiscoverykeys_devpkey.h>

namespace {

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
        OtherDevice& other = others->found[i];
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

void ReadDeviceName(IMMDevice* device, wchar_t* name) {
    ComRef<IPropertyStore> properties;
    PROPVARIANT value;
    PropVariantInit(&value);
    if (SUCCEEDED(device->OpenPropertyStore(STGM_READ, properties.Put())) &&
        SUCCEEDED(properties->GetValue(PKEY_Device_FriendlyName, &value)) &&
        value.vt == VT_LPWSTR && value.pwszVal != nullptr && value.pwszVal[0] != L'\0') {
        lstrcpynW(name, value.pwszVal, kDeviceNameChars);
        PropVariantClear(&value);
        return;
    }
    PropVariantClear(&value);
    wchar_t* id = nullptr;
    HRESULT status = device->GetId(&id);
    if (SUCCEEDED(status) && id != nullptr) {
        FormatText(name, kDeviceNameChars, Text().nameUnread, id);
    } else {
        FormatText(name, kDeviceNameChars, Text().nameAndIdUnread, status);
    }
    CoTaskMemFree(id);
}

bool FindOtherDevices(IMMDeviceEnumerator* devices, IMMDevice* defaultDevice,
                      OtherDevices* others) {
    others->count = 0;
    wchar_t defaultId[kDeviceIdChars];
    wchar_t communicationsId[kDeviceIdChars];
    HRESULT status = ReadDeviceId(defaultDevice, defaultId);
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
        const char* call = "Item";
        status = collection->Item(i, device.Put());
        if (SUCCEEDED(status)) {
            call = "GetId";
            status = ReadDeviceId(device.Get(), id);
        }
        if (FAILED(status)) {
            // It may be the default device as well as another one.
            Print(Text().deviceUnlisted, i + 1, count, call, status);
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
        OtherDevice& other = others->found[others->count++];
        other.device = std::move(device);
        lstrcpynW(other.id, id, kDeviceIdChars);
        ReadDeviceName(other.device.Get(), other.name);
        other.communications = IsSameDevice(communicationsId, id);
    }
    wchar_t defaultName[kDeviceNameChars];
    ReadDeviceName(defaultDevice, defaultName);
    NameTwinsByTheirIds(defaultName, others);
    return complete;
}
