// The library's entry point and its one export, GetKavroComponentPtr (C calling
// convention, undecorated through NetWarden.def).
#include <windows.h>

#include "factory.h"
#include "net_monitor_win.h"
#include "win32/threads.h"

// Runs before the static object's destructor on DLL_PROCESS_DETACH, which then knows
// whether the process is ending.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_DETACH) kvwin::RecordProcessDetach(reserved);
    return TRUE;
}

extern "C" int __cdecl GetKavroComponentPtr(IComponent** out, IKavroComponentManager* registry) {
    return ServeComponent<CNetMonitor>(out, registry);
}
