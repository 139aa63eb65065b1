#pragma once
// One analysis: screen the file on disk, consult the lists, then score with the engine.
#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "analyser_platform.h"
#include "data_provider.h"
#include "vcs.h"

class CVirusCaptor {
public:
    using Digest = std::array<uint8_t, 16>;

    CVirusCaptor(VCS::IVCS* engine, IAnalyserPlatform* platform, AnalyserDirectories directories);

    // Empties the lists (no rule-database or digest-list reader is attached, so the two
    // rule-database paths have no effect) and reloads the engine configuration.
    int Init(const char* configPath, const char* ruleDbPath1, const char* ruleDbPath2);

    // True when the subject is judged suspicious; Score() then holds the engine's sum.
    // The engine's hit letters are appended to `hits`.
    bool Analyse(IVirusCaptorDataProvidor* record, std::string& hits);

    int32_t Score() const { return score_; }
    const AnalyserDirectories& Directories() const { return directories_; }
    const std::string& EngineName() const { return engineName_; }

private:
    bool CheckLists(IVirusCaptorDataProvidor* record, const unsigned char* content, bool* verdict);

    // Paths from the first rule database: a hit clears the subject.
    std::set<std::string> clearedPaths_;
    // Paths from the second rule database with their size (-1: any size): a hit flags it.
    std::map<std::string, int32_t> flaggedPaths_;
    // Digests from the two digest lists: a hit clears the subject.
    std::set<Digest> clearedDigests_[2];
    std::string digestListPath_;
    AnalyserDirectories directories_;
    std::string engineName_;
    int32_t score_ = 0;
    VCS::IVCS* engine_;
    IAnalyserPlatform* platform_;
};
