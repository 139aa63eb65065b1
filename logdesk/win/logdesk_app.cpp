#include "logdesk_app.h"

#include "component.h"
#include "win32/files.h"
#include "win32/paths.h"

namespace {

constexpr const char kLanguageFile[] = "LogDesk.Lng";

bool AnsiLeadByte(unsigned char byte) {
    return IsDBCSLeadByte(byte) != FALSE;
}

}  // namespace

CLogDeskApp::CLogDeskApp() : rule_(LeadByteRule::From(AnsiLeadByte)) {}

bool CLogDeskApp::InitPaths() {
    if (pathsResolved_) return true;
    // "" when the common program files folder cannot be had: no file is named then.
    const std::string productFile = kvwin::RosterPath();
    if (!kvwin::FileExists(productFile)) return false;
    InstallPaths install;
    std::string* values[5] = {&install.base, &install.bulwark, &install.keystone, &install.addins,
                              &install.upkeep};
    for (int i = 0; i < 5; ++i) *values[i] = kvwin::InstallPath(productFile, kInstallSections[i]);
    paths_ = BuildLogPaths(install, rule_);
    pathsResolved_ = true;
    return true;
}

void CLogDeskApp::LoadLanguageLibrary() {
    const std::string& path = paths_.languageLibrary;
    if (!kvwin::FileExists(path)) return;
    UniqueModule library(LoadLibraryA(path.c_str()));
    if (!library) return;
    auto factory = ProcAddress<GetKavroComponentPtrFn>(library.get(), "GetKavroComponentPtr");
    if (factory == nullptr) return;  // not a component library: unloaded again
    IComponent* component = nullptr;
    factory(&component, &registry_);
    // Once entered in the registry the component must stay loaded, whatever the
    // factory answered.
    libraries_.push_back(std::move(library));
}

void CLogDeskApp::TranslateAppTexts() {
    aboutItem_ = Text("About LogDesk(&A)...");
    programName_ = Text("LogDesk");
    makerLine_ = Text("Copyright (C) Kavro Labs");
}

MultiLanguage* CLogDeskApp::Language() {
    // The registry is asked once; without the component every text stays English.
    if (!languageSought_) {
        languageSought_ = true;
        IComponent* component = nullptr;
        if (registry_.FindComponent(kMultiLanguageName, &component) && component != nullptr) {
            language_ = static_cast<MultiLanguage*>(component->GetInterface(kMultiLanguageName, 0));
            if (language_ != nullptr) language_->SetLanguageFile(kLanguageFile);
        }
    }
    return language_;
}

bool CLogDeskApp::Translate(const char* key, std::string& out) {
    // The key goes in first: a text without translation shows the English key.
    out = key;
    MultiLanguage* language = Language();
    if (language == nullptr) return false;
    language->GetString(key, &out);
    return true;
}

std::string CLogDeskApp::Text(const char* key) {
    std::string text;
    Translate(key, text);
    return text;
}
