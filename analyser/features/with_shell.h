#pragma once
#include "data_analyser.h"

// Fires when the image matches a packer signature and lies under the Windows directory.
// Registered with its id and name; its test is not in yet, so it answers no (0).
class CWithShell final : public IDataAnalyser {
public:
    static constexpr int kId = 6610;
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_WithShell"; }
    int Analyse(IVirusCaptorDataProvidor* record) override;
};
