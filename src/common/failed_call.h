#pragma once

#include <windows.h>

// The call of a sequence that failed, by its name, and the status it returned. The name stands
// beside the call in the code that makes it; null while every call has succeeded.
struct FailedCall {
    const char* name;
    HRESULT status;
};

// The call as failed where its status is a failure, else no failed call.
inline FailedCall CheckCall(const char* name, HRESULT status) {
    return {FAILED(status) ? name : nullptr, status};
}
