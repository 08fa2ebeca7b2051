#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "common/watcher_state.h"
#include "fake_endpoint.h"
#include "trace/trace.h"

namespace {

std::wstring HelperProgramPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\') + 1) + L"sleeper.exe";
}

void CreateFolders(const std::wstring& filePath) {
    for (size_t at = filePath.find(L'\\', 3); at != std::wstring::npos;
         at = filePath.find(L'\\', at + 1)) {
        CreateDirectoryW(filePath.substr(0, at).c_str(), nullptr);
    }
}

// Says which step of starting a test process failed, and with what code, for the test's output.
bool Refused(const char* step, const std::wstring& imagePath, DWORD code) {
    std::fprintf(stderr, "%s failed for %ls: %lu\n", step, imagePath.c_str(), code);
    return false;
}

const wchar_t* const kPoolPaths[kPoolRoleCount] = {
    L"C:\\hvtest\\apps\\player.exe",    L"C:\\hvtest\\Other\\Player.exe",
    L"C:\\hvtest\\中文\\播放器.exe",    L"C:\\hvtest\\apps\\chat.exe",
    L"C:\\hvtest\\locked\\guarded.exe",
};

TestProcess g_pool[kPoolRoleCount];

class ProcessPoolEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        // Wine keeps a handle open after a process's first debug output and first local time;
        // open them now so that handle probes around the code under test see only its handles.
        TraceLine(L"%s", L"hushvane tests");
        for (int role = 0; role < kPoolRoleCount; ++role) {
            ASSERT_TRUE(StartTestProcess(kPoolPaths[role], role == kDenied, &g_pool[role]))
                << "cannot start the test process at " << role;
        }
    }
    void TearDown() override {
        for (TestProcess& process : g_pool) {
            StopTestProcess(&process);
        }
    }
};

const auto* const g_poolEnvironment =
    ::testing::AddGlobalTestEnvironment(new ProcessPoolEnvironment);

std::vector<std::wstring>* g_captured = nullptr;

void Journal(const std::wstring& text) {
    FakeJournal().push_back(WithoutTimeStamp(text));
}

LONG CALLBACK CaptureDebugText(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD& record = *info->ExceptionRecord;
    if (g_captured == nullptr || record.NumberParameters < 2) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    auto length = static_cast<int>(record.ExceptionInformation[0]);
    if (record.ExceptionCode == 0x4001000A) { // wide text, from newer Windows
        auto text = reinterpret_cast<const wchar_t*>(record.ExceptionInformation[1]);
        g_captured->emplace_back(text, wcsnlen(text, length));
        Journal(g_captured->back());
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    if (record.ExceptionCode == DBG_PRINTEXCEPTION_C) { // narrow text, in the ANSI code page
        auto text = reinterpret_cast<const char*>(record.ExceptionInformation[1]);
        int bytes = static_cast<int>(strnlen(text, length));
        std::wstring wide(bytes, L'\0');
        int chars = MultiByteToWideChar(CP_ACP, 0, text, bytes, &wide[0], bytes);
        wide.resize(chars);
        g_captured->push_back(wide);
        Journal(wide);
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

std::wstring WithoutTimeStamp(const std::wstring& text) {
    const wchar_t* stampShape = L"0000-00-00 00:00:00  ";
    bool stamped = text.size() >= 21;
    for (size_t i = 0; stamped && i < 21; ++i) {
        stamped = stampShape[i] == L'0' ? iswdigit(text[i]) != 0 : text[i] == stampShape[i];
    }
    return stamped ? text.substr(21) : text;
}

bool StartTestProcess(const std::wstring& imagePath, bool denyQuery, TestProcess* started) {
    CreateFolders(imagePath);
    if (!CopyFileW(HelperProgramPath().c_str(), imagePath.c_str(), FALSE)) {
        return Refused("CopyFileW", imagePath, GetLastError());
    }
    static int s_starts = 0;
    std::wstring eventName = L"hushvane-test-ready-" + std::to_wstring(GetCurrentProcessId()) +
                             L"-" + std::to_wstring(++s_starts);
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
    std::wstring commandLine = L"\"" + imagePath + L"\" " + eventName;
    if (denyQuery) {
        commandLine += L" deny-query";
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    BOOL created = CreateProcessW(imagePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                                  nullptr, nullptr, &startup, &info);
    if (!created) {
        DWORD error = GetLastError();
        CloseHandle(ready);
        return Refused("CreateProcessW", imagePath, error);
    }
    DWORD waited = WaitForSingleObject(ready, 20000);
    CloseHandle(ready);
    CloseHandle(info.hThread);
    started->process = info.hProcess;
    started->id = info.dwProcessId;
    started->imagePath = imagePath;
    if (waited != WAIT_OBJECT_0) {
        StopTestProcess(started);
        return Refused("waiting for the ready event", imagePath, waited);
    }
    return true;
}

void StopTestProcess(TestProcess* process) {
    if (process->process == nullptr) {
        return;
    }
    TerminateProcess(process->process, 0);
    WaitForSingleObject(process->process, 10000);
    CloseHandle(process->process);
    process->process = nullptr;
}

std::wstring BuiltProgramPath(const wchar_t* name) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring relative = path;
    relative = relative.substr(0, relative.find_last_of(L'\\')) + L"\\..\\" + name;
    GetFullPathNameW(relative.c_str(), MAX_PATH, path, nullptr);
    return path;
}

void FakeScriptTest::SetUp() {
    mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                  sizeof(FakeScript), kFakeScriptName);
    ASSERT_NE(mapping_, nullptr);
    script_ =
        static_cast<FakeScript*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, sizeof(FakeScript)));
    ASSERT_NE(script_, nullptr);
}

void FakeScriptTest::TearDown() {
    UnmapViewOfFile(script_);
    CloseHandle(mapping_);
}

const TestProcess& PoolProcess(PoolRole role) {
    return g_pool[role];
}

DebugCapture::DebugCapture() {
    g_captured = new std::vector<std::wstring>;
    handler_ = AddVectoredExceptionHandler(1, CaptureDebugText);
}

DebugCapture::~DebugCapture() {
    RemoveVectoredExceptionHandler(handler_);
    delete g_captured;
    g_captured = nullptr;
}

const std::vector<std::wstring>& DebugCapture::Texts() const {
    return *g_captured;
}

uintptr_t ProbeHandleSlot() {
    HANDLE probe = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    CloseHandle(probe);
    return reinterpret_cast<uintptr_t>(probe);
}

void ResetWatcher(const wchar_t* targetName) {
    g_watcher.targetName = targetName;
    g_watcher.othersMuted = 0;
    g_watcher.silentReadings = 0;
    g_watcher.sessionCount = 0;
    g_watcher.sessionProcessId = 0;
    g_watcher.imagePath[0] = L'\0';
    g_watcher.peakValue = 0.0f;
    FakeJournal().clear();
}
