#include "virus_captor.h"

#include <utility>

#include "image_screen.h"
#include "md5.h"

CVirusCaptor::CVirusCaptor(VCS::IVCS* engine, IAnalyserPlatform* platform,
                           AnalyserDirectories directories)
    : directories_(std::move(directories)), engine_(engine), platform_(platform) {}

int CVirusCaptor::Init(const char* configPath, const char* /*ruleDbPath1*/,
                       const char* /*ruleDbPath2*/) {
    clearedPaths_.clear();
    flaggedPaths_.clear();
    clearedDigests_[0].clear();
    clearedDigests_[1].clear();
    digestListPath_.clear();
    engine_->Load(configPath);
    engineName_ = engine_->GetName();
    return 1;
}

bool CVirusCaptor::Analyse(IVirusCaptorDataProvidor* record, std::string& hits) {
    // A subject decided by a list has no sum of its own.
    score_ = 0;
    if (platform_->ClassifyImageFile(record->GetPath()) == kNotImage) return false;

    const std::string folded = platform_->FoldCase(record->GetPath());
    const auto flagged = flaggedPaths_.find(folded);
    if (flagged != flaggedPaths_.end() &&
        (flagged->second == -1 || flagged->second == record->GetFileSize())) {
        return true;
    }

    // Only a subject whose bytes the host supplied is scored.
    const unsigned char* content = record->GetContent(0, record->GetFileSize());
    if (content == nullptr) return false;
    bool verdict = false;
    if (CheckLists(record, content, &verdict)) return verdict;

    const int suspicious = engine_->Score(record, hits);
    score_ = engine_->GetScore();
    return suspicious == 1;
}

bool CVirusCaptor::CheckLists(IVirusCaptorDataProvidor* record, const unsigned char* content,
                              bool* verdict) {
    *verdict = false;
    if (!clearedDigests_[0].empty() || !clearedDigests_[1].empty()) {
        Digest digest = {};
        CMD5Class md5;
        md5.Digest(content, digest.data(), static_cast<uint32_t>(record->GetFileSize()));
        if (clearedDigests_[0].count(digest) != 0 || clearedDigests_[1].count(digest) != 0) {
            return true;
        }
    }
    return clearedPaths_.count(platform_->FoldCase(record->GetPath())) != 0;
}
