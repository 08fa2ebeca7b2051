// The companion's texts in English, the language of any display language without a table.
#include "sessions/output/texts.h"

extern const Texts kEnglishTexts = {
    .usage = "Shows the audio sessions of every playback device as Hushvane.exe sees them: the\n"
             "default device, which Hushvane watches, first.\n\n"
             "Usage:\n",
    .usageTarget = "[target.exe]",
    .usageList = "list the sessions once",
    .usageWatch = "list every second until Ctrl+C",
    .usageUnmute = "unmute every device's sessions",
    .usageHelp = "show this text (also -h and /?)",
    .usageNotes =
        "Give the target as you would give it to Hushvane.exe: its executable's file name,\n"
        "letter case included. Its sessions are marked \"target\", and the last lines say\n"
        "whether Hushvane hears it.\n\n"
        "Exit status: 0 done; 1 the default device or its sessions could not be read, or\n"
        "--unmute-all could not unmute or check a session, read a device's sessions or\n"
        "list every device; 2 the command line was not understood; 3 the target is not\n"
        "running.\n",
    .unknownOption = "Unknown option: %s\n\n",
    .oneTarget = "Only one target can be given, not both %s and %s.\n\n",
    .unmuteAllAlone = "--unmute-all takes no target and does not go with --watch.\n\n",
    .commandLineUnread = "The command line cannot be read: %s.\n",
    .pressEnter = "\nPress Enter to close this window.",

    .everySecond = "(every second; Ctrl+C ends)",
    .cannotWatch = "Cannot watch: %s.\n",
    .more = "(%d more %hs: enlarge the window, or redirect to a file)",
    .notListed = "(%d more %hs not listed)\n",
    .moreBoth = "(%d more %hs and %d more %hs: enlarge the window, or redirect to a file)",

    .defaultDevice = "Default playback device: %s",
    .otherDevice = "Other playback device: %s%hs; Hushvane does not watch it",
    .communications = " (Windows' default for communications)",
    .noSessionManager =
        "The session manager is not available: listing sessions needs Windows 7 or later.",
    .audioDevicesUnread = "Cannot read the audio devices: %s.",
    .defaultDeviceUnread = "Cannot read the default playback device: %s.",
    .sessionsUnread = "Cannot read the device's sessions: %s.",
    .sessionCountUnread = "Cannot read the number of sessions: %s.",
    .columnProcessId = "PID",
    .columnMute = "mute",
    .columnPeak = "peak",
    .columnSound = "sound",
    .columnExecutable = "executable",
    .columnPath = "path",
    .muted = "muted",
    .audible = "audible",
    .loud = "loud",
    .silent = "silent",
    .target = "target",
    .noSessions = "(no sessions)",
    .sessionUnopened = "(session %d cannot be opened: %s; Hushvane skips it)",
    .failure = "%hs failed with 0x%08lX",
    .failedCall = "[%s]",
    .systemSoundsAsTarget = "(system sounds: Hushvane hears them as the target's)",
    .systemSoundsMuted = "(system sounds: Hushvane mutes them with the others)",
    .expired = "(expired: its program has released its last stream; the volume mixer no longer "
               "shows it)",

    .systemSoundsName = "(system sounds)",
    .reasonSystemSounds = "(Windows' own sounds: Hushvane neither hears nor mutes them)",
    .reasonDenied = "(access denied: it runs elevated, as another user, or as a service or "
                    "protected process; Hushvane can neither hear nor mute it)",
    .reasonNoProcess = "(no such process: Hushvane skips the session)",
    .reasonNoPath = "(its path cannot be read: %s; Hushvane skips the session)",
    .reasonNoProcessId = "(its process id cannot be read: %s; Hushvane skips the session)",
    .hushvaneNotRunning = "Hushvane.exe is not running: nothing is muted or unmuted now.",
    .hushvaneRunning = "Hushvane.exe is running as process %s.",
    .hushvaneRunningTimes = "Hushvane.exe is running %d times, as processes %s%hs: they would "
                            "fight over the same sessions, so end all but one.",
    .listSeparator = ", ",
    .andMore = " and more",

    .notRunning = "%s is not running. Hushvane compares names exactly, letter case included, "
                  "with the file names of running programs.",
    .closest = "Running programs whose names come closest:",
    .nearMiss = "(%hs%hs)",
    .sameName = "the same name",
    .withoutFolder = "the name without its folder",
    .withExe = "the name with .exe added",
    .inOtherCase = " in another letter case",
    .none = "(none)",
    .noSessionHere = "%s is running but has no session on this device that Hushvane can see. "
                     "Hushvane hears it only while it has a session on this device.",
    .running = "%s is running and has %d %hs on this device; %hs.",
    .loudNow = "it is loud now",
    .silentNow = "it is silent now",
    .peakUnread = "its peak cannot be read, so Hushvane cannot tell whether it makes sound",
    .elsewhereToo = "%s also has %d %hs on %s, which Hushvane does not watch: Hushvane does not "
                    "hear it there.",
    .elsewhereOnly = "It has %d %hs on %s, which Hushvane does not watch, so Hushvane does not "
                     "hear it there. Make %s the default playback device and start Hushvane "
                     "again, or send %s to the default device: in its own settings, or in Windows "
                     "10's App volume and device preferences, or in Windows 11's Settings > "
                     "System > Sound > Volume mixer.",
    .otherCase = "Process %lu has a session as %s, which is %s in another letter case: Hushvane "
                 "compares names exactly, letter case included, so it does not hear that session.",
    .denied = "%d %hs of %s %hs to a process that Hushvane may not query: it runs elevated, as "
              "another user, or as a service or protected process. Hushvane hears it only when "
              "started with the same rights.",

    .namedById = "%s (%s)",
    .nameUnread = "its name cannot be read: %s",
    .noName = "it has no name",
    .idUnread = "its id cannot be read (%s)",
    .noId = "it gives no id",
    .twinId = " (id %s)",
    .defaultIdUnread = "The other playback devices are not listed, since the default device cannot "
                       "be told apart from them: %s.",
    .listUnread = "Cannot list the other playback devices: %s.",
    .deviceUnlisted = "Playback device %u of %u is not listed: %s.",
    .tooManyDevices = "(more playback devices than %d: the rest are not listed)",

    .unmuted = "Unmuted",
    .notChecked = "not checked",
    .stillMuted = "still muted",
    .onDevice = "on %s",
    .unmuteUnopened = "Session %d on %s cannot be opened (%s): whether it is muted is unknown.",
    .callFailed = "%s:",
    .unmuteDevice = "Other playback device: %s",
    .unmutedCount = "%d %hs unmuted",
    .uncheckedCount = "; %d could not be checked or unmuted",
    .unreadDevices = "; the sessions of %d %hs could not be read",
    .unlisted = "; some playback devices could not be listed",
    .noneLeft = "; none is left muted",
    .fullStop = ".",

    .sessions = {"session", "sessions"},
    .lines = {"line", "lines"},
    .devices = {"device", "devices"},
    .belong = {"belongs", "belong"},
};
