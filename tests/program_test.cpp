// End-to-end tests of the built Hushvane.exe, started as a real Wine process.
#include <gtest/gtest.h>

#include <functional>

#include "fake_server/fake_script.h"
#include "test_support.h"

namespace {

const wchar_t kErrorCaption[] = L"错误";
const wchar_t kMissingArgumentText[] = L"缺少执行参数! 请加上进程名作为参数执行";

std::wstring ProgramPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring relative = path;
    relative = relative.substr(0, relative.find_last_of(L'\\')) + L"\\..\\Hushvane.exe";
    GetFullPathNameW(relative.c_str(), MAX_PATH, path, nullptr);
    return path;
}

PROCESS_INFORMATION StartProgram(const std::wstring& arguments, DWORD flags = 0) {
    std::wstring commandLine = L"\"" + ProgramPath() + L"\"" + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    EXPECT_TRUE(CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, flags, nullptr,
                               nullptr, &startup, &info));
    return info;
}

DWORD FinishProgram(PROCESS_INFORMATION& info, DWORD timeoutMs) {
    DWORD exitCode = STILL_ACTIVE;
    if (WaitForSingleObject(info.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(info.hProcess, 99);
        WaitForSingleObject(info.hProcess, 5000);
    } else {
        GetExitCodeProcess(info.hProcess, &exitCode);
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return exitCode;
}

// Waits for the program's message box, up to the timeout, or until the program has ended.
HWND WaitForErrorBox(HANDLE process, DWORD timeoutMs) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
        HWND box = FindWindowW(L"#32770", kErrorCaption);
        if (box != nullptr || WaitForSingleObject(process, 50) == WAIT_OBJECT_0) {
            return box;
        }
    }
    return nullptr;
}

TEST(Program, MissingArgumentShowsTheErrorBoxAndEndsWithOne) {
    PROCESS_INFORMATION program = StartProgram(L"");
    HWND box = WaitForErrorBox(program.hProcess, 15000);
    ASSERT_NE(box, nullptr);
    wchar_t text[256] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 256);
    EXPECT_STREQ(text, kMissingArgumentText);
    EXPECT_NE(GetDlgItem(box, IDOK), nullptr);
    EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
    EXPECT_EQ(WaitForSingleObject(program.hProcess, 500), WAIT_TIMEOUT) << "ended before OK";
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(FinishProgram(program, 10000), 1u);
}

// Without an audio server Wine has no playback endpoint: the program ends at once, silently.
TEST(Program, WithoutPlaybackDeviceEndsWithZeroAndShowsNothing) {
    const wchar_t* argumentLists[] = {L" player.exe", L" \"\"", L" \"my player.exe\" extra"};
    for (const wchar_t* arguments : argumentLists) {
        SCOPED_TRACE(arguments);
        PROCESS_INFORMATION program = StartProgram(arguments);
        EXPECT_EQ(WaitForErrorBox(program.hProcess, 15000), nullptr);
        EXPECT_EQ(FinishProgram(program, 1000), 0u);
    }
}

// With a PulseAudio null sink Wine gives the endpoint but no enumerator of other programs'
// sessions: every tick fails, and the program just goes on until told to quit.
TEST(ProgramWithAudioServer, RunsThroughFailingTicksUntilQuit) {
    PROCESS_INFORMATION program = StartProgram(L" player.exe");
    EXPECT_EQ(WaitForSingleObject(program.hProcess, 3500), WAIT_TIMEOUT)
        << "the program ended although a playback endpoint exists";
    EXPECT_TRUE(PostThreadMessageW(program.dwThreadId, WM_QUIT, 0, 0));
    EXPECT_EQ(FinishProgram(program, 10000), 0u);
}

// The program run as a debugger's child, its debug output read as a debugger reads it.
class DebuggedProgram {
  public:
    explicit DebuggedProgram(const std::wstring& arguments)
        : info_(StartProgram(arguments, DEBUG_ONLY_THIS_PROCESS)) {}
    ~DebuggedProgram() {
        if (!exited_) {
            TerminateProcess(info_.hProcess, 99);
            Pump([this] { return exited_; }, 5000);
        }
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
    }

    // Handles debug events until done() holds or the time is up; says whether it held. The
    // event that made done() hold is left paused, so the program waits while the test acts.
    bool Pump(const std::function<bool()>& done, DWORD timeoutMs) {
        DWORD start = GetTickCount();
        while (!done()) {
            ResumeIfPaused();
            if (exited_ || GetTickCount() - start > timeoutMs) {
                return false;
            }
            if (WaitForDebugEvent(&paused_, 100)) {
                pausedStatus_ = Handle(paused_);
                isPaused_ = true;
            }
        }
        return true;
    }

    // Runs until the fake server marks the start of the next tick, which has then read its
    // script; returns what the previous tick wrote.
    std::vector<std::wstring> NextTick() {
        size_t from = output_.size();
        EXPECT_TRUE(
            Pump([&] { return output_.size() > from && output_.back() == kFakeTickMark; }, 5000))
            << "no tick came";
        size_t end = output_.size();
        if (end > tickStart_ && output_.back() == kFakeTickMark) {
            --end;
        }
        std::vector<std::wstring> tick(output_.begin() + tickStart_, output_.begin() + end);
        tickStart_ = output_.size();
        return tick;
    }

    const PROCESS_INFORMATION& Info() const { return info_; }
    bool Exited() const { return exited_; }
    DWORD ExitCode() const { return exitCode_; }
    const std::vector<std::wstring>& Output() const { return output_; }

