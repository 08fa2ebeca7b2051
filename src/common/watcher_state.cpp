#include "common/watcher_state.h"

WatcherState g_watcher;
