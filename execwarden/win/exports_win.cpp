// The library's entry points: the component factory and the in-process server exports.
#include <windows.h>

#include "com_server_win.h"
#include "factory.h"
#include "library_win.h"
#include "process_monitor_win.h"
#include "registration_win.h"
#include "win32/threads.h"

// One page shared by every process that maps this file. It must be initialised data:
// the linker would place an uninitialised one outside the section.
__attribute__((section("KSHARED"), shared)) SharedSection g_shared = {};

SharedSection& TheSharedSection() {
    return g_shared;
}

// The C runtime calls this before it runs the static destructors of a detach, which ask
// how the library is being detached.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_DETACH) kvwin::RecordProcessDetach(reserved);
    return TRUE;
}

extern "C" int __cdecl GetKavroComponentPtr(IComponent** out, IKavroComponentManager* registry) {
    return ServeComponent<CProcessMonitor>(out, registry);
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    return RegisterServer();
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    return UnregisterServer();
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    return GetServerClassObject(clsid, iid, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return ServerInUse() ? S_FALSE : S_OK;
}
