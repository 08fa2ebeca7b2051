#pragma once

#include <windows.h>

// Shared memory through which a test scripts the endpoint that the fake audio server gives the
// program: which processes own its sessions and what their meters read.
constexpr wchar_t kFakeScriptName[] = L"HushvaneFakeEndpointScript";
constexpr int kFakeScriptMaxSessions = 320;
constexpr int kFakeScriptMaxOtherDevices = 4;

// What endedBalanced says once the program has ended.
enum FakeEnding : LONG { kFakeNotEnded = 0, kFakeEndedBalanced = 1, kFakeEndedHolding = 2 };

struct FakeScript {
    LONG sessionCount;
    DWORD processIds[kFakeScriptMaxSessions];
    float peaks[kFakeScriptMaxSessions];
    // Zero in every field below leaves the plain endpoint: no name, no faults, nothing muted.
    BOOL muted[kFakeScriptMaxSessions];
    unsigned faults[kFakeScriptMaxSessions]; // FakeFault bits of each session
    BOOL systemSounds[kFakeScriptMaxSessions];
    BOOL expired[kFakeScriptMaxSessions];
    unsigned endpointFaults;
    wchar_t deviceName[64];
    wchar_t deviceId[64];
    // Playback devices beside the default one, and on which device each session plays: 0 on
    // the default, n on other device n. communicationsDevice: 0 the default, n other device n.
    LONG otherDeviceCount;
    struct {
        wchar_t name[64];
        wchar_t id[64];
        DWORD state; // DEVICE_STATE_ACTIVE, _DISABLED, ...
        unsigned faults;
    } otherDevices[kFakeScriptMaxOtherDevices];
    LONG communicationsDevice;
    LONG sessionDevice[kFakeScriptMaxSessions];
    // Where not zero: the window sizes that the program's console is given in turn, as a user
    // would resize it, each time the program reads the sessions; and how many times it was.
    COORD resizeWindows[2];
    LONG resizes;
    // Written by the server as the program ends: the calls its sessions saw, their mute
    // states, and whether every reference had come back.
    LONG setMuteCalls[kFakeScriptMaxSessions];
    LONG otherSetterCalls;
    LONG endedBalanced;
    wchar_t unbalanced[256];
};

// What the server writes on the debugger channel besides the program's own output: a tick mark
// when a session enumerator is taken, and each SetMute, as "fake: SetMute s<index> <value>".
constexpr wchar_t kFakeTickMark[] = L"fake: tick";
constexpr wchar_t kFakeOutputPrefix[] = L"fake: ";
