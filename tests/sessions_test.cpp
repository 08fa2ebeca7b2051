// End-to-end tests of the built HushvaneSessions.exe: real Wine processes, its output
// redirected to files (or on a console), the fake endpoint served as a COM server.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "fake_endpoint.h"
#include "fake_server/fake_script.h"
#include "sessions/output/cells.h"
#include "sessions/output/texts.h"
#include "sessions/console_window.h"
#include "sessions/read/list_sessions.h"
#include "sessions/watch/screen.h"
#include "sessions/watch/watch.h"
#include "test_support.h"

namespace {

constexpr HRESULT kInvalidated = AUDCLNT_E_DEVICE_INVALIDATED; // what the fakes' faults return

// The text of the display language that the tests run in: English, or Chinese where the
// companion speaks it (in the entries whose names say so).
const bool kInChinese = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE;
std::wstring Tr(const std::wstring& english, const std::wstring& chinese) {
    return kInChinese ? chinese : english;
}

const std::wstring kTarget = Tr(L"target", L"目标");
const std::wstring kLoud = Tr(L"loud", L"有声");
const std::wstring kSilent = Tr(L"silent", L"无声");
const std::wstring kSpeakers =
    Tr(L"Default playback device: ", L"默认播放设备：") + L"Fake Speakers (Hushvane tests)";
const wchar_t kNoHushvane[] = L"Hushvane.exe is not running: nothing is muted or unmuted now.";
const wchar_t kHeader[] = L"    PID  mute     peak      sound   executable        path";
const wchar_t kHeadset[] = L"Fake Headset (Hushvane tests)";
// The mark of an expired session; the fake endpoint's silent sessions are inactive.
const std::wstring kExpired = Tr(L"   (expired", L"   （已过期");
const wchar_t kDeniedReason[] =
    L"(access denied: it runs elevated, as another user, or as a service "
    L"or protected process; Hushvane can neither hear nor mute it)";

struct Ended {
    DWORD exitCode;
    std::wstring out;
    std::wstring err;
};

std::wstring TempFile(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

HANDLE CreateInheritable(const std::wstring& path) {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       CREATE_ALWAYS, 0, nullptr);
}

// The whole file as text, which must be UTF-8 without a byte-order mark.
std::wstring ReadUtf8(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    std::string bytes(1 << 16, '\0');
    DWORD read = 0;
    ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    EXPECT_NE(bytes.rfind("\xEF\xBB\xBF", 0), 0u) << "a byte-order mark";
    std::wstring text(bytes.size(), L'\0');
    text.resize(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                    static_cast<int>(bytes.size()), &text[0],
                                    static_cast<int>(text.size())));
    EXPECT_EQ(text.empty(), bytes.empty()) << "not UTF-8";
    return text;
}

// Starts the companion with the arguments, standard output and error going to the handles.
PROCESS_INFORMATION StartCompanion(const std::wstring& arguments, HANDLE out, HANDLE err,
                                   HANDLE in = nullptr, DWORD flags = 0) {
    std::wstring commandLine =
        L"\"" + BuiltProgramPath(L"HushvaneSessions.exe") + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION info = {};
    EXPECT_TRUE(CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, flags, nullptr,
                               nullptr, &startup, &info));
    return info;
}

DWORD WaitForExit(PROCESS_INFORMATION& info, DWORD timeoutMs) {
    DWORD exitCode = 99;
    if (WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(info.hProcess, &exitCode);
    } else {
        ADD_FAILURE() << "still running after " << timeoutMs << " ms";
        TerminateProcess(info.hProcess, 99);
        WaitForSingleObject(info.hProcess, 5000);
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return exitCode;
}

Ended RunCompanion(const std::wstring& arguments) {
    const std::wstring outPath = TempFile(L"hvsessions-out.txt");
    const std::wstring errPath = TempFile(L"hvsessions-err.txt");
    HANDLE out = CreateInheritable(outPath);
    HANDLE err = CreateInheritable(errPath);
    PROCESS_INFORMATION info = StartCompanion(arguments, out, err);
    CloseHandle(out);
    CloseHandle(err);
    DWORD exitCode = WaitForExit(info, 20000);
    return {exitCode, ReadUtf8(outPath), ReadUtf8(errPath)};
}

std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find(L'\n', start);
        end = end == std::wstring::npos ? text.size() : end;
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool Has(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    for (DWORD waited = 0; !done(); waited += 50) {
        if (waited >= timeoutMs) {
            return false;
        }
        Sleep(50);
    }
    return true;
}

// One session of the scripted endpoint, and what its line must and must not say.
struct SessionRow {
    DWORD processId;
    float peak;
    BOOL muted;
    unsigned faults;
    std::vector<std::wstring> shows = {};
    std::vector<std::wstring> hides = {};
    BOOL systemSounds = FALSE;
    LONG device = 0; // 0 the default device; n the script's other device n
    BOOL expired = FALSE;
};

class SessionsWithFakeEndpoint : public FakeScriptTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(FakeScriptTest::SetUp());
        wcscpy(script_->deviceName, L"Fake Speakers (Hushvane tests)");
        wcscpy(script_->deviceId, L"{0.0.0.00000000}.{hushvane-fake}");
    }

    // Sets the sessions and clears what the server reports of the last run.
    void Script(const std::vector<SessionRow>& rows) {
        script_->endedBalanced = kFakeNotEnded;
        script_->otherSetterCalls = 0;
        ZeroMemory(script_->setMuteCalls, sizeof(script_->setMuteCalls));
        script_->sessionCount = static_cast<LONG>(rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            script_->processIds[i] = rows[i].processId;
            script_->peaks[i] = rows[i].peak;
            script_->muted[i] = rows[i].muted;
            script_->faults[i] = rows[i].faults;
            script_->systemSounds[i] = rows[i].systemSounds;
            script_->sessionDevice[i] = rows[i].device;
            script_->expired[i] = rows[i].expired;
        }
    }

    // Beside the default: 1 a headset, Windows' default for communications; 2 a disabled
    // device; 3 a USB device.
    void ScriptOtherDevices() {
        const wchar_t* const names[] = {kHeadset, L"Fake Disabled (Hushvane tests)",
                                        L"Fake USB (Hushvane tests)"};
        const DWORD states[] = {DEVICE_STATE_ACTIVE, DEVICE_STATE_DISABLED, DEVICE_STATE_ACTIVE};
        script_->otherDeviceCount = 3;
        for (int i = 0; i < 3; ++i) {
            wcscpy(script_->otherDevices[i].name, names[i]);
            swprintf(script_->otherDevices[i].id, 64, L"{0.0.0.00000000}.{hushvane-fake-%d}",
                     i + 1);
            script_->otherDevices[i].state = states[i];
            script_->otherDevices[i].faults = 0;
        }
        script_->communicationsDevice = 1;
    }

    // The program ended holding no reference of the fake's and called no setter but SetMute.
    void ExpectEndedCleanly() {
        EXPECT_EQ(script_->endedBalanced, kFakeEndedBalanced) << script_->unbalanced;
        EXPECT_EQ(script_->otherSetterCalls, 0);
    }
    void ExpectNoSetMute() {
        for (LONG i = 0; i < script_->sessionCount; ++i) {
            EXPECT_EQ(script_->setMuteCalls[i], 0) << "session " << i;
        }
    }
};

std::wstring Pid(PoolRole role) {
    return std::to_wstring(PoolProcess(role).id);
}

// A test process that ends with the holder, however the test ends: one left running would hold
// the test's output open.
struct Started : TestProcess {
    explicit Started(const std::wstring& path) { EXPECT_TRUE(StartTestProcess(path, false, this)); }
    ~Started() { StopTestProcess(this); }
};

TEST_F(SessionsWithFakeEndpoint, ListsEverySessionAsHushvaneSeesIt) {
    const float nearest = 1e-6f; // just below 1e-6 as a float: silent
    const std::wstring player = PoolProcess(kPlayer).imagePath;
    const std::wstring chat = PoolProcess(kChat).imagePath;
    const std::wstring chinese = PoolProcess(kChinese).imagePath;
    const std::wstring denied =
        Tr(kDeniedReason, L"（拒绝访问：该进程以管理员权限或其他用户身份运行，或者是服务或受"
                          L"保护进程；Hushvane 无法检测其声音，也无法将其静音）");
    const std::vector<SessionRow> rows = {
        {PoolProcess(kPlayer).id,
         0.25f,
         FALSE,
         0,
         {Pid(kPlayer), Tr(L"audible", L"未静音"), L"0.25", kLoud, L"player.exe", player, kTarget}},
        {PoolProcess(kChat).id,
         0.0f,
         TRUE,
         0,
         {Pid(kChat), Tr(L"muted", L"已静音"), kSilent, L"chat.exe", chat},
         {kTarget}},
        {PoolProcess(kPlayerOtherCase).id,
         nearest,
         FALSE,
         0,
         {L"1e-06", kSilent, L"Player.exe"},
         {kTarget, kLoud}},
        {PoolProcess(kChat).id, std::nextafter(nearest, 1.0f), FALSE, 0, {L"1e-06", kLoud}},
        {PoolProcess(kChat).id, NAN, FALSE, 0, {L"NaN", kSilent}},
        // Its name takes ten cells of the sixteen of its column.
        {PoolProcess(kChinese).id, 0.0f, FALSE, 0, {L"播放器.exe        " + chinese}},
        {PoolProcess(kDenied).id, 0.5f, FALSE, 0, {Pid(kDenied), L"guarded.exe", denied}},
        {kNoSuchProcessId,
         0.0f,
         FALSE,
         0,
         {std::to_wstring(kNoSuchProcessId), Tr(L"(no such process", L"（该进程已不存在")}},
        {0,
         0.0f,
         FALSE,
         0,
         {L"      0", Tr(L"(system sounds)", L"（系统声音）"),
          Tr(L"(Windows' own", L"（Windows 系统声音")},
         {Tr(L"mutes them with the others", L"与其他程序一起静音")},
         TRUE},
        {PoolProcess(kChat).id,
         0.0f,
         FALSE,
         kFailGetMute,
         {L"  ?  ", L"chat.exe",
          Tr(L"   [GetMute failed with 0x88890004]", L"   （GetMute 失败，错误 0x88890004）")}},
        {PoolProcess(kChat).id,
         0.0f,
         FALSE,
         kFailGetSession,
         {Tr(L"session 10 cannot be opened: GetSession failed with 0x88890004",
             L"无法打开会话 10：GetSession 失败，错误 0x88890004")}},
        {PoolProcess(kPlayer).id,
         0.5f,
         FALSE,
         kFailGetPeakValue,
         {kTarget, Tr(L"   [GetPeakValue failed with 0x88890004]",
                      L"   （GetPeakValue 失败，错误 0x88890004）")},
         {kLoud}},
        {PoolProcess(kChat).id,
         0.0f,
         FALSE,
         kFailGetProcessId,
         {L"      ?  ", L"GetProcessId",
          Tr(L"(its process id cannot be read", L"（无法读取其进程 ID")}},
        {PoolProcess(kChat).id,
         0.0f,
         FALSE,
         0,
         {L"chat.exe          " + chat +
          Tr(L"   (system sounds: Hushvane mutes them with the others)",
             L"   （系统声音：Hushvane 会把它们与其他程序一起静音）")},
         {},
         TRUE},
        // Counted as the target's all the same.
        {PoolProcess(kPlayer).id,
         0.0f,
         FALSE,
         0,
         {player + L"   " + kTarget +
          Tr(L"   (expired: its program has released its last stream; the volume mixer no longer "
             L"shows it)",
             L"   （已过期：所属程序已释放最后一个音频流；音量合成器不再显示此会话）")},
         {},
         FALSE,
         0,
         TRUE},
        {PoolProcess(kChat).id, 0.0f, FALSE, kFailGetState, {L"GetState", L"0x88890004"}},
        // GetProcessId's success code for a session of several processes.
        {PoolProcess(kChat).id, 0.0f, FALSE, kSpansProcesses, {chat}, {L"GetProcessId"}},
        {PoolProcess(kChat).id,
         0.0f,
         FALSE,
         kFailQueryMeter,
         {L"  ?  ", L"QueryInterface(IAudioMeterInformation)", L"0x80004002"}},
        {PoolProcess(kPlayer).id,
         0.0f,
         FALSE,
         0,
         {kTarget + Tr(L"   (system sounds: Hushvane hears them as the target's)",
                       L"   （系统声音：Hushvane 会把它们当作目标的声音）")},
         {},
         TRUE},
    };
    Script(rows);
    Ended run = RunCompanion(L"player.exe");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(run.err, L"");
    std::vector<std::wstring> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), rows.size() + 4) << run.out;
    EXPECT_EQ(lines[0], kSpeakers);
    EXPECT_EQ(lines[2], Tr(kHeader, L"进程 ID  静音     峰值      声音    可执行文件        路径"));
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::wstring& line = lines[i + 3];
        for (const std::wstring& part : rows[i].shows) {
            EXPECT_TRUE(Has(line, part)) << "session " << i << " lacks " << part << ": " << line;
        }
        for (const std::wstring& part : rows[i].hides) {
            EXPECT_FALSE(Has(line, part)) << "session " << i << " has " << part << ": " << line;
        }
        EXPECT_EQ(Has(line, kExpired), rows[i].expired != FALSE) << "session " << i << ": " << line;
        EXPECT_FALSE(Has(line, Tr(L"[]", L"（）"))) << "session " << i << ": " << line;
    }
    EXPECT_EQ(lines.back(),
              Tr(L"player.exe is running and has 4 sessions on this device; it is loud now.",
                 L"player.exe 正在运行，在默认播放设备上有 4 个会话，目前正在发声。"));
    ExpectNoSetMute();
    ExpectEndedCleanly();
}

