#pragma once
#include "data_analyser.h"
#include "pe_helper.h"

// Fires when the image imports at most 5 functions; a content that is no PE image
// imports none and fires too.
class CFewAPICount final : public IDataAnalyser {
public:
    static constexpr int kId = 6602;
    static constexpr int kMaxImports = 5;
    // `reader` is the library's one image reader, shared by every image feature.
    explicit CFewAPICount(IPEHelper& reader = ThePEHelper()) : reader_(reader) {}
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_FewAPICount"; }
    int Analyse(IVirusCaptorDataProvidor* record) override;

private:
    IPEHelper& reader_;
};
