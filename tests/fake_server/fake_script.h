#pragma once

#include <windows.h>

// Shared memory through which a test scripts the endpoint that the fake audio server gives the
// program: which processes own its sessions and what their meters read.
constexpr wchar_t kFakeScriptName[] = L"HushvaneFakeEndpointScript";
constexpr int kFakeScriptMaxSessions = 8;

struct FakeScript {
    LONG sessionCount;
    DWORD processIds[kFakeScriptMaxSessions];
    float peaks[kFakeScriptMaxSessions];
};

// What the server writes on the debugger channel besides the program's own output: a tick mark
// when a session enumerator is taken, and each SetMute, as "fake: SetMute s<index> <value>".
constexpr wchar_t kFakeTickMark[] = L"fake: tick";
constexpr wchar_t kFakeOutputPrefix[] = L"fake: ";
