#pragma once
#include "data_analyser.h"
#include "pe_helper.h"

// Fires when the code at the entry point matches a compiler's start-up signature.
class CWithCompiler final : public IDataAnalyser {
public:
    static constexpr int kId = 6615;
    // `reader` is the library's one image reader, shared by every image feature.
    explicit CWithCompiler(IPEHelper& reader = ThePEHelper()) : reader_(reader) {}
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_WithCompiler"; }
    int Analyse(IVirusCaptorDataProvidor* record) override;

private:
    IPEHelper& reader_;
};
