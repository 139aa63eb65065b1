#pragma once
// The state behind the exports: the subjects a host described, the analyser and the
// last result. One object per process; the exports must not be entered concurrently.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data_provider.h"
#include "virus_captor.h"

// Facts a host may add to a subject with AppendInfo.
enum SubjectFact : int {
    kFactPath = 1,        // data: pointer to a pointer to a NUL-terminated text
    kFactStamp = 2,       // data: 8 bytes
    kFactCreateTime = 3,  // data: signed 64-bit seconds since 1970-01-01 UTC
    kFactSize = 4,        // data: signed 32-bit byte count
    kFactContent = 5,     // data: pointer to a pointer to the bytes (after the size)
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
