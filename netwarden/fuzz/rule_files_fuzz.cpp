// Rule files are read from disk as untrusted bytes: both loaders, the title, and the
// user file's round trip must hold for any input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "rule_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int32_t nextId = 1;
    const RuleList defaults = LoadDefaultRules(data, size, &nextId);
    if (defaults.size() > size / kRuleRecordBytes) std::abort();
    for (const FirewallRule& rule : defaults)
        if (rule.state != 1 || rule.text[0] == ' ' || rule.text[0] == '\t') std::abort();
    if (DefaultRuleTitle(data, size).size() > kTitleBytes) std::abort();

    const RuleList user = LoadUserRules(data, size, &nextId);
    if (user.size() > size / kRuleRecordBytes) std::abort();
    const std::vector<uint8_t> bytes = EncodeUserRules(user);
    int32_t again = nextId;
    const RuleList back = LoadUserRules(bytes.data(), bytes.size(), &again);
    // Loaded ids are unique, so a saved list loads back whole, in order.
    if (back.size() != user.size()) std::abort();
    for (size_t i = 0; i < back.size(); ++i)
        if (std::memcmp(back[i].text, user[i].text, sizeof user[i].text) != 0) std::abort();
    return 0;
}
