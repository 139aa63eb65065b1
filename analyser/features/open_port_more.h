#pragma once
#include "data_analyser.h"

// Fires when the program at the subject's path owns more than 5 open ports.
// Registered with its id and name; its test is not in yet, so it answers no (0).
class COpenPortMore final : public IDataAnalyser {
public:
    static constexpr int kId = 6611;
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_OpenPortMore"; }
    int Analyse(IVirusCaptorDataProvidor* record) override;
};
