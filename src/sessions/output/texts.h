#pragma once

#include <windows.h>

#include "common/failed_call.h"

// Every text of HushvaneSessions.exe in one language, as UTF-8 formats: one table for
// each language, in texts_<language>.cpp, and a line in texts.cpp that says for which display
// language it is. Every table gives every text (a test checks it), with the same arguments.
struct Texts {
    // The command line: the usage, before its commands, what each does, and after them; %s the
    // unknown option; %s, %s the two targets; %s the failure.
    const char *usage, *usageTarget, *usageList, *usageWatch, *usageUnmute, *usageHelp, *usageNotes;
    const char *unknownOption, *oneTarget, *unmuteAllAlone, *commandLineUnread, *pressEnter;

    // The watch: %s the failure; what a window too small (more) or a listing too long (notListed)
    // left out, %d, %hs; moreBoth %d, %hs the sessions, %d, %hs the lines.
    const char *everySecond, *cannotWatch, *more, *notListed, *moreBoth;

    // A device (%s), another one (%s, %hs the communications note), and what cannot be read of
    // it (%s the failure).
    const char *defaultDevice, *otherDevice, *communications, *noSessionManager;
    const char *audioDevicesUnread, *defaultDeviceUnread, *sessionsUnread, *sessionCountUnread;
    // Its sessions and their columns: sessionUnopened %d the index, %s the failure; failure %hs
    // the call, %08lX the status it returned; failedCall %s the failure.
    const char *columnProcessId, *columnMute, *columnPeak, *columnSound, *columnExecutable,
        *columnPath;
    const char *muted, *audible, *loud, *silent, *target, *noSessions;
    const char *sessionUnopened, *failure, *failedCall;
    const char *systemSoundsAsTarget, *systemSoundsMuted, *expired;

    // Who owns a session, when Hushvane cannot tell; the last two take %s the failure.
    const char *systemSoundsName, *reasonSystemSounds, *reasonDenied, *reasonNoProcess,
        *reasonNoPath, *reasonNoProcessId;
    // Hushvane's processes: %s the one; %d how many, %s the processes, %hs andMore where more.
    const char *hushvaneNotRunning, *hushvaneRunning, *hushvaneRunningTimes, *listSeparator,
        *andMore;

    // The verdict on a target, %s. nearMiss: %hs how the name is near, %hs the letter case note.
    // running: %s, %d, %hs its sessions, %hs the sound. elsewhereToo: %s, %d, %hs its sessions, %s
    // the device. elsewhereOnly: %d, %hs its sessions, %s, %s the device, %s the target. otherCase:
    // %lu the process, %s its name, %s the target. denied: %d, %hs the sessions, %s the target, %hs
    // belong.
    const char *notRunning, *closest, *nearMiss, *sameName, *withoutFolder, *withExe, *inOtherCase,
        *none;
    const char *noSessionHere, *running, *loudNow, *silentNow, *peakUnread;
    const char *elsewhereToo, *elsewhereOnly, *otherCase, *denied;

    // Devices: namedById %s the id, %s why it has no name; nameUnread and idUnread %s the
    // failure; twinId %s the id; defaultIdUnread %s why; listUnread %s the failure;
    // deviceUnlisted %u, %u which of how many, %s why; tooManyDevices %d the most.
    const char *namedById, *nameUnread, *noName, *idUnread, *noId, *twinId;
    const char *defaultIdUnread, *listUnread, *deviceUnlisted, *tooManyDevices;

    // --unmute-all: what became of a session, in three words. onDevice and unmuteDevice %s the
    // device; unmuteUnopened %d the index, %s the device, %s the failure; callFailed %s the
    // failure; unmutedCount %d, %hs the sessions; uncheckedCount %d; unreadDevices %d, %hs the
    // devices.
    const char *unmuted, *notChecked, *stillMuted, *onDevice, *unmuteUnopened, *callFailed;
    const char *unmuteDevice, *unmutedCount, *uncheckedCount, *unreadDevices;
    const char *unlisted, *noneLeft, *fullStop;

    // Words for one and for several, as Plural picks them.
    const char *sessions[2], *lines[2], *devices[2], *belong[2];
};

extern const Texts kEnglishTexts;
extern const Texts kChineseTexts;

// The texts for a display language: Chinese for any Chinese, English for any other.
const Texts* TextsFor(LANGID language);

// Chooses the texts of Windows' display language, where the companion has them.
void ChooseTexts();

// The chosen texts; English until ChooseTexts has chosen.
extern const Texts* g_texts;
inline const Texts& Text() {
    return *g_texts;
}

// A failed call in the chosen texts' words, "GetId failed with 0x8007000E"; empty for none. Every
// text that says a call failed takes it as %s.
struct FailureText {
    wchar_t text[128];
};
FailureText DescribeFailure(const FailedCall& failed);

// The word for one or for several.
inline const char* Plural(int count, const char* const (&words)[2]) {
    return words[count == 1 ? 0 : 1];
}
