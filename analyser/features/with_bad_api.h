#pragma once
#include "data_analyser.h"
#include "pe_helper.h"

// Fires when the image imports by name (exact case) one of 14 functions that droppers,
// backdoors and service killers lean on.
class CWithBadAPI final : public IDataAnalyser {
public:
    static constexpr int kId = 6612;
    // `reader` is the library's one image reader, shared by every image feature.
    explicit CWithBadAPI(IPEHelper& reader = ThePEHelper()) : reader_(reader) {}
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_WithBadAPI"; }
    int Analyse(IVirusCaptorDataProvidor* record) override;

private:
    IPEHelper& reader_;
};
