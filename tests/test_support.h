#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_server/fake_script.h"

// The tick's fixed messages, spelled out here as a user reads them on the debug channel, so
// that a slip in the program's own copies of them shows.
constexpr wchar_t kLoudMessage[] = L"目标进程有声音输出! 静音其他进程";
constexpr wchar_t kSilentMessage[] = L"目标进程无声音输出! 恢复其他进程音量";
constexpr wchar_t kGoneMessage[] = L"监视进程不存在,恢复静音进程\n";

// A real Wine process that the tests start from a copy of the helper program.
struct TestProcess {
    HANDLE process = nullptr;
    DWORD id = 0;
    std::wstring imagePath;
};

// Copies the helper program to imagePath (creating folders) and starts it there. With denyQuery
// the process refuses PROCESS_QUERY_INFORMATION. Returns once the process is ready.
bool StartTestProcess(const std::wstring& imagePath, bool denyQuery, TestProcess* started);
void StopTestProcess(TestProcess* process);

// The full path of a program of the build: the test programs' folder's parent holds it.
std::wstring BuiltProgramPath(const wchar_t* name);

// The processes every test binary shares; started once, ended when the binary ends.
enum PoolRole { kPlayer, kPlayerOtherCase, kChinese, kChat, kDenied, kPoolRoleCount };
const TestProcess& PoolProcess(PoolRole role);

// An id that names no process (Wine's ids are multiples of 4).
constexpr DWORD kNoSuchProcessId = 0x7FFFFFF1;

// The text of a trace line without its "YYYY-MM-DD hh:mm:ss  " stamp; other text unchanged.
std::wstring WithoutTimeStamp(const std::wstring& text);

// A test that scripts the fake endpoint's server through the shared memory the server reads.
class FakeScriptTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    HANDLE mapping_ = nullptr;
    FakeScript* script_ = nullptr;
};

// Zeroes the watcher's state, names the target and clears the fakes' journal.
void ResetWatcher(const wchar_t* targetName);

// Collects what this process writes to the debugger output channel while it lives, and adds it
// to the fakes' journal (trace lines without their time stamp).
class DebugCapture {
  public:
    DebugCapture();
    ~DebugCapture();
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;
    const std::vector<std::wstring>& Texts() const;

  private:
    void* handler_;
};

// The lowest free handle slot: creating and closing a probe handle before and after some code
// shows a leaked handle as a larger value (Wine reports no handle counts).
uintptr_t ProbeHandleSlot();
