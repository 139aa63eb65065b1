#include "registry_scripts.h"

#include <cstring>
#include <iterator>

namespace {

constexpr KeyRemoval kNever = KeyRemoval::kNever;
constexpr KeyRemoval kTree = KeyRemoval::kWithTree;
constexpr KeyRemoval kInside = KeyRemoval::kWithParent;

const RegistryKey kAppIdKeys[] = {
    {"AppID", nullptr, nullptr, nullptr, false, kNever},
    {"AppID\\%APPID%", "ExecWarden", nullptr, nullptr, false, kTree},
    {"AppID\\ExecWarden.DLL", nullptr, "AppID", "%APPID%", false, kTree},
};

#define COMPREG "{5A96495D-FC65-43F4-967F-44769B31CE40}"
const RegistryKey kCompRegKeys[] = {
    {"CLSID", nullptr, nullptr, nullptr, false, kNever},
    {"CLSID\\" COMPREG, "CompReg Class", nullptr, nullptr, true, kTree},
    {"CLSID\\" COMPREG "\\InprocServer32", "%MODULE%", "ThreadingModel", "Apartment", false,
     kInside},
    {"CLSID\\" COMPREG "\\TypeLib", kTypeLibId, nullptr, nullptr, false, kInside},
};
#undef COMPREG

#define WATCH "{9FDE91C7-4605-4A42-B30E-923B4BCEAD69}"
const RegistryKey kShellExWatchKeys[] = {
    {"ExecWarden.ShellExWatch.1", "ShellExWatch Class", nullptr, nullptr, false, kTree},
    {"ExecWarden.ShellExWatch.1\\CLSID", WATCH, nullptr, nullptr, false, kInside},
    {"ExecWarden.ShellExWatch", "ShellExWatch Class", nullptr, nullptr, false, kTree},
    {"ExecWarden.ShellExWatch\\CLSID", WATCH, nullptr, nullptr, false, kInside},
    {"ExecWarden.ShellExWatch\\CurVer", "ExecWarden.ShellExWatch.1", nullptr, nullptr, false,
     kInside},
    {"CLSID", nullptr, nullptr, nullptr, false, kNever},
    {"CLSID\\" WATCH, "ShellExWatch Class", "AppID", "%APPID%", true, kTree},
    {"CLSID\\" WATCH "\\ProgID", "ExecWarden.ShellExWatch.1", nullptr, nullptr, false, kInside},
    {"CLSID\\" WATCH "\\VersionIndependentProgID", "ExecWarden.ShellExWatch", nullptr, nullptr,
     false, kInside},
    {"CLSID\\" WATCH "\\Programmable", nullptr, nullptr, nullptr, true, kInside},
    {"CLSID\\" WATCH "\\InprocServer32", "%MODULE%", "ThreadingModel", "Both", false, kInside},
    {"CLSID\\" WATCH "\\TypeLib", kTypeLibId, nullptr, nullptr, false, kInside},
};
#undef WATCH

}  // namespace

const RegistryScript kAppIdScript{kAppIdKeys, std::size(kAppIdKeys)};
const RegistryScript kCompRegScript{kCompRegKeys, std::size(kCompRegKeys)};
const RegistryScript kShellExWatchScript{kShellExWatchKeys, std::size(kShellExWatchKeys)};

std::string ExpandRegistryText(const char* text, const std::string& module) {
    static constexpr const char kModule[] = "%MODULE%";
    static constexpr const char kAppIdMark[] = "%APPID%";
    std::string out;
    if (text == nullptr) return out;
    for (const char* p = text; *p != '\0';) {
        if (std::strncmp(p, kModule, std::size(kModule) - 1) == 0) {
            out += module;
            p += std::size(kModule) - 1;
        } else if (std::strncmp(p, kAppIdMark, std::size(kAppIdMark) - 1) == 0) {
            out += kAppId;
            p += std::size(kAppIdMark) - 1;
        } else {
            out += *p++;
        }
    }
    return out;
}
