#pragma once
#include "data_analyser.h"

// Fires when an icon of the image has the checksum of a known system icon.
// Registered with its id and name; its test is not in yet, so it answers no (0).
class CUseSystemIcon final : public IDataAnalyser {
public:
    static constexpr int kId = 6601;
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_UseSystemIcon"; }
    int Analyse(IVirusCaptorDataProvidor* record) override;
};
