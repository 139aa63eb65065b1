#pragma once
#include <cstdint>
#include <string>

#include "data_analyser.h"
#include "feature_environment.h"

// Fires for a file under the Windows directory created less than 7 days ago (a
// creation time in the future counts as recent).
class CRecentCreateTime final : public IDataAnalyser {
public:
    static constexpr int kId = 6608;
    static constexpr int64_t kAgeLimit = 604800;
    explicit CRecentCreateTime(IFeatureEnvironment* environment) : environment_(environment) {}
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_RecentCreateTime"; }
    int Prepare() override;
    int Analyse(IVirusCaptorDataProvidor* record) override;

private:
    IFeatureEnvironment* environment_;
    std::string windowsDir_;
};
