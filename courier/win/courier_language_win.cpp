#include "courier_language_win.h"

#include "component.h"
#include "win32/paths.h"

namespace {

constexpr const char kLibraryName[] = "Polyglot.dll";
constexpr const char kLanguageFile[] = "Courier.lng";
constexpr const char kModulesSection[] = "Addins";
constexpr const char kDefaultModulesFolder[] = "C:\\Program Files\\Kavro Labs\\Addins";

// The suite's modules folder as the roster names it, without a trailing backslash. Empty
// when it is not known: the common program files folder cannot be had, or the value is
// empty.
std::string ModulesFolder() {
    const std::string roster = kvwin::RosterPath();
    if (roster.empty()) return "";
    return kvwin::InstallPath(roster, kModulesSection, kDefaultModulesFolder);
}

}  // namespace

bool CourierLanguage::Load(HWND owner) {
    const std::string modules = ModulesFolder();
    for (const std::string& folder :
         {kvwin::ModuleFolder(kvwin::ThisModule()), modules.empty() ? modules : modules + "\\"}) {
        // A folder that is not known is no candidate: the bare name would be looked for
        // along the search path, "\Polyglot.dll" at the root of the current drive.
        if (folder.empty()) continue;
        library_.reset(LoadLibraryA((folder + kLibraryName).c_str()));
        if (library_) break;
    }
    if (!library_) return false;

    const auto factory = ProcAddress<GetKavroComponentPtrFn>(library_.get(), "GetKavroComponentPtr");
    if (factory == nullptr) {
        MessageBoxA(owner, "load Polyglot.dll error", "Courier", MB_OK | MB_ICONERROR);
        library_.reset();
        return false;
    }
    IComponent* component = nullptr;
    if (factory(&component, nullptr) != 0 && component != nullptr) {
        language_ = static_cast<MultiLanguage*>(component->GetInterface(kMultiLanguageName, 0));
    }
    if (language_ == nullptr) library_.reset();
    return language_ != nullptr;
}

std::string CourierLanguage::Text(const char* key) const {
    std::string text = key;
    if (language_ == nullptr) return text;
    language_->SetLanguageFile(kLanguageFile);
    language_->GetString(key, &text);
    return text;
}
