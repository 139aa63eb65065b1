#include "assayer_host.h"

#include <cstring>
#include <ctime>

#include "program_folder_win.h"

namespace {

template <class Function>
bool Find(HMODULE module, const char* name, Function* function) {
    *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return *function != nullptr;
}

}  // namespace

AssayerHost::AssayerHost() {
    module_ = LoadLibraryA(kvtest::BesideProgram("Assayer.dll").c_str());
    if (module_ == nullptr) return;
    ready_ = Find(module_, "init", &init_) && Find(module_, "AppendInfo", &appendInfo_) &&
             Find(module_, "AnalyseInfo", &analyseInfo_) &&
             Find(module_, "GetAnalyseResult", &getAnalyseResult_) &&
             Find(module_, "ReleaseInfo", &releaseInfo_) && Find(module_, "Release", &release_) &&
             Find(module_, "GetAnalyseHits", &getAnalyseHits_) &&
             Find(module_, "LoadSignatures", &loadSignatures_);
}

AssayerHost::~AssayerHost() {
    if (module_ != nullptr) FreeLibrary(module_);
}

std::string AssayerHost::Hits() {
    char buffer[64] = {};
    HitCount(buffer, sizeof(buffer));
    return buffer;
}

int AssayerHost::LoadSignatures(const std::string& path, std::string* message) {
    char buffer[256];
    memset(buffer, 'x', sizeof(buffer));
    const int added = loadSignatures_(path.c_str(), buffer, sizeof(buffer));
    *message = buffer;
    return added;
}

void AssayerHost::Describe(int id, const std::string& path, const std::vector<uint8_t>& bytes,
                           int64_t created) {
    const char* text = path.c_str();
    Append(id, 1, &text);
    const int size = static_cast<int>(bytes.size());
    Append(id, 4, &size);
    const uint8_t* data = bytes.data();
    Append(id, 5, &data);
    if (created != 0) Append(id, 3, &created);
}

int64_t NowSeconds() {
    return static_cast<int64_t>(time(nullptr));
}
