// End-to-end tests of the built HushvaneSessions.exe: real Wine processes, its output
// redirected to files (or on a console), the fake endpoint served as a COM server.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <thread>

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

const std::wstring kSpeakers =
    Tr(L"Default playback device: ", L"默认播放设备：") + L"Fake Speakers (Hushvane tests)";
const wchar_t kNoHushvane[] = L"Hushvane.exe is not running: nothing is muted or unmuted now.";
const wchar_t kHeader[] = L"    PID  mute     peak      sound   executable        path";
const wchar_t kHeadset[] = L"Fake Headset (Hushvane tests)";
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

// One session of the scripted endpoint.
struct SessionRow {
    DWORD processId;
    float peak;
    BOOL muted = FALSE;
    unsigned faults = 0;
    BOOL systemSounds = FALSE;
    LONG device = 0; // 0 the default device; n the script's other device n
    BOOL expired = FALSE;
};

// Beside the default: 1 a headset, Windows' default for communications; 2 a disabled device; 3
// a USB device.
void ScriptOtherDevices(FakeScript* script) {
    const wchar_t* const names[] = {kHeadset, L"Fake Disabled (Hushvane tests)",
                                    L"Fake USB (Hushvane tests)"};
    const DWORD states[] = {DEVICE_STATE_ACTIVE, DEVICE_STATE_DISABLED, DEVICE_STATE_ACTIVE};
    script->otherDeviceCount = 3;
    for (int i = 0; i < 3; ++i) {
        wcscpy(script->otherDevices[i].name, names[i]);
        swprintf(script->otherDevices[i].id, 64, L"{0.0.0.00000000}.{hushvane-fake-%d}", i + 1);
        script->otherDevices[i].state = states[i];
        script->otherDevices[i].faults = 0;
    }
    script->communicationsDevice = 1;
}

class SessionsWithFakeEndpoint : public FakeScriptTest {
  protected:
    // The plain device with these sessions, and nothing left of what the server reported of the
    // last run.
    void Script(const std::vector<SessionRow>& rows) {
        wcscpy(script_->deviceName, L"Fake Speakers (Hushvane tests)");
        wcscpy(script_->deviceId, L"{0.0.0.00000000}.{hushvane-fake}");
        script_->endpointFaults = 0;
        script_->otherDeviceCount = 0;
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

// A test process that ends with the holder, however the test ends: one left running would hold
// the test's output open.
struct Started : TestProcess {
    explicit Started(const std::wstring& path) { EXPECT_TRUE(StartTestProcess(path, false, this)); }
    ~Started() { StopTestProcess(this); }
};

void WriteUtf8(const std::wstring& path, const std::wstring& text) {
    std::string bytes(text.size() * 3, '\0');
    bytes.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     &bytes[0], static_cast<int>(bytes.size()), nullptr, nullptr));
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        << "cannot write " << path;
    CloseHandle(file);
}

// A process id, as a whole number in the text, marked by what the process is. In a column,
// where spaces pad it to the right, the mark keeps the column's width.
std::wstring Marked(std::wstring text, DWORD id, const std::wstring& mark) {
    const std::wstring number = std::to_wstring(id);
    for (size_t at = text.find(number); at != std::wstring::npos; at = text.find(number, at)) {
        size_t end = at + number.size();
        if ((at > 0 && iswdigit(text[at - 1])) || (end < text.size() && iswdigit(text[end]))) {
            at = end;
            continue;
        }
        size_t start = at;
        while (start > 0 && text[start - 1] == L' ') {
            --start;
        }
        start = at - start >= 2 ? start : at;
        const size_t width = std::max(end - start, mark.size());
        text.replace(start, end - start, std::wstring(width - mark.size(), L' ') + mark);
        at = start + width;
    }
    return text;
}

