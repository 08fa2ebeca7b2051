// HushvaneSessions.exe: shows the audio sessions of every playback device as Hushvane.exe sees
// them, says whether Hushvane would hear a given target, and can unmute every muted session.
//
// Where each rule is decided, and which functions share the decision:
// - Hushvane's own rules, called and never copied (audio/audio_session.h, audio/loudness.h and
//   process/process_rules.h, which reach nothing of the watcher's state): OpenDefaultDevice takes
//   the device Hushvane watches by GetDefaultPlaybackDevice(kWatchedRole); ReadSessionRow and
//   UnmuteSession open a session by OpenSession. DescribeSessionOwner makes the watcher's two
//   resolution calls itself, GetProcessId then QueryExecutablePath, as ResolveSessionProcess does:
//   that one writes into the watcher's state, which the companion keeps out of reach.
//   ExplainUnresolved says why it did not resolve from what QueryExecutablePath returned.
// - The target: HasExecutableName decides whether a session is the target's, in ReadSessionRow;
//   CountTargetSession counts those rows, and the same name in another letter case apart;
//   AddVerdict says whether the target runs by IsExecutableRunning, and AddNearMisses lists the
//   names it may have meant. Loud or silent: IsLoudPeak, in AddSessionRow and CountTargetSession.
// - Devices: FindOtherDevices tells the other devices from the default one by the ids that
//   ReadDeviceId reads, and NameTwinsByTheirIds names twins; ReadDeviceName says what a device
//   without a name is. A failed call: CheckCall decides it by the status's sign, beside the call;
//   DescribeFailure writes it in the chosen language's words, for every text that says a call
//   failed.
// - The language: wmain calls ChooseTexts, which takes TextsFor Windows' display language;
//   texts_en.cpp and texts_zh.cpp hold the texts, read through Text().
// - Output: AddLine adds a line to a listing (output/listing.h) and WriteListing writes it;
//   FormatTextV formats (AppendShown shows control characters as U+FFFD and cuts a name, never
//   the words around it); NextCharCells counts a character's cells, for CellsOf, RowEnd and
//   RowsOf; writer.cpp is the one buffered writer, to a console or as UTF-8. A session's columns,
//   their widths and separators are in session_row.cpp alone, for AddSessionRow and for the lines
//   of --unmute-all (AddUnmuteLine); the texts hold words.
// - A window: FitListing decides which lines of a listing a window shows; the watch's loops cap
//   the session rows a listing keeps to the window's height (WindowSizeOf(...).Y, passed to
//   ReadWatchListing); FitBufferToWindow fits the classic console's buffer to its window, and
//   GiveUserTheWindow the user's buffer at the end. OpenTerminalScreen decides how a pseudo
//   console counts cells, DrawClassicScreen counts them as the classic console does.
// - The watch: WatchSessions picks the console model (IsPseudoConsole); each change it makes to
//   the console is made by a holder that gives it back (ModeChange, CtrlHandler, OpenTerminal,
//   OpenClassic); WatchAppended, WatchOnClassicConsole and WatchOnTerminal each loop over the
//   seconds of one kind of output. Whether to wait for Enter: IsSomeoneThereToAnswer, with
//   IsConsoleWindowShown.
// - Exit statuses (exit_status.h): ListSessions, UnmuteAllSessions, WatchSessions and
//   RunCommandLine return them.
// Strings are copied, measured and compared with Windows' own lstr functions (lstrcpynW,
// lstrlenW, lstrcmpW, lstrcmpiW): kernel32 has them on every Windows, and lstrcpynW never writes
// past its buffer and always ends the copy. Beside them: Hushvane's own name comparison (StrCmpW),
// wmemchr for the Enter in a typed line, and msvcrt's _snwprintf for a number, which ends no copy
// it cuts: its callers take its count, or end the copy themselves.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <wchar.h>

#include "sessions/console_window.h"
#include "sessions/exit_status.h"
#include "sessions/output/texts.h"
#include "sessions/read/list_sessions.h"
#include "sessions/read/unmute_all.h"
#include "sessions/watch/watch.h"

