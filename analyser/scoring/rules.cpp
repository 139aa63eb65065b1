#include "rules.h"

#include <algorithm>

namespace {

constexpr int32_t kMaskBase = 6600;

struct BuiltIn {
    int32_t id;
    int32_t weight;
};

// Creation order. 6620 sits between 6607 and 6608, which keeps it ahead of 6608 in the
// evaluation order.
constexpr BuiltIn kBuiltIns[] = {
    {6600, 30}, {6601, 30}, {6602, 60},  {6603, 20}, {6604, 30}, {6605, -10}, {6606, 60},
    {6607, 10}, {6620, 70}, {6608, 30},  {6609, 50}, {6610, 30}, {6611, 50},  {6612, 40},
    {6613, 20}, {6614, 50}, {6615, -30}, {6616, 5},  {6617, 15},
};

bool EvaluatesBefore(const Rule& a, const Rule& b) {
    const bool oppositeSigns = (a.weight < 0 && b.weight > 0) || (a.weight > 0 && b.weight < 0);
    if (oppositeSigns) return a.weight < 0;
    return a.featureIds.size() > b.featureIds.size();
}

}  // namespace

std::vector<Rule> BuiltInRules() {
    std::vector<Rule> rules;
    rules.reserve(sizeof(kBuiltIns) / sizeof(kBuiltIns[0]));
    for (const BuiltIn& builtIn : kBuiltIns) {
        Rule rule;
        rule.id = builtIn.id;
        rule.featureIds.push_back(builtIn.id);
        rule.weight = builtIn.weight;
        const int32_t bit = builtIn.id - kMaskBase;
        rule.mask[static_cast<size_t>(bit / 32)] = 1u << (bit % 32);
        rules.push_back(rule);
    }
    return rules;
}

void SortRulesForEvaluation(std::vector<Rule>& rules) {
    std::stable_sort(rules.begin(), rules.end(), EvaluatesBefore);
}
