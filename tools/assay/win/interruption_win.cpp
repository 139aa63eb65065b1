#include "interruption_win.h"

namespace {

HANDLE g_event = nullptr;
volatile LONG g_presses = 0;

// Runs on a thread of its own that the system starts for the key press.
BOOL WINAPI OnConsoleControl(DWORD control) {
    if (control != CTRL_C_EVENT && control != CTRL_BREAK_EVENT) return FALSE;
    if (InterlockedIncrement(&g_presses) > 1) return FALSE;  // the default: end now
    SetEvent(g_event);
    return TRUE;
}

}  // namespace

void WatchForInterruption() {
    if (g_event != nullptr) return;
    g_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (g_event != nullptr) SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

HANDLE InterruptionEvent() {
    return g_event;
}

bool Interrupted() {
    // No wait on the event: under Wine that is a call to the server for every file.
    return g_presses > 0;
}
