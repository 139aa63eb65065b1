#pragma once
#include "data_analyser.h"
#include "pe_helper.h"

// Fires when an icon of the image is one of the icons of Windows system files: a
// program dressed up as a folder, a document or a system tool.
class CUseSystemIcon final : public IDataAnalyser {
public:
    static constexpr int kId = 6601;
    // `reader` is the library's one image reader, shared by every image feature.
    explicit CUseSystemIcon(IPEHelper& reader = ThePEHelper()) : reader_(reader) {}
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_UseSystemIcon"; }
    int Analyse(IVirusCaptorDataProvidor* record) override;

private:
    IPEHelper& reader_;
};
