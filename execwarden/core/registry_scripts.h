#pragma once
// What the COM server writes under HKEY_CLASSES_ROOT, as tables: one script for the
// application identity, one per class. Texts may hold "%MODULE%" (the library's path,
// unquoted) and "%APPID%" (kAppId).
#include <cstddef>
#include <string>

constexpr const char kAppId[] = "{DF9099A5-968E-4B5B-A141-E7EC76BC812D}";
constexpr const char kCompRegClsid[] = "{5A96495D-FC65-43F4-967F-44769B31CE40}";
constexpr const char kShellExWatchClsid[] = "{9FDE91C7-4605-4A42-B30E-923B4BCEAD69}";
constexpr const char kTypeLibId[] = "{C054DCA6-1502-4BC8-BDE5-651DFA19F044}";
constexpr const char kCompRegDescription[] = "CompReg Class";
constexpr const char kShellExWatchDescription[] = "ShellExWatch Class";

enum class KeyRemoval {
    kNever,       // a shared parent ("AppID", "CLSID"): created if missing, never deleted
    kWithTree,    // deleted with everything below it on removal
    kWithParent,  // goes when its parent's tree is deleted
};

struct RegistryKey {
    const char* path;          // relative to HKEY_CLASSES_ROOT
    const char* defaultValue;  // null: no default value
    const char* valueName;     // null: no named value
    const char* valueData;
    bool fresh;  // deleted with its tree before it is written, so nothing stale survives
    KeyRemoval removal;
};

struct RegistryScript {
    const RegistryKey* keys;
    std::size_t count;
};

extern const RegistryScript kAppIdScript;
extern const RegistryScript kCompRegScript;
extern const RegistryScript kShellExWatchScript;

// `text` with every "%MODULE%" replaced by `module` and every "%APPID%" by kAppId; any
// other '%' stays as it is.
std::string ExpandRegistryText(const char* text, const std::string& module);
