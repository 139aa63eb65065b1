#pragma once
#include "data_analyser.h"

// Fires when the image contains a text that looks like an e-mail address.
// Registered with its id and name; its test is not in yet, so it answers no (0).
class CWithMailInfo final : public IDataAnalyser {
public:
    static constexpr int kId = 6613;
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_WithMailInfo"; }
    int Analyse(IVirusCaptorDataProvidor* record) override;
};
