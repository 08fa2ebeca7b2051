#pragma once

#include <windows.h>
#include <mmdeviceapi.h>
#include <audiopolicy.h>
#include <endpointvolume.h>

#include "common/com_ref.h"
#include "common/failed_call.h"

// MinGW-w64's endpointvolume.h only forward-declares the peak meter; this is its Windows layout.
#ifndef __IAudioMeterInformation_INTERFACE_DEFINED__
#define __IAudioMeterInformation_INTERFACE_DEFINED__
MIDL_INTERFACE("C02216F6-8C67-4B5B-9D00-D008E73E0064")
IAudioMeterInformation : public IUnknown {
  public:
    virtual HRESULT STDMETHODCALLTYPE GetPeakValue(float* peak) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMeteringChannelCount(UINT * channelCount) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetChannelsPeakValues(UINT32 channelCount, float* peaks) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryHardwareSupport(DWORD * hardwareSupportMask) = 0;
};
__CRT_UUID_DECL(IAudioMeterInformation, 0xc02216f6, 0x8c67, 0x4b5b, 0x9d, 0x00, 0xd0, 0x08, 0xe7,
                0x3e, 0x00, 0x64)
#endif

// Every activation context: in-process, handler, local and remote server.
constexpr DWORD kAllContexts = CLSCTX_ALL;
static_assert(kAllContexts == 0x17, "all activation contexts");

HRESULT CreateDeviceEnumerator(ComRef<IMMDeviceEnumerator>* enumerator);

// Hushvane watches the default playback device for multimedia.
constexpr ERole kWatchedRole = eMultimedia;

// The default playback device for a role.
inline HRESULT GetDefaultPlaybackDevice(IMMDeviceEnumerator* enumerator, ERole role,
                                        ComRef<IMMDevice>* device) {
    return enumerator->GetDefaultAudioEndpoint(eRender, role, device->Put());
}
HRESULT ActivateSessionManager(IMMDevice* device, ComRef<IAudioSessionManager2>* manager);

// The same three steps with the name of the call each makes, for a listing that says which call
// failed. Hushvane itself tests the status alone.
inline FailedCall CreateDeviceEnumeratorNamed(ComRef<IMMDeviceEnumerator>* enumerator) {
    return CheckCall("CoCreateInstance(MMDeviceEnumerator)", CreateDeviceEnumerator(enumerator));
}
inline FailedCall GetDefaultPlaybackDeviceNamed(IMMDeviceEnumerator* enumerator, ERole role,
                                                ComRef<IMMDevice>* device) {
    return CheckCall("GetDefaultAudioEndpoint", GetDefaultPlaybackDevice(enumerator, role, device));
}
inline FailedCall ActivateSessionManagerNamed(IMMDevice* device,
                                              ComRef<IAudioSessionManager2>* manager) {
    return CheckCall("Activate(IAudioSessionManager2)", ActivateSessionManager(device, manager));
}

// One session's references. Declared in reverse, so that leaving the scope releases them as
// Hushvane does: the control, the extended control, the volume control, then the meter.
struct SessionControls {
    ComRef<IAudioMeterInformation> meter;
    ComRef<ISimpleAudioVolume> volume;
    ComRef<IAudioSessionControl2> control2;
    ComRef<IAudioSessionControl> control;
};

// Opens session index of the enumerator: its control, the extended control, the volume control
// and, withMeter, the peak meter from the control. Stops at the first call that fails and
// returns it.
FailedCall OpenSession(IAudioSessionEnumerator* sessions, int index, bool withMeter,
                       SessionControls* session);
