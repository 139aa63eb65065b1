#pragma once
#include "data_analyser.h"

// Fires when a section of the image has a name outside .data, .rdata and .text.
// Registered with its id and name; its test is not in yet, so it answers no (0).
class CBadSectionName final : public IDataAnalyser {
public:
    static constexpr int kId = 6607;
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_BadSectionName"; }
    int Analyse(IVirusCaptorDataProvidor* record) override;
};
