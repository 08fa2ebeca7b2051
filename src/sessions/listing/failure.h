#pragma once

#include <windows.h>

// The call of a sequence that failed, and its status, for the line that says so: every failure
// the companion reports is named this way.
struct Failure {
    const char* call; // null while every call succeeded
    HRESULT status;
};

// Records the call as the failure when it failed; true when it succeeded.
inline bool Succeeds(HRESULT status, const char* call, Failure* failure) {
    if (SUCCEEDED(status)) {
        return true;
    }
    *failure = {call, status};
    return false;
}
