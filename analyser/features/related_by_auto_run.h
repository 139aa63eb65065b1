#pragma once
#include <string>
#include <vector>

#include "autorun_system.h"
#include "data_analyser.h"

// Fires when the subject's path is one of the programs the machine starts by
// itself (letter case ignored). The list is read at every Prepare.
class CRelatedByAutoRun final : public IDataAnalyser {
public:
    static constexpr int kId = 6620;
    // Without a system the list stays empty and the feature never fires.
    explicit CRelatedByAutoRun(IAutorunSystem* system = nullptr) : system_(system) {}
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_RelatedByAutoRun"; }
    // Reads the autorun list; 1 even when nothing could be read.
    int Prepare() override;
    int Analyse(IVirusCaptorDataProvidor* record) override;

private:
    IAutorunSystem* system_;
    std::vector<std::string> autorunPaths_;
};
