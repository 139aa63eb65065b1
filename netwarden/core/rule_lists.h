#pragma once
// The list operations that keep the driver's rule table in step with a rule list: the
// driver is asked first, the list follows what the driver took.
#include <cstddef>
#include <cstdint>

#include "firewall_rule.h"

// The driver requests the lists need; each answers whether the driver accepted.
class IRuleDriver {
public:
    // Sends `count` (at most kRulesPerBatch) rules; `answer` gets the driver's 4 bytes.
    virtual bool AddBatch(const DriverRule* rules, size_t count, int32_t* answer) = 0;
    virtual bool Delete(int32_t ruleId) = 0;
    virtual bool Update(const DriverRule& rule) = 0;

protected:
    ~IRuleDriver() = default;
};

constexpr size_t kRulesPerBatch = 100;

struct AddOutcome {
    bool done = false;         // every batch was taken
    bool wrongAnswer = false;  // the driver confirmed a batch with another id: sending stopped
};

// Sends the rules whose ids `list` does not hold, in batches, and appends each batch the
// driver confirms. A refused batch is dropped and the next one still goes; a wrong
// answer stops. Rules sent before stay in the list either way.
AddOutcome AddRules(RuleList& list, const FirewallRule* rules, size_t count, IRuleDriver& driver);

// Removes the first rule with `ruleId` once the driver accepted the delete.
bool DeleteRule(RuleList& list, int32_t ruleId, IRuleDriver& driver);

// Overwrites the first rule with the rule's id once the driver accepted the update; a
// rule the list does not hold is sent but not added.
bool UpdateRule(RuleList& list, const FirewallRule& rule, IRuleDriver& driver);
