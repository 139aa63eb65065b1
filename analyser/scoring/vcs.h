#pragma once
// The scoring engine: runs the registered features over one subject in rule order,
// sums the weight table over the features that fired and compares with the threshold.
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "data_analyser.h"
#include "data_provider.h"
#include "profile_reader.h"
#include "rules.h"
#include "weight_table.h"

namespace VCS {

// Slot order is fixed; the engine is used by the analyser object only.
class IVCS {
public:
    // Slot 0. The engine's name text (empty).
    virtual const char* GetName() = 0;
    // Slot 1. Passes `code` to every registered feature in registry order.
    virtual void Notify(int code) = 0;
    // Slot 2. Rebuilds the rules, reads the configuration when a path is given and
    // prepares every feature again. Always true.
    virtual bool Load(const char* configPath) = 0;
    // Slot 3. Scores the subject and appends its hit letters; 1 when the score is above
    // the threshold, else 0.
    virtual int Score(IVirusCaptorDataProvidor* record, std::string& hits) = 0;
    // Slot 4. The sum computed by the last Score.
    virtual int GetScore() = 0;

protected:
    ~IVCS() = default;
};

constexpr int32_t kDefaultThreshold = 150;

class CVcs final : public IVCS {
public:
    struct RegistryEntry {
        IDataAnalyser* feature = nullptr;
        int32_t id = 0;
        int32_t result = kNotEvaluated;
    };

    // Registers `features` in the order given (each entry's id is the feature's GetId).
    // The configuration comes through `reader`; the weights live in `table`.
    CVcs(const std::vector<IDataAnalyser*>& features, IProfileReader* reader,
         WeightTable* table = &ProcessWeightTable());

    const char* GetName() override;
    void Notify(int code) override;
    bool Load(const char* configPath) override;
    int Score(IVirusCaptorDataProvidor* record, std::string& hits) override;
    int GetScore() override;

    int32_t Threshold() const { return threshold_; }
    const std::vector<Rule>& Rules() const { return rules_; }
    const std::vector<RegistryEntry>& Registry() const { return registry_; }
    const std::set<int32_t>& HitSet() const { return hits_; }

private:
    void AddHit(int32_t id);

    std::vector<Rule> rules_;
    int32_t threshold_ = kDefaultThreshold;
    // For each rule, in rule order, the registry indices of its feature ids.
    std::vector<std::vector<size_t>> ruleItems_;
    std::vector<RegistryEntry> registry_;
    std::string name_;
    int32_t score_ = 0;
    std::set<int32_t> hits_;
    // The hit set's nodes, one per registered feature, made with the engine and moved
    // between the set and this pool: Score takes no memory. Nodes taken while a host
    // holds thousands of subjects would stay at the top of the heap after the subjects
    // are released and keep the memory below them from going back to the system.
    std::vector<std::set<int32_t>::node_type> spareNodes_;
    IProfileReader* reader_;
    WeightTable* table_;
};

// The character a fired feature adds to the hit letters: (id + 121) mod 256, so 6600
// gives "A".
char HitLetter(int32_t id);

}  // namespace VCS
