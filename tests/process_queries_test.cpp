#include <gtest/gtest.h>

#include "common/watcher_state.h"
#include "process/process_queries.h"
#include "test_support.h"

namespace {

struct RunningCase {
    const wchar_t* targetName;
    bool running;
};

TEST(IsTargetRunning, ComparesBareFileNamesExactlyAndCaseSensitively) {
    const RunningCase cases[] = {
        {L"player.exe", true},
        {L"Player.exe", true}, // a second executable in another folder, differing in case
        {L"播放器.exe", true},
        {L"PLAYER.EXE", false},
        {L"player", false},
        {L"C:\\hvtest\\apps\\player.exe", false},
        {L"absent.exe", false},
        {L"", false},
    };
    uintptr_t slotBefore = ProbeHandleSlot();
    for (const RunningCase& c : cases) {
        g_watcher.targetName = c.targetName;
        EXPECT_EQ(IsTargetRunning(), c.running) << c.targetName;
    }
    EXPECT_EQ(ProbeHandleSlot(), slotBefore) << "a snapshot handle was leaked";
}

TEST(QuerySessionImagePath, ResolvesRealProcessesAndRefusesTheRest) {
    // Exactly 259 characters: the longest path that fits the buffer with its terminator.
    std::wstring longPath = L"C:\\hvtest\\" + std::wstring(120, L'd') + L"\\";
    longPath += std::wstring(259 - longPath.size() - 4, L'e') + L".exe";
    TestProcess longNamed;
    ASSERT_TRUE(StartTestProcess(longPath, false, &longNamed));

    struct Case {
        DWORD id;
        std::wstring expectedPath; // empty: must not resolve
    };
    const Case cases[] = {
        {PoolProcess(kPlayer).id, PoolProcess(kPlayer).imagePath},
        {longNamed.id, longPath},
        {PoolProcess(kChinese).id, PoolProcess(kChinese).imagePath},
        {PoolProcess(kPlayerOtherCase).id, PoolProcess(kPlayerOtherCase).imagePath},
        {0, L""},
        {kNoSuchProcessId, L""},
        {PoolProcess(kDenied).id, L""}, // allows only the limited query right
        {longNamed.id, longPath},       // again after a short one and failures
    };
    uintptr_t slotBefore = ProbeHandleSlot();
    for (const Case& c : cases) {
        g_watcher.sessionProcessId = c.id;
        bool resolved = QuerySessionImagePath();
        EXPECT_EQ(resolved, !c.expectedPath.empty()) << "process " << c.id;
        if (resolved) {
            EXPECT_EQ(std::wstring(g_watcher.imagePath), c.expectedPath);
        }
    }
    EXPECT_EQ(ProbeHandleSlot(), slotBefore) << "a process handle was leaked";
    StopTestProcess(&longNamed);
}

TEST(QuerySessionImagePath, DeniedProcessStillAllowsTheLimitedRight) {
    // Proves the refusal above comes from the access right the watcher asks for, not a dead id.
    HANDLE limited = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, PoolProcess(kDenied).id);
    ASSERT_NE(limited, nullptr);
    CloseHandle(limited);
}

struct MatchCase {
    const wchar_t* targetName;
    const wchar_t* imagePath;
    bool matches;
};

TEST(MatchesTargetName, ComparesTheFileNamePartExactly) {
    const MatchCase cases[] = {
        {L"player.exe", L"C:\\Other\\player.exe", true},
        {L"player.exe", L"D:\\Apps\\Player.exe", false},
        {L"player.exe", L"player.exe", true},
        {L"player.exe", L"C:\\player.exe\\chat.exe", false},
        {L"player.exe", L"C:\\Apps\\player.exe.bak", false},
        {L"player", L"C:\\Apps\\player.exe", false},
        {L"C:\\Apps\\player.exe", L"C:\\Apps\\player.exe", false},
        {L"播放器.exe", L"C:\\hvtest\\中文\\播放器.exe", true},
        {L"", L"C:\\Apps\\player.exe", false},
    };
    for (const MatchCase& c : cases) {
        g_watcher.targetName = c.targetName;
        EXPECT_EQ(MatchesTargetName(c.imagePath), c.matches)
            << c.targetName << " against " << c.imagePath;
    }
}

} // namespace