TEST_F(SessionsWithFakeEndpoint, SaysWhetherHushvaneHearsTheTarget) {
    struct Case {
        std::wstring arguments;
        std::vector<SessionRow> sessions;
        DWORD exitCode;
        std::vector<std::wstring> verdict; // the lines after the sessions
        bool otherDevices = false;
        std::wstring shows = L"";
        std::vector<std::wstring> chinese = {}; // the verdict in Chinese; none: English only
    };
    const std::wstring notRunning = L" is not running. Hushvane compares names exactly, letter "
                                    L"case included, with the file names of running programs.";
    const std::wstring closest = L"Running programs whose names come closest:";
    const SessionRow chinese = {PoolProcess(kChinese).id, 0.0f, FALSE, 0, {}};
    const SessionRow denied = {PoolProcess(kDenied).id, 0.5f, FALSE, 0, {}};
    auto noSession = [](const std::wstring& target) {
        return std::vector<std::wstring>{
            target + L" is running but has no session on this device that Hushvane can see. "
                     L"Hushvane hears it only while it has a session on this device.",
            target + L" 正在运行，但在默认播放设备上没有 Hushvane 能看到的会话。只有它在默认播放"
                     L"设备上有会话时，Hushvane 才能检测到它的声音。"};
    };
    const std::wstring headset = L"Fake Headset (Hushvane tests)";
    // A target whose name refused sessions have in another letter case: not its sessions.
    const Started guardedInOtherCase(L"C:\\hvtest\\Other\\Guarded.exe");
    const Case cases[] = {
        {L"PLAYER.EXE",
         {},
         3,
         {L"PLAYER.EXE" + notRunning, closest,
          L"  player.exe   (the same name in another letter case)",
          L"  Player.exe   (the same name in another letter case)"},
         false,
         L"",
         {L"PLAYER.EXE 未运行。Hushvane 将名称与正在运行的程序文件名精确比较，区分大小写。",
          L"名称最接近的正在运行的程序：", L"  player.exe   （给定的名称，仅大小写不同）",
          L"  Player.exe   （给定的名称，仅大小写不同）"}},
        // Longer than any line the companion formats in a buffer of its own: whole, and the
        // words after it too.
        {std::wstring(3000, L'x') + L".exe",
         {},
         3,
         {std::wstring(3000, L'x') + L".exe" + notRunning, closest, L"  (none)"}},
        {L"C:\\hvtest\\apps\\player.exe",
         {},
         3,
         {L"C:\\hvtest\\apps\\player.exe" + notRunning, closest,
          L"  player.exe   (the name without its folder)",
          L"  Player.exe   (the name without its folder in another letter case)"}},
        {L"player",
         {},
         3,
         {L"player" + notRunning, closest, L"  player.exe   (the name with .exe added)",
          L"  Player.exe   (the name with .exe added in another letter case)"}},
        {L"\"my player.exe\"", {}, 3, {L"my player.exe" + notRunning, closest, L"  (none)"}},
        {L"chat.exe", {chinese}, 0, {noSession(L"chat.exe")[0]}},
        {L"guarded.exe",
         {denied, denied},
         0,
         {noSession(L"guarded.exe")[0],
          L"2 sessions of guarded.exe belong to a process that Hushvane may not query: it runs "
          L"elevated, as another user, or as a service or protected process. Hushvane hears it "
          L"only when started with the same rights."},
         false,
         L"",
         {noSession(L"guarded.exe")[1],
          L"有 2 个会话属于名为 guarded.exe 的进程，但 Hushvane 无权查询该进程：它以管理员权限或"
          L"其他用户身份运行，或者是服务或受保护进程。只有以相同的权限启动 Hushvane，才能检测到"
          L"它的声音。"}},
        {L"guarded.exe",
         {denied},
         0,
         {noSession(L"guarded.exe")[0],
          L"1 session of guarded.exe belongs to a process that Hushvane may not query: it runs "
          L"elevated, as another user, or as a service or protected process. Hushvane hears it "
          L"only when started with the same rights."}},
        {L"Guarded.exe",
         {denied},
         0,
         {noSession(L"Guarded.exe")[0]},
         false,
         L"",
         {noSession(L"Guarded.exe")[1]}},
        {L"player.exe",
         {{PoolProcess(kPlayerOtherCase).id, 0.0f, FALSE, 0}},
         0,
         {noSession(L"player.exe")[0],
          L"Process " + Pid(kPlayerOtherCase) +
              L" has a session as Player.exe, which is player.exe in another letter case: "
              L"Hushvane compares names exactly, letter case included, so it does not hear that "
              L"session."},
         false,
         L"",
         {noSession(L"player.exe")[1],
          L"进程 " + Pid(kPlayerOtherCase) +
              L" 有一个会话，程序名为 Player.exe，与 player.exe 仅大小写不同：Hushvane 比较名称"
              L"时区分大小写，因此检测不到这个会话的声音。"}},
        {L"播放器.exe",
         {chinese},
         0,
         {L"播放器.exe is running and has 1 session on this device; it is silent now."}},
        {L"player.exe",
         {{PoolProcess(kPlayer).id, 0.5f, FALSE, kFailGetPeakValue}},
         0,
         {L"player.exe is running and has 1 session on this device; its peak cannot be read, so "
          L"Hushvane cannot tell whether it makes sound."}},
        {L"player.exe",
         {{PoolProcess(kPlayer).id, 0.5f, FALSE, 0, {}, {}, FALSE, 1}},
         0,
         {noSession(L"player.exe")[0],
          L"It has 1 session on Fake Headset (Hushvane tests), which Hushvane does not watch, so "
          L"Hushvane does not hear it there. Make Fake Headset (Hushvane tests) the default "
          L"playback device and start Hushvane again, or send player.exe to the default device: "
          L"in its own settings, or in Windows 10's App volume and device preferences, or in "
          L"Windows 11's Settings > System > Sound > Volume mixer."},
         true,
         PoolProcess(kPlayer).imagePath + Tr(L"   target", L"   目标"),
         {noSession(L"player.exe")[1],
          L"它有 1 个会话在“" + headset +
              L"”上；Hushvane 不监视该设备，检测不到这些会话的声音。请将“" + headset +
              L"”设为默认播放设备，然后重新启动 Hushvane；或者让 player.exe 改用默认设备播放：可"
              L"在它自己的设置中更改，也可在 Windows 10 的“应用音量和设备首选项”或 Windows 11 的"
              L"“设置 > 系统 > 声音 > 音量合成器”中更改。"}},
        {L"player.exe",
         {{PoolProcess(kPlayer).id, 0.5f, FALSE, 0},
          {PoolProcess(kPlayer).id, 0.0f, FALSE, 0, {}, {}, FALSE, 1}},
         0,
         {L"player.exe is running and has 1 session on this device; it is loud now.",
          L"player.exe also has 1 session on Fake Headset (Hushvane tests), which Hushvane does "
          L"not watch: Hushvane does not hear it there."},
         true,
         L"",
         {L"player.exe 正在运行，在默认播放设备上有 1 个会话，目前正在发声。",
          L"player.exe 另有 1 个会话在“" + headset +
              L"”上；Hushvane 不监视该设备，检测不到这些会话的声音。"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        if (kInChinese && c.chinese.empty()) {
            continue;
        }
        const std::vector<std::wstring>& verdict = kInChinese ? c.chinese : c.verdict;
        Script(c.sessions);
        script_->otherDeviceCount = 0;
        if (c.otherDevices) {
            ScriptOtherDevices();
        }
        Ended run = RunCompanion(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.out << run.err;
        std::vector<std::wstring> lines = Lines(run.out);
        // The device, Hushvane, the heading, and a line a session or one saying there are none;
        // with other devices, their lines too.
        size_t listed = c.otherDevices ? lines.size() - verdict.size()
                                       : 3 + (c.sessions.empty() ? 1 : c.sessions.size());
        ASSERT_GE(lines.size(), listed) << run.out;
        EXPECT_EQ(std::vector<std::wstring>(lines.begin() + listed, lines.end()), verdict)
            << run.out;
        EXPECT_FALSE(Has(run.out, L"Fake Disabled")) << run.out;
        EXPECT_TRUE(Has(run.out, c.shows)) << run.out;
        EXPECT_FALSE(Has(run.out, kExpired)) << run.out;
    }
}

TEST_F(SessionsWithFakeEndpoint, NamesTheDeviceAndTheStepThatFailed) {
    struct Case {
        const char* name;
        unsigned endpointFaults;
        const wchar_t* deviceName;
        DWORD exitCode;
        std::vector<std::wstring> lines;
        // With it, the other devices are there too, as it changes them.
        std::function<void(FakeScript*)> others = nullptr;
    };
    const wchar_t* const device = L"Default playback device: Fake Speakers (Hushvane tests)";
    const wchar_t* const noSessions = L"Cannot read the device's sessions: ";
    const wchar_t* const kApart = L"The other playback devices are not listed, since the default "
                                  L"device cannot be told apart from them: ";
    const Case cases[] = {
        {"no name",
         0,
         L"",
         0,
         {L"Default playback device: {0.0.0.00000000}.{hushvane-fake} (it has no name)",
          kNoHushvane, kHeader, L"         (no sessions)"}},
        {"no property store",
         kFailOpenPropertyStore,
         L"Fake Speakers (Hushvane tests)",
         0,
         {L"Default playback device: {0.0.0.00000000}.{hushvane-fake} (its name cannot be read: "
          L"OpenPropertyStore failed with 0x80070005)",
          kNoHushvane, kHeader, L"         (no sessions)"}},
        {"no default device",
         kFailGetDefaultEndpoint,
         L"x",
         1,
         {L"Cannot read the default playback device: GetDefaultAudioEndpoint failed with "
          L"0x80070490."}},
        {"no session manager",
         kNoSessionManager,
         L"Fake Speakers (Hushvane tests)",
         1,
         {device,
          noSessions + std::wstring(L"Activate(IAudioSessionManager2) failed with 0x80004002."),
          L"The session manager is not available: listing sessions needs Windows 7 or later.",
          kNoHushvane, kHeader}},
        {"device gone",
         kFailActivate,
         L"Fake Speakers (Hushvane tests)",
         1,
         {device,
          noSessions + std::wstring(L"Activate(IAudioSessionManager2) failed with 0x88890004."),
          kNoHushvane, kHeader}},
        {"no session list",
         kFailGetSessionEnumerator,
         L"Fake Speakers (Hushvane tests)",
         1,
         {device, noSessions + std::wstring(L"GetSessionEnumerator failed with 0x88890004."),
          kNoHushvane, kHeader}},
        {"no count",
         kFailGetCount,
         L"Fake Speakers (Hushvane tests)",
         1,
         {device, L"Cannot read the number of sessions: GetCount failed with 0x88890004.",
          kNoHushvane, kHeader}},
        {"no list of the other devices",
         kFailEnumAudioEndpoints,
         L"Fake Speakers (Hushvane tests)",
         0,
         {device, kNoHushvane, kHeader, L"         (no sessions)",
          L"Cannot list the other playback devices: EnumAudioEndpoints failed with 0x8007000E."}},
        {"no count of the other devices",
         kFailDeviceCount,
         L"Fake Speakers (Hushvane tests)",
         0,
         {device, kNoHushvane, kHeader, L"         (no sessions)",
          L"Cannot list the other playback devices: GetCount failed with 0x8007000E."},
         [](FakeScript*) {}},
        {"no device from the list",
         kFailDeviceItem,
         L"Fake Speakers (Hushvane tests)",
         0,
         {device, kNoHushvane, kHeader, L"         (no sessions)",
          L"Playback device 1 of 3 is not listed: Item failed with 0x88890004.",
          L"Playback device 2 of 3 is not listed: Item failed with 0x88890004.",
          L"Playback device 3 of 3 is not listed: Item failed with 0x88890004."},
         [](FakeScript*) {}},
        {"another device's sessions",
         0,
         L"Fake Speakers (Hushvane tests)",
         0,
         {device, kNoHushvane, kHeader, L"         (no sessions)",
          L"Other playback device: Fake Headset (Hushvane tests) (Windows' default for "
          L"communications); Hushvane does not watch it",
          L"         (no sessions)",
          L"Other playback device: Fake USB (Hushvane tests); Hushvane does not watch it",
          noSessions + std::wstring(L"GetSessionEnumerator failed with 0x88890004.")},
         [](FakeScript* script) { script->otherDevices[2].faults = kFailGetSessionEnumerator; }},
        {"a twin of the default device alone",
         0,
         L"Fake Headset (Hushvane tests)",
         0,
         {L"Default playback device: Fake Headset (Hushvane tests)", kNoHushvane, kHeader,
          L"         (no sessions)",
          L"Other playback device: Fake Headset (Hushvane tests) (id "
          L"{0.0.0.00000000}.{hushvane-fake-1}) (Windows' default for communications); Hushvane "
          L"does not watch it",
          L"         (no sessions)",
          L"Other playback device: Fake USB (Hushvane tests); Hushvane does not watch it",
          L"         (no sessions)"},
         [](FakeScript*) {}},
        {"twins among the other devices",
         0,
         L"Fake Speakers (Hushvane tests)",
         0,
         {device, kNoHushvane, kHeader, L"         (no sessions)",
          L"Other playback device: Fake Headset (Hushvane tests) (id "
          L"{0.0.0.00000000}.{hushvane-fake-1}) (Windows' default for communications); Hushvane "
          L"does not watch it",
          L"         (no sessions)",
          L"Other playback device: Fake Headset (Hushvane tests) (id "
          L"{0.0.0.00000000}.{hushvane-fake-3}); Hushvane does not watch it",
          L"         (no sessions)"},
         [](FakeScript* script) { wcscpy(script->otherDevices[2].name, kHeadset); }},
        // Each of the default device's sessions once, and nothing taken for another device.
        {"no id for the default device",
         0,
         L"Fake Speakers (Hushvane tests)",
         0,
         {device, kNoHushvane, kHeader, L"         (no sessions)",
          kApart + std::wstring(L"its id cannot be read (GetId failed with 0x8007000E).")},
         [](FakeScript* script) { script->deviceId[0] = L'\0'; }},
        // GetId succeeds, and gives no id.
        {"a default device without an id",
         kNoId,
         L"Fake Speakers (Hushvane tests)",
         0,
         {device, kNoHushvane, kHeader, L"         (no sessions)",
          kApart + std::wstring(L"it gives no id.")},
         [](FakeScript*) {}},
        {"no id for another device",
         0,
         L"Fake Speakers (Hushvane tests)",
         0,
         {device, kNoHushvane, kHeader, L"         (no sessions)",
          L"Playback device 2 of 3 is not listed: its id cannot be read (GetId failed with "
          L"0x8007000E).",
          L"Other playback device: Fake Headset (Hushvane tests) (Windows' default for "
          L"communications); Hushvane does not watch it",
          L"         (no sessions)"},
         [](FakeScript* script) { script->otherDevices[2].id[0] = L'\0'; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Script({});
        script_->endpointFaults = c.endpointFaults;
        wcscpy(script_->deviceName, c.deviceName);
        wcscpy(script_->deviceId, L"{0.0.0.00000000}.{hushvane-fake}");
        script_->otherDeviceCount = 0;
        if (c.others) {
            ScriptOtherDevices();
            c.others(script_);
        }
        Ended run = RunCompanion(L"");
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(Lines(run.out), c.lines);
        ExpectEndedCleanly();
    }
}

// Every active device is reached: the headset's muted session is unmuted, the disabled device's
// is left alone.
TEST_F(SessionsWithFakeEndpoint, UnmuteAllCallsSetMuteOnTheMutedSessionsOnly) {
    struct Case {
        const char* name;
        unsigned refusingFaults; // of the muted chat session
        DWORD exitCode;
        const wchar_t* lastLine;
        const wchar_t* chineseLastLine;
        std::wstring shows; // what the case has to say before the last line, in English
        std::wstring chineseShows;
        bool noDefaultId = false; // then the headset's session is left alone
        unsigned endpointFaults = 0;
    };
    const std::wstring chat = std::wstring(7 - Pid(kChat).size(), L' ') + Pid(kChat);
    const Case cases[] = {
        {"all accepted", 0, 0, L"5 sessions unmuted; none is left muted.",
         L"已取消 5 个会话的静音；已没有处于静音状态的会话。",
         std::wstring(L"Other playback device: ") + kHeadset,
         L"其他播放设备：" + std::wstring(kHeadset)},
        {"one refused", kFailSetMute, 1, L"4 sessions unmuted; 1 could not be checked or unmuted.",
         L"已取消 4 个会话的静音；1 个会话无法检查或取消静音。",
         L"SetMute failed with 0x88890004:\n  still muted " + chat + L"  chat.exe",
         L"SetMute 失败，错误 0x88890004：\n  仍处于静音 " + chat + L"  chat.exe"},
        {"one unreadable", kFailGetMute, 1,
         L"4 sessions unmuted; 1 could not be checked or unmuted.",
         L"已取消 4 个会话的静音；1 个会话无法检查或取消静音。", L"\n  not checked " + chat,
         L"\n  未检查     " + chat},
        // Never checked, so it may still be muted.
        {"one unopened", kFailGetSession, 1,
         L"4 sessions unmuted; 1 could not be checked or unmuted.",
         L"已取消 4 个会话的静音；1 个会话无法检查或取消静音。",
         L"Session 0 on Fake Speakers (Hushvane tests) cannot be opened (GetSession failed with "
         L"0x88890004): whether it is muted is unknown.",
         L"会话 0（位于“Fake Speakers (Hushvane tests)”）无法打开：GetSession 失败，错误 "
         L"0x88890004；无法确定它是否处于静音状态。"},
        {"no id for the default device", 0, 1,
         L"4 sessions unmuted; some playback devices could not be listed.",
         L"已取消 4 个会话的静音；部分播放设备无法列出。",
         L"them: its id cannot be read (GetId failed with 0x8007000E).",
         L"区分开：默认设备 ID 无法读取（GetId 失败，错误 0x8007000E）。", true},
        {"no count of the other devices", 0, 1,
         L"4 sessions unmuted; some playback devices could not be listed.",
         L"已取消 4 个会话的静音；部分播放设备无法列出。",
         L"Cannot list the other playback devices: GetCount failed with 0x8007000E.",
         L"无法列出其他播放设备：GetCount 失败，错误 0x8007000E。", false, kFailDeviceCount},
        {"no device from the list", 0, 1,
         L"4 sessions unmuted; some playback devices could not be listed.",
         L"已取消 4 个会话的静音；部分播放设备无法列出。",
         L"Playback device 2 of 3 is not listed: Item failed with 0x88890004.",
         L"未列出第 2 个播放设备（共 3 个）：Item 失败，错误 0x88890004。", false, kFailDeviceItem},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        wcscpy(script_->deviceId, c.noDefaultId ? L"" : L"{0.0.0.00000000}.{hushvane-fake}");
        script_->endpointFaults = c.endpointFaults;
        const bool unlisted = c.noDefaultId || c.endpointFaults != 0;
        std::vector<SessionRow> rows = {
            {PoolProcess(kChat).id, 0.0f, TRUE, c.refusingFaults, {}},
            {PoolProcess(kPlayer).id, 0.5f, FALSE, 0, {}},
            {PoolProcess(kPlayer).id, 0.0f, TRUE, 0, {}},
            {kNoSuchProcessId, 0.0f, TRUE, 0, {}},
            {PoolProcess(kDenied).id, 0.0f, FALSE, 0, {}},
            {0, 0.0f, TRUE, 0, {}, {}, TRUE},
            {PoolProcess(kChat).id, 0.0f, TRUE, 0, {}, {}, FALSE, 1},
            {PoolProcess(kChat).id, 0.0f, TRUE, 0, {}, {}, FALSE, 2},
        };
        Script(rows);
        ScriptOtherDevices();
        Ended run = RunCompanion(L"--unmute-all");
        EXPECT_EQ(run.exitCode, c.exitCode) << run.out;
        std::vector<std::wstring> lines = Lines(run.out);
        EXPECT_EQ(lines.back(), Tr(c.lastLine, c.chineseLastLine)) << run.out;
        EXPECT_TRUE(Has(run.out, Tr(c.shows, c.chineseShows))) << run.out;
        const bool unread = (c.refusingFaults & (kFailGetMute | kFailGetSession)) != 0;
        const LONG expectedCalls[] = {unread ? 0 : 1, 0, 1, 1, 0, 1, unlisted ? 0 : 1, 0};
        for (size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(script_->setMuteCalls[i], expectedCalls[i]) << "session " << i;
            EXPECT_EQ(script_->muted[i] != FALSE,
                      (i == 0 && c.refusingFaults != 0) || i == 7 || (i == 6 && unlisted))
                << "session " << i;
        }
        // Each prefix padded to the longest and a space (13 cells in English, 12 in Chinese), so
        // that the process ids line up.
        const std::wstring unmuted = Tr(L"Unmuted       ", L"已取消静音   ");
        EXPECT_TRUE(Has(run.out, unmuted + std::wstring(7 - Pid(kPlayer).size(), L' ') +
                                     Pid(kPlayer) + L"  player.exe"));
        EXPECT_TRUE(Has(run.out, unmuted + L"      0  " + Tr(L"(system sounds)", L"（系统声音）")));
        EXPECT_TRUE(Has(run.out, unmuted + L"2147483633  ?                 " +
                                     Tr(L"(no such process: Hushvane skips the session)   on "
                                        L"Fake Speakers (Hushvane tests)\n",
                                        L"（该进程已不存在：Hushvane 会跳过此会话）   位于“Fake "
                                        L"Speakers (Hushvane tests)”\n")));
        EXPECT_EQ(Has(run.out, PoolProcess(kChat).imagePath + Tr(L"   on ", L"   位于“") +
                                   kHeadset + Tr(L"\n", L"”\n")),
                  !unlisted);
        ExpectEndedCleanly();
    }
}

// Copies of the test helper stand for Hushvane.exe, found by name in any letter case. None
// running is the device test's "no name" case.
TEST_F(SessionsWithFakeEndpoint, SaysWhetherHushvaneRunsAndAsWhichProcesses) {
    Script({});
    const wchar_t* const paths[] = {L"C:\\hvtest\\hv1\\Hushvane.exe",
                                    L"C:\\hvtest\\hv2\\HUSHVANE.EXE"};
    TestProcess hushvanes[2];
    std::wstring ids[2];
    for (int running = 1; running <= 2; ++running) {
        ASSERT_TRUE(StartTestProcess(paths[running - 1], false, &hushvanes[running - 1]));
        ids[running - 1] = std::to_wstring(hushvanes[running - 1].id);
        const std::wstring two = L"Hushvane.exe is running 2 times, as processes ";
        const std::wstring fight =
            L": they would fight over the same sessions, so end all but one.";
        // Two are named in the process list's order, whichever that is.
        const std::wstring expected[] = {L"Hushvane.exe is running as process " + ids[0] + L".",
                                         two + ids[0] + L", " + ids[1] + fight,
                                         two + ids[1] + L", " + ids[0] + fight};
        std::wstring line = Lines(RunCompanion(L"").out).at(1);
        EXPECT_TRUE(line == expected[running - 1] || (running == 2 && line == expected[2])) << line;
    }
    for (TestProcess& hushvane : hushvanes) {
        StopTestProcess(&hushvane);
    }
}

DWORD ModeOf(HANDLE console) {
    DWORD mode = 0;
    GetConsoleMode(console, &mode);
    return mode;
}

// Keys pressed on the console: Ctrl with the letter for a control character.
void TypeKeys(HANDLE input, const std::wstring& keys) {
    for (wchar_t key : keys) {
        const bool control = key < L' ' && key != L'\r';
        const WORD virtualKey = control ? key + L'@' : key;
        INPUT_RECORD record = {KEY_EVENT, {{TRUE, 1, virtualKey, 0, {key}, 0}}};
        record.Event.KeyEvent.dwControlKeyState = control ? LEFT_CTRL_PRESSED : 0;
        DWORD typed = 0;
        EXPECT_TRUE(WriteConsoleInputW(input, &record, 1, &typed));
    }
}

BOOL WINAPI SurviveCtrlC(DWORD) {
    return TRUE;
}

// Ctrl+C needs a console that this process and the companion share. This process survives it
// with a handler of its own: Wine's children keep ignoring Ctrl+C when the parent ignored it
// with SetConsoleCtrlHandler(nullptr, TRUE), whatever they call.
class SessionsWatch : public SessionsWithFakeEndpoint {
  protected:
    static void SetUpTestSuite() {
        FreeConsole();
        AllocConsole();
        SetConsoleCtrlHandler(SurviveCtrlC, TRUE);
    }

    void Script3() {
        Script({{PoolProcess(kPlayer).id, 0.0f, FALSE, 0, {}},
                {PoolProcess(kChat).id, 0.0f, TRUE, 0, {}},
                {PoolProcess(kChinese).id, 0.0f, FALSE, 0, {}}});
    }
    // A watch that a failed assertion left running would hold the test's output open.
    void TearDown() override {
        if (watch_.hProcess != nullptr) {
            WaitForExit(watch_, 0); // ends it, and says it was still running
        }
        FakeScriptTest::TearDown();
    }

    // Ctrl+C as a signal to the console, or as a key typed into its input.
    void StopWithCtrlC(HANDLE typedTo = nullptr) {
        if (typedTo != nullptr) {
            TypeKeys(typedTo, L"\x03");
        } else {
            EXPECT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
        }
        EXPECT_EQ(WaitForExit(watch_, 3000), 0u);
        watch_ = {};
        ExpectNoSetMute();
        ExpectEndedCleanly();
    }

    PROCESS_INFORMATION watch_ = {};
};

TEST_F(SessionsWatch, AppendsTimedListingsToAFileUntilCtrlC) {
    Script3();
    const std::wstring outPath = TempFile(L"hvsessions-watch.txt");
    HANDLE out = CreateInheritable(outPath);
    watch_ = StartCompanion(L"player.exe --watch", out, out);
    CloseHandle(out);
    const std::wstring silent = L"it is silent now.\n";
    const std::wstring loud = L"it is loud now.\n";
    ASSERT_TRUE(WaitUntil([&] { return Has(ReadUtf8(outPath), silent); }, 10000));
    script_->peaks[0] = 0.5f;
    script_->sessionCount = 2;
    ASSERT_TRUE(WaitUntil([&] { return Has(ReadUtf8(outPath), loud); }, 5000));
    // A session list that cannot be read is said in its listing; the next one tries afresh.
    const std::wstring failed = L"Cannot read the device's sessions: GetSessionEnumerator failed";
    script_->endpointFaults = kFailGetSessionEnumerator;
    ASSERT_TRUE(WaitUntil([&] { return Has(ReadUtf8(outPath), failed); }, 5000));
    script_->endpointFaults = 0;
    auto loudAgain = [&] {
        std::wstring text = ReadUtf8(outPath);
        return text.find(loud, text.find(failed)) != std::wstring::npos;
    };
    ASSERT_TRUE(WaitUntil(loudAgain, 5000));
    StopWithCtrlC();

    std::wstring text = ReadUtf8(outPath);
    std::vector<std::wstring> listings;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find(L"\n\n", start);
        end = end == std::wstring::npos ? text.size() : end + 1;
        listings.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    ASSERT_GE(listings.size(), 4u) << text;
    for (const std::wstring& listing : listings) {
        // A local time, then the same listing as a single run gives.
        EXPECT_EQ(WithoutTimeStamp(listing.substr(0, 19) + L"  "), L"") << listing;
        const std::wstring device = L"\nDefault playback device: Fake Speakers (Hushvane tests)\n";
        EXPECT_EQ(listing.substr(19, device.size()), device);
        // Each has its verdict, or says why it has none.
        EXPECT_EQ(Has(listing, silent) + Has(listing, loud) + Has(listing, failed), 1) << listing;
    }
    const std::wstring chinese = PoolProcess(kChinese).imagePath;
    EXPECT_TRUE(Has(listings.front(), silent) && Has(listings.front(), chinese));
    EXPECT_TRUE(Has(listings.back(), loud) && !Has(listings.back(), chinese));
}

TEST_F(SessionsWatch, EndsWhenNobodyReadsItsOutput) {
    Script3();
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE reader = nullptr;
    HANDLE writer = nullptr;
    ASSERT_TRUE(CreatePipe(&reader, &writer, &inherit, 0));
    SetHandleInformation(reader, HANDLE_FLAG_INHERIT, 0);
    watch_ = StartCompanion(L"--watch", writer, writer);
    CloseHandle(writer);
    char first[64] = {};
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(reader, first, sizeof(first) - 1, &read, nullptr));
    CloseHandle(reader);
    EXPECT_EQ(WaitForExit(watch_, 4000), 0u);
    watch_ = {};
    ExpectEndedCleanly();
}

// The console's text from the top, row after row at its full width, so a wrapped line reads on.
std::wstring ConsoleText(HANDLE console) {
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(console, &info);
    std::wstring text(info.dwSize.X * 40, L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(console, &text[0], static_cast<DWORD>(text.size()), {0, 0}, &read);
    return text;
}

// The console's row that holds part, without the blanks that end it.
std::wstring RowHolding(HANDLE console, const std::wstring& part) {
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(console, &info);
    std::wstring text = ConsoleText(console);
    size_t at = text.find(part);
    if (at == std::wstring::npos) {
        return L"";
    }
    std::wstring row = text.substr(at / info.dwSize.X * info.dwSize.X, info.dwSize.X);
    return row.substr(0, row.find_last_not_of(L' ') + 1);
}

// The screen buffer the console shows now, as a new CONOUT$ names it: the watch's own while it
// runs. The handle closes with the holder.
struct Screen {
    Screen()
        : handle(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                             nullptr)) {}
    ~Screen() { CloseHandle(handle); }
    std::wstring Text() const { return ConsoleText(handle); }
    HANDLE handle;
};

bool ScreenHas(const std::wstring& part) {
    return Has(Screen().Text(), part);
}

// The shared console's screen, or its input, in a handle that the companion inherits.
HANDLE OpenConsoleForChild(const wchar_t* name = L"CONOUT$") {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       &inherit, OPEN_EXISTING, 0, nullptr);
}

// Gives the console's buffer a size and its window the top rows of it, whichever dimensions
// grow or shrink, as the console does when its window is resized.
void SetBuffer(HANDLE console, COORD size, COORD window, SHORT top = 0) {
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(console, &info);
    const COORD grown = {std::max(info.dwSize.X, size.X), std::max(info.dwSize.Y, size.Y)};
    const SMALL_RECT at = {0, top, static_cast<SHORT>(window.X - 1),
                           static_cast<SHORT>(top + window.Y - 1)};
    EXPECT_TRUE(SetConsoleScreenBufferSize(console, grown));
    EXPECT_TRUE(SetConsoleWindowInfo(console, TRUE, &at));
    EXPECT_TRUE(SetConsoleScreenBufferSize(console, size));
}

// A fresh console whose window is width by rows, on a buffer of bufferRows.
HANDLE FreshConsole(SHORT width, SHORT rows, SHORT bufferRows) {
    FreeConsole();
    AllocConsole();
    HANDLE console = OpenConsoleForChild();
    SetBuffer(console, {width, bufferRows}, {width, rows});
    return console;
}

void Type(HANDLE console, const std::wstring& text) {
    WriteConsoleW(console, text.c_str(), static_cast<DWORD>(text.size()), nullptr, nullptr);
}

// With VT processing on, a row written up to the last column leaves the cursor on that column,
// as in Windows Terminal: the verdict below is exactly as wide as the buffer. A parent left
// processed input off and line feeds that do not return the carriage; keys typed during the
// watch, Ctrl+C among them, reach no shell after it.
TEST_F(SessionsWatch, DrawsEachListingOverTheLastAndLeavesTheUsersRows) {
    const std::wstring english =
        L"player.exe is running and has 1 session on this device; it is loud now.";
    const std::wstring loudVerdict =
        Tr(english, L"player.exe 正在运行，在默认播放设备上有 1 个会话，目前正在发声。");
    const std::wstring loud = Tr(L"it is loud now.", L"目前正在发声。");
    const size_t width = english.size();
    HANDLE console = FreshConsole(static_cast<SHORT>(width), 25, 300);
    DWORD mode = 0;
    GetConsoleMode(console, &mode);
    ASSERT_TRUE(SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING));
    Type(console, L"typed 1\ntyped 2\n");
    const DWORD parentOutput =
        mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING | DISABLE_NEWLINE_AUTO_RETURN;
    ASSERT_TRUE(SetConsoleMode(console, parentOutput));
    HANDLE input = OpenConsoleForChild(L"CONIN$");
    const DWORD parentInput = ModeOf(input) & ~ENABLE_PROCESSED_INPUT;
    ASSERT_TRUE(SetConsoleMode(input, parentInput));
    Script({{PoolProcess(kPlayer).id, 0.0f, FALSE, 0},
            {PoolProcess(kDenied).id, 0.0f, FALSE, 0},
            {PoolProcess(kChat).id, 0.0f, TRUE, 0}});
    watch_ = StartCompanion(L"--watch player.exe", console, console, input);
    ASSERT_TRUE(
        WaitUntil([&] { return ScreenHas(Tr(L"it is silent now.", L"目前没有声音。")); }, 10000));

    // Shorter, with chat.exe's short second row and the Chinese line's rows where the access
    // denied line's longer rows were, and the Chinese line's second row over chat.exe's first.
    // In a last line a character outside ASCII, two cells here, finds one cell left in its first
    // row: it starts the second, and the line takes three rows.
    const std::wstring chinese = PoolProcess(kChinese).imagePath;
    const Started straddling(L"C:\\hvtest\\abcdef\u4E2D\\" + std::wstring(64, L'y') + L"\\z.exe");
    script_->processIds[1] = PoolProcess(kChat).id;
    script_->muted[1] = TRUE;
    script_->processIds[2] = PoolProcess(kChinese).id;
    script_->muted[2] = FALSE;
    script_->processIds[3] = straddling.id;
    script_->peaks[0] = 0.5f;
    script_->sessionCount = 4;
    ASSERT_TRUE(WaitUntil([&] { return ScreenHas(loud); }, 5000));
    Screen screen;
    std::wstring second = screen.Text();
    EXPECT_TRUE(Has(second, chinese)) << "Chinese written whole";
    EXPECT_FALSE(Has(second, Tr(L"silent now.", L"没有声音")))
        << "the longer listing's last rows were kept";
    EXPECT_FALSE(Has(second, Tr(L"protected process", L"受保护的进程")))
        << "a row kept some of a longer one";
    const std::wstring muted = Tr(L"muted    0", L"已静音   0");
    EXPECT_EQ(second.find(muted), second.rfind(muted)) << "a row kept some of another";
    EXPECT_EQ(second.find(kSpeakers), width) << "not at the top";
    // A row as wide as the buffer is whole, below two rows each of the first three sessions
    // and three of the last.
    EXPECT_EQ(RowHolding(screen.handle, loud), loudVerdict);
    EXPECT_EQ(second.find(loudVerdict) / width, 13u) << second;
    EXPECT_EQ(ConsoleText(console).find_last_not_of(L' ') / width, 1u)
        << "written to the user's rows during the watch";
    EXPECT_EQ(ModeOf(console) & DISABLE_NEWLINE_AUTO_RETURN, 0u) << "line feeds without returns";
    TypeKeys(input, L"q\r");
    StopWithCtrlC(input);
    DWORD left = 0;
    EXPECT_TRUE(GetNumberOfConsoleInputEvents(input, &left) && left == 0) << left << " keys left";
    EXPECT_EQ(std::make_pair(ModeOf(input), ModeOf(console)),
              std::make_pair(parentInput, parentOutput));
    CloseHandle(input);
    // The user's rows are as they were, and the last listing follows them.
    std::wstring after = ConsoleText(console);
    EXPECT_EQ(after.find(L"typed 1"), 0u) << after;
    EXPECT_EQ(after.find(L"typed 2"), width);
    EXPECT_EQ(after.find(kSpeakers), 3 * width);
    EXPECT_EQ(RowHolding(console, loud), loudVerdict);
    CloseHandle(console);
}

// The classic console resizes the buffer it shows its own way: its height only grows, and its
// width follows the window only where it rewraps rows on resize ("wrap text output on resize").
// Each step does to the watch's buffer, while the watch is held, what the console would; the
// watch fits it to the window again, a size fitted before included, and draws one listing for
// the new size. The last window is narrower and taller than the user's, so that giving the user's
// buffer its size grows one dimension and shrinks the other; it is as wide as the Hushvane line,
// which then fills a row of the user's buffer, where the console wraps at once.
TEST_F(SessionsWatch, FitsTheWindowAndDrawsOneListingAfterAResize) {
    struct Step {
        COORD window;
        COORD buffer; // as the console leaves it
        SHORT top = 0;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        SHORT userWidth;   // of the user's buffer at the end
        bool wraps = true; // the user's buffer wraps at the end of a row, and so rewraps
    };
    const SHORT last = static_cast<SHORT>(wcslen(kNoHushvane));
    const Case cases[] = {
        {"wrap on resize",
         {{{110, 12}, {110, 300}, 50},
          {{100, 8}, {100, 12}},
          {{110, 12}, {110, 12}},
          {{100, 8}, {100, 12}},
          {{last, 12}, {last, 12}}},
         last},
        {"no wrap on resize", {{{last, 12}, {100, 12}}}, 100, false},
    };
    Script(std::vector<SessionRow>(300, {PoolProcess(kChat).id, 0.0f, FALSE, 0}));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HANDLE console = FreshConsole(100, 8, 8);
        const DWORD mode = ModeOf(console);
        SetConsoleMode(console, c.wraps ? mode : mode & ~ENABLE_WRAP_AT_EOL_OUTPUT);
        watch_ = StartCompanion(L"--watch PLAYER.EXE", console, console);
        const std::wstring more = L"2 more lines: enlarge the window, or redirect to a file)";
        ASSERT_TRUE(WaitUntil([&] { return ScreenHas(more); }, 10000)) << Screen().Text();
        std::wstring shown = Screen().Text().substr(100, 7 * 100);
        EXPECT_EQ(shown.substr(0, 55), L"Default playback device: Fake Speakers (Hushvane tests)");
        EXPECT_EQ(shown.substr(3 * 100, 26), L"PLAYER.EXE is not running.");
        EXPECT_EQ(shown.substr(5 * 100, 42), L"Running programs whose names come closest:");
        EXPECT_EQ(
            RowHolding(Screen().handle, more),
            L"(300 more sessions and 2 more lines: enlarge the window, or redirect to a file)");
        EXPECT_EQ(Screen().Text().find(more) / 100, 7u) << "not the last row";
        for (const Step& step : c.steps) {
            SCOPED_TRACE(std::to_string(step.window.X) + "x" + std::to_string(step.window.Y));
            const std::wstring time = Screen().Text().substr(0, 19);
            SuspendThread(watch_.hThread);
            SetBuffer(Screen().handle, step.buffer, step.window, step.top);
            ResumeThread(watch_.hThread);
            // A listing of the new time, drawn whole: its last row says what was left out.
            const size_t width = step.window.X;
            std::wstring text;
            EXPECT_TRUE(WaitUntil(
                [&] {
                    text = Screen().Text();
                    return text.substr(0, 19) != time &&
                           (text.find(L"a file)") + 6) / width == step.window.Y - 1u;
                },
                3000))
                << "the line that says what was left out is not on the last row: " << text;
            CONSOLE_SCREEN_BUFFER_INFO info = {};
            GetConsoleScreenBufferInfo(Screen().handle, &info);
            EXPECT_EQ(std::make_pair(info.dwSize.X, info.dwSize.Y),
                      std::make_pair(step.window.X, step.window.Y));
            EXPECT_EQ(info.srWindow.Top, 0);
            EXPECT_EQ(text.find(L"Default playback device"), width) << text;
            EXPECT_EQ(text.rfind(L"Default playback device"), width) << "more than one listing";
        }
        StopWithCtrlC();
        // The user's window keeps the size the user gave it, and its buffer narrows with it only
        // where the console rewraps. The last listing's lines follow each other, the one that
        // fills a row too.
        CONSOLE_SCREEN_BUFFER_INFO info = {};
        GetConsoleScreenBufferInfo(console, &info);
        EXPECT_EQ(std::make_pair(info.srWindow.Right - info.srWindow.Left + 1,
                                 info.srWindow.Bottom - info.srWindow.Top + 1),
                  std::make_pair(static_cast<int>(last), 12));
        EXPECT_EQ(info.dwSize.X, c.userWidth);
        const std::wstring text = ConsoleText(console);
        EXPECT_EQ(text.find(kHeader) / info.dwSize.X, text.find(kNoHushvane) / info.dwSize.X + 1);
        CloseHandle(console);
    }
}

// The window is made shorter during the watch (the console does it to the watch's buffer),
// while the prompt stood on its last row, deep in a tall buffer: the console would keep the
// prompt in sight, and the watch gives the window back so, the user's scrollback whole. Checked
// before anything is written below the user's rows: Wine's console scrolls to the cursor
// whenever it writes, conhost only where the cursor was in sight.
TEST_F(SessionsWatch, FitsTheWindowAndGivesItBackWithThePromptInSight) {
    HANDLE console = FreshConsole(120, 30, 9001);
    SetBuffer(console, {120, 9001}, {120, 30}, 9001 - 30);
    SetConsoleCursorPosition(console, {0, 9000});
    ClassicScreen screen = {};
    ASSERT_TRUE(OpenClassicScreen(console, ModeOf(console), &screen));
    SetBuffer(screen.own.Get(), {120, 30}, {120, 20});
    CloseClassicScreen(&screen);
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(console, &info);
    EXPECT_EQ(info.dwSize.Y, 9001) << "the user's scrollback";
    EXPECT_EQ(std::make_pair(info.srWindow.Top, info.srWindow.Bottom),
              std::make_pair(SHORT{8981}, SHORT{9000}));
    CloseHandle(console);
}

// The window is resized while the watch reads the sessions (the fake endpoint does it each
// time, as a user would): each listing is drawn for the window as it is once read.
TEST_F(SessionsWatch, FitsTheWindowAsItIsOnceTheListingIsRead) {
    Script(std::vector<SessionRow>(300, {PoolProcess(kChat).id, 0.0f, FALSE, 0}));
    HANDLE console = FreshConsole(100, 8, 8);
    script_->resizeWindows[0] = {100, 6};
    script_->resizeWindows[1] = {100, 8};
    watch_ = StartCompanion(L"--watch PLAYER.EXE", console, console);
    ASSERT_TRUE(WaitUntil([&] { return script_->resizes >= 2; }, 10000));
    for (int frame = 0; frame < 4; ++frame) {
        const std::wstring time = Screen().Text().substr(0, 19);
        ASSERT_TRUE(WaitUntil([&] { return Screen().Text().substr(0, 19) != time; }, 3000));
        Sleep(200); // the rest of the frame; the next comes a second after it
        SuspendThread(watch_.hThread);
        Screen screen;
        CONSOLE_SCREEN_BUFFER_INFO info = {};
        GetConsoleScreenBufferInfo(screen.handle, &info);
        const std::wstring text = screen.Text();
        ResumeThread(watch_.hThread);
        EXPECT_EQ(text.find(L"a file)") / 100, info.srWindow.Bottom - info.srWindow.Top + 0u)
            << "frame " << frame << ", window " << info.srWindow.Bottom - info.srWindow.Top + 1;
    }
    StopWithCtrlC();
    // A pseudo console's step, run here: the fake server, loaded into this process, resizes the
    // window while the listing is read.
    CoInitialize(nullptr);
    static Writer out;
    static TerminalScreen terminal;
    static Listing listing;
    static Frame drawn;
    out.handle = console;
    ASSERT_TRUE(OpenTerminalScreen(&out, ModeOf(console), {100, 8}, &terminal));
    for (int step = 0; step < 2; ++step) {
        ASSERT_TRUE(ShowNextListing(L"PLAYER.EXE", nullptr, &terminal, &listing, &drawn));
        COORD window = {};
        ReadWindowSize(console, &window);
        const ShownLine& more = drawn.lines[drawn.count - 1];
        EXPECT_EQ(more.row + more.rows, window.Y) << "step " << step;
    }
    CloseTerminalScreen(&terminal, {100, 8});
    CoUninitialize();
    CloseHandle(console);
}

// A console of its own is one that the test leaves once the companion is started on it. The
// test keeps its handles to read the screen and to type. Where Wine gives the companion a new
// console, the test cannot type there: a run that waits is ended after a while. An Enter typed
// into its own console before it starts must not end the wait.
TEST_F(SessionsWatch, WaitsForEnterOnlyWhereSomeoneCanAnswer) {
    enum Console { kShared, kOwn, kOwnOutputToFile, kNew };
    struct Case {
        const char* name;
        Console console;
        DWORD flags;
        bool hidden;
        const wchar_t* desktop;
        wchar_t key; // typed to end the wait: Enter or Ctrl+C; none where it must not wait
        bool waits;
    };
    const Case cases[] = {
        {"own console", kOwn, 0, false, nullptr, L'\r', true},
        {"own console, Ctrl+C", kOwn, 0, false, nullptr, L'C' - L'@', true},
        {"console shared with the test", kShared, 0, false, nullptr, L'\0', false},
        {"own console, output to a file", kOwnOutputToFile, 0, false, nullptr, L'\0', false},
        {"new console", kNew, CREATE_NEW_CONSOLE, false, nullptr, L'\0', true},
        {"new console, hidden", kNew, CREATE_NEW_CONSOLE, true, nullptr, L'\0', false},
        {"no console window", kNew, CREATE_NO_WINDOW, false, nullptr, L'\0', false},
        {"window station with no display", kNew, CREATE_NEW_CONSOLE, false, L"hvtest\\Default",
         L'\0', false},
    };
    HWINSTA station = CreateWindowStationW(L"hvtest", 0, WINSTA_ALL_ACCESS, nullptr);
    ASSERT_NE(station, nullptr);
    HWINSTA ours = GetProcessWindowStation();
    SetProcessWindowStation(station);
    HDESK desktop = CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    SetProcessWindowStation(ours);
    ASSERT_NE(desktop, nullptr);
    const std::wstring prompt = L"Press Enter to close this window.";
    Script({});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HANDLE input = OpenConsoleForChild(L"CONIN$");
        HANDLE console = OpenConsoleForChild();
        HANDLE out = c.console == kOwnOutputToFile
                         ? CreateInheritable(TempFile(L"hvsessions-own.txt"))
                         : console;
        std::wstring commandLine = L"\"" + BuiltProgramPath(L"HushvaneSessions.exe") +
                                   L"\" PLAYER.EXE"; // not running: exit status 3
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        if (c.console != kNew) {
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdInput = input;
            startup.hStdOutput = out;
            startup.hStdError = out;
        }
        if (c.hidden) {
            startup.dwFlags |= STARTF_USESHOWWINDOW;
            startup.wShowWindow = SW_HIDE;
        }
        startup.lpDesktop = const_cast<wchar_t*>(c.desktop);
        PROCESS_INFORMATION run = {};
        ASSERT_TRUE(CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE,
                                   c.flags | CREATE_SUSPENDED, nullptr, nullptr, &startup, &run));
        if (c.console == kOwn) {
            TypeKeys(input, L"\r");
        }
        if (c.console == kOwn || c.console == kOwnOutputToFile) {
            FreeConsole();
        }
        ResumeThread(run.hThread);
        if (c.key != L'\0') {
            EXPECT_TRUE(WaitUntil([&] { return Has(ConsoleText(console), prompt); }, 10000));
            EXPECT_EQ(WaitForSingleObject(run.hProcess, 500), static_cast<DWORD>(WAIT_TIMEOUT));
            TypeKeys(input, std::wstring(1, c.key));
        } else if (c.waits) {
            EXPECT_EQ(WaitForSingleObject(run.hProcess, 3000), static_cast<DWORD>(WAIT_TIMEOUT));
            TerminateProcess(run.hProcess, 3);
        }
        EXPECT_EQ(WaitForExit(run, 10000), 3u);
        if (c.console != kNew) {
            EXPECT_EQ(Has(ConsoleText(console), prompt), c.waits);
        }
        CloseHandle(out == console ? nullptr : out);
        CloseHandle(console);
        CloseHandle(input);
        if (c.console == kOwn || c.console == kOwnOutputToFile) {
            AllocConsole();
        }
    }
    CloseDesktop(desktop);
    CloseWindowStation(station);
}

