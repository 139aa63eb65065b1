#pragma once
#include "data_analyser.h"

// Fires when the path is one of the feature's autorun paths.
// Registered with its id and name; its test is not in yet, so it answers no (0).
class CRelatedByAutoRun final : public IDataAnalyser {
public:
    static constexpr int kId = 6620;
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_RelatedByAutoRun"; }
    int Analyse(IVirusCaptorDataProvidor* record) override;
};
