#include "audio/audio_session.h"

HRESULT CreateDeviceEnumerator(ComRef<IMMDeviceEnumerator>* enumerator) {
    return CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, kAllContexts,
                            __uuidof(IMMDeviceEnumerator), enumerator->PutVoid());
}

HRESULT ActivateSessionManager(IMMDevice* device, ComRef<IAudioSessionManager2>* manager) {
    return device->Activate(__uuidof(IAudioSessionManager2), kAllContexts, nullptr,
                            manager->PutVoid());
}

FailedCall OpenSession(IAudioSessionEnumerator* sessions, int index, bool withMeter,
                       SessionControls* session) {
    HRESULT status = sessions->GetSession(index, session->control.Put());
    if (FAILED(status)) {
        return {"GetSession", status};
    }
    status = session->control->QueryInterface(__uuidof(IAudioSessionControl2),
                                              session->control2.PutVoid());
    if (FAILED(status)) {
        return {"QueryInterface(IAudioSessionControl2)", status};
    }
    status =
        session->control2->QueryInterface(__uuidof(ISimpleAudioVolume), session->volume.PutVoid());
    if (FAILED(status)) {
        return {"QueryInterface(ISimpleAudioVolume)", status};
    }
    if (!withMeter) {
        return {nullptr, status};
    }
    status = session->control->QueryInterface(__uuidof(IAudioMeterInformation),
                                              session->meter.PutVoid());
    return CheckCall("QueryInterface(IAudioMeterInformation)", status);
}
