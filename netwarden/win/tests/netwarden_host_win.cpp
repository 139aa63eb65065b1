#include "netwarden_host_win.h"

RecordingSink::RecordingSink() : trafficArrived_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
    static const void* const table[] = {
        reinterpret_cast<const void*>(&RecordingSink::OnRuleSetTitle),
        reinterpret_cast<const void*>(&RecordingSink::OnTraffic),
        reinterpret_cast<const void*>(&RecordingSink::OnRule)};
    vtable_ = table;
}

RecordingSink::~RecordingSink() {
    CloseHandle(trafficArrived_);
}

void __thiscall RecordingSink::OnRuleSetTitle(void* self, const char* title) {
    auto* sink = static_cast<RecordingSink*>(self);
    std::lock_guard<std::mutex> lock(sink->mutex_);
    sink->titles_.push_back(title);
}

void __thiscall RecordingSink::OnTraffic(void* self, const TrafficRecord* record) {
    auto* sink = static_cast<RecordingSink*>(self);
    std::lock_guard<std::mutex> lock(sink->mutex_);
    sink->traffic_.push_back(*record);
    SetEvent(sink->trafficArrived_);
}

void __thiscall RecordingSink::OnRule(void* self, const FirewallRule* rule) {
    auto* sink = static_cast<RecordingSink*>(self);
    std::lock_guard<std::mutex> lock(sink->mutex_);
    sink->rules_.push_back(*rule);
}

std::vector<std::string> RecordingSink::Titles() {
    std::lock_guard<std::mutex> lock(mutex_);
    return titles_;
}

std::vector<TrafficRecord> RecordingSink::Traffic() {
    std::lock_guard<std::mutex> lock(mutex_);
    return traffic_;
}

std::vector<FirewallRule> RecordingSink::Rules() {
    std::lock_guard<std::mutex> lock(mutex_);
    return rules_;
}

void RecordingSink::ClearRules() {
    std::lock_guard<std::mutex> lock(mutex_);
    rules_.clear();
}

size_t RecordingSink::TrafficCalls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return traffic_.size();
}

bool RecordingSink::WaitForTraffic(size_t n, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (TrafficCalls() < n) {
        const DWORD spent = GetTickCount() - start;
        if (spent >= timeoutMs) return false;
        WaitForSingleObject(trafficArrived_, timeoutMs - spent);
    }
    return true;
}

NetWardenHost::NetWardenHost(const std::string& library, IKavroComponentManager* registry) {
    module_ = LoadLibraryA(library.c_str());
    if (module_ == nullptr) return;
    factory_ = reinterpret_cast<Factory>(
        reinterpret_cast<void*>(GetProcAddress(module_, "GetKavroComponentPtr")));
    if (factory_ != nullptr) Serve(registry);
}

void* NetWardenHost::Serve(IKavroComponentManager* registry) {
    void* out = nullptr;
    if (factory_ != nullptr && factory_(&out, registry) == 1) object_ = out;
    return out;
}

NetWardenHost::~NetWardenHost() {
    Unload();
}

DWORD NetWardenHost::Unload() {
    if (module_ == nullptr) return 0;
    const DWORD start = GetTickCount();
    FreeLibrary(module_);
    module_ = nullptr;
    object_ = nullptr;
    return GetTickCount() - start;
}
