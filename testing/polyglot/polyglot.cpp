// Stand-in for the suite's language library: texts from key=value files that lie
// beside the DLL. While a file "hold" lies beside it too, asking for "now update :" (the
// text before each upload) holds the caller until that file is gone, with "entered" and
// then "released" written beside it: a worker held in a call nothing can cancel.
#include <windows.h>

#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>

#include "factory.h"
#include "language_file.h"
#include "multilanguage.h"

namespace {

std::string ModuleDirectory() {
    HMODULE self = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&ModuleDirectory), &self);
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
    std::string directory(path, length);
    size_t slash = directory.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : directory.substr(0, slash + 1);
}

void Touch(const std::string& path) {
    CloseHandle(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
}

void HoldWhileAsked(const char* key) {
    const std::string hold = ModuleDirectory() + "hold";
    const auto held = [&] { return GetFileAttributesA(hold.c_str()) != INVALID_FILE_ATTRIBUTES; };
    if (std::string(key) != "now update :" || !held()) return;
    Touch(ModuleDirectory() + "entered");
    for (int i = 0; i < 3000 && held(); ++i) Sleep(20);
    Touch(ModuleDirectory() + "released");
}

class CPolyglot final : public IComponent, public MultiLanguage {
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
        if (key == nullptr || out == nullptr) return 0;
        HoldWhileAsked(key);
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = table_.find(key);
        *out = it == table_.end() ? std::string(key) : it->second;
        return it == table_.end() ? 0 : 1;
    }
    int Unused2() override { return 0; }
    int Unused3() override { return 0; }
    int Unused4() override { return 0; }
    int Unused5() override { return 0; }
    int Unused6() override { return 0; }
    int Unused7() override { return 0; }
    int Unused8() override { return 0; }
    int Unused9() override { return 0; }
    int SetLanguageFile(const char* fileName) override {
        LanguageTable table;
        bool read = false;
        if (fileName != nullptr) {
            std::ifstream file(ModuleDirectory() + fileName, std::ios::binary);
            if (file) {
                std::string text((std::istreambuf_iterator<char>(file)),
                                 std::istreambuf_iterator<char>());
                table = ParseLanguageText(text);
                read = true;
            }
        }
        // Callers use the library from two threads without a lock of their own.
        std::lock_guard<std::mutex> lock(mutex_);
        table_ = std::move(table);
        return read ? 1 : 0;
    }

private:
    std::mutex mutex_;
    LanguageTable table_;
};

}  // namespace

extern "C" int __cdecl GetKavroComponentPtr(IComponent** out, IKavroComponentManager* registry) {
    return ServeComponent<CPolyglot>(out, registry);
}
