#pragma once
#include <string>

#include "data_analyser.h"
#include "feature_environment.h"
#include "pe_helper.h"

// Fires when the image matches a packer signature and lies under the Windows directory:
// system files are not shipped packed.
class CWithShell final : public IDataAnalyser {
public:
    static constexpr int kId = 6610;
    // `reader` is the library's one image reader, shared by every image feature.
    explicit CWithShell(IFeatureEnvironment* environment, IPEHelper& reader = ThePEHelper())
        : environment_(environment), reader_(reader) {}
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_WithShell"; }
    int Prepare() override;
    int Analyse(IVirusCaptorDataProvidor* record) override;

private:
    IFeatureEnvironment* environment_;
    IPEHelper& reader_;
    std::string windowsDir_;  // lower case; empty until a Prepare could read it
};
