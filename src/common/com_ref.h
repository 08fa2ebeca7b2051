#pragma once

#include <unknwn.h>

// Owns one reference to a COM object and releases it exactly once: when emptied with Reset,
// when Put hands out the slot for a new reference, or when the holder goes out of scope.
template <typename T> class ComRef {
  public:
    constexpr ComRef() = default;
    // Takes over a reference the caller already owns.
    explicit ComRef(T* object) : object_(object) {}
    ~ComRef() { Reset(); }

    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ComRef(ComRef&& other) noexcept : object_(other.object_) { other.object_ = nullptr; }
    ComRef& operator=(ComRef&& other) noexcept {
        if (this != &other) {
            Reset();
            object_ = other.object_;
            other.object_ = nullptr;
        }
        return *this;
    }

    // Adds a reference of our own to an object someone else holds.
    static ComRef AddRefOf(T* object) {
        if (object != nullptr) {
            object->AddRef();
        }
        return ComRef(object);
    }

    // Empties the holder first, then releases, so the holder never names a released object.
    void Reset() {
        T* object = object_;
        object_ = nullptr;
        if (object != nullptr) {
            object->Release();
        }
    }

    T* Get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

    // Out-parameter slot for calls that return a new reference.
    T** Put() {
        Reset();
        return &object_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

  private:
    T* object_ = nullptr;
};
