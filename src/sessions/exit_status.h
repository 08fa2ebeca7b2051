#pragma once

// Exit statuses of HushvaneSessions.exe.
enum ExitStatus {
    kExitDone = 0,
    kExitUnreadable = 1, // the device or its sessions could not be read, or an unmute failed
    kExitUsage = 2,
    kExitTargetNotRunning = 3,
};
