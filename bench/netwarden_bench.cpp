// Costs of the two NetWarden steps whose input size the outside decides: merging one
// traffic answer (up to 65,536 entries) and loading a user rule file. Each has a
// straightforward variant (search the records so far, one by one) as the yardstick.
//
//   netwarden_bench merge|merge-linear [ENTRIES] [KEYS] [ROUNDS]
//   netwarden_bench load|load-linear [RECORDS] [ROUNDS]
//
// Prints the milliseconds of one round; time whole runs against each other with a
// process timer.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "rule_files.h"
#include "traffic.h"

namespace {

std::vector<uint8_t> TrafficAnswer(uint32_t entries, uint32_t keys) {
    std::vector<uint8_t> buffer(TrafficBufferBytes(entries));
    std::memcpy(buffer.data(), &entries, 4);
    for (uint32_t i = 0; i < entries; ++i) {
        TrafficEntry entry = {};
        entry.keyA = 0x0100000A;
        entry.keyB = 0x0200000A + (i % keys);
        entry.keyC = static_cast<uint16_t>(1024 + (i % keys) % 7);
        entry.keyD = 443;
        entry.keyE = 6;
        entry.amount = i;
        std::memcpy(buffer.data() + 8 + size_t{i} * 28, &entry, 28);
    }
    return buffer;
}

bool SameKey(const TrafficEntry& a, const TrafficEntry& b) {
    return a.keyA == b.keyA && a.keyB == b.keyB && a.keyC == b.keyC && a.keyD == b.keyD &&
           a.keyE == b.keyE;
}

size_t MergeLinear(const std::vector<uint8_t>& buffer, std::vector<TrafficRecord>* records) {
    uint32_t count;
    std::memcpy(&count, buffer.data(), 4);
    records->clear();
    for (uint32_t i = 0; i < count; ++i) {
        TrafficEntry entry;
        std::memcpy(&entry, buffer.data() + 8 + size_t{i} * 28, 28);
        bool merged = false;
        for (TrafficRecord& record : *records) {
            if (!SameKey(record.first, entry)) continue;
            record.sum += entry.amount;
            ++record.number;
            merged = true;
            break;
        }
        if (!merged) records->push_back(TrafficRecord{entry, entry.amount, 1});
    }
    return records->size();
}

std::vector<uint8_t> UserFile(uint32_t records) {
    RuleList rules(records);
    for (uint32_t i = 0; i < records; ++i) {
        rules[i].ruleId = static_cast<int32_t>(i % 3 == 2 ? i - 1 : i + 5000);  // some repeat
        std::snprintf(rules[i].text, sizeof rules[i].text, "rule %u", i);
    }
    return EncodeUserRules(rules);
}

size_t LoadLinear(const std::vector<uint8_t>& file, int32_t* nextId) {
    uint32_t count;
    std::memcpy(&count, file.data(), 4);
    RuleList rules;
    for (uint32_t i = 0; i < count; ++i) {
        FirewallRule rule;
        std::memcpy(&rule, file.data() + 4 + size_t{i} * 112, 112);
        bool replaced = false;
        for (FirewallRule& loaded : rules) {
            if (loaded.ruleId != rule.ruleId) continue;
            loaded = rule;
            replaced = true;
            break;
        }
        if (replaced) continue;
        rule.ruleId = (*nextId)++;
        rules.push_back(rule);
    }
    return rules.size();
}

unsigned Arg(int argc, char** argv, int at, unsigned fallback) {
    return argc > at ? static_cast<unsigned>(std::strtoul(argv[at], nullptr, 10)) : fallback;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const bool merge = mode == "merge" || mode == "merge-linear";
    const bool load = mode == "load" || mode == "load-linear";
    if (!merge && !load) {
        std::fprintf(stderr, "usage: netwarden_bench merge|merge-linear|load|load-linear ...\n");
        return 2;
    }
    const unsigned size = Arg(argc, argv, 2, merge ? kMaxTrafficHint : 10000);
    const unsigned keys = merge ? Arg(argc, argv, 3, size) : 0;
    const unsigned rounds = Arg(argc, argv, merge ? 4 : 3, 1);
    const std::vector<uint8_t> input =
        merge ? TrafficAnswer(size, keys == 0 ? 1 : keys) : UserFile(size);

    size_t result = 0;
    const auto start = std::chrono::steady_clock::now();
    for (unsigned round = 0; round < rounds; ++round) {
        if (mode == "merge") {
            std::vector<TrafficRecord> records;
            uint32_t hint = 0;
            MergeTrafficAnswer(input.data(), input.size(), input.size(), &records, &hint);
            result = records.size();
        } else if (mode == "merge-linear") {
            std::vector<TrafficRecord> records;
            result = MergeLinear(input, &records);
        } else if (mode == "load") {
            int32_t nextId = 1;
            result = LoadUserRules(input.data(), input.size(), &nextId).size();
        } else {
            int32_t nextId = 1;
            result = LoadLinear(input, &nextId);
        }
    }
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s %u: %zu results, %.3f ms a round\n", mode.c_str(), size, result, ms / rounds);
    return 0;
}
