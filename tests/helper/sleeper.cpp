// A process for the tests to own audio sessions: it waits until it is terminated.
// "deny-query" makes it refuse PROCESS_QUERY_INFORMATION while still allowing the limited query,
// like a process of another account. It sets the event named on its command line when ready.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shellapi.h>

static void DenyFullQuery() {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    // Everyone: terminate, limited query, synchronize; nothing else.
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"D:(A;;0x101001;;;WD)", SDDL_REVISION_1, &descriptor, nullptr)) {
        return;
    }
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
    SetSecurityInfo(GetCurrentProcess(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                    nullptr, dacl, nullptr);
    LocalFree(descriptor);
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; args != nullptr && i < count; ++i) {
        if (lstrcmpW(args[i], L"deny-query") == 0) {
            DenyFullQuery();
        }
    }
    if (args != nullptr && count > 1) {
        HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, args[1]);
        if (ready != nullptr) {
            SetEvent(ready);
            CloseHandle(ready);
        }
    }
    LocalFree(args);
    Sleep(INFINITE);
    return 0;
}
