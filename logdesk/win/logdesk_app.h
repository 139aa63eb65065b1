#pragma once
// The program object: the paths of the suite's logs, the component registry that the
// language library enters itself in, and the text lookups.
#include <windows.h>

#include <string>
#include <vector>

#include "byte_text.h"
#include "log_sources.h"
#include "multilanguage.h"
#include "registry.h"
#include "win32/handles.h"

class CLogDeskApp {
public:
    CLogDeskApp();
    CLogDeskApp(const CLogDeskApp&) = delete;
    CLogDeskApp& operator=(const CLogDeskApp&) = delete;

    // Resolves the paths from the product file once; false when the common program
    // files folder cannot be had or the product file does not exist.
    bool InitPaths();
    // Loads "Polyglot.dll" from the modules directory and lets it enter the registry.
    void LoadLanguageLibrary();
    // Translates the About item, the program name and the maker line.
    void TranslateAppTexts();

    // `out` receives the text for `key`, or the key itself. False when there is no
    // language library to ask.
    bool Translate(const char* key, std::string& out);
    std::string Text(const char* key);

    const LogPaths& Paths() const { return paths_; }
    const LeadByteRule& Rule() const { return rule_; }
    const std::string& AboutItem() const { return aboutItem_; }
    const std::string& ProgramName() const { return programName_; }
    const std::string& MakerLine() const { return makerLine_; }

private:
    MultiLanguage* Language();

    CKavroComponentManager registry_;
    std::vector<UniqueModule> libraries_;  // unloaded before the registry goes
    MultiLanguage* language_ = nullptr;
    bool languageSought_ = false;

    bool pathsResolved_ = false;
    LogPaths paths_;
    LeadByteRule rule_;
    std::string aboutItem_, programName_, makerLine_;
};
