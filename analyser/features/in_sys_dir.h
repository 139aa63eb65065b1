#pragma once
#include <string>

#include "data_analyser.h"
#include "feature_environment.h"

// Fires when the path contains the Windows or the system directory anywhere (both
// sides lower-cased). Until Prepare reads them the directories are empty and occur in
// every path.
class CInSysDir final : public IDataAnalyser {
public:
    static constexpr int kId = 6603;
    explicit CInSysDir(IFeatureEnvironment* environment) : environment_(environment) {}
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_InSysDir"; }
    int Prepare() override;
    int Analyse(IVirusCaptorDataProvidor* record) override;

private:
    IFeatureEnvironment* environment_;
    std::string windowsDir_;
    std::string systemDir_;
};
