#include <gtest/gtest.h>

#include "audio/mute_pass.h"
#include "fake_endpoint.h"
#include "test_support.h"

namespace {

struct SessionPlan {
    const wchar_t* label;
    DWORD processId;
    unsigned faults;
    BOOL mutedBefore;
    BOOL mutedAfter;
};

struct PassCase {
    const char* name;
    const wchar_t* target;
    MuteAction action;
    int32_t othersMutedBefore;
    std::vector<SessionPlan> sessions;
    std::vector<std::wstring> journal;
    int32_t othersMutedAfter;
};

std::wstring Traced(PoolRole role, MuteAction action) {
    return L"进程名:" + PoolProcess(role).imagePath + L" 动作:" + std::to_wstring(action) + L"\n";
}

SessionPlan Owned(const wchar_t* label, PoolRole role, unsigned faults, BOOL before, BOOL after) {
    return {label, PoolProcess(role).id, faults, before, after};
}

std::vector<PassCase> PassCases() {
    const DWORD none = kNoSuchProcessId;
    return {
        {"mutes every other session and spares the target's",
         L"player.exe",
         MuteActionMute,
         0,
         {Owned(L"player", kPlayer, 0, FALSE, FALSE),
          Owned(L"Player", kPlayerOtherCase, 0, FALSE, TRUE),
          Owned(L"chat", kChat, 0, FALSE, TRUE),
          {L"gone", none, 0, FALSE, FALSE},
          Owned(L"denied", kDenied, 0, FALSE, FALSE),
          {L"idle", 0, 0, FALSE, FALSE},
          Owned(L"chinese", kChinese, 0, FALSE, TRUE)},
         {Traced(kPlayerOtherCase, MuteActionMute), L"SetMute Player 1",
          Traced(kChat, MuteActionMute), L"SetMute chat 1", Traced(kChinese, MuteActionMute),
          L"SetMute chinese 1"},
         1},
        {"unmutes sessions whatever their state, unresolvable ones excepted",
         L"player.exe",
         MuteActionUnmute,
         1,
         {Owned(L"chat", kChat, 0, TRUE, FALSE),
          Owned(L"Player", kPlayerOtherCase, 0, FALSE, FALSE),
          {L"gone", none, 0, TRUE, TRUE},
          Owned(L"denied", kDenied, 0, TRUE, TRUE),
          Owned(L"player", kPlayer, 0, TRUE, TRUE)},
         {Traced(kChat, MuteActionUnmute), L"SetMute chat 0",
          Traced(kPlayerOtherCase, MuteActionUnmute), L"SetMute Player 0"},
         0},
        {"a target named in Chinese is matched exactly",
         L"播放器.exe",
         MuteActionMute,
         0,
         {Owned(L"chinese", kChinese, 0, FALSE, FALSE), Owned(L"player", kPlayer, 0, FALSE, TRUE)},
         {Traced(kPlayer, MuteActionMute), L"SetMute player 1"},
         1},
        {"no sessions at all", L"player.exe", MuteActionMute, 0, {}, {}, 0},
        {"only the target's sessions",
         L"player.exe",
         MuteActionUnmute,
         1,
         {Owned(L"player", kPlayer, 0, FALSE, FALSE), Owned(L"player2", kPlayer, 0, TRUE, TRUE)},
         {},
         1},
        {"a failure at any step skips only that session",
         L"player.exe",
         MuteActionMute,
         0,
         {Owned(L"noSession", kChat, kFailGetSession, FALSE, FALSE),
          Owned(L"noControl2", kChat, kFailQueryControl2, FALSE, FALSE),
          Owned(L"noVolume", kChat, kFailQueryVolume, FALSE, FALSE),
          Owned(L"noProcessId", kChat, kFailGetProcessId, FALSE, FALSE),
          Owned(L"refuses", kChinese, kFailSetMute, FALSE, FALSE),
          Owned(L"shared", kChat, kSpansProcesses, FALSE, TRUE)},
         {Traced(kChinese, MuteActionMute), L"SetMute refuses 1", Traced(kChat, MuteActionMute),
          L"SetMute shared 1"},
         1},
        {"a refused SetMute is no change",
         L"player.exe",
         MuteActionUnmute,
         1,
         {Owned(L"refuses", kChat, kFailSetMute, TRUE, TRUE)},
         {Traced(kChat, MuteActionUnmute), L"SetMute refuses 0"},
         1},
        {"othersMuted keeps its value when no other session gets through",
         L"player.exe",
         MuteActionUnmute,
         1,
         {Owned(L"noSession", kChat, kFailGetSession, TRUE, TRUE), {L"gone", none, 0, TRUE, TRUE}},
         {},
         1},
    };
}

TEST(ApplyMuteToOthers, ChangesOnlyOtherResolvableSessions) {
    for (const PassCase& c : PassCases()) {
        SCOPED_TRACE(c.name);
        ResetWatcher(c.target);
        g_watcher.othersMuted = c.othersMutedBefore;
        FakeEndpoint endpoint;
        for (const SessionPlan& plan : c.sessions) {
            FakeSession& session = endpoint.AddSession(plan.label, plan.processId);
            session.faults = plan.faults;
            session.muted = plan.mutedBefore;
        }
        DebugCapture capture;
        uintptr_t slotBefore = ProbeHandleSlot();
        EXPECT_TRUE(ApplyMuteToOthers(&endpoint, c.action));
        EXPECT_EQ(ProbeHandleSlot(), slotBefore) << "a process handle was leaked";
        EXPECT_EQ(FakeJournal(), c.journal);
        EXPECT_EQ(g_watcher.othersMuted, c.othersMutedAfter);
        for (size_t i = 0; i < c.sessions.size(); ++i) {
            EXPECT_EQ(endpoint.Session(i).muted, c.sessions[i].mutedAfter) << c.sessions[i].label;
        }
        EXPECT_EQ(endpoint.UnbalancedReferences(), L"");
    }
}

TEST(ApplyMuteToOthers, UnreadableCountVisitsNothing) {
    ResetWatcher(L"player.exe");
    FakeEndpoint endpoint;
    endpoint.AddSession(L"chat", PoolProcess(kChat).id);
    endpoint.faults = kFailGetCount;
    DebugCapture capture;
    EXPECT_FALSE(ApplyMuteToOthers(&endpoint, MuteActionMute));
    EXPECT_TRUE(FakeJournal().empty());
    EXPECT_EQ(g_watcher.othersMuted, 0);
    EXPECT_EQ(endpoint.UnbalancedReferences(), L"");
}

TEST(ApplyMuteToOthers, ReleasesEachSessionsReferencesInOrder) {
    ResetWatcher(L"player.exe");
    FakeEndpoint endpoint;
    endpoint.AddSession(L"chat", PoolProcess(kChat).id);
    endpoint.AddSession(L"player", PoolProcess(kPlayer).id);
    endpoint.AddSession(L"noVolume", PoolProcess(kChat).id).faults = kFailQueryVolume;
    endpoint.logReleases = true;
    DebugCapture capture;
    ApplyMuteToOthers(&endpoint, MuteActionMute);
    const std::vector<std::wstring> expected = {
        L"chat control",    L"chat extended", L"chat volume",      L"player control",
        L"player extended", L"player volume", L"noVolume control", L"noVolume extended",
    };
    EXPECT_EQ(endpoint.releases, expected);
}

} // namespace