// A tmux server of the test's own, whose one pane shows, as a terminal does, what is written to
// a file in its folder; it ends with the holder. Wine starts programs of the Linux host from
// their Unix paths, but gives no handle to wait on: a command says it is done with a file.
struct Terminal {
    explicit Terminal(COORD size) {
        folder = L"/tmp/hvterm-" + std::to_wstring(GetCurrentProcessId());
        windowsFolder = L"Z:" + folder + L"/";
        CreateDirectoryW(windowsFolder.c_str(), nullptr);
        HANDLE conf = CreateInheritable(windowsFolder + L"conf");
        WriteFile(conf, "set -g status off\n", 18, nullptr, nullptr);
        CloseHandle(conf);
        output = CreateInheritable(windowsFolder + L"out");
        tmux = L"/usr/bin/tmux -u -S " + folder + L"/socket -f " + folder + L"/conf ";
        Run(tmux + L"new-session -d -x " + std::to_wstring(size.X) + L" -y " +
            std::to_wstring(size.Y) + L" 'sleep 600'");
        tty = Lines(Run(tmux + L"display -p '#{pane_tty}'")).front();
    }
    ~Terminal() {
        CloseHandle(output);
        Run(tmux + L"kill-server; rm -r " + folder);
        DeleteFileW((L"Z:" + folder + L".done").c_str());
        DeleteFileW((L"Z:" + folder + L".printed").c_str());
    }
    // Runs a shell command on the host; what it printed.
    std::wstring Run(const std::wstring& command) {
        const std::wstring done = L"Z:" + folder + L".done";
        DeleteFileW(done.c_str());
        std::wstring line = L"/bin/sh -c \"(" + command + L") > " + folder +
                            L".printed 2>&1; touch " + folder + L".done\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        EXPECT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &startup, &info));
        EXPECT_TRUE(WaitUntil(
            [&] { return GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000))
            << "no end of " << command;
        return ReadUtf8(L"Z:" + folder + L".printed");
    }
    // Hands the pane what was written since the last time.
    void Feed() {
        const DWORD size = GetFileSize(output, nullptr);
        Run(L"tail -c +" + std::to_wstring(fed + 1) + L" " + folder + L"/out > " + tty);
        fed = size;
    }
    // The pane's rows once all but the first are the expected ones, or after a while whatever
    // they are: the caller compares them, so a wait that ends unmet shows there as a difference.
    std::vector<std::wstring> Rows(const std::vector<std::wstring>& expected) {
        std::vector<std::wstring> rows;
        // Only the wait matters here: the caller compares the rows returned.
        WaitUntil(
            [&] {
                rows = Lines(Capture(L""));
                return !rows.empty() &&
                       std::vector<std::wstring>(rows.begin() + 1, rows.end()) == expected;
            },
            3000);
        return rows;
    }
    std::wstring Capture(const std::wstring& options) {
        return Run(tmux + L"capture-pane -p " + options);
    }
    std::wstring folder;
    std::wstring windowsFolder;
    std::wstring tmux;
    std::wstring tty;
    HANDLE output;
    DWORD fed = 0;
};

// Rows of width characters, as an ASCII line fills them.
std::vector<std::wstring> RowsOf(const std::wstring& line, size_t width) {
    std::vector<std::wstring> rows;
    for (size_t start = 0; start == 0 || start < line.size(); start += width) {
        rows.push_back(line.substr(start, width));
    }
    return rows;
}

std::vector<std::wstring> Joined(std::vector<std::vector<std::wstring>> parts) {
    std::vector<std::wstring> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// In Windows Terminal a watch writes virtual terminal sequences alone; tmux, a real terminal
// emulator, is fed the very bytes, and the watch is given the window's size as it would read it.
// The window is as wide as the verdict, and a resize makes it too small for the listing. The
// user's prompt left a colour set, and the device's name holds sequences, a C1 one among them.
TEST(SessionsTerminal, DrawsOnTheAlternateScreenAndGivesTheUsersScreenBack) {
    SetEnvironmentVariableW(L"WT_SESSION", L"hushvane-test"); // cells counted as there
    const std::wstring verdict =
        L"player.exe is running and has 1 session on this device; it is loud now.";
    const SHORT width = static_cast<SHORT>(verdict.size());
    Terminal terminal({width, 14});
    COORD window = {width, 14};
    const char user[] = "\x1b[1;31mred \xF0\xA0\xAE\xB7 row\x1b[0m\r\n\x1b[38;2;255;128;0m"
                        "\xF0\x9F\x98\x80 truecolour\x1b[0m\r\nPS C:\\> watch\r\n\x1b[44m";
    WriteFile(terminal.output, user, sizeof(user) - 1, nullptr, nullptr);
    terminal.Feed();
    ASSERT_TRUE(WaitUntil([&] { return Has(terminal.Capture(L""), L"PS C:\\> watch"); }, 3000))
        << terminal.Capture(L"");
    const std::vector<std::wstring> userRows = Lines(terminal.Capture(L"-e -S -"));

    // Row ends as Windows Terminal counts cells: the rocket (wide, supplementary) and the
    // thermometer (narrow: text presentation) end rows at the last column; Cyrillic and accented
    // letters take one cell; a wide character that one cell cannot hold starts the next row.
    const Started rocket(L"C:\\hvtest\\rocke\U0001F680\\\u0416\u00E9" + std::wstring(59, L'x') +
                         L"\\a\U0001F680b.exe");
    const Started thermometer(L"C:\\hvtest\\ther\U0001F321ab\\" + std::wstring(69, L'y') +
                              L"\u4E2D\\t.exe");
    const Started shortest(L"C:\\s.exe"); // the one row short enough for the smallest window

    FakeEndpoint endpoint;
    endpoint.friendlyName = L"Fake Speakers\x1b[2J\x9b"
                            L"41m (Hushvane tests)";
    endpoint.id = L"{0.0.0.00000000}.{hushvane-fake}";
    endpoint.AddSession(L"player", PoolProcess(kPlayer).id).peak = 0.5f;
    endpoint.AddSession(L"guarded", PoolProcess(kDenied).id);
    endpoint.AddSession(L"guarded", PoolProcess(kDenied).id);
    static Writer out;
    static TerminalScreen screen;
    static Listing listing;
    static Frame frame;
    out.handle = terminal.output;
    ASSERT_TRUE(OpenTerminalScreen(&out, 0, window, &screen));
    auto draw = [&] {
        ReadWatchListing(L"player.exe", &endpoint, window.Y, true, &listing);
        EXPECT_TRUE(DrawTerminalScreen(&screen, listing, window, &frame));
        terminal.Feed();
    };
    auto close = [&] {
        CloseTerminalScreen(&screen, window);
        WriteFrame(terminal.output, frame);
    };
    auto session = [](DWORD id, const wchar_t* columns, const std::wstring& rest) {
        const std::wstring pid = std::to_wstring(id);
        return std::wstring(7 - pid.size(), L' ') + pid + columns + rest;
    };
    const std::wstring player =
        session(PoolProcess(kPlayer).id, L"  audible  0.5       loud    player.exe        ",
                PoolProcess(kPlayer).imagePath + L"   target");
    const std::wstring top[] = {L"Default playback device: Fake Speakers\uFFFD[2J\uFFFD"
                                L"41m (Hushvane tests)",
                                kNoHushvane, kHeader};
    const wchar_t silent[] = L"  audible  0         silent  ";
    const std::wstring guarded = session(PoolProcess(kDenied).id, silent,
                                         L"guarded.exe       " + std::wstring(kDeniedReason));
    const std::vector<std::wstring> first = Joined({{top[0], top[1], top[2]},
                                                    RowsOf(player, width),
                                                    RowsOf(guarded, width),
                                                    RowsOf(guarded, width),
                                                    {verdict, L""}});
    draw();
    std::vector<std::wstring> rows = terminal.Rows(first);
    ASSERT_EQ(rows.size(), 14u);
    EXPECT_EQ(WithoutTimeStamp(rows[0] + L"  "), L" (every second; Ctrl+C ends)  ");
    EXPECT_EQ(std::vector<std::wstring>(rows.begin() + 1, rows.end()), first);
    // Neither the user's colour nor the name's sequences reach the watch's screen.
    const std::wstring coloured = terminal.Capture(L"-e");
    EXPECT_FALSE(Has(coloured, L"\x1b[")) << coloured;

    // Shorter, its rows over the longer rows before.
    endpoint.Session(1).processId = rocket.id;
    endpoint.Session(2).processId = thermometer.id;
    endpoint.AddSession(L"shortest", shortest.id);
    draw();
    const std::vector<std::wstring> second = Joined(
        {{top[0], top[1], top[2]},
         RowsOf(player, width),
         {session(rocket.id, silent, L"a\U0001F680b.exe          C:\\hvtest\\rocke\U0001F680"),
          L"\\\u0416\u00E9" + std::wstring(59, L'x') + L"\\a\U0001F680b.exe",
          session(thermometer.id, silent, L"t.exe             C:\\hvtest\\ther\U0001F321ab"),
          L"\\" + std::wstring(69, L'y'), L"\u4E2D\\t.exe",
          session(shortest.id, silent, L"s.exe             C:\\s.exe"), verdict, L""}});
    rows = terminal.Rows(second);
    EXPECT_EQ(std::vector<std::wstring>(rows.begin() + 1, rows.end()), second);

    // The window grows narrower and too short: the next drawing reads its size afresh and fits a
    // listing to it. The one row left would hold the last session, but the sessions before it do
    // not fit: no session is shown out of turn.
    terminal.Run(terminal.tmux + L"resize-window -x 64 -y 9");
    window = {64, 9};
    draw();
    const std::vector<std::wstring> fitted =
        Joined({{top[0], top[1], top[2]},
                RowsOf(verdict, 64),
                {L"", L"", L"(4 more sessions: enlarge the window, or redirect to a file)"}});
    rows = terminal.Rows(fitted);
    EXPECT_EQ(std::vector<std::wstring>(rows.begin() + 1, rows.end()), fitted);
    EXPECT_EQ(terminal.Run(terminal.tmux + L"display -p '#{alternate_on}#{cursor_flag}'"), L"10\n");

    close();
    terminal.Feed();
    ASSERT_TRUE(WaitUntil([&] { return Has(terminal.Capture(L""), L"(4 more sessions"); }, 3000));
    // The user's rows as they were, colours and characters included, then, as the width changed
    // and the terminal may have reflowed them, the last listing from below the screen's last row;
    // nothing else of the watch in the scrollback.
    std::vector<std::wstring> after = Lines(terminal.Capture(L"-S -"));
    after.at(9) = WithoutTimeStamp(after.at(9) + L"  ");
    EXPECT_EQ(after, Joined({{L"red \U00020BB7 row", L"\U0001F600 truecolour", L"PS C:\\> watch"},
                             std::vector<std::wstring>(6),
                             {L" (every second; Ctrl+C ends)  "},
                             std::vector<std::wstring>(fitted.begin(), fitted.begin() + 5),
                             {fitted.back(), L""}}));
    // The user's colours: their rows as they were, and the colour their prompt left for what
    // follows, the last listing.
    const std::vector<std::wstring> colouredRows = Lines(terminal.Capture(L"-e -S -"));
    EXPECT_EQ(std::vector<std::wstring>(colouredRows.begin(), colouredRows.begin() + 3),
              std::vector<std::wstring>(userRows.begin(), userRows.begin() + 3));
    EXPECT_TRUE(Has(colouredRows.at(9), L"\x1b[44m")) << colouredRows.at(9);
    EXPECT_EQ(terminal.Run(terminal.tmux + L"display -p '#{alternate_on}#{cursor_flag}'"), L"01\n");
    // Each row was erased before it was written, or with every row below it.
    const std::wstring written = ReadUtf8(terminal.windowsFolder + L"out");
    EXPECT_TRUE(Has(written, L"\x1b[?1049l\x1b[9999;1H\n")) << "not below the reflowed rows";
    for (size_t at = written.find(L";1H"); at != std::wstring::npos;
         at = written.find(L";1H", at + 1)) {
        const std::wstring next = written.substr(at + 3, 4);
        EXPECT_TRUE(next == L"\x1b[2K" || next.substr(0, 3) == L"\x1b[J" || next[0] == L'\n')
            << "a row not erased first, at " << at;
    }

    // A watch that crashes gives the terminal back: the main screen, the cursor, the wrap. Behind
    // a terminal that is not Windows Terminal, the console may give every code point a cell, a
    // mark too: the device's name then takes two rows of the 64, where there it takes one.
    SetEnvironmentVariableW(L"WT_SESSION", nullptr);
    std::wstring accents;
    for (int i = 0; i < 20; ++i) {
        accents += L"e\u0301";
    }
    endpoint.friendlyName = L"Fake Speaker " + accents;
    ASSERT_TRUE(OpenTerminalScreen(&out, 0, window, &screen));
    draw();
    EXPECT_TRUE(Has(ReadUtf8(terminal.windowsFolder + L"out"),
                    L"Default playback device: Fake Speaker " + accents.substr(0, 26) +
                        L"\x1b[3;1H\x1b[2K" + accents.substr(26) + L"\x1b["));
    ASSERT_EQ(terminal.Run(terminal.tmux + L"display -p '#{alternate_on}#{cursor_flag}'"), L"10\n");
    LPTOP_LEVEL_EXCEPTION_FILTER filter = SetUnhandledExceptionFilter(nullptr);
    SetUnhandledExceptionFilter(filter);
    EXCEPTION_RECORD record = {0xE0000001u, 0, nullptr, nullptr, 0, {}};
    EXCEPTION_POINTERS crash = {&record, nullptr};
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(filter(&crash), EXCEPTION_CONTINUE_SEARCH);
    terminal.Feed();
    EXPECT_EQ(
        terminal.Run(terminal.tmux + L"display -p '#{alternate_on}#{cursor_flag}#{wrap_flag}'"),
        L"011\n");
    // Wider: the terminal only unwraps the user's rows, and the last listing follows them.
    terminal.Run(terminal.tmux + L"resize-window -x 80 -y 9");
    window = {80, 9};
    close();
    EXPECT_FALSE(
        Has(ReadUtf8(terminal.windowsFolder + L"out").substr(written.size()), L"\x1b[9999;1H"))
        << "below the user's rows, with the window wider";
}

// A pseudo console's own window says nothing of whether anyone sees it: a terminal that shows
// the console owns it, and one that nobody displays has no owner. Wine's console window is of
// another class, so the windows here stand in for both kinds; conhost makes its pseudo window a
// pop-up, without which GA_ROOTOWNER would not reach the owner (microsoft/terminal#13066).
TEST(SessionsConsoleWindow, CountsAsShownOnlyWhatSomeoneSees) {
    WNDCLASSW pseudo = {};
    pseudo.lpfnWndProc = DefWindowProcW;
    pseudo.lpszClassName = L"PseudoConsoleWindow";
    ASSERT_NE(RegisterClassW(&pseudo), 0);
    struct Case {
        const char* name;
        const wchar_t* windowClass;
        DWORD style;
        int owner; // 0 none, 1 a hidden window, 2 a visible one
        bool shown;
    };
    const Case cases[] = {
        {"pseudo console, no owner", L"PseudoConsoleWindow", WS_POPUP | WS_VISIBLE, 0, false},
        {"pseudo console, hidden owner", L"PseudoConsoleWindow", WS_POPUP | WS_VISIBLE, 1, false},
        {"pseudo console, shown owner", L"PseudoConsoleWindow", WS_POPUP, 2, true},
        {"classic console, shown", L"Static", WS_VISIBLE, 0, true},
        {"classic console, hidden", L"Static", 0, 2, false},
    };
    HWND owners[] = {
        nullptr, CreateWindowW(L"Static", L"", 0, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr),
        CreateWindowW(L"Static", L"", WS_VISIBLE, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr)};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND window = CreateWindowW(c.windowClass, L"", c.style, 0, 0, 9, 9, owners[c.owner],
                                    nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(IsConsoleWindowShown(window), c.shown);
        DestroyWindow(window);
    }
    DestroyWindow(owners[1]);
    DestroyWindow(owners[2]);
}

// Cells as Windows Terminal 1.23 and later counts them (grapheme clusters of Unicode 16.0, a
// cluster taking the sum of its code points' cells, at most two), and as older consoles behind
// other terminals count them, every code point a cell at least. tmux counts neither way.
TEST(SessionsTexts, CountCellsAsWindowsTerminalDoes) {
    struct Case {
        const wchar_t* text;
        int terminal;
        int codePoints;
    };
    const Case cases[] = {
        {L"\u0B95\u0BBE", 2, 2},                               // Tamil: a spacing mark that extends
        {L"\uFF7D\uFF8B\uFF9F\uFF70\uFF76\uFF70", 6, 6},       // halfwidth katakana, a voiced mark
        {L"\u2630\u4DC0\U0001D300", 6, 6},                     // wide since Unicode 16.0
        {L"\u0938\u094D\u092A\u0940\u0915\u0930", 4, 6},       // a Devanagari conjunct
        {L"\U0001F468\u200D\U0001F469\u200D\U0001F467", 2, 8}, // a family
        {L"\U0001F1FA\U0001F1F8\U0001F1E6", 3, 3},             // a flag, and an indicator alone
        {L"1\uFE0F\u20E3", 2, 3},                              // a keycap
        {L"\U0001F44D\U0001F3FD", 2, 4},                       // a skin tone
        {L"\u2764\uFE0F", 2, 2},
        {L"\u2764", 1, 1},
        {L"e\u0301", 1, 2},
        {L"\u4E2D\uFE0F", 2, 3},
        {L"\u1100\u1161\u11A8", 2, 4},
        {L"\uAC00\u11A8\uAC01", 4, 5},                       // LV and T; LVT alone
        {L"\u200B\u0301\u200D", 1, 3},                       // a character of no width takes a cell
        {L"\uFE0F", 2, 1},                                   // VS16 where a character starts
        {L"\U0001BCA4\U0001DAB0\U000E0080\U000E01F0", 4, 4}, // unassigned: a cell each
        {L"\U00018D09\U0001B2FC", 2, 2},
        {L"\u2500\u00A7\xD800", 3, 3}, // box drawing, ambiguous, lone half
    };
    for (const Case& c : cases) {
        const int length = lstrlenW(c.text);
        EXPECT_EQ(CellsOf(c.text, length), c.terminal) << c.text[0];
        int cells = 0;
        RowEnd(c.text, length, 0, 100, kCodePointCells, &cells);
        EXPECT_EQ(cells, c.codePoints) << c.text[0];
    }
}

// A device's name is kept whole up to 255 characters, and a longer one is cut after a whole
// character, with an ellipsis: never between the two halves of an emoji.
TEST(SessionsTexts, CutLongNamesAfterAWholeCharacter) {
    const std::wstring rocket = L"\U0001F680";
    const std::pair<std::wstring, std::wstring> cases[] = {
        {std::wstring(253, L'n') + rocket, std::wstring(253, L'n') + rocket},
        {std::wstring(254, L'n') + rocket, std::wstring(254, L'n') + L"\u2026"},
        {std::wstring(253, L'n') + rocket + L"n", std::wstring(253, L'n') + L"\u2026"},
        {std::wstring(600, L'n') + rocket, std::wstring(254, L'n') + L"\u2026"},
    };
    static Listing listing;
    for (const auto& [name, shown] : cases) {
        FakeEndpoint endpoint;
        endpoint.friendlyName = name;
        endpoint.id = L"{0.0.0.00000000}.{hushvane-fake}";
        StartListing(&listing, kEverySession);
        ListSessions(nullptr, &endpoint, &listing);
        ASSERT_GT(listing.count, 0);
        EXPECT_EQ(std::wstring(listing.lines[0].text, listing.lines[0].length),
                  L"Default playback device: " + shown);
    }
}

// Every Chinese display language gets the Chinese texts; any other language the English ones.
TEST(SessionsTexts, FollowTheDisplayLanguage) {
    const std::pair<LANGID, const Texts*> cases[] = {
        {MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), &kChineseTexts},
        {MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL), &kChineseTexts},
        {MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), &kEnglishTexts},
        {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), &kEnglishTexts},
    };
    for (const auto& [language, texts] : cases) {
        EXPECT_EQ(TextsFor(language), texts) << std::hex << language;
    }
}

