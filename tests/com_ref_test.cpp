#include <gtest/gtest.h>

#include <utility>

#include "common/com_ref.h"

namespace {

// The smallest COM object that counts its references.
class Counted : public IUnknown {
  public:
    ULONG references = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
};

TEST(ComRef, ReleasesEachReferenceExactlyOnce) {
    Counted a;
    Counted b;
    {
        ComRef<IUnknown> held(&a);
        held.Reset();
        EXPECT_EQ(a.references, 0u);
        held.Reset(); // already empty: no second release
        EXPECT_EQ(a.references, 0u);
    }
    a.references = 1;
    {
        ComRef<IUnknown> held(&a);
        *held.Put() = &b; // Put releases what was held before handing out the slot
        EXPECT_EQ(a.references, 0u);
        ComRef<IUnknown> moved(std::move(held));
        EXPECT_EQ(held.Get(), nullptr);
        ComRef<IUnknown> other = ComRef<IUnknown>::AddRefOf(&b);
        EXPECT_EQ(b.references, 2u);
        other = std::move(moved); // drops other's reference, takes moved's
        EXPECT_EQ(b.references, 1u);
        other = std::move(other);
        EXPECT_EQ(b.references, 1u);
    }
    EXPECT_EQ(b.references, 0u);
}

} // namespace
