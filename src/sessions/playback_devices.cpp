#include "sessions/playback_devices.h"

#include <shlwapi.h>

#include <utility>

#include "audio/audio_session.h"
#include "sessions/text_output.h"

// Defines the property key of the device's friendly name here, rather than declaring it only.
#include <initguid.h>
#include <functiondiscoverykeys_devpkey.h>

namespace {

// Endpoint ids are short, as "{0.0.0.00000000}.{guid}".
constexpr int kDeviceIdChars = 128;

bool ReadDeviceId(IMMDevice* device, wchar_t* id) {
    wchar_t* text = nullptr;
    HRESULT status = device->GetId(&text);
    bool read = SUCCEEDED(status) && text != nullptr;
    lstrcpynW(id, read ? text : L"", kDeviceIdChars);
    CoTaskMemFree(text);
    return read;
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
        FormatText(name, kDeviceNameChars, "%s (its name cannot be read)", id);
    } else {
        FormatText(name, kDeviceNameChars, "(its name and id cannot be read: 0x%08lX)", status);
    }
    CoTaskMemFree(id);
}

bool FindOtherDevices(IMMDeviceEnumerator* devices, IMMDevice* defaultDevice,
                      OtherDevices* others) {
    others->count = 0;
    wchar_t defaultId[kDeviceIdChars];
    wchar_t communicationsId[kDeviceIdChars];
    ReadDeviceId(defaultDevice, defaultId);
    ReadDefaultDeviceId(devices, eCommunications, communicationsId);
    ComRef<IMMDeviceCollection> collection;
    UINT count = 0;
    HRESULT status = devices->EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE, collection.Put());
    if (SUCCEEDED(status)) {
        status = collection->GetCount(&count);
    }
    if (FAILED(status)) {
        Print("Cannot list the other playback devices: EnumAudioEndpoints failed with 0x%08lX.\n",
              status);
        return false;
    }
    for (UINT i = 0; i < count; ++i) {
        ComRef<IMMDevice> device;
        wchar_t id[kDeviceIdChars];
        status = collection->Item(i, device.Put());
        if (FAILED(status)) {
            Print("Cannot open playback device %u of %u: Item failed with 0x%08lX.\n", i + 1, count,
                  status);
            continue;
        }
        // A device whose id cannot be read cannot be the default as far as anyone can tell.
        if (ReadDeviceId(device.Get(), id) && IsSameDevice(defaultId, id)) {
            continue;
        }
        if (others->count == kMaxOtherDevices) {
            Print("(more playback devices than %d: the rest are not listed)\n", kMaxOtherDevices);
            break;
        }
        OtherDevice& other = others->found[others->count++];
        other.device = std::move(device);
        ReadDeviceName(other.device.Get(), other.name);
        other.communications = IsSameDevice(communicationsId, id);
    }
    return true;
}