// What the user sees is in a file of its own for each scenario and language, beside the tests,
// with what varies from run to run marked: the local time and the ids of the test processes. With
// HUSHVANE_WRITE_EXPECTED set, the test rewrites the file instead, for an intended change of
// output: read its diff before committing it.
void ExpectSeen(const char* scenario, std::wstring seen,
                std::vector<std::pair<DWORD, std::wstring>> marks = {}) {
    const wchar_t* const roles[] = {L"#player", L"#Player", L"#cn", L"#chat", L"#denied"};
    for (int role = 0; role < kPoolRoleCount; ++role) {
        marks.push_back({PoolProcess(static_cast<PoolRole>(role)).id, roles[role]});
    }
    for (size_t at = 0; at + 21 <= seen.size(); ++at) {
        if (WithoutTimeStamp(seen.substr(at, 21)).empty()) {
            seen.replace(at, 19, L"YYYY-MM-DD hh:mm:ss");
        }
    }
    for (const auto& [id, mark] : marks) {
        seen = Marked(seen, id, mark);
    }
    std::wstring path = std::wstring(HUSHVANE_TESTS_DIR) + Tr(L"/expected/en/", L"/expected/zh/");
    for (const char* at = scenario; *at != '\0'; ++at) {
        path += *at == ' ' ? L"-" : *at == '\'' ? L"" : std::wstring(1, *at);
    }
    path += L".txt";
    if (GetEnvironmentVariableW(L"HUSHVANE_WRITE_EXPECTED", nullptr, 0) > 0) {
        WriteUtf8(path, seen);
        return;
    }
    EXPECT_EQ(seen, ReadUtf8(path)) << "what the user sees, and what " << path << " expects";
}

// A run: its exit status, standard output and standard error.
void ExpectRun(const char* scenario, const Ended& run,
               const std::vector<std::pair<DWORD, std::wstring>>& marks = {}) {
    ExpectSeen(scenario,
               L"exit status " + std::to_wstring(run.exitCode) + L"\n--- standard output\n" +
                   run.out + L"\n--- standard error\n" + run.err,
               marks);
}

