#include "audio/audio_session.h"

#include "common/watcher_state.h"
#include "process/process_queries.h"

HRESULT CreateDeviceEnumerator(ComRef<IMMDeviceEnumerator>* enumerator) {
    return CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, kAllContexts,
                            __uuidof(IMMDeviceEnumerator), enumerator->PutVoid());
}

HRESULT ActivateSessionManager(IMMDevice* device, ComRef<IAudioSessionManager2>* manager) {
    return device->Activate(__uuidof(IAudioSessionManager2), kAllContexts, nullptr,
                            manager->PutVoid());
}

bool ReadSessionCount(IAudioSessionEnumerator* sessions) {
    int count = 0;
    if (FAILED(sessions->GetCount(&count))) {
        return false;
    }
    g_watcher.sessionCount = count;
    return true;
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

bool ResolveSessionProcess(IAudioSessionControl2* control2) {
    DWORD processId = 0;
    // Sessions spanning several processes answer with a success code above zero: still success.
    if (FAILED(control2->GetProcessId(&processId))) {
        return false;
    }
    g_watcher.sessionProcessId = processId;
    return QuerySessionImagePath();
}
