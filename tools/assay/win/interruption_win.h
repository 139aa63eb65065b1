#pragma once
// Ctrl-C and Ctrl-Break on the console ask a scan to stop: it ends its workers, prints
// what it has and the summary. A second press ends the program at once.
#include <windows.h>

// Installs the console handler; the event is manual-reset and stays set once pressed.
void WatchForInterruption();
HANDLE InterruptionEvent();
bool Interrupted();
