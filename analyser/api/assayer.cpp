#include "assayer.h"

#include <cstring>
#include <utility>

namespace {

void ApplyFact(CDataProvider& record, int kind, const void* data) {
    // A null pointer from the host carries no fact; the record stays as it was.
    if (data == nullptr) return;
    switch (kind) {
        case kFactPath:
            record.SetPath(static_cast<const char* const*>(data));
            break;
        case kFactStamp:
            record.SetStamp(data);
            break;
        case kFactCreateTime:
            record.SetCreateTime(data);
            break;
        case kFactSize:
            record.SetFileSize(static_cast<const int*>(data));
            break;
        case kFactContent:
            // Without a size first nothing is copied; the host is not told.
            record.SetContent(static_cast<const unsigned char* const*>(data));
            break;
        default:
            break;
    }
}

}  // namespace

CAssayer::CAssayer(VCS::IVCS* engine, IAnalyserPlatform* platform, AnalyserDirectories directories)
    : captor_(engine, platform, std::move(directories)) {}

int CAssayer::Init(const char* configPath, const char* ruleDbPath1, const char* ruleDbPath2) {
    captor_.Init(configPath, ruleDbPath1, ruleDbPath2);
    return 1;
}

CDataProvider* CAssayer::FindSubject(int subjectId) const {
    for (const auto& subject : subjects_) {
        if (subject->GetId() == subjectId) return subject.get();
    }
    return nullptr;
}

int CAssayer::AppendInfo(int subjectId, uint32_t /*reserved1*/, uint32_t /*reserved2*/, int kind,
                         const void* data) {
    CDataProvider* record = FindSubject(subjectId);
    if (record == nullptr) {
        // Even a fact of unknown kind names the subject.
        subjects_.push_back(std::make_unique<CDataProvider>(subjectId));
        record = subjects_.back().get();
    }
    ApplyFact(*record, kind, data);
    return 1;
}

int CAssayer::AnalyseInfo(int subjectId) {
    result_ = 0;
    lastHits_.clear();
    CDataProvider* record = FindSubject(subjectId);
    if (record == nullptr) return 0;
    std::string hits;
    const bool suspicious = captor_.Analyse(record, hits);
    result_ = captor_.Score();
    lastHits_ = hits;
    return suspicious ? 1 : 0;
}

int CAssayer::ReleaseInfo() {
    subjects_.clear();
    return 1;
}

int CAssayer::GetAnalyseHits(char* buffer, int size) const {
    if (buffer != nullptr && size > 0) {
        const size_t room = static_cast<size_t>(size) - 1;
        const size_t length = lastHits_.size() < room ? lastHits_.size() : room;
        memcpy(buffer, lastHits_.data(), length);
        buffer[length] = '\0';
    }
    return static_cast<int>(lastHits_.size());
}