// Every session row, every verdict on a target and every device's heading that a user may meet,
// each run whole, in English and, for texts that are not in any other, in Chinese.
TEST_F(SessionsWithFakeEndpoint, ShowsWhatTheUserExpectsInEveryScenario) {
    struct Scenario {
        const char* name; // of its expected file
        std::wstring arguments;
        std::vector<SessionRow> sessions;
        std::function<void(FakeScript*)> script = nullptr; // devices and their faults
        bool inChinese = false;                            // also run in Chinese
    };
    const DWORD player = PoolProcess(kPlayer).id;
    const DWORD chat = PoolProcess(kChat).id;
    const DWORD denied = PoolProcess(kDenied).id;
    const SessionRow chinese = {PoolProcess(kChinese).id, 0.0f};
    const float nearest = 1e-6f; // just below 1e-6 as a float: silent
    auto device = [](unsigned faults, const wchar_t* name = L"Fake Speakers (Hushvane tests)") {
        return [=](FakeScript* script) {
            script->endpointFaults = faults;
            wcscpy(script->deviceName, name);
        };
    };
    auto others = [](unsigned faults, std::function<void(FakeScript*)> change = nullptr) {
        return [=](FakeScript* script) {
            script->endpointFaults = faults;
            ScriptOtherDevices(script);
            if (change) {
                change(script);
            }
        };
    };
    // A target whose name refused sessions have in another letter case: not its sessions.
    const Started guardedInOtherCase(L"C:\\hvtest\\Other\\Guarded.exe");
    // Names that start with a character of no width, which joins the space before it.
    const Started mark(L"C:\\hvtest\\marks\\\u0301m.exe"), space(L"C:\\hvtest\\marks\\\u200Bs.exe");
    const Scenario scenarios[] = {
        {"every kind of session",
         L"player.exe",
         {{player, 0.25f},
          {chat, 0.0f, TRUE},
          {PoolProcess(kPlayerOtherCase).id, nearest},
          {chat, std::nextafter(nearest, 1.0f)},
          {chat, NAN},
          chinese,
          {denied, 0.5f},
          {kNoSuchProcessId, 0.0f},
          {0, 0.0f, FALSE, 0, TRUE},
          {chat, 0.0f, FALSE, kFailGetMute},
          {chat, 0.0f, FALSE, kFailGetSession},
          {player, 0.5f, FALSE, kFailGetPeakValue},
          {chat, 0.0f, FALSE, kFailGetProcessId},
          {chat, 0.0f, FALSE, 0, TRUE},
          {player, 0.0f, FALSE, 0, FALSE, 0, TRUE}, // counted as the target's all the same
          {chat, 0.0f, FALSE, kFailGetState},
          {chat, 0.0f, FALSE, kSpansProcesses}, // GetProcessId's success code
          {chat, 0.0f, FALSE, kFailQueryMeter},
          {player, 0.0f, FALSE, 0, TRUE},
          {mark.id, 0.0f},
          {space.id, 0.0f}},
         nullptr,
         true},
        {"target in another letter case", L"PLAYER.EXE", {}, nullptr, true},
        // Longer than any line formatted in a buffer of its own: whole, the words after it too.
        {"target longer than a line", std::wstring(3000, L'x') + L".exe", {}},
        {"target with its folder", L"C:\\hvtest\\apps\\player.exe", {}, nullptr, true},
        {"target without exe", L"player", {}, nullptr, true},
        {"target quoted", L"\"my player.exe\"", {}},
        {"target without a session", L"chat.exe", {chinese}},
        {"target refused twice", L"guarded.exe", {{denied, 0.5f}, {denied, 0.5f}}, nullptr, true},
        {"target refused once", L"guarded.exe", {{denied, 0.5f}}},
        {"target refused in another letter case", L"Guarded.exe", {{denied, 0.5f}}, nullptr, true},
        {"target session in another letter case",
         L"player.exe",
         {{PoolProcess(kPlayerOtherCase).id, 0.0f}},
         nullptr,
         true},
        {"target with a Chinese name", L"播放器.exe", {chinese}},
        {"target peak unread", L"player.exe", {{player, 0.5f, FALSE, kFailGetPeakValue}}},
        {"target on another device only",
         L"player.exe",
         {{player, 0.5f, FALSE, 0, FALSE, 1}},
         others(0),
         true},
        {"target also on another device",
         L"player.exe",
         {{player, 0.5f}, {player, 0.0f, FALSE, 0, FALSE, 1}},
         others(0),
         true},
        {"device without a name", L"", {}, device(0, L""), true},
        {"device name store refused", L"", {}, device(kFailOpenPropertyStore)},
        {"device name unread", L"", {}, device(kFailGetValue)},
        {"device without name or id",
         L"",
         {},
         [](FakeScript* script) { script->deviceName[0] = script->deviceId[0] = L'\0'; },
         true},
        {"no default device", L"", {}, device(kFailGetDefaultEndpoint)},
        {"no session manager", L"", {}, device(kNoSessionManager)},
        {"device gone", L"", {}, device(kFailActivate)},
        {"no session list", L"", {}, device(kFailGetSessionEnumerator)},
        {"no session count", L"", {}, device(kFailGetCount)},
        {"no list of the other devices", L"", {}, device(kFailEnumAudioEndpoints)},
        {"no count of the other devices", L"", {}, others(kFailDeviceCount)},
        {"no device from the list", L"", {}, others(kFailDeviceItem)},
        {"another device's sessions unread",
         L"",
         {},
         others(0,
                [](FakeScript* script) {
                    script->otherDevices[2].faults = kFailGetSessionEnumerator;
                })},
        {"a twin of the default device",
         L"",
         {},
         others(0, [](FakeScript* script) { wcscpy(script->deviceName, kHeadset); })},
        {"twins among the other devices",
         L"",
         {},
         others(0, [](FakeScript* script) { wcscpy(script->otherDevices[2].name, kHeadset); })},
        // Each of the default device's sessions once, and nothing taken for another device.
        {"no id for the default device",
         L"",
         {},
         others(0, [](FakeScript* script) { script->deviceId[0] = L'\0'; })},
        {"a default device without an id", L"", {}, others(kNoId)}, // GetId succeeds, no id
        {"no id for another device",
         L"",
         {},
         others(0, [](FakeScript* script) { script->otherDevices[2].id[0] = L'\0'; })},
    };
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.name);
        if (kInChinese && !scenario.inChinese) {
            continue;
        }
        Script(scenario.sessions);
        if (scenario.script) {
            scenario.script(script_);
        }
        ExpectRun(scenario.name, RunCompanion(scenario.arguments),
                  {{guardedInOtherCase.id, L"#Guard"}, {mark.id, L"#mark"}, {space.id, L"#space"}});
        ExpectNoSetMute();
        ExpectEndedCleanly();
    }
}

