#pragma once
// Writing and removing the server's registry scripts and its type library.
#include <windows.h>

#include "registry_scripts.h"

// The application identity, CompReg, ShellExWatch, then the type library. SELFREG_E_CLASS
// or SELFREG_E_TYPELIB on the first step that fails.
HRESULT RegisterServer();
// The same steps in reverse; keys that are gone already count as removed.
HRESULT UnregisterServer();

// One class's script alone.
HRESULT RegisterClassScript(const RegistryScript& script);
HRESULT UnregisterClassScript(const RegistryScript& script);