// What a window too small leaves out is named by its kind: the lines that are not sessions' are
// kept first, as far as they fit, then as many sessions as fit after them.
TEST(SessionsTexts, SayWhatAWindowLeavesOut) {
    struct Case {
        SHORT height;
        const wchar_t* english;
        const wchar_t* chinese;
    };
    const Case cases[] = {
        // Every session fits, but not the verdict of three rows.
        {4, L"(1 more line: enlarge the window, or redirect to a file)",
         L"（还有 1 行未显示：请调大窗口，或将输出重定向到文件）"},
        {2, L"(2 more sessions and 1 more line: enlarge the window, or redirect to a file)",
         L"（还有 2 个会话和 1 行未显示：请调大窗口，或将输出重定向到文件）"},
    };
    static Listing listing;
    static Frame frame;
    StartListing(&listing, kEverySession);
    AddLine(&listing, kHeadingLine, "heading");
    AddLine(&listing, kSessionLine, "session 1");
    AddLine(&listing, kSessionLine, "session 2");
    AddLine(&listing, kVerdictLine, "%s", std::wstring(200, L'v').c_str());
    for (const Texts* texts : {&kEnglishTexts, &kChineseTexts}) {
        g_texts = texts;
        for (const Case& c : cases) {
            FitListing(listing, {80, c.height}, kTerminalCells, &frame);
            const ShownLine& more = frame.lines[frame.count - 1];
            EXPECT_EQ(std::wstring(more.text, more.length),
                      texts == &kEnglishTexts ? c.english : c.chinese);
        }
    }
    g_texts = &kEnglishTexts;
}

