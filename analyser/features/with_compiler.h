#pragma once
#include "data_analyser.h"

// Fires when the image matches a compiler signature.
// Registered with its id and name; its test is not in yet, so it answers no (0).
class CWithCompiler final : public IDataAnalyser {
public:
    static constexpr int kId = 6615;
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_WithCompiler"; }
    int Analyse(IVirusCaptorDataProvidor* record) override;
};
