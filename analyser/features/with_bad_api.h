#pragma once
#include "data_analyser.h"

// Fires when the image imports one of the listed dangerous functions by name.
// Registered with its id and name; its test is not in yet, so it answers no (0).
class CWithBadAPI final : public IDataAnalyser {
public:
    static constexpr int kId = 6612;
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_WithBadAPI"; }
    int Analyse(IVirusCaptorDataProvidor* record) override;
};