// The conversions of a format, in order.
std::string Conversions(const char* format) {
    std::string found;
    for (const char* at = strchr(format, '%'); at != nullptr; at = strchr(at + 1, '%')) {
        found += std::string(at, strcspn(at, "sduX") + 1) + " ";
    }
    return found;
}

// A text that a table leaves out would be said in English; one that takes other arguments than
// the English one would print what was meant for another conversion.
TEST(SessionsTexts, ChineseHasEveryTextWithItsArguments) {
    const char* const* chinese = reinterpret_cast<const char* const*>(&kChineseTexts);
    const char* const* english = reinterpret_cast<const char* const*>(&kEnglishTexts);
    for (size_t i = 0; i < sizeof(Texts) / sizeof(const char*); ++i) {
        ASSERT_NE(chinese[i], nullptr) << "text " << i;
        EXPECT_EQ(Conversions(chinese[i]), Conversions(english[i])) << "text " << i;
    }
}

// Wine's own device enumerator lists PulseAudio's two null sinks beside its default device, in
// an order of its own. Wine 8 cannot list any device's sessions (GetSessionEnumerator is not
// implemented) and names the default device "PulseAudio"; Wine 10 lists only the caller's own
// sessions, so none here. Either way each device is named once, with what was read of it.
TEST(SessionsWithAudioServer, NamesEveryPlaybackDevice) {
    Ended run = RunCompanion(L"");
    const bool listed = !Has(run.out, L"GetSessionEnumerator failed");
    const std::wstring sessions =
        listed
            ? L"         (no sessions)\n"
            : L"Cannot read the device's sessions: GetSessionEnumerator failed with 0x80004001.\n";
    const std::wstring other = L"Other playback device: ";
    std::vector<std::wstring> others; // each other device's heading and sessions
    for (size_t at = run.out.find(other); at != std::wstring::npos;) {
        size_t next = run.out.find(L"\n" + other, at);
        others.push_back(run.out.substr(at, next == std::wstring::npos ? next : next + 1 - at));
        at = next == std::wstring::npos ? next : next + 1;
    }
    std::sort(others.begin(), others.end());
    EXPECT_EQ(run.out.substr(0, run.out.find(other)),
              (listed ? L"Default playback device: PulseAudio Output\n"
                      : L"Default playback device: PulseAudio\n" + sessions +
                            L"The session manager is not available: listing sessions needs "
                            L"Windows 7 or later.\n") +
                  L"Hushvane.exe is not running: nothing is muted or unmuted now.\n"
                  L"    PID  mute     peak      sound   executable        path\n" +
                  (listed ? sessions : L""));
    EXPECT_EQ(others, (std::vector<std::wstring>{
                          other + L"Headset; Hushvane does not watch it\n" + sessions,
                          other + L"Speakers; Hushvane does not watch it\n" + sessions}));
    EXPECT_EQ(run.exitCode, listed ? 0u : 1u);
    Ended unmute = RunCompanion(L"--unmute-all");
    EXPECT_EQ(unmute.exitCode, listed ? 0u : 1u);
    EXPECT_EQ(Lines(unmute.out).back(),
              listed ? L"0 sessions unmuted; none is left muted."
                     : L"0 sessions unmuted; the sessions of 3 devices could not be read.");
}

