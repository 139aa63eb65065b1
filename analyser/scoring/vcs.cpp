#include "vcs.h"

#include "engine_config.h"

namespace VCS {

char HitLetter(int32_t id) {
    return static_cast<char>((static_cast<uint32_t>(id) + 121u) & 0xFFu);
}

CVcs::CVcs(const std::vector<IDataAnalyser*>& features, IProfileReader* reader, WeightTable* table)
    : reader_(reader), table_(table) {
    for (IDataAnalyser* feature : features) {
        RegistryEntry entry;
        entry.feature = feature;
        entry.id = feature->GetId();
        registry_.push_back(entry);
    }
    std::set<int32_t> nodes;
    for (size_t i = 0; i < registry_.size(); ++i) nodes.insert(static_cast<int32_t>(i));
    spareNodes_.reserve(registry_.size());
    while (!nodes.empty()) spareNodes_.push_back(nodes.extract(nodes.begin()));
}

void CVcs::AddHit(int32_t id) {
    if (hits_.count(id) != 0) return;
    if (spareNodes_.empty()) {  // more distinct ids than features: not from this registry
        hits_.insert(id);
        return;
    }
    std::set<int32_t>::node_type node = std::move(spareNodes_.back());
    spareNodes_.pop_back();
    node.value() = id;
    hits_.insert(std::move(node));
}

const char* CVcs::GetName() {
    return name_.c_str();
}

void CVcs::Notify(int code) {
    for (RegistryEntry& entry : registry_) entry.feature->Notify(code);
}

bool CVcs::Load(const char* configPath) {
    rules_ = BuiltInRules();
    threshold_ = kDefaultThreshold;
    if (configPath != nullptr && configPath[0] != '\0' && reader_ != nullptr) {
        ReadEngineConfig(*reader_, configPath, *table_, &threshold_);
    }
    SortRulesForEvaluation(rules_);

    ruleItems_.clear();
    for (const Rule& rule : rules_) {
        std::vector<size_t> item;
        for (int32_t id : rule.featureIds) {
            for (size_t i = 0; i < registry_.size(); ++i) {
                if (registry_[i].id == id) {
                    item.push_back(i);
                    break;
                }
            }
        }
        ruleItems_.push_back(item);
    }

    for (RegistryEntry& entry : registry_) entry.feature->Prepare();
    return true;
}

int CVcs::Score(IVirusCaptorDataProvidor* record, std::string& hits) {
    for (RegistryEntry& entry : registry_) entry.result = kNotEvaluated;
    while (!hits_.empty()) spareNodes_.push_back(hits_.extract(hits_.begin()));
    score_ = 0;

    for (size_t r = 0; r < ruleItems_.size(); ++r) {
        bool allFired = true;
        for (size_t index : ruleItems_[r]) {
            RegistryEntry& entry = registry_[index];
            if (entry.result == kNotEvaluated) entry.result = entry.feature->Analyse(record);
            if (entry.result != 1) {
                allFired = false;
                break;
            }
            AddHit(entry.id);
        }
        rules_[r].satisfied = allFired;
    }

    score_ = table_->Sum(hits_);
    for (int32_t id : hits_) hits.push_back(HitLetter(id));
    return score_ > threshold_ ? 1 : 0;
}

int CVcs::GetScore() {
    return score_;
}

}  // namespace VCS
