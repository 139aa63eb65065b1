#pragma once
#include "data_analyser.h"
#include "pe_helper.h"

// Fires when a section of the image has a name outside ".data", ".rdata", ".text".
class CBadSectionName final : public IDataAnalyser {
public:
    static constexpr int kId = 6607;
    // `reader` is the library's one image reader, shared by every image feature.
    explicit CBadSectionName(IPEHelper& reader = ThePEHelper()) : reader_(reader) {}
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_BadSectionName"; }
    int Analyse(IVirusCaptorDataProvidor* record) override;

private:
    IPEHelper& reader_;
};
