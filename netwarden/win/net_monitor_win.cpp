#include "net_monitor_win.h"

#include <string>

#include "adapters_win.h"
#include "config_path.h"
#include "driver_codes.h"
#include "driver_service_win.h"
#include "rule_files.h"
#include "rule_lists.h"
#include "win32/files.h"
#include "win32/locks.h"
#include "win32/paths.h"

namespace {

constexpr char kSection[] = "NetWarden";
// How long the unload waits for each worker to park before it ends the worker anyway.
constexpr DWORD kParkTimeoutMs = 10000;

}  // namespace

// The list operations' view of the device.
class CNetMonitor::DriverPort final : public IRuleDriver {
public:
    explicit DriverPort(CNetMonitor* monitor) : monitor_(monitor) {}
    bool AddBatch(const DriverRule* rules, size_t count, int32_t* answer) override {
        // Only an answer the driver wrote whole confirms anything: a success that wrote
        // fewer bytes is taken as a refusal.
        DWORD returned = 0;
        return monitor_->Control(kAddRulesCode, rules,
                                 static_cast<DWORD>(count * sizeof(DriverRule)), answer,
                                 sizeof *answer, &returned) &&
               returned == sizeof *answer;
    }
    bool Delete(int32_t ruleId) override {
        int32_t unused = 0;
        return monitor_->Control(kDeleteRuleCode, &ruleId, sizeof ruleId, &unused, sizeof unused);
    }
    bool Update(const DriverRule& rule) override {
        return monitor_->Control(kUpdateRuleCode, &rule, sizeof rule, nullptr, 0);
    }

private:
    CNetMonitor* monitor_;
};

CNetMonitor::CNetMonitor()
    : configPath_(ConfigurationPathFor(kvwin::ModulePath(kvwin::ThisModule()))) {}

CNetMonitor::~CNetMonitor() {
    // At process exit the workers are gone already and nothing may be waited for.
    if (kvwin::ProcessIsExiting()) {
        addressWorker_.Abandon();
        trafficWorker_.Abandon();
    } else {
        StopWorkers();
    }
    Control(kDisableCode, nullptr, 0, nullptr, 0);
    device_.reset();
}

void CNetMonitor::StopWorkers() {
    if (stopEvent_) SetEvent(stopEvent_.get());
    addressWorker_.End(kParkTimeoutMs);
    trafficWorker_.End(kParkTimeoutMs);
}

bool CNetMonitor::Control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                          DWORD* returned) {
    if (!device_) return false;
    DWORD unused = 0;
    return DeviceIoControl(device_.get(), code, const_cast<void*>(in), inSize, out, outSize,
                           returned != nullptr ? returned : &unused, nullptr) != FALSE;
}

std::vector<INetMonitorSink*> CNetMonitor::Sinks() {
    kvwin::SrwExclusive lock(&lock_);
    return std::vector<INetMonitorSink*>(sinks_.begin(), sinks_.end());
}

const char* CNetMonitor::GetName(char* buffer, int size) {
    return AnswerComponentName(kNetMonitorName, buffer, size);
}

void* CNetMonitor::GetInterface(const char* name, int) {
    return ComponentNameEquals(name, kNetMonitorName) ? static_cast<INetMonitor*>(this) : nullptr;
}

void* CNetMonitor::DestructorSlot(unsigned) {
    return this;
}

bool CNetMonitor::Initialize() {
    try {
        return InitializeOnce();
    } catch (...) {
        return false;
    }
}

bool CNetMonitor::InitializeOnce() {
    if (initialized_) return true;
    // A retry starts the driver afresh, with an empty rule table: the lists follow it.
    device_.reset();
    {
        kvwin::SrwExclusive lock(&lock_);
        persistent_.clear();
        temporary_.clear();
    }
    RemoveDriverService();
    if (!InstallAndStartDriverService()) return false;
    device_ = OpenDriverDevice();
    if (!device_) return false;
    SetPolicy(
        static_cast<int32_t>(GetPrivateProfileIntA(kSection, "Policy", 1, configPath_.c_str())));
    if (!LoadRules()) return false;

    firstAddresses_ = LocalAddresses();
    stopEvent_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!stopEvent_ || !addressWorker_.Start(&CNetMonitor::AddressThread, this) ||
        !trafficWorker_.Start(&CNetMonitor::TrafficThread, this)) {
        StopWorkers();
        return false;
    }
    initialized_ = true;
    return true;
}

