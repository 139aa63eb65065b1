#include "registration_win.h"

#include <olectl.h>

#include <string>

#include "com_server_win.h"
#include "win32/handles.h"
#include "win32/paths.h"

namespace {

bool SetString(HKEY key, const char* name, const std::string& value) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool DeleteTree(const std::string& path) {
    LSTATUS status = RegDeleteTreeA(HKEY_CLASSES_ROOT, path.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool WriteScript(const RegistryScript& script, const std::string& module) {
    for (std::size_t i = 0; i < script.count; ++i) {
        const RegistryKey& entry = script.keys[i];
        std::string path = ExpandRegistryText(entry.path, module);
        if (entry.fresh && !DeleteTree(path)) return false;
        HKEY created = nullptr;
        if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                            &created, nullptr) != ERROR_SUCCESS)
            return false;
        UniqueKey key(created);
        if (entry.defaultValue != nullptr &&
            !SetString(key.get(), nullptr, ExpandRegistryText(entry.defaultValue, module)))
            return false;
        if (entry.valueName != nullptr &&
            !SetString(key.get(), entry.valueName, ExpandRegistryText(entry.valueData, module)))
            return false;
    }
    return true;
}

bool RemoveScript(const RegistryScript& script) {
    bool removed = true;
    for (std::size_t i = script.count; i-- > 0;) {
        const RegistryKey& entry = script.keys[i];
        if (entry.removal == KeyRemoval::kWithTree)
            removed = DeleteTree(ExpandRegistryText(entry.path, "")) && removed;
    }
    return removed;
}

HRESULT RegisterTypeLibrary() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(kvwin::ThisModule(), path, MAX_PATH);
    ITypeLib* library = LoadServerTypeLib();
    if (library == nullptr || length == 0 || length >= MAX_PATH) {
        if (library != nullptr) library->Release();
        return SELFREG_E_TYPELIB;
    }
    HRESULT result = RegisterTypeLib(library, path, nullptr);
    library->Release();
    return SUCCEEDED(result) ? S_OK : SELFREG_E_TYPELIB;
}

HRESULT UnregisterTypeLibrary() {
    std::string key = std::string("TypeLib\\") + kTypeLibId;
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return S_OK;  // not registered: nothing to remove
    RegCloseKey(opened);
    ITypeLib* library = LoadServerTypeLib();
    if (library == nullptr) return SELFREG_E_TYPELIB;
    TLIBATTR* attributes = nullptr;
    HRESULT result = library->GetLibAttr(&attributes);
    if (SUCCEEDED(result)) {
        result = UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum,
                                   attributes->wMinorVerNum, attributes->lcid, attributes->syskind);
        library->ReleaseTLibAttr(attributes);
    }
    library->Release();
    return SUCCEEDED(result) ? S_OK : SELFREG_E_TYPELIB;
}

}  // namespace

HRESULT RegisterClassScript(const RegistryScript& script) {
    std::string module = kvwin::ModulePath(kvwin::ThisModule());
    if (module.empty()) return SELFREG_E_CLASS;
    return WriteScript(script, module) ? S_OK : SELFREG_E_CLASS;
}

HRESULT UnregisterClassScript(const RegistryScript& script) {
    return RemoveScript(script) ? S_OK : SELFREG_E_CLASS;
}

HRESULT RegisterServer() {
    for (const RegistryScript* script : {&kAppIdScript, &kCompRegScript, &kShellExWatchScript}) {
        HRESULT result = RegisterClassScript(*script);
        if (FAILED(result)) return result;
    }
    return RegisterTypeLibrary();
}

HRESULT UnregisterServer() {
    HRESULT result = UnregisterTypeLibrary();
    for (const RegistryScript* script : {&kShellExWatchScript, &kCompRegScript, &kAppIdScript}) {
        // Every step is tried, so one stuck key leaves as little behind as possible.
        HRESULT step = UnregisterClassScript(*script);
        if (SUCCEEDED(result)) result = step;
    }
    return result;
}
