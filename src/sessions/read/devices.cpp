#include "sessions/read/devices.h"

#include <utility>

#include "audio/audio_session.h"
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

void AddFailure(Listing* listing, const char* text, const FailedCall& failed) {
    AddLine(listing, kHeadingLine, text, DescribeFailure(failed).text);
}

// The device's id into id; where it has none, empty, and why into why, if any: the call that
// failed, or a device that gives none.
bool ReadDeviceId(IMMDevice* device, wchar_t* id, wchar_t* why = nullptr) {
    wchar_t* text = nullptr;
    const FailedCall failed = CheckCall("GetId", device->GetId(&text));
    const bool read = !failed && text != nullptr && text[0] != L'\0';
    lstrcpynW(id, read ? text : L"", kDeviceIdChars);
    CoTaskMemFree(text);
    if (!read && why != nullptr) {
        FormatText(why, kWhyChars, failed ? Text().idUnread : Text().noId,
                   DescribeFailure(failed).text);
    }
    return read;
}

// The device's friendly name or, where it has none, its id ("?" where it has none either, which
// the listing says apart) and why.
void ReadDeviceName(IMMDevice* device, wchar_t* name) {
    ComRef<IPropertyStore> properties;
    PropertyValue friendly;
    FailedCall failed =
        CheckCall("OpenPropertyStore", device->OpenPropertyStore(STGM_READ, properties.Put()));
    if (!failed) {
        failed =
            CheckCall("GetValue", properties->GetValue(PKEY_Device_FriendlyName, &friendly.value));
    }
    const wchar_t* text = friendly.value.vt == VT_LPWSTR ? friendly.value.pwszVal : nullptr;
    if (!failed && text != nullptr && text[0] != L'\0') {
        FormatText(name, kNameChars, "%s", text);
        return;
    }
    wchar_t unnamed[kWhyChars], id[kDeviceIdChars];
    FormatText(unnamed, kWhyChars, failed ? Text().nameUnread : Text().noName,
               DescribeFailure(failed).text);
    FormatText(name, kDeviceNameChars, Text().namedById, ReadDeviceId(device, id) ? id : L"?",
               unnamed);
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
        FormatText(other.name + length, kDeviceNameChars - length, twin[i] ? Text().twinId : "",
                   other.id);
    }
}

} // namespace

bool OpenDefaultDevice(ComRef<IMMDeviceEnumerator>* devices, PlaybackDevice* device,
                       Listing* listing) {
    FailedCall failed = {};
    if (!*devices) {
        failed = CreateDeviceEnumeratorNamed(devices);
    }
    if (!failed) {
        failed = GetDefaultPlaybackDeviceNamed(devices->Get(), kWatchedRole, &device->device);
    }
    if (failed) {
        // Without an enumerator, no device at all can be read.
        AddFailure(listing, *devices ? Text().defaultDeviceUnread : Text().audioDevicesUnread,
                   failed);
        return false;
    }
    device->isDefault = true;
    ReadDeviceName(device->device.Get(), device->name);
    AddLine(listing, kHeadingLine, Text().defaultDevice, device->name);
    return true;
}

bool FindOtherDevices(IMMDeviceEnumerator* devices, const PlaybackDevice& defaultDevice,
                      OtherDevices* others, Listing* listing) {
    wchar_t defaultId[kDeviceIdChars], communicationsId[kDeviceIdChars] = L"", why[kWhyChars];
    if (!ReadDeviceId(defaultDevice.device.Get(), defaultId, why)) {
        AddLine(listing, kHeadingLine, Text().defaultIdUnread, why);
        return false;
    }
    // No device is marked where there is no default for communications.
    ComRef<IMMDevice> communications;
    if (SUCCEEDED(GetDefaultPlaybackDevice(devices, eCommunications, &communications))) {
        ReadDeviceId(communications.Get(), communicationsId);
    }
    ComRef<IMMDeviceCollection> collection;
    UINT count = 0;
    FailedCall failed =
        CheckCall("EnumAudioEndpoints",
                  devices->EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE, collection.Put()));
    if (!failed) {
        failed = CheckCall("GetCount", collection->GetCount(&count));
    }
    if (failed) {
        AddFailure(listing, Text().listUnread, failed);
        return false;
    }
    bool complete = true;
    for (UINT i = 0; i < count; ++i) {
        ComRef<IMMDevice> device;
        wchar_t id[kDeviceIdChars];
        failed = CheckCall("Item", collection->Item(i, device.Put()));
        lstrcpynW(why, DescribeFailure(failed).text, kWhyChars);
        // It may be the default device as well as another one.
        if (failed || !ReadDeviceId(device.Get(), id, why)) {
            AddLine(listing, kHeadingLine, Text().deviceUnlisted, i + 1, count, why);
            complete = false;
            continue;
        }
        if (lstrcmpiW(defaultId, id) == 0) {
            continue;
        }
        if (others->count == kMaxOtherDevices) {
            AddLine(listing, kHeadingLine, Text().tooManyDevices, kMaxOtherDevices);
            complete = false;
            break;
        }
        PlaybackDevice& other = others->found[others->count++];
        other.device = std::move(device);
        lstrcpynW(other.id, id, kDeviceIdChars);
        ReadDeviceName(other.device.Get(), other.name);
        other.communications = lstrcmpiW(communicationsId, id) == 0;
    }
    NameTwinsByTheirIds(defaultDevice.name, others);
    return complete;
}

FailedCall OpenDeviceSessions(IMMDevice* device, DeviceSessions* list, Listing* listing) {
    FailedCall failed = ActivateSessionManagerNamed(device, &list->manager);
    if (!failed) {
        failed = CheckCall("GetSessionEnumerator",
                           list->manager->GetSessionEnumerator(list->sessions.Put()));
    }
    if (failed) {
        AddFailure(listing, Text().sessionsUnread, failed);
        return failed;
    }
    failed = CheckCall("GetCount", list->sessions->GetCount(&list->count));
    if (failed) {
        AddFailure(listing, Text().sessionCountUnread, failed);
    }
    return failed;
}
