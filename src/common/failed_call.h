#pragma once

#include <windows.h>

// The call of a sequence that failed, by the name a user can look up, and the status it
// returned. The name stands beside the call in the code that makes it; none while every call
// has succeeded, and then it tests false.
struct FailedCall {
    const char* name;
    HRESULT status;
    explicit operator bool() const { return name != nullptr; }
};

// The call as failed where its status is a failure, else no failed call.
inline FailedCall CheckCall(const char* name, HRESULT status) {
    return {FAILED(status) ? name : nullptr, status};
}
