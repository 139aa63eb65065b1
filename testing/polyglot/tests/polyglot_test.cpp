#include <windows.h>

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "component.h"
#include "language_file.h"
#include "multilanguage.h"
#include "program_folder_win.h"
#include "registry.h"
#include "win32/handles.h"

namespace {


}  // namespace

TEST(LanguageFile, KeyIsTextBeforeFirstEquals) {
    LanguageTable table = ParseLanguageText(
        "; comment\r\nOk=Bien\r\nnow update :=maintenant : =\nno equals\n=empty key\nOk=Later\n");
    EXPECT_EQ("Later", table["Ok"]);
    EXPECT_EQ("maintenant : =", table["now update :"]);
    EXPECT_EQ("empty key", table[""]);
    EXPECT_EQ(0u, table.count("no equals"));
    EXPECT_EQ(0u, table.count("; comment"));
}

TEST(Polyglot, RegistersAndTranslatesFromItsOwnDirectory) {
    {
        std::ofstream file(kvtest::BesideProgram("PolyglotTest.lng"), std::ios::binary);
        file << "Ok=Bien\r\ncan't connect to server=Serveur injoignable\r\n";
    }
    HMODULE module = LoadLibraryA("Polyglot.dll");
    ASSERT_NE(nullptr, module) << "error " << GetLastError();
    auto factory = ProcAddress<GetKavroComponentPtrFn>(module, "GetKavroComponentPtr");
    ASSERT_NE(nullptr, factory);

    CKavroComponentManager registry;
    IComponent* component = nullptr;
    ASSERT_EQ(1, factory(&component, &registry));
    IComponent* found = nullptr;
    ASSERT_EQ(1, registry.FindComponent("MultiLanguage", &found));
    EXPECT_EQ(component, found);

    auto* language = static_cast<MultiLanguage*>(found->GetInterface("MultiLanguage", 0));
    ASSERT_NE(nullptr, language);
    std::string text;
    language->GetString("Ok", &text);
    EXPECT_EQ("Ok", text);  // no language file selected yet: the key itself

    EXPECT_EQ(1, language->SetLanguageFile("PolyglotTest.lng"));
    language->GetString("Ok", &text);
    EXPECT_EQ("Bien", text);
    language->GetString("can't connect to server", &text);
    EXPECT_EQ("Serveur injoignable", text);
    language->GetString("Cancel", &text);
    EXPECT_EQ("Cancel", text);

    EXPECT_EQ(0, language->SetLanguageFile("Missing.lng"));
    language->GetString("Ok", &text);
    EXPECT_EQ("Ok", text);
    FreeLibrary(module);
}
