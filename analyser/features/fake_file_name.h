#pragma once
#include "data_analyser.h"
#include "fake_name_core.h"

// Fires when the file name is not a known system file name but looks almost like one.
class CFakeFileName final : public IDataAnalyser {
public:
    static constexpr int kId = 6609;
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_FakeFileName"; }
    // Loads the system file name list; however often it runs, each name is listed once.
    int Prepare() override { return core_.Prepare(); }
    int Analyse(IVirusCaptorDataProvidor* record) override;

private:
    CFakeFileNameCore core_;
};
