#pragma once
#include "data_analyser.h"

// Fires when the image has no version resource, or one without its LegalCopyright text.
// Registered with its id and name; its test is not in yet, so it answers no (0).
class CNoVerInfo final : public IDataAnalyser {
public:
    static constexpr int kId = 6604;
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_NoVerInfo"; }
    int Analyse(IVirusCaptorDataProvidor* record) override;
};