// No fake endpoint here: Wine without an audio server has no playback device.
TEST(SessionsCommandLine, UsageAndItsErrors) {
    struct Case {
        std::wstring arguments;
        DWORD exitCode;
        std::wstring error; // the first line on standard error; empty: none
        std::wstring chineseError = L"";
    };
    const Case cases[] = {
        {L"--help", 0, L""},
        {L"-h", 0, L""},
        {L"/?", 0, L""},
        {L"player.exe --help", 0, L""},
        {L"-x", 2, L"Unknown option: -x", L"未知选项：-x"},
        {L"/watch player.exe", 2, L"Unknown option: /watch", L"未知选项：/watch"},
        // Cut, so that the line's own words and its end stay.
        {L"-" + std::wstring(3000, L'x'), 2,
         L"Unknown option: -" + std::wstring(2027, L'x') + L"\u2026",
         L"未知选项：-" + std::wstring(2038, L'x') + L"\u2026"},
        {L"播放器.exe chat.exe", 2,
         L"Only one target can be given, not both 播放器.exe and chat.exe.",
         L"只能指定一个目标，不能同时指定 播放器.exe 和 chat.exe。"},
        {L"--unmute-all player.exe", 2,
         L"--unmute-all takes no target and does not go with --watch.",
         L"--unmute-all 不接受目标，也不能与 --watch 一起使用。"},
        {L"player.exe --unmute-all", 2,
         L"--unmute-all takes no target and does not go with --watch.",
         L"--unmute-all 不接受目标，也不能与 --watch 一起使用。"},
        {L"--watch --unmute-all", 2, L"--unmute-all takes no target and does not go with --watch.",
         L"--unmute-all 不接受目标，也不能与 --watch 一起使用。"},
        {L"\"my player.exe\"", 1, L""},
        {L"--unmute-all", 1, L""},
    };
    const std::wstring usageStart = Tr(L"Shows the audio sessions of every playback device",
                                       L"列出所有播放设备上的音频会话（与 Hushvane.exe 所见一致）");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        Ended run = RunCompanion(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode);
        std::wstring usageIn = c.exitCode == 2 ? run.err : run.out;
        EXPECT_EQ(Has(usageIn, usageStart), c.exitCode != 1) << run.out << run.err;
        EXPECT_EQ(Lines(run.err).empty() ? L"" : Lines(run.err).front(),
                  Tr(c.error, c.chineseError));
        if (c.exitCode == 1) {
            EXPECT_EQ(run.out, Tr(L"Cannot read the default playback device: "
                                  L"GetDefaultAudioEndpoint failed with 0x80070490.\n",
                                  L"无法读取默认播放设备：GetDefaultAudioEndpoint 失败，错误 "
                                  L"0x80070490。\n"));
        }
    }
}

} // namespace
