#pragma once
#include "data_analyser.h"
#include "pe_helper.h"

// Fires when the content holds a PE image besides its own: a dropper's payload.
class CEmbeddedPE final : public IDataAnalyser {
public:
    static constexpr int kId = 6614;
    // `reader` is the library's one image reader, shared by every image feature.
    explicit CEmbeddedPE(IPEHelper& reader = ThePEHelper()) : reader_(reader) {}
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_EmbeddedPE"; }
    int Analyse(IVirusCaptorDataProvidor* record) override;

private:
    IPEHelper& reader_;
};
