#pragma once
// The state behind the exports: the subjects a host described, the analyser and the
// last result. One object per process; the exports must not be entered concurrently.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data_provider.h"
#include "kavro/assayer.h"
#include "virus_captor.h"

// Facts a host may add to a subject with AppendInfo, numbered as hosts know them.
enum SubjectFact : int {
    kFactPath = kavro::kAssayerFactPath,              // data: pointer to a pointer to a text
    kFactStamp = kavro::kAssayerFactStamp,            // data: 8 bytes
    kFactCreateTime = kavro::kAssayerFactCreateTime,  // data: signed 64-bit seconds since 1970
    kFactSize = kavro::kAssayerFactSize,              // data: signed 32-bit byte count
    kFactContent = kavro::kAssayerFactContent,        // data: pointer to a pointer to the bytes
};

class CAssayer {
public:
    CAssayer(VCS::IVCS* engine, IAnalyserPlatform* platform, AnalyserDirectories directories);

    int Init(const char* configPath, const char* ruleDbPath1, const char* ruleDbPath2);
    int AppendInfo(int subjectId, uint32_t reserved1, uint32_t reserved2, int kind,
                   const void* data);
    int AnalyseInfo(int subjectId);
    int GetAnalyseResult() const { return result_; }
    int ReleaseInfo();
    int Release() { return 1; }
    // Copies the hit letters of the last analysis (cut to size - 1 characters, always
    // terminated when size > 0) and returns their full count.
    int GetAnalyseHits(char* buffer, int size) const;

    size_t SubjectCount() const { return subjects_.size(); }
    CDataProvider* FindSubject(int subjectId) const;
    const CVirusCaptor& Captor() const { return captor_; }

private:
    std::vector<std::unique_ptr<CDataProvider>> subjects_;
    CVirusCaptor captor_;
    int32_t result_ = 0;
    std::string lastHits_;
};