// Every active device is reached: the headset's muted session is unmuted, the disabled device's
// is left alone.
TEST_F(SessionsWithFakeEndpoint, UnmuteAllCallsSetMuteOnTheMutedSessionsOnly) {
    struct Case {
        const char* name;
        unsigned refusingFaults;  // of the muted chat session
        bool noDefaultId = false; // then the headset's session is left alone
        unsigned endpointFaults = 0;
    };
    const Case cases[] = {
        {"unmute all accepted", 0},
        {"unmute all one refused", kFailSetMute},
        {"unmute all one unreadable", kFailGetMute},
        {"unmute all one unopened", kFailGetSession}, // never checked: it may still be muted
        {"unmute all no id for the default device", 0, true},
        {"unmute all no count of the other devices", 0, false, kFailDeviceCount},
        {"unmute all no device from the list", 0, false, kFailDeviceItem},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<SessionRow> rows = {
            {PoolProcess(kChat).id, 0.0f, TRUE, c.refusingFaults},
            {PoolProcess(kPlayer).id, 0.5f},
            {PoolProcess(kPlayer).id, 0.0f, TRUE},
            {kNoSuchProcessId, 0.0f, TRUE},
            {PoolProcess(kDenied).id, 0.0f},
            {0, 0.0f, TRUE, 0, TRUE},
            {PoolProcess(kChat).id, 0.0f, TRUE, 0, FALSE, 1},
            {PoolProcess(kChat).id, 0.0f, TRUE, 0, FALSE, 2},
        };
        Script(rows);
        ScriptOtherDevices(script_);
        wcscpy(script_->deviceId, c.noDefaultId ? L"" : L"{0.0.0.00000000}.{hushvane-fake}");
        script_->endpointFaults = c.endpointFaults;
        const bool unlisted = c.noDefaultId || c.endpointFaults != 0;
        ExpectRun(c.name, RunCompanion(L"--unmute-all"));
        const bool unread = (c.refusingFaults & (kFailGetMute | kFailGetSession)) != 0;
        const LONG expectedCalls[] = {unread ? 0 : 1, 0, 1, 1, 0, 1, unlisted ? 0 : 1, 0};
        for (size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(script_->setMuteCalls[i], expectedCalls[i]) << "session " << i;
            EXPECT_EQ(script_->muted[i] != FALSE,
                      (i == 0 && c.refusingFaults != 0) || i == 7 || (i == 6 && unlisted))
                << "session " << i;
        }
        ExpectEndedCleanly();
    }
}

