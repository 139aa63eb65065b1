#pragma once
#include <set>
#include <string>

#include "data_analyser.h"

// Fires for a file name with exactly two extensions whose inner one is a known
// document or media extension (photo.jpg.exe), compared case-sensitively.
class CMultiExtName final : public IDataAnalyser {
public:
    static constexpr int kId = 6606;
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_MultiExtName"; }
    int Prepare() override;
    int Analyse(IVirusCaptorDataProvidor* record) override;

private:
    std::set<std::string> extensions_;
};
