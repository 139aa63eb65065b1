#include "assayer_library_win.h"

#include <vector>

#include "text_win.h"

namespace {

constexpr int kSubject = 1;

std::wstring ProgramDirectory() {
    const std::wstring path = ProgramPath();
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

}  // namespace

AssayerLibrary::~AssayerLibrary() {
    if (release_ != nullptr) release_();
}

bool AssayerLibrary::Load(std::string* why) {
    const std::wstring path = ProgramDirectory() + L"\\Assayer.dll";
    module_.reset(LoadLibraryW(path.c_str()));
    if (!module_) {
        *why = "cannot load " + NarrowFromWide(path, CP_ACP) + ": " + ErrorText(GetLastError());
        return false;
    }
    const HMODULE m = module_.get();
    init_ = ProcAddress<kavro::AssayerInit*>(m, kavro::kAssayerInitName);
    appendInfo_ = ProcAddress<kavro::AssayerAppendInfo*>(m, kavro::kAssayerAppendInfoName);
    analyseInfo_ = ProcAddress<kavro::AssayerAnalyseInfo*>(m, kavro::kAssayerAnalyseInfoName);
    getAnalyseResult_ =
        ProcAddress<kavro::AssayerGetAnalyseResult*>(m, kavro::kAssayerGetAnalyseResultName);
    releaseInfo_ = ProcAddress<kavro::AssayerReleaseInfo*>(m, kavro::kAssayerReleaseInfoName);
    getAnalyseHits_ =
        ProcAddress<kavro::AssayerGetAnalyseHits*>(m, kavro::kAssayerGetAnalyseHitsName);
    release_ = ProcAddress<kavro::AssayerRelease*>(m, kavro::kAssayerReleaseName);
    loadSignatures_ =
        ProcAddress<kavro::AssayerLoadSignatures*>(m, kavro::kAssayerLoadSignaturesName);
    if (!init_ || !appendInfo_ || !analyseInfo_ || !getAnalyseResult_ || !releaseInfo_ ||
        !getAnalyseHits_ || !release_) {
        *why = "Assayer.dll lacks one of its exports";
        release_ = nullptr;
        return false;
    }
    return true;
}

void AssayerLibrary::Init(const char* configPath) {
    init_(configPath, nullptr, nullptr);
}

int AssayerLibrary::LoadSignatures(const std::string& path, std::string* message) {
    if (loadSignatures_ == nullptr) {
        *message = "this Assayer.dll cannot load signature databases";
        return -1;
    }
    char buffer[512] = {};
    const int added = loadSignatures_(path.c_str(), buffer, sizeof(buffer));
    *message = buffer;
    return added;
}

Analysis AssayerLibrary::Analyse(const char* path, int64_t createdSeconds, int32_t size,
                                 const uint8_t* bytes) {
    // The two middle words of AppendInfo are not read by the analyser.
    appendInfo_(kSubject, 0, 0, kavro::kAssayerFactPath, &path);
    appendInfo_(kSubject, 0, 0, kavro::kAssayerFactCreateTime, &createdSeconds);
    // The size goes first: the content copy takes its length from it.
    appendInfo_(kSubject, 0, 0, kavro::kAssayerFactSize, &size);
    appendInfo_(kSubject, 0, 0, kavro::kAssayerFactContent, &bytes);
    Analysis analysis;
    // Boolean answers live in the low byte of the result.
    analysis.suspicious = (analyseInfo_(kSubject) & 0xFF) != 0;
    analysis.score = getAnalyseResult_();
    analysis.hits = Hits();
    releaseInfo_();
    return analysis;
}

std::string AssayerLibrary::Hits() {
    char buffer[32] = {};
    const int count = getAnalyseHits_(buffer, sizeof(buffer));
    if (count < static_cast<int>(sizeof(buffer))) return std::string(buffer);
    // There are 21 letters at most; a larger count is not believed beyond this.
    constexpr int kMostHits = 256;
    const int wanted = count < kMostHits ? count : kMostHits;
    std::vector<char> larger(static_cast<size_t>(wanted) + 1);
    getAnalyseHits_(larger.data(), wanted + 1);
    return std::string(larger.data());
}