// Copies of the test helper stand for Hushvane.exe, found by name in any letter case, named in
// the process list's order, whichever that is, up to eight.
TEST_F(SessionsWithFakeEndpoint, SaysWhetherHushvaneRunsAndAsWhichProcesses) {
    Script({});
    std::vector<std::unique_ptr<Started>> hushvanes;
    std::vector<std::pair<DWORD, std::wstring>> marks;
    for (size_t running : {1, 2, 8, 9}) {
        while (hushvanes.size() < running) {
            const wchar_t* name = hushvanes.size() % 2 == 0 ? L"Hushvane.exe" : L"HUSHVANE.EXE";
            hushvanes.push_back(std::make_unique<Started>(
                L"C:\\hvtest\\hv" + std::to_wstring(hushvanes.size()) + L"\\" + name));
            marks.push_back({hushvanes.back()->id, L"#hv"});
        }
        const std::string name = "hushvane running " + std::to_string(running);
        ExpectRun(name.c_str(), RunCompanion(L""), marks);
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

// The console's rows as a user reads them, from the last place that holds from: each without the
// blanks that end it, and no empty rows after the last. Empty where from is nowhere.
std::wstring RowsSeen(HANDLE console, const std::wstring& from) {
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(console, &info);
    const size_t width = info.dwSize.X;
    std::wstring cells(width * info.dwSize.Y, L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(console, &cells[0], static_cast<DWORD>(cells.size()), {0, 0},
                                &read);
    std::wstring rows;
    for (size_t start = from.empty() ? 0 : cells.rfind(from); start < cells.size();
         start += width - start % width) {
        const std::wstring row = cells.substr(start, width - start % width);
        rows += row.substr(0, row.find_last_not_of(L' ') + 1) + L"\n";
    }
    return rows.substr(0, rows.find_last_not_of(L'\n') + 1) + (rows.empty() ? L"" : L"\n");
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
    // Five sessions, then four: rows the last listing took and the next does not are blanked.
    Script({{PoolProcess(kPlayer).id, 0.0f, FALSE, 0},
            {PoolProcess(kDenied).id, 0.0f, FALSE, 0},
            {PoolProcess(kChat).id, 0.0f, TRUE, 0},
            {PoolProcess(kChat).id, 0.0f, FALSE, 0},
            {PoolProcess(kDenied).id, 0.0f, FALSE, 0}});
    watch_ = StartCompanion(L"--watch player.exe", console, console, input);
    ASSERT_TRUE(
        WaitUntil([&] { return ScreenHas(Tr(L"it is silent now.", L"目前没有声音。")); }, 10000));

    // Shorter, with chat.exe's short second row and the Chinese line's rows where the access
    // denied line's longer rows were, and the Chinese line's second row over chat.exe's first.
    // In a last line a character outside ASCII, two cells here, finds one cell left in its first
    // row: it starts the second, and the line takes three rows.
    const Started straddling(L"C:\\hvtest\\abcdef\u4E2D\\" + std::wstring(64, L'y') + L"\\z.exe");
    script_->processIds[1] = PoolProcess(kChat).id;
    script_->muted[1] = TRUE;
    script_->processIds[2] = PoolProcess(kChinese).id;
    script_->muted[2] = FALSE;
    script_->processIds[3] = straddling.id;
    script_->peaks[0] = 0.5f;
    script_->sessionCount = 4;
    ASSERT_TRUE(WaitUntil([&] { return ScreenHas(loud); }, 5000));
    ExpectSeen("watch draws over the last listing", RowsSeen(Screen().handle, L""),
               {{straddling.id, L"#z"}});
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
    // The user's rows as they were, and the last listing after them.
    ExpectSeen("watch leaves the user's rows", RowsSeen(console, L""), {{straddling.id, L"#z"}});
    CloseHandle(console);
}

// The classic console resizes the buffer it shows its own way: its height only grows, and its
// width follows the window only where it rewraps rows on resize ("wrap text output on resize").
// Each step does to the watch's buffer, while the watch is held, what the console would; the
// watch fits it to the window again, a size fitted before included, and draws one listing for
// the new size. The last window is narrower and taller than the user's, so that giving the user's
// buffer its size grows one dimension and shrinks the other; it is as wide as the Hushvane line,
// which then fills a row of the user's buffer, where the console wraps at once. The user's buffer
// is then compared whole: the last listing's lines, longer than its rows, are whole in it too.
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
        {"watch wraps on resize",
         {{{110, 12}, {110, 300}, 50},
          {{100, 8}, {100, 12}},
          {{110, 12}, {110, 12}},
          {{100, 8}, {100, 12}},
          {{last, 12}, {last, 12}}},
         last},
        {"watch does not wrap on resize", {{{last, 12}, {100, 12}}}, 100, false},
    };
    // Not a multiple of 4, as Wine's process ids are: the count is never taken for an id.
    Script(std::vector<SessionRow>(301, {PoolProcess(kChat).id, 0.0f, FALSE, 0}));
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
            L"(301 more sessions and 2 more lines: enlarge the window, or redirect to a file)");
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
        ExpectSeen(c.name, RowsSeen(console, L""));
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
    static Frame none; // nothing written below the user's rows
    CloseClassicScreen(&screen, none);
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(console, &info);
    EXPECT_EQ(info.dwSize.Y, 9001) << "the user's scrollback";
    EXPECT_EQ(std::make_pair(info.srWindow.Top, info.srWindow.Bottom),
              std::make_pair(SHORT{8981}, SHORT{9000}));
    CloseHandle(console);
}

// Points this program's import of a Windows function elsewhere: the companion's code that the
// tests call finds the stand-in instead.
void ReplaceImport(const char* function, void* standIn) {
    auto base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    auto headers = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         dll->Name != 0; ++dll) {
        auto name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
        auto slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
        for (; name->u1.AddressOfData != 0; ++name, ++slot) {
            if (!IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal) &&
                strcmp(reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData)->Name,
                       function) == 0) {
                DWORD was = 0;
                VirtualProtect(&slot->u1.Function, sizeof(void*), PAGE_READWRITE, &was);
                slot->u1.Function = reinterpret_cast<ULONG_PTR>(standIn);
                VirtualProtect(&slot->u1.Function, sizeof(void*), was, &was);
                return;
            }
        }
    }
    ADD_FAILURE() << "no import of " << function;
}

HWND g_pseudoWindow;
HWND WINAPI PseudoConsoleWindow() {
    return g_pseudoWindow;
}

