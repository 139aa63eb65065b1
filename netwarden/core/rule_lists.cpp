#include "rule_lists.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

namespace {

RuleList::iterator FindRule(RuleList& list, int32_t ruleId) {
    return std::find_if(list.begin(), list.end(),
                        [ruleId](const FirewallRule& rule) { return rule.ruleId == ruleId; });
}

}  // namespace

AddOutcome AddRules(RuleList& list, const FirewallRule* rules, size_t count, IRuleDriver& driver) {
    AddOutcome outcome;
    if (rules == nullptr || count == 0) return outcome;

    std::unordered_set<int32_t> held;
    held.reserve(list.size());
    for (const FirewallRule& rule : list) held.insert(rule.ruleId);
    // Two rules of one input with the same id are both sent: only the list is checked.
    RuleList toSend;
    std::vector<DriverRule> driverRules;
    for (size_t i = 0; i < count; ++i) {
        if (held.count(rules[i].ruleId) != 0) continue;
        toSend.push_back(rules[i]);
        driverRules.push_back(MakeDriverRule(rules[i]));
    }

    bool refused = false;
    for (size_t first = 0; first < toSend.size(); first += kRulesPerBatch) {
        const size_t n = std::min(kRulesPerBatch, toSend.size() - first);
        int32_t answer = 0;
        if (!driver.AddBatch(driverRules.data() + first, n, &answer)) {
            refused = true;
            continue;
        }
        if (answer != toSend[first + n - 1].ruleId) {
            outcome.wrongAnswer = true;
            return outcome;
        }
        list.insert(list.end(), toSend.begin() + first, toSend.begin() + first + n);
    }
    outcome.done = !refused;
    return outcome;
}

bool DeleteRule(RuleList& list, int32_t ruleId, IRuleDriver& driver) {
    if (!driver.Delete(ruleId)) return false;
    auto found = FindRule(list, ruleId);
    if (found != list.end()) list.erase(found);
    return true;
}

bool UpdateRule(RuleList& list, const FirewallRule& rule, IRuleDriver& driver) {
    if (!driver.Update(MakeDriverRule(rule))) return false;
    auto found = FindRule(list, rule.ruleId);
    if (found != list.end()) *found = rule;
    return true;
}
