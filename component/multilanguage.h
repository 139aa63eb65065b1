#pragma once
// The suite's language library (Polyglot.dll) answers GetInterface("MultiLanguage", 0)
// with this interface. Callers use slot 1 and slot 10 only; the other slots exist in
// the library and must keep their places, so they stand here as placeholders that
// nobody calls.
#include <string>

constexpr const char kMultiLanguageName[] = "MultiLanguage";

class MultiLanguage {
public:
    virtual int Unused0() = 0;
    // Slot 1. Afterwards `out` holds the text for `key` (the English text) in the
    // selected language file. The result is not examined by callers.
    virtual int GetString(const char* key, std::string* out) = 0;
    virtual int Unused2() = 0;
    virtual int Unused3() = 0;
    virtual int Unused4() = 0;
    virtual int Unused5() = 0;
    virtual int Unused6() = 0;
    virtual int Unused7() = 0;
    virtual int Unused8() = 0;
    virtual int Unused9() = 0;
    // Slot 10. Later GetString calls use this language file (a name, no directory).
    virtual int SetLanguageFile(const char* fileName) = 0;
};