// Runs a watch in this process on the console, which it takes for a pseudo console: its window is
// of the pseudo console's class here. Ctrl+C ends it once done() holds.
void WatchInPseudoConsole(HANDLE console, const wchar_t* target, Frame* frame,
                          const std::function<bool()>& done) {
    WNDCLASSW pseudo = {};
    pseudo.lpfnWndProc = DefWindowProcW;
    pseudo.lpszClassName = L"PseudoConsoleWindow";
    RegisterClassW(&pseudo);
    g_pseudoWindow = CreateWindowW(L"PseudoConsoleWindow", L"", WS_POPUP, 0, 0, 1, 1, nullptr,
                                   nullptr, nullptr, nullptr);
    ReplaceImport("GetConsoleWindow", reinterpret_cast<void*>(PseudoConsoleWindow));
    static Writer out;
    static Listing listing;
    out.handle = console;
    std::thread watch([&] {
        CoInitialize(nullptr);
        WatchSessions(target, &out, &listing, frame);
        CoUninitialize();
    });
    EXPECT_TRUE(WaitUntil(done, 10000));
    EXPECT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    watch.join();
    ReplaceImport("GetConsoleWindow", reinterpret_cast<void*>(GetProcAddress(
                                          GetModuleHandleW(L"kernel32.dll"), "GetConsoleWindow")));
    DestroyWindow(g_pseudoWindow);
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
    // A pseudo console's watch, run here: the fake server, loaded into this process, resizes the
    // window while each listing is read, and the last frame is drawn for the window as it is.
    static Frame drawn;
    const int resizes = script_->resizes;
    WatchInPseudoConsole(console, L"PLAYER.EXE", &drawn,
                         [&] { return script_->resizes >= resizes + 3; });
    const ShownLine& more = drawn.lines[drawn.count - 1];
    EXPECT_EQ(more.row + more.rows, WindowSizeOf(console).Y);
    CloseHandle(console);
}

