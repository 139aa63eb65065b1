#pragma once
#include "data_analyser.h"
#include "pe_helper.h"

// Fires when a printable text of the image looks like an e-mail address: mass mailers
// and spyware carry the address they report to.
class CWithMailInfo final : public IDataAnalyser {
public:
    static constexpr int kId = 6613;
    static constexpr int kMinTextLength = 10;
    // `reader` is the library's one image reader, shared by every image feature.
    explicit CWithMailInfo(IPEHelper& reader = ThePEHelper()) : reader_(reader) {}
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_WithMailInfo"; }
    int Analyse(IVirusCaptorDataProvidor* record) override;

private:
    IPEHelper& reader_;
};