namespace {

struct Command {
    bool watch, unmuteAll, help;
    const wchar_t* target; // null when none was given
};

bool IsOption(const wchar_t* argument, const wchar_t* option) {
    return lstrcmpiW(argument, option) == 0;
}

// Options may stand before or after the target.
bool ParseArguments(int count, wchar_t** arguments, Command* command) {
    for (int i = 1; i < count; ++i) {
        const wchar_t* argument = arguments[i];
        if (IsOption(argument, L"--watch")) {
            command->watch = true;
        } else if (IsOption(argument, L"--unmute-all")) {
            command->unmuteAll = true;
        } else if (IsOption(argument, L"--help") || IsOption(argument, L"-h") ||
                   IsOption(argument, L"/?")) {
            command->help = true;
        } else if (argument[0] == L'-' || argument[0] == L'/') {
            PrintError(Text().unknownOption, argument);
            return false;
        } else if (command->target != nullptr) {
            PrintError(Text().oneTarget, command->target, argument);
            return false;
        } else {
            command->target = argument;
        }
    }
    const bool understood = !command->unmuteAll || (!command->watch && command->target == nullptr);
    PrintError(understood ? "" : Text().unmuteAllAlone);
    return understood;
}

// The usage, written at once: each command in a column of its own, beside what it does.
void WriteUsage(HANDLE to) {
    wchar_t text[kLineChars];
    const int length = FormatText(
        text, kLineChars,
        "%hs  HushvaneSessions.exe %-23hs%hs\n  HushvaneSessions.exe --watch %-15hs%hs\n"
        "  HushvaneSessions.exe %-23hs%hs\n  HushvaneSessions.exe %-23hs%hs\n\n%hs",
        Text().usage, Text().usageTarget, Text().usageList, Text().usageTarget, Text().usageWatch,
        "--unmute-all", Text().usageUnmute, "--help", Text().usageHelp, Text().usageNotes);
    WriteText(to, text, length);
}

int RunCommand(const Command& command, Writer* out) {
    if (command.help) {
        WriteUsage(out->handle);
        return kExitDone;
    }
    // The command's one listing, about a megabyte: the main thread's stack (2 MiB) holds it.
    Listing listing;
    if (command.watch) {
        Frame frame;
        return WatchSessions(command.target, out, &listing, &frame);
    }
    StartListing(&listing, kEverySession);
    const int status = command.unmuteAll ? UnmuteAllSessions(&listing)
                                         : ListSessions(command.target, nullptr, &listing);
    WriteListing(out, listing);
    return status;
}

int RunCommandLine(bool* watch, Writer* out) {
    // Split as Hushvane.exe splits its own command line, so a name is read the same way.
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr) {
        const FailedCall failed = {"CommandLineToArgvW", HRESULT_FROM_WIN32(GetLastError())};
        PrintError(Text().commandLineUnread, DescribeFailure(failed).text);
        return kExitUsage;
    }
    Command command = {};
    if (!ParseArguments(count, arguments, &command)) {
        WriteUsage(GetStdHandle(STD_ERROR_HANDLE));
        LocalFree(arguments);
        return kExitUsage;
    }
    *watch = command.watch;
    CoInitialize(nullptr);
    const int status = RunCommand(command, out);
    Flush(out);
    CoUninitialize();
    LocalFree(arguments);
    return status;
}

// Started from Explorer, a shortcut or Win+R, the console window is the companion's alone and
// closes the moment it ends. Nobody could answer a prompt where a shell or another program
// shares the console, where the output goes to a file or a pipe, where the console has no window
// (CREATE_NO_WINDOW) or a hidden one (SW_HIDE), or where nothing is displayed (a service, or a
// task run whether the user is logged on or not).
bool IsSomeoneThereToAnswer() {
    DWORD processes[2], session = 0;
    // Services run in session 0; a session that cannot be told counts as that one.
    if (GetConsoleProcessList(processes, 2) != 1 || !IsConsole(GetStdHandle(STD_OUTPUT_HANDLE)) ||
        !IsConsole(GetStdHandle(STD_INPUT_HANDLE)) ||
        !ProcessIdToSessionId(GetCurrentProcessId(), &session) || session == 0) {
        return false;
    }
    STARTUPINFOW startup = {};
    GetStartupInfoW(&startup);
    const bool hidden =
        (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 && startup.wShowWindow == SW_HIDE;
    // A task run whether the user is logged on or not, and a service, run in a window station
    // with no display.
    USEROBJECTFLAGS station = {};
    return !hidden && IsConsoleWindowShown(GetConsoleWindow()) &&
           GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &station,
                                     sizeof(station), nullptr) &&
           (station.dwFlags & WSF_VISIBLE) != 0;
}

// Windows calls the Ctrl handler with nothing of ours: the status it ends with is here.
int g_exitStatus;

// Ctrl+C, Ctrl+Break or the window's close button while the result waits to be read: end as
// Enter would have, with the run's own status.
BOOL WINAPI EndWithRunStatus(DWORD) {
    ExitProcess(static_cast<UINT>(g_exitStatus));
}

void WaitForEnter(int status, Writer* out) {
    g_exitStatus = status;
    SetConsoleCtrlHandler(EndWithRunStatus, TRUE);
    // Keys typed while the run went on are not an answer to a prompt they came before.
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    FlushConsoleInputBuffer(input);
    WriteFormatted(out, Text().pressEnter);
    Flush(out);
    wchar_t typed[64];
    DWORD read = 0;
    while (ReadConsoleW(input, typed, 64, &read, nullptr) && read > 0 &&
           wmemchr(typed, L'\r', read) == nullptr) {
    }
}

} // namespace

int wmain() {
    ChooseTexts();
    Writer out = {};
    out.handle = GetStdHandle(STD_OUTPUT_HANDLE);
    bool watch = false;
    const int status = RunCommandLine(&watch, &out);
    // A watch runs until Ctrl+C: it never ends by itself with something left to read.
    if (!watch && IsSomeoneThereToAnswer()) {
        WaitForEnter(status, &out);
    }
    return status;
}
