#pragma once
// What the library tests share: rule builders, the double's state, and the fixture that
// gives each test its own copy of the library, configuration and rule files.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "kavrofw_client.h"
#include "kernel_services_win.h"
#include "netwarden_host_win.h"
#include "program_folder_win.h"
#include "rule_files.h"
#include "scratch_dir_win.h"
#include "whole_file_win.h"
#include "win32/handles.h"

namespace nwtest {

using kvtest::ReadFileBytes;
using kvtest::WriteWholeFile;

constexpr char kName[] = "KAVRO NET MONITOR COMPONENT 1.0";
constexpr unsigned char kPersistent = 0;
constexpr unsigned char kTemporary = 1;

inline FirewallRule Rule(int32_t id, const char* text = "rule", uint32_t flags = 0) {
    FirewallRule rule = {};
    rule.ruleId = id;
    rule.flags = flags;
    rule.addressA = 0x0100000A;
    rule.addressB = 0x0200000A;
    rule.maskB = 0xFFFFFF00u;
    rule.portBLow = 80;
    rule.protocol = 6;
    std::strncpy(rule.text, text, sizeof rule.text);
    return rule;
}

inline std::vector<FirewallRule> Rules(int32_t first, int32_t count) {
    std::vector<FirewallRule> rules;
    for (int32_t id = first; id < first + count; ++id) rules.push_back(Rule(id));
    return rules;
}

inline std::vector<uint8_t> DefaultFile(const std::string& title,
                                        const std::vector<FirewallRule>& rules, uint32_t count) {
    std::vector<uint8_t> bytes(64 + rules.size() * sizeof(FirewallRule), 0);
    std::memcpy(bytes.data(), &count, 4);
    std::memcpy(bytes.data() + 4, title.data(), std::min<size_t>(title.size(), 60));
    if (!rules.empty())
        std::memcpy(bytes.data() + 64, rules.data(), rules.size() * sizeof(FirewallRule));
    return bytes;
}

inline std::vector<int32_t> IdsOf(const std::vector<FirewallRule>& rules) {
    std::vector<int32_t> ids;
    for (const FirewallRule& rule : rules) ids.push_back(rule.ruleId);
    return ids;
}

inline std::vector<int32_t> DriverIds(const kavrofw::Probe& probe) {
    std::vector<int32_t> ids;
    for (const kavrofw::RuleBytes& rule : probe.Rules()) {
        int32_t id;
        std::memcpy(&id, rule.data() + 4, 4);
        ids.push_back(id);
    }
    return ids;
}

// Polls the double's state until `holds` is true; false after `timeoutMs`.
template <class Predicate>
bool WaitForDriver(const kavrofw::Probe& probe, Predicate holds, DWORD timeoutMs = 10000) {
    const DWORD start = GetTickCount();
    while (!holds(probe.State())) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
    return true;
}

inline int TrafficPolls(const KavroFwState& state) {
    return KAVROFW_CALLS(state, 0x830020D8u);
}

class NetWardenDllTest : public ::testing::Test {
protected:
    NetWardenDllTest() : NetWardenDllTest("Z:\\tmp\\netwarden") {}
    // The scratch folder is made in `scratchParent`.
    explicit NetWardenDllTest(const std::string& scratchParent) : scratch_("nw", scratchParent) {}

    void SetUp() override {
        ASSERT_FALSE(scratch_.path().empty());
        ASSERT_TRUE(PlaceLibrary()) << GetLastError();
        ASSERT_TRUE(CreateDirectoryA(CfgData().c_str(), nullptr));
        WriteConfig(1);
        ASSERT_TRUE(
            WriteWholeFile(DefaultRules(), DefaultFile("Test rules", {Rule(50), Rule(51)}, 2)));
    }

    // A copy of the built library in the scratch folder, beside its own configuration.
    virtual bool PlaceLibrary() {
        return CopyFileA(kvtest::BesideProgram("NetWarden.dll").c_str(), Library().c_str(),
                         FALSE) != FALSE;
    }

    std::string Library() const { return scratch_ / "NetWarden.dll"; }
    std::string Config() const { return scratch_ / "NetWarden.cfg"; }
    std::string CfgData() const { return scratch_ / "CfgData"; }
    std::string DefaultRules() const { return CfgData() + "\\a_Rules.dat"; }
    std::string UserRules() const { return CfgData() + "\\u_Rules.dat"; }
    void WriteConfig(int policy) {
        WritePrivateProfileStringA("NetWarden", "Policy", std::to_string(policy).c_str(),
                                   Config().c_str());
        WritePrivateProfileStringA("NetWarden", "CfgData", CfgData().c_str(), Config().c_str());
    }
    // What CfgData holds, sorted: the rule files and whatever a save left beside them.
    std::vector<std::string> CfgDataNames() const {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        UniqueFind find(FindFirstFileA((CfgData() + "\\*").c_str(), &found));
        for (bool more = static_cast<bool>(find); more; more = FindNextFileA(find.get(), &found)) {
            const std::string name = found.cFileName;
            if (name != "." && name != "..") names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    int ConfiguredPolicy() {
        return GetPrivateProfileIntA("NetWarden", "Policy", -1, Config().c_str());
    }

    // Loads the library with `sink` registered and initialises it.
    std::unique_ptr<NetWardenHost> Start(RecordingSink* sink) {
        auto host = std::make_unique<NetWardenHost>(Library());
        if (!host->loaded()) return nullptr;
        host->AddSink(sink);
        if (!host->Initialize()) return nullptr;
        return host;
    }

    kvtest::ScratchDir scratch_;
};

}  // namespace nwtest
