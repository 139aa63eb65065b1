#pragma once
#include <map>
#include <string>

#include "data_analyser.h"
#include "open_port_system.h"

// Fires when the program at the subject's path (exact text, case included) owns
// more than 5 open ports. The ports are counted afresh for every subject.
class COpenPortMore final : public IDataAnalyser {
public:
    static constexpr int kId = 6611;
    // Without a system the feature has no ports to count and never fires.
    explicit COpenPortMore(IOpenPortSystem* system = nullptr) : system_(system) {}
    int GetId() override { return kId; }
    const char* GetName() override { return "ID_OpenPortMore"; }
    // Takes the process snapshot; 0 when there is none.
    int Prepare() override;
    int Analyse(IVirusCaptorDataProvidor* record) override;
    // Code 3 recounts the ports (0 when that fails); other codes answer 1.
    int Notify(int code) override;

private:
    bool RebuildCounts(bool refresh);

    IOpenPortSystem* system_;
    IProcessHelper* snapshot_ = nullptr;
    // Owner path to the number of records whose owner path begins with it.
    std::map<std::string, int> portCounts_;
};
