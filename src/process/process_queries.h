#pragma once

// The watcher's process queries, on its state.

// True when some running process's executable file name equals the target name exactly.
bool IsTargetRunning();

// Resolves g_watcher.sessionProcessId to the full path of its executable in g_watcher.imagePath.
// False when the process cannot be opened for query or its path does not fit.
bool QuerySessionImagePath();

// True when the file-name part of imagePath equals the target name exactly (case-sensitive).
bool MatchesTargetName(const wchar_t* imagePath);
