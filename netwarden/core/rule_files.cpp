#include "rule_files.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace {

// A little-endian 32-bit value; bytes past the end of the file read as zero, so a
// header cut short still gives a count.
uint32_t Read32Padded(const uint8_t* data, size_t size, size_t offset) {
    uint8_t bytes[4] = {};
    for (size_t i = 0; i < 4 && offset + i < size; ++i) bytes[i] = data[offset + i];
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// How many of `count` records stand whole in the file after `header` bytes: a count
// larger than the file is not trusted, and a partial last record is left out.
size_t RecordsPresent(uint32_t count, size_t size, size_t header) {
    const size_t whole = size > header ? (size - header) / kRuleRecordBytes : 0;
    return std::min<size_t>(count, whole);
}

FirewallRule RecordAt(const uint8_t* data, size_t header, size_t index) {
    FirewallRule rule;
    std::memcpy(&rule, data + header + index * kRuleRecordBytes, kRuleRecordBytes);
    return rule;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

void StripLeadingBlanks(char (&text)[64]) {
    const size_t length = strnlen(text, sizeof text);
    size_t skip = 0;
    while (skip < length && IsBlank(text[skip])) ++skip;
    if (skip == 0) return;
    std::memmove(text, text + skip, length - skip);
    std::memset(text + (length - skip), 0, sizeof text - (length - skip));
}

constexpr uint32_t kLoopbackFlag = 0x40;
// 127.0.0.1 in network byte order, as it lies in memory.
constexpr uint8_t kLoopback[4] = {0x7F, 0x00, 0x00, 0x01};

}  // namespace

std::string DefaultRuleTitle(const uint8_t* data, size_t size) {
    std::string title;
    for (size_t i = 4; i < 4 + kTitleBytes && i < size && data[i] != 0; ++i)
        title.push_back(static_cast<char>(data[i]));
    return title;
}

RuleList LoadDefaultRules(const uint8_t* data, size_t size, int32_t* nextId) {
    const size_t present = RecordsPresent(Read32Padded(data, size, 0), size, kDefaultHeaderBytes);
    RuleList rules;
    rules.reserve(present);
    for (size_t i = 0; i < present; ++i) {
        FirewallRule rule = RecordAt(data, kDefaultHeaderBytes, i);
        if (rule.flags & kLoopbackFlag) std::memcpy(&rule.addressB, kLoopback, 4);
        StripLeadingBlanks(rule.text);
        rule.ruleId = (*nextId)++;
        rule.state = 1;
        rules.push_back(rule);
    }
    return rules;
}

RuleList LoadUserRules(const uint8_t* data, size_t size, int32_t* nextId) {
    const size_t present = RecordsPresent(Read32Padded(data, size, 0), size, kUserHeaderBytes);
    RuleList rules;
    rules.reserve(present);
    // Where each id loaded so far stands. Ids come from the counter, so they are unique.
    std::unordered_map<int32_t, size_t> where;
    where.reserve(present);
    for (size_t i = 0; i < present; ++i) {
        FirewallRule rule = RecordAt(data, kUserHeaderBytes, i);
        auto found = where.find(rule.ruleId);
        if (found != where.end()) {
            rules[found->second] = rule;
            continue;
        }
        rule.ruleId = (*nextId)++;
        where.emplace(rule.ruleId, rules.size());
        rules.push_back(rule);
    }
    return rules;
}

std::vector<uint8_t> EncodeUserRules(const RuleList& rules) {
    std::vector<uint8_t> bytes(kUserHeaderBytes + rules.size() * kRuleRecordBytes);
    const uint32_t count = static_cast<uint32_t>(rules.size());
    for (size_t i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(count >> (8 * i));
    if (!rules.empty())
        std::memcpy(bytes.data() + kUserHeaderBytes, rules.data(), rules.size() * kRuleRecordBytes);
    return bytes;
}
