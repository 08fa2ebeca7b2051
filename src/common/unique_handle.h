#pragma once

#include <windows.h>

// Owns one kernel handle and closes it once: when given another, or when the holder goes out of
// scope. Null and INVALID_HANDLE_VALUE both mean none, as Windows' calls return either.
class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    ~UniqueHandle() { Reset(nullptr); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    void Reset(HANDLE handle) {
        if (*this) {
            CloseHandle(handle_);
        }
        handle_ = handle;
    }

    HANDLE Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE handle_ = nullptr;
};
