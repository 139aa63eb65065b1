#pragma once
#include "data_analyser.h"

// Fires when the file name (without directory and last extension) begins with an ASCII
// decimal digit.
class CNumberPrefix final : public IDataAnalyser {
public:
    static constexpr int kId = 6600;
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_NumberPrefix"; }
    int Analyse(IVirusCaptorDataProvidor* record) override;
};
