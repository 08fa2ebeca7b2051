#include <cmath>
#include <limits>

#include "tick_fixture.h"

namespace {

using Journal = std::vector<std::wstring>;

std::wstring Traced(PoolRole role, int action) {
    return L"进程名:" + PoolProcess(role).imagePath + L" 动作:" + std::to_wstring(action) + L"\n";
}

// Functions, not constants: the paths exist only once the test processes run.
Journal MuteChat() {
    return {kLoudMessage, Traced(kChat, 1), L"SetMute chat 1"};
}
Journal RestoreChat() {
    return {kSilentMessage, Traced(kChat, 0), L"SetMute chat 0"};
}

struct Step {
    float targetPeak;
    Journal journal;
    int32_t othersMuted;
    int32_t silentReadings;
};

TEST_F(TickTest, MutesAtALoudReadingAndRestoresAtTheSecondSilentOne) {
    FakeSession& target = endpoint.AddSession(L"player", PoolProcess(kPlayer).id);
    FakeSession& chat = endpoint.AddSession(L"chat", PoolProcess(kChat).id);
    const Step steps[] = {
        {0.2f, MuteChat(), 1, 0}, {0.0f, {}, 1, 1}, {0.0f, RestoreChat(), 0, 2}, {0.0f, {}, 0, 3},
        {0.2f, MuteChat(), 1, 0}, {0.5f, {}, 1, 0}, // holding: a loud reading runs no pass
    };
    for (const Step& step : steps) {
        target.peak = step.targetPeak;
        EXPECT_EQ(Tick(), step.journal);
        EXPECT_EQ(g_watcher.othersMuted, step.othersMuted);
        EXPECT_EQ(g_watcher.silentReadings, step.silentReadings);
        EXPECT_EQ(chat.muted, step.othersMuted);
        EXPECT_FALSE(target.muted);
        EXPECT_EQ(target.setMuteCalls, 0);
    }
    EXPECT_EQ(endpoint.lastActivateContext, 0x17u);
}

// A target with several sessions gives several readings in one tick; the tick decides once.
TEST_F(TickTest, DecidesOnceFromAllTheTargetsReadings) {
    const float loud = 0.3f;
    const float quiet = 0.0f;
    const int32_t nearMax = INT32_MAX - 1;
    struct State {
        int32_t othersMuted;
        int32_t silentReadings;
    };
    struct Case {
        const char* name;
        std::vector<float> targetPeaks; // a target session each, after the chat session
        State before;
        unsigned chatFaults;
        Journal journal;
        State after;
    };
    const Case cases[] = {
        {"idle, loud first", {loud, quiet, quiet}, {0, 0}, 0, MuteChat(), {1, 0}},
        {"idle, loud last", {quiet, quiet, loud}, {0, 1}, 0, MuteChat(), {1, 0}},
        {"idle, loud twice, refused", {loud, loud}, {0, 0}, kFailSetMute, MuteChat(), {0, 0}},
        {"holding, quiet before loud", {quiet, loud}, {1, 1}, 0, {}, {1, 0}},
        {"holding, loud before quiet", {loud, quiet, quiet}, {1, 5}, 0, {}, {1, 0}},
        {"idle, all quiet", {quiet, quiet}, {0, 0}, 0, {}, {0, 2}},
        {"holding, all quiet", {quiet, quiet, quiet}, {1, 0}, 0, RestoreChat(), {0, 3}},
        {"holding, saturating", {quiet, quiet}, {1, nearMax}, 0, RestoreChat(), {0, INT32_MAX}},
        {"holding, no target session", {}, {1, 2}, 0, {}, {1, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeEndpoint fresh;
        g_watcher.renderDevice = ComRef<IMMDevice>::AddRefOf(&fresh);
        FakeSession& chat = fresh.AddSession(L"chat", PoolProcess(kChat).id);
        chat.muted = c.before.othersMuted;
        chat.faults = c.chatFaults;
        for (float peak : c.targetPeaks) {
            fresh.AddSession(L"player", PoolProcess(kPlayer).id).peak = peak;
        }
        g_watcher.othersMuted = c.before.othersMuted;
        g_watcher.silentReadings = c.before.silentReadings;
        FakeJournal().clear();
        EXPECT_TRUE(RunTick());
        EXPECT_EQ(FakeJournal(), c.journal);
        EXPECT_EQ(g_watcher.othersMuted, c.after.othersMuted);
        EXPECT_EQ(g_watcher.silentReadings, c.after.silentReadings);
        EXPECT_EQ(chat.muted, c.after.othersMuted);
        g_watcher.renderDevice.Reset();
        EXPECT_EQ(fresh.UnbalancedReferences(), L"");
    }
}

// A restore that every session refuses leaves the watcher holding, so the next restoring tick
// writes its message and tries again.
TEST_F(TickTest, RefusedRestoreIsTriedAgainAtTheNextRestoringTick) {
    const struct {
        const char* name;
        const wchar_t* targetName;
        DWORD targetSessionOwner;
        const wchar_t* message;
    } cases[] = {
        {"target silent", L"player.exe", PoolProcess(kPlayer).id, kSilentMessage},
        // The session of an ended target lingers and no longer resolves.
        {"target gone", L"absent.exe", kNoSuchProcessId, kGoneMessage},
    };
    FakeSession& chat = endpoint.AddSession(L"chat", PoolProcess(kChat).id);
    FakeSession& target = endpoint.AddSession(L"target", 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        g_watcher.targetName = c.targetName;
        target.processId = c.targetSessionOwner;
        g_watcher.othersMuted = 1;
        g_watcher.silentReadings = 1;
        chat.muted = TRUE;
        chat.faults = kFailSetMute;
        const Journal restore = {c.message, Traced(kChat, 0), L"SetMute chat 0"};
        EXPECT_EQ(Tick(), restore);
        EXPECT_EQ(g_watcher.othersMuted, 1);
        EXPECT_TRUE(chat.muted);
        chat.faults = 0;
        EXPECT_EQ(Tick(), restore);
        EXPECT_EQ(g_watcher.othersMuted, 0);
        EXPECT_FALSE(chat.muted);
        EXPECT_EQ(Tick(), Journal{}); // idle now
    }
}

TEST_F(TickTest, TargetExitRestoresOnlyWhenHolding) {
    TestProcess target;
    ASSERT_TRUE(StartTestProcess(L"C:\\hvtest\\exiting\\leaver.exe", false, &target));
    g_watcher.targetName = L"leaver.exe";
    endpoint.AddSession(L"chat", PoolProcess(kChat).id);
    endpoint.AddSession(L"leaver", target.id).peak = 0.4f;
    EXPECT_EQ(Tick(), MuteChat());
    EXPECT_EQ(Tick(), Journal{});
    endpoint.Session(1).peak = 0.0f;
    EXPECT_EQ(Tick(), Journal{}); // one silent reading
    EXPECT_EQ(g_watcher.silentReadings, 1);
    StopTestProcess(&target);
    const Journal gone = {kGoneMessage, Traced(kChat, 0), L"SetMute chat 0"};
    EXPECT_EQ(Tick(), gone);
    EXPECT_EQ(g_watcher.othersMuted, 0);
    EXPECT_EQ(g_watcher.silentReadings, 0);
    EXPECT_FALSE(endpoint.Session(0).muted);
    // Idle with the target gone: nothing at all, the count left alone.
    g_watcher.silentReadings = 5;
    EXPECT_EQ(Tick(), Journal{});
    EXPECT_EQ(g_watcher.silentReadings, 5);
}

TEST_F(TickTest, GoneMessageRepeatsWhileNoOtherSessionCanBeRestored) {
    g_watcher.targetName = L"absent.exe";
    g_watcher.othersMuted = 1;
    g_watcher.silentReadings = 1;
    endpoint.AddSession(L"gone", kNoSuchProcessId);
    for (int tick = 0; tick < 2; ++tick) {
        EXPECT_EQ(Tick(), Journal{kGoneMessage});
        EXPECT_EQ(g_watcher.othersMuted, 1);
        EXPECT_EQ(g_watcher.silentReadings, 0);
    }
}

TEST_F(TickTest, LoudnessThresholdEdges) {
    const float nearestBelow = 1e-6f;
    ASSERT_LT(static_cast<double>(nearestBelow), 1e-6);
    const struct {
        float peak;
        bool loud;
    } cases[] = {
        {nearestBelow, false},
        {std::nextafter(nearestBelow, 1.0f), true},
        {0.0f, false},
        {-0.5f, false},
        {std::numeric_limits<float>::quiet_NaN(), false},
        {1.0f, true},
        {std::numeric_limits<float>::infinity(), true},
    };
    FakeSession& target = endpoint.AddSession(L"player", PoolProcess(kPlayer).id);
    endpoint.AddSession(L"chat", PoolProcess(kChat).id);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.peak);
        ResetWatcher(L"player.exe");
        target.peak = c.peak;
        Tick();
        EXPECT_EQ(g_watcher.othersMuted, c.loud ? 1 : 0);
        EXPECT_EQ(g_watcher.silentReadings, c.loud ? 0 : 1);
    }
}

TEST_F(TickTest, LoudTargetAloneWritesItsMessageEveryTickAndStaysIdle) {
    endpoint.AddSession(L"player", PoolProcess(kPlayer).id).peak = 0.5f;
    endpoint.AddSession(L"denied", PoolProcess(kDenied).id);
    for (int tick = 0; tick < 2; ++tick) {
        EXPECT_EQ(Tick(), Journal{kLoudMessage});
        EXPECT_EQ(g_watcher.othersMuted, 0);
    }
}

// Holding with one silent reading: a tick that takes a silent reading would restore the others,
// so any tick that leaves everything as it was took no reading.
TEST_F(TickTest, NoReadingWhenTheTickOrTheSessionTurnFails) {
    const struct {
        const char* name;
        unsigned endpointFaults;
        unsigned targetFaults;
        bool tickResult;
    } cases[] = {
        {"no session manager", kFailActivate, 0, false},
        {"no session enumerator", kFailGetSessionEnumerator, 0, false},
        {"no session count", kFailGetCount, 0, true},
        {"no session", 0, kFailGetSession, true},
        {"no extended control", 0, kFailQueryControl2, true},
        {"no volume control", 0, kFailQueryVolume, true},
        {"no meter", 0, kFailQueryMeter, true},
        {"no process id", 0, kFailGetProcessId, true},
        {"no peak", 0, kFailGetPeakValue, true},
    };
    FakeSession& target = endpoint.AddSession(L"player", PoolProcess(kPlayer).id);
    FakeSession& chat = endpoint.AddSession(L"chat", PoolProcess(kChat).id);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        g_watcher.othersMuted = 1;
        g_watcher.silentReadings = 1;
        chat.muted = TRUE;
        endpoint.faults = c.endpointFaults;
        target.faults = c.targetFaults;
        EXPECT_EQ(Tick(c.tickResult), Journal{});
        EXPECT_EQ(g_watcher.othersMuted, 1);
        EXPECT_EQ(g_watcher.silentReadings, 1);
        EXPECT_TRUE(chat.muted);
    }
    // The same tick without faults restores, so the cases above did test something.
    endpoint.faults = 0;
    target.faults = 0;
    EXPECT_EQ(Tick(), RestoreChat());
}

TEST_F(TickTest, TargetThatCannotBeQueriedNeverGivesAReading) {
    g_watcher.targetName = L"guarded.exe";
    endpoint.AddSession(L"guarded", PoolProcess(kDenied).id).peak = 0.9f;
    endpoint.AddSession(L"chat", PoolProcess(kChat).id);
    EXPECT_EQ(Tick(), Journal{});
    EXPECT_EQ(g_watcher.othersMuted, 0);
}

TEST_F(TickTest, ReleasesEachSessionsReferencesInOrder) {
    endpoint.AddSession(L"player", PoolProcess(kPlayer).id);
    endpoint.AddSession(L"noMeter", PoolProcess(kChat).id).faults = kFailQueryMeter;
    endpoint.logReleases = true;
    Tick();
    const Journal expected = {L"player control", L"player extended", L"player volume",
                              L"player meter",   L"noMeter control", L"noMeter extended",
                              L"noMeter volume"};
    EXPECT_EQ(endpoint.releases, expected);
}

} // namespace
