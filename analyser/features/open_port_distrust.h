#pragma once
#include "data_analyser.h"

// Fires when the program at the subject's path owns an open port known as a backdoor port.
// Registered with its id and name; its test is not in yet, so it answers no (0).
class COpenPortDistrust final : public IDataAnalyser {
public:
    static constexpr int kId = 6616;
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_OpenPortDistrust"; }
    int Analyse(IVirusCaptorDataProvidor* record) override;
};
