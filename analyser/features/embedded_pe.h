#pragma once
#include "data_analyser.h"

// Fires when the content holds more than one PE image.
// Registered with its id and name; its test is not in yet, so it answers no (0).
class CEmbeddedPE final : public IDataAnalyser {
public:
    static constexpr int kId = 6614;
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_EmbeddedPE"; }
    int Analyse(IVirusCaptorDataProvidor* record) override;
};
