#pragma once

#include <windows.h>

// Every text of HushvaneSessions.exe in one language, as UTF-8 formats: one table for
// each language, in texts_<language>.cpp, and a line in texts.cpp that says for which display
// language it is. Every table gives every text (a test checks it), with the same arguments.
struct Texts {
    // The command line.
    const char* usage;
    const char* unknownOption;     // %s the option
    const char* oneTarget;         // %s, %s the two targets
    const char* unmuteAllAlone;    //
    const char* commandLineUnread; // %lu the error
    const char* pressEnter;

    // The watch.
    const char* everySecond;
    const char* cannotWatch; // %hs the call, %lu the error
    const char* more;        // %d, %hs: what a window too small left out
    const char* notListed;   // %d, %hs: what a listing too long left out
    const char* moreBoth;    // %d, %hs the sessions, %d, %hs the lines
    const char *line, *lines;

    // A device, its sessions and their columns.
    const char* defaultDevice; // %s the device
    const char* otherDevice;   // %s the device, %hs the communications note
    const char* communications;
    // What cannot be read: %hs the call, %08lX the status.
    const char *audioDevicesUnread, *defaultDeviceUnread, *sessionsUnread, *sessionCountUnread;
    const char* noSessionManager;
    const char *columnProcessId, *columnMute, *columnPeak, *columnSound, *columnExecutable,
        *columnPath;
    const char *muted, *audible, *loud, *silent, *target, *noSessions;
    const char* sessionUnopened; // %d the index, %hs the call, %08lX the status
    const char* failedCall;      // %hs the call, %08lX the status
    const char *systemSoundsAsTarget, *systemSoundsMuted, *expired, *session, *sessions;

    // Who owns a session, when Hushvane cannot tell.
    const char *systemSoundsName, *reasonSystemSounds, *reasonDenied, *reasonNoProcess,
        *reasonNoPath, *reasonNoProcessId;
    const char* hushvaneNotRunning;
    const char* hushvaneRunning;      // %lu the process
    const char* hushvaneRunningTimes; // %d the count; the processes follow
    const char* listSeparator;        // between two processes
    const char *andMore, *fight;

    // The verdict on a target.
    const char* notRunning; // %s the target
    const char* closest;
    const char* nearMiss; // %s the name, %hs how it is near, %hs the letter case note
    const char *sameName, *withoutFolder, *withExe, *inOtherCase, *none;
    const char* noSessionHere; // %s the target
    const char* running;       // %s the target, %d, %hs its sessions, %hs the sound
    const char *loudNow, *silentNow, *peakUnread;
    const char* elsewhereToo;  // %s the target, %d, %hs its sessions, %s the device
    const char* elsewhereOnly; // %d, %hs its sessions, %s, %s the device, %s the target
    const char* otherCase;     // %lu the process, %s its name, %s the target
    const char* denied;        // %d, %hs the sessions, %s the target, %hs belong
    const char *belongs, *belong;

    // Devices.
    const char* nameUnread;                   // %s the id
    const char* nameAndIdUnread;              // %08lX the status
    const char* twinId;                       // %s the id
    const char *defaultIdUnread, *listUnread; // %hs the call, %08lX the status
    const char* deviceUnlisted; // %u, %u which of how many, %hs the call, %08lX the status
    const char* tooManyDevices; // %d the most

    // --unmute-all. What became of a session takes as many cells in each of the three, so that
    // the process ids after them line up.
    const char *unmuted, *notChecked, *stillMuted;
    const char* onDevice;       // %s the device
    const char* unmuteUnopened; // %d the index, %s the device, %hs the call, %08lX the status
    const char* callFailed;     // %hs the call, %08lX the status
    const char* unmuteDevice;   // %s the device
    const char* unmutedCount;   // %d, %hs the sessions
    const char* uncheckedCount; // %d
    const char* unreadDevices;  // %d, %hs the devices
    const char *device, *devices, *unlisted, *noneLeft, *fullStop;
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

// The word for one or for several.
inline const char* Plural(int count, const char* one, const char* several) {
    return count == 1 ? one : several;
}
