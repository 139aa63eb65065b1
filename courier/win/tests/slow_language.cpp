// A language library that holds the worker: while a file "hold" lies beside it, asking it
// for "now update :" (the text before each upload) waits until the file is gone, with
// "entered" and then "released" written beside it. Other texts are their keys.
#include <windows.h>

#include <string>

#include "factory.h"
#include "multilanguage.h"

namespace {

std::string Beside(const char* name) {
    HMODULE self = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&Beside), &self);
    char path[MAX_PATH] = {};
    std::string folder(path, GetModuleFileNameA(self, path, MAX_PATH));
    return folder.substr(0, folder.find_last_of('\\') + 1) + name;
}

void Touch(const char* name) {
    CloseHandle(CreateFileA(Beside(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                            nullptr));
}

class CSlowLanguage final : public IComponent, public MultiLanguage {
public:
    const char* GetName(char* buffer, int size) override {
        return AnswerComponentName(kMultiLanguageName, buffer, size);
    }
    void* GetInterface(const char* name, int) override {
        return ComponentNameEquals(name, kMultiLanguageName) ? static_cast<MultiLanguage*>(this)
                                                             : nullptr;
    }
    int Unused0() override { return 0; }
    int GetString(const char* key, std::string* out) override {
        const std::string hold = Beside("hold");
        if (std::string(key) == "now update :" &&
            GetFileAttributesA(hold.c_str()) != INVALID_FILE_ATTRIBUTES) {
            Touch("entered");
            for (int i = 0; i < 3000 && GetFileAttributesA(hold.c_str()) != INVALID_FILE_ATTRIBUTES;
                 ++i) {
                Sleep(20);
            }
            Touch("released");
        }
        *out = key;
        return 1;
    }
    int Unused2() override { return 0; }
    int Unused3() override { return 0; }
    int Unused4() override { return 0; }
    int Unused5() override { return 0; }
    int Unused6() override { return 0; }
    int Unused7() override { return 0; }
    int Unused8() override { return 0; }
    int Unused9() override { return 0; }
    int SetLanguageFile(const char*) override { return 1; }
};

}  // namespace

extern "C" __declspec(dllexport) int __cdecl GetKavroComponentPtr(IComponent** out,
                                                                   IKavroComponentManager* registry) {
    return ServeComponent<CSlowLanguage>(out, registry);
}
