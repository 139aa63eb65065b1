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
    ready_ = Find(module_, kavro::kAssayerInitName, &init_) &&
             Find(module_, kavro::kAssayerAppendInfoName, &appendInfo_) &&
             Find(module_, kavro::kAssayerAnalyseInfoName, &analyseInfo_) &&
             Find(module_, kavro::kAssayerGetAnalyseResultName, &getAnalyseResult_) &&
             Find(module_, kavro::kAssayerReleaseInfoName, &releaseInfo_) &&
             Find(module_, kavro::kAssayerReleaseName, &release_) &&
             Find(module_, kavro::kAssayerGetAnalyseHitsName, &getAnalyseHits_) &&
             Find(module_, kavro::kAssayerLoadSignaturesName, &loadSignatures_);
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
    Append(id, kavro::kAssayerFactPath, &text);
    const int size = static_cast<int>(bytes.size());
    Append(id, kavro::kAssayerFactSize, &size);
    const uint8_t* data = bytes.data();
    Append(id, kavro::kAssayerFactContent, &data);
    if (created != 0) Append(id, kavro::kAssayerFactCreateTime, &created);
}

int64_t NowSeconds() {
    return static_cast<int64_t>(time(nullptr));
}