// A watch in a terminal, ended by Ctrl+C. Wine cannot make a pseudo console: the console's window
// is of the pseudo console's class here, and Wine's console keeps the sequences sent to it as
// text, which shows what the user is left with: the alternate screen left, the cursor shown, the
// wrap on, and the last listing, for the window read at the end (the same as at the start here, so
// not below the screen's last row). A name that starts with a mark lines its path up with the
// others where the terminal joins the mark to the space before it, as Windows Terminal does.
TEST_F(SessionsWatch, EndsInATerminalWithTheUsersScreenBack) {
    Script3();
    const Started mark(L"C:\\hvtest\\marks\\\u0301m.exe"); // joins the space before it
    script_->processIds[3] = mark.id;
    script_->sessionCount = 4;
    HANDLE console = FreshConsole(300, 25, 300);
    static Frame frame;
    WatchInPseudoConsole(console, L"player.exe", &frame,
                         [&] { return Has(ConsoleText(console), L"it is silent now."); });
    std::wstring rows = RowsSeen(console, L"\x1b[?7h");
    std::replace(rows.begin(), rows.end(), L'\x1b', L'\u241B'); // ESC, as a reader sees it
    ExpectSeen("watch ends in a terminal", rows, {{mark.id, L"#mark"}});
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
        const wchar_t* keys; // typed to end the wait: a line or Ctrl+C; none where none waits
        bool waits;
    };
    const Case cases[] = {
        {"own console", kOwn, 0, false, nullptr, L"\r", true},
        {"own console, a line typed", kOwn, 0, false, nullptr, L"OK\r", true},
        {"own console, Ctrl+C", kOwn, 0, false, nullptr, L"\x03", true},
        {"console shared with the test", kShared, 0, false, nullptr, L"", false},
        {"own console, output to a file", kOwnOutputToFile, 0, false, nullptr, L"", false},
        {"new console", kNew, CREATE_NEW_CONSOLE, false, nullptr, L"", true},
        {"new console, hidden", kNew, CREATE_NEW_CONSOLE, true, nullptr, L"", false},
        {"no console window", kNew, CREATE_NO_WINDOW, false, nullptr, L"", false},
        {"window station with no display", kNew, CREATE_NEW_CONSOLE, false, L"hvtest\\Default", L"",
         false},
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
        if (*c.keys != L'\0') {
            EXPECT_TRUE(WaitUntil([&] { return Has(ConsoleText(console), prompt); }, 10000));
            EXPECT_EQ(WaitForSingleObject(run.hProcess, 500), static_cast<DWORD>(WAIT_TIMEOUT));
            TypeKeys(input, c.keys);
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
    // they are, which the caller compares to show the difference.
    std::vector<std::wstring> Rows(const std::vector<std::wstring>& expected) {
        std::vector<std::wstring> rows;
        EXPECT_TRUE(WaitUntil(
            [&] {
                rows = Lines(Capture(L""));
                return !rows.empty() &&
                       std::vector<std::wstring>(rows.begin() + 1, rows.end()) == expected;
            },
            3000))
            << "the pane's rows after 3 s, compared below";
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
    auto close = [&] { CloseTerminalScreen(&screen, window, frame); };
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
        {L"\uAC00\u11A8\uAC01", 4, 5}, // LV and T; LVT alone
        {L"\u200B\u0301\u200D", 0, 3}, // no width: joins what comes before it in the line
        {L"\u0301x.exe", 5, 6},
        {L"\u2066x.exe", 5, 6},
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
    int cells = 0;
    RowEnd(L"\u0301", 1, 0, 100, kTerminalCells, &cells);
    EXPECT_EQ(cells, 1) << "a character of no width that starts a row takes a cell";
}

// The program's own rule that joins code points into characters, against each line of Unicode's
// GraphemeBreakTest as the generator's checked copy of the rule joins it.
TEST(SessionsTexts, JoinCodePointsAsWindowsTerminalDoes) {
    int checked = 0;
    for (const std::wstring& line :
         Lines(ReadUtf8(std::wstring(HUSHVANE_TESTS_DIR) + L"/grapheme_cases.txt"))) {
        std::wstring text, joins, found;
        std::vector<size_t> starts; // where each code point starts in text
        for (size_t at = 0; !line.empty() && line[0] != L'#' && at < line.size();) {
            const size_t end = std::min(line.find_first_of(L"+ ", at), line.size());
            const unsigned point = std::stoul(line.substr(at, end - at), nullptr, 16);
            starts.push_back(text.size());
            text += point < 0x10000 ? std::wstring(1, point)
                                    : std::wstring{wchar_t(0xD7C0 + (point >> 10)),
                                                   wchar_t(0xDC00 + (point & 0x3FF))};
            joins += end < line.size() ? std::wstring(1, line[end]) : L"";
            at = end + 1;
        }
        std::vector<bool> startsCharacter(text.size() + 1);
        for (int i = 0, units = 0; i < static_cast<int>(text.size()); i += units) {
            NextCharCells(text.c_str() + i, static_cast<int>(text.size()) - i, kTerminalCells,
                          &units);
            startsCharacter[i] = true;
        }
        for (size_t k = 1; k < starts.size(); ++k) {
            found += startsCharacter[starts[k]] ? L" " : L"+";
        }
        EXPECT_EQ(found, joins) << line;
        checked += starts.empty() ? 0 : 1;
    }
    EXPECT_EQ(checked, 1093);
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
    // A listing that had no room left says how many lines it could not hold.
    static Writer file;
    const std::wstring path = TempFile(L"hvlisting.txt");
    for (const wchar_t* said : {L"(1 more line not listed)\n", L"(2 more lines not listed)\n"}) {
        StartListing(&listing, 0);
        AddLine(&listing, kHeadingLine, "heading");
        for (int i = said[1] - L'0'; i > 0; --i) {
            AddLine(&listing, kSessionLine, "session");
        }
        file.handle = CreateInheritable(path);
        WriteListing(&file, listing);
        Flush(&file);
        CloseHandle(file.handle);
        EXPECT_EQ(ReadUtf8(path), L"heading\n" + std::wstring(said));
    }
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
                      : L"Default playback device: PulseAudio\n" + sessions) +
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
    const std::pair<const char*, std::wstring> cases[] = {
        {"help", L"--help"},
        {"help h", L"-h"},
        {"help slash", L"/?"},
        {"help after a target", L"player.exe --help"},
        {"unknown option", L"-x"},
        {"unknown slash option", L"/watch player.exe"},
        // Cut, so that the line's own words and its end stay.
        {"unknown long option", L"-" + std::wstring(3000, L'x')},
        {"two targets", L"播放器.exe chat.exe"},
        {"unmute all with a target", L"--unmute-all player.exe"},
        {"unmute all after a target", L"player.exe --unmute-all"},
        {"unmute all with watch", L"--watch --unmute-all"},
        {"no playback device", L"\"my player.exe\""},
        {"unmute all without a playback device", L"--unmute-all"},
    };
    for (const auto& [name, arguments] : cases) {
        SCOPED_TRACE(name);
        ExpectRun(name, RunCompanion(arguments));
    }
}

} // namespace
