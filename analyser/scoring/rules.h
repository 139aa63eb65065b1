#pragma once
// The built-in rules: which features run, and in which order.
#include <array>
#include <cstdint>
#include <vector>

struct Rule {
    int32_t id = 0;
    std::vector<int32_t> featureIds;
    int32_t weight = 0;
    bool satisfied = false;
    // The rule's own bit (id - 6600) in a 128-bit set. Every rule is evaluated, so the
    // masks are kept as data only.
    std::array<uint32_t, 4> mask = {};
};

// The 19 built-in rules in creation order; each names the one feature of its own id.
std::vector<Rule> BuiltInRules();

// Stable sort into evaluation order: of two rules whose weights have opposite signs the
// negative one goes first; otherwise the one with more feature ids; otherwise creation
// order stays.
void SortRulesForEvaluation(std::vector<Rule>& rules);