bool CNetMonitor::LoadRules() {
    char directory[260] = {};
    GetPrivateProfileStringA(kSection, "CfgData", ".\\CfgData", directory, sizeof directory,
                             configPath_.c_str());
    const std::string userPath = std::string(directory) + "\\u_Rules.dat";
    const std::string defaultPath = std::string(directory) + "\\a_Rules.dat";
    {
        kvwin::SrwExclusive lock(&lock_);
        userRulePath_ = userPath;
        userFileUnread_ = false;
    }
    // The default file must be there even when the user has a file of their own. Both
    // files are read while others may only read them too: a file that another program
    // is writing is not taken half-written.
    std::vector<uint8_t> defaults;
    if (!kvwin::ReadWholeFile(defaultPath, kMaxRuleFileBytes, &defaults, FILE_SHARE_READ))
        return false;
    const std::string title = DefaultRuleTitle(defaults.data(), defaults.size());
    for (INetMonitorSink* sink : Sinks()) sink->OnRuleSetTitle(title.c_str());

    RuleList loaded;
    // The user has a file when anything by its name is there, a folder too; one that
    // cannot be read loads nothing, and that is not a failure. But the list then holds
    // the user's rules no more: saving it would put it in their place, so SaveUserRules
    // refuses while that file is there.
    if (kvwin::PathExists(userPath)) {
        std::vector<uint8_t> user;
        if (kvwin::ReadWholeFile(userPath, kMaxRuleFileBytes, &user, FILE_SHARE_READ)) {
            loaded = LoadUserRules(user.data(), user.size(), &nextRuleId_);
        } else {
            kvwin::SrwExclusive lock(&lock_);
            userFileUnread_ = true;
        }
    } else {
        loaded = LoadDefaultRules(defaults.data(), defaults.size(), &nextRuleId_);
    }
    if (loaded.empty()) return true;
    kvwin::SrwExclusive lock(&lock_);
    DriverPort port(this);
    // Refused batches stay out of the list without failing the load; a wrong answer fails it.
    return !::AddRules(persistent_, loaded.data(), loaded.size(), port).wrongAnswer;
}

bool CNetMonitor::EnableDriver() {
    return Control(kEnableCode, nullptr, 0, nullptr, 0);
}

bool CNetMonitor::DisableDriver() {
    return Control(kDisableCode, nullptr, 0, nullptr, 0);
}

bool CNetMonitor::SetPolicy(int32_t policy) {
    try {
        // The file takes the value first and keeps it even when the driver refuses.
        WritePrivateProfileStringA(kSection, "Policy", std::to_string(policy).c_str(),
                                   configPath_.c_str());
    } catch (...) {
    }
    if (!Control(kSetPolicyCode, &policy, sizeof policy, nullptr, 0)) return false;
    policy_.store(policy);
    return true;
}

void CNetMonitor::AddSink(INetMonitorSink* sink) {
    if (sink == nullptr) return;
    try {
        kvwin::SrwExclusive lock(&lock_);
        sinks_.push_back(sink);
    } catch (...) {
    }
}

int CNetMonitor::AddRules(const FirewallRule* rules, uint32_t count, unsigned char temporary) {
    try {
        kvwin::SrwExclusive lock(&lock_);
        DriverPort port(this);
        return ::AddRules(List(temporary), rules, count, port).done ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

int CNetMonitor::DeleteRule(int32_t ruleId, unsigned char temporary) {
    kvwin::SrwExclusive lock(&lock_);
    DriverPort port(this);
    return ::DeleteRule(List(temporary), ruleId, port) ? 1 : 0;
}

bool CNetMonitor::UpdateRule(const FirewallRule* rule, unsigned char temporary) {
    if (rule == nullptr) return false;
    kvwin::SrwExclusive lock(&lock_);
    DriverPort port(this);
    return ::UpdateRule(List(temporary), *rule, port);
}

int CNetMonitor::SaveUserRules() {
    try {
        std::string path;
        std::vector<uint8_t> bytes;
        {
            kvwin::SrwExclusive lock(&lock_);
            // Once the user's file is gone nothing of theirs can be lost any more.
            if (userFileUnread_ && kvwin::PathExists(userRulePath_)) return 0;
            path = userRulePath_;
            bytes = EncodeUserRules(persistent_);
        }
        return kvwin::ReplaceFileBytes(path, bytes) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

int CNetMonitor::SaveRules(const char* path, const RuleList* list) {
    if (path == nullptr || list == nullptr) return 0;
    try {
        return kvwin::ReplaceFileBytes(path, EncodeUserRules(*list)) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

void CNetMonitor::EnumRules(unsigned char temporary) {
    try {
        RuleList rules;
        std::vector<INetMonitorSink*> sinks;
        {
            kvwin::SrwExclusive lock(&lock_);
            rules = List(temporary);
            sinks.assign(sinks_.begin(), sinks_.end());
        }
        for (const FirewallRule& rule : rules)
            for (INetMonitorSink* sink : sinks) sink->OnRule(&rule);
    } catch (...) {
    }
}

bool CNetMonitor::IsAdapterUp() {
    try {
        return NetworkAdapterUp();
    } catch (...) {
        return false;
    }
}

int CNetMonitor::EnableAdapters() {
    return SetAdapters(0);
}

int CNetMonitor::SetAdapters(int mode) {
    try {
        ApplyAdapterMode(mode);
    } catch (...) {
    }
    return 0;
}
