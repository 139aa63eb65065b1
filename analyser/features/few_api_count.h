#pragma once
#include "data_analyser.h"

// Fires when the image imports at most 5 functions.
// Registered with its id and name; its test is not in yet, so it answers no (0).
class CFewAPICount final : public IDataAnalyser {
public:
    static constexpr int kId = 6602;
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_FewAPICount"; }
    int Analyse(IVirusCaptorDataProvidor* record) override;
};
