#include "section_map.h"

#include <algorithm>
#include <set>
#include <utility>

void SectionMap::Clear() {
    sections_.clear();
    ranges_.clear();
}

void SectionMap::Assign(std::vector<SectionEntry> sections) {
    sections_ = std::move(sections);
    ranges_.clear();

    // Sweep over the range boundaries; between two boundaries the set of holding
    // sections is constant and the smallest index among them is the one that wins.
    struct Edge {
        uint64_t at;
        bool opens;
        int index;
    };
    std::vector<Edge> edges;
    edges.reserve(sections_.size() * 2);
    for (size_t i = 0; i < sections_.size(); ++i) {
        const SectionEntry& s = sections_[i];
        if (s.rawSize == 0) continue;
        const uint64_t start = s.virtualAddress;
        edges.push_back({start, true, static_cast<int>(i)});
        edges.push_back({start + s.rawSize, false, static_cast<int>(i)});
    }
    std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.at < b.at; });

    std::set<int> open;
    size_t e = 0;
    while (e < edges.size()) {
        const uint64_t at = edges[e].at;
        for (; e < edges.size() && edges[e].at == at; ++e) {
            if (edges[e].opens) {
                open.insert(edges[e].index);
            } else {
                open.erase(edges[e].index);
            }
        }
        if (open.empty() || e == edges.size()) continue;
        const int winner = *open.begin();
        const uint64_t next = edges[e].at;
        if (!ranges_.empty() && ranges_.back().end == at && ranges_.back().index == winner) {
            ranges_.back().end = next;
        } else {
            ranges_.push_back({at, next, winner});
        }
    }
}

SectionHit SectionMap::Find(uint32_t rva) const {
    SectionHit hit;
    auto after = std::upper_bound(ranges_.begin(), ranges_.end(), static_cast<uint64_t>(rva),
                                  [](uint64_t value, const Range& r) { return value < r.start; });
    if (after == ranges_.begin()) return hit;
    const Range& range = *(after - 1);
    if (rva >= range.end) return hit;
    const SectionEntry& s = sections_[static_cast<size_t>(range.index)];
    hit.index = range.index;
    hit.offset = static_cast<int64_t>(rva - s.virtualAddress) + s.rawOffset;
    return hit;
}