  private:
    void ResumeIfPaused() {
        if (isPaused_) {
            ContinueDebugEvent(paused_.dwProcessId, paused_.dwThreadId, pausedStatus_);
            isPaused_ = false;
        }
    }

    DWORD Handle(const DEBUG_EVENT& event) {
        switch (event.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            CloseHandle(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            CloseHandle(event.u.LoadDll.hFile);
            break;
        case OUTPUT_DEBUG_STRING_EVENT:
            output_.push_back(WithoutTimeStamp(ReadDebugString(event.u.DebugString)));
            break;
        case EXIT_PROCESS_DEBUG_EVENT:
            exited_ = true;
            exitCode_ = event.u.ExitProcess.dwExitCode;
            break;
        case EXCEPTION_DEBUG_EVENT:
            if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
                return DBG_EXCEPTION_NOT_HANDLED;
            }
            break;
        }
        return DBG_CONTINUE;
    }

    std::wstring ReadDebugString(const OUTPUT_DEBUG_STRING_INFO& info) {
        std::string bytes(info.nDebugStringLength * (info.fUnicode ? 2 : 1), '\0');
        ReadProcessMemory(info_.hProcess, info.lpDebugStringData, &bytes[0], bytes.size(), nullptr);
        if (info.fUnicode) {
            return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data())).c_str();
        }
        // Wine hands the text over in the ANSI code page (936 in these tests).
        std::wstring text(bytes.size(), L'\0');
        text.resize(MultiByteToWideChar(CP_ACP, 0, bytes.c_str(), -1, &text[0],
                                        static_cast<int>(text.size())));
        return text.c_str();
    }

    PROCESS_INFORMATION info_;
    std::vector<std::wstring> output_;
    size_t tickStart_ = 0;
    DEBUG_EVENT paused_ = {};
    DWORD pausedStatus_ = DBG_CONTINUE;
    bool isPaused_ = false;
    bool exited_ = false;
    DWORD exitCode_ = 0;
};

class ProgramWithFakeEndpoint : public FakeScriptTest {};

std::wstring Traced(const std::wstring& path, int action) {
    return L"进程名:" + path + L" 动作:" + std::to_wstring(action) + L"\n";
}

TEST_F(ProgramWithFakeEndpoint, MutesRestoresAndQuitsWhileHolding) {
    // A quoted name with a space, followed by an argument that must be ignored.
    TestProcess target;
    ASSERT_TRUE(StartTestProcess(L"C:\\hvtest\\e2e\\my player.exe", false, &target));
    script_->sessionCount = 3;
    script_->processIds[0] = PoolProcess(kChat).id;
    script_->processIds[1] = target.id;
    script_->processIds[2] = PoolProcess(kPlayerOtherCase).id;

    DebuggedProgram program(L" \"my player.exe\" chat.exe");
    const std::wstring chat = PoolProcess(kChat).imagePath;
    const std::wstring other = PoolProcess(kPlayerOtherCase).imagePath;
    using Texts = std::vector<std::wstring>;
    const Texts mute = {kLoudMessage, Traced(chat, 1), L"fake: SetMute s0 1", Traced(other, 1),
                        L"fake: SetMute s2 1"};
    const Texts restore = {kSilentMessage, Traced(chat, 0), L"fake: SetMute s0 0", Traced(other, 0),
                           L"fake: SetMute s2 0"};
    const Texts gone = {kGoneMessage, Traced(chat, 0), L"fake: SetMute s0 0", Traced(other, 0),
                        L"fake: SetMute s2 0"};

    // NextTick returns once the next tick has read the script: what the test changes then
    // shows in the tick after it.
    program.NextTick(); // tick 1 reads a silent target
    script_->peaks[1] = 0.25f;
    EXPECT_EQ(program.NextTick(), Texts{}); // 1: one silent reading; tick 2 reads it loud
    script_->peaks[1] = 0.0f;
    EXPECT_EQ(program.NextTick(), mute);    // 2
    EXPECT_EQ(program.NextTick(), Texts{}); // 3: first silent reading
    EXPECT_EQ(program.NextTick(), restore); // 4: second silent reading
    script_->peaks[1] = 0.5f;
    EXPECT_EQ(program.NextTick(), Texts{}); // 5: third silent reading
    EXPECT_EQ(program.NextTick(), mute);    // 6
    StopTestProcess(&target);               // tick 7 is under way and finds it gone
    EXPECT_EQ(program.NextTick(), gone);    // 7
    ASSERT_TRUE(StartTestProcess(L"C:\\hvtest\\e2e\\my player.exe", false, &target));
    script_->processIds[1] = target.id;
    EXPECT_EQ(program.NextTick(), Texts{}); // 8: its session still names the ended process
    EXPECT_EQ(program.NextTick(), mute);    // 9: the new instance is loud
    // Holding: a quit message ends the program with 0 and without unmuting anything.
    size_t seen = program.Output().size();
    EXPECT_TRUE(PostThreadMessageW(program.Info().dwThreadId, WM_QUIT, 0, 0));
    EXPECT_TRUE(program.Pump([&] { return program.Exited(); }, 5000));
    EXPECT_EQ(program.ExitCode(), 0u);
    for (size_t i = seen; i < program.Output().size(); ++i) {
        EXPECT_EQ(program.Output()[i].find(L"SetMute"), std::wstring::npos);
    }
    StopTestProcess(&target);
}

} // namespace
