#pragma once
#include "data_analyser.h"

// Fires for subjects larger than 1 MiB. An unset size (-1) reads as the largest
// unsigned count and fires too.
class CLargeFileSize final : public IDataAnalyser {
public:
    static constexpr int kId = 6605;
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_LargeFileSize"; }
    int Analyse(IVirusCaptorDataProvidor* record) override;
};
