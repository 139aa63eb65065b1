#pragma once
#include "data_analyser.h"
#include "pe_helper.h"

// Fires when a PE image carries no version information: no version resource longer
// than 28 bytes. Programs from a maker ship one; droppers and quick hacks seldom do.
class CNoVerInfo final : public IDataAnalyser {
public:
    static constexpr int kId = 6604;
    // `reader` is the library's one image reader, shared by every image feature.
    explicit CNoVerInfo(IPEHelper& reader = ThePEHelper()) : reader_(reader) {}
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_NoVerInfo"; }
    int Analyse(IVirusCaptorDataProvidor* record) override;

private:
    IPEHelper& reader_;
};
