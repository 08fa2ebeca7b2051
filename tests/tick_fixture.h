#pragma once

#include <gtest/gtest.h>

#include "audio/monitor_tick.h"
#include "common/watcher_state.h"
#include "fake_endpoint.h"
#include "test_support.h"

// The watcher pointed at a fake endpoint, as start-up leaves it.
class TickTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetWatcher(L"player.exe");
        g_watcher.renderDevice = ComRef<IMMDevice>::AddRefOf(&endpoint);
    }
    void TearDown() override { g_watcher.renderDevice.Reset(); }

    // Runs one tick and returns what it wrote and set, checking that it kept no reference
    // and no handle.
    std::vector<std::wstring> Tick(bool expectedResult = true) {
        FakeJournal().clear();
        uintptr_t slotBefore = ProbeHandleSlot();
        EXPECT_EQ(RunTick(), expectedResult);
        EXPECT_EQ(ProbeHandleSlot(), slotBefore) << "the tick leaked a handle";
        EXPECT_EQ(endpoint.UnbalancedReferences(1), L"");
        return FakeJournal();
    }

    FakeEndpoint endpoint;
    DebugCapture capture;
};
