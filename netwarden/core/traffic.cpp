#include "traffic.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace {

struct MergeKey {
    uint64_t low;   // bytes 4-11
    uint64_t high;  // bytes 12-15 and 24-27
    bool operator==(const MergeKey& other) const { return low == other.low && high == other.high; }
};

struct MergeKeyHash {
    size_t operator()(const MergeKey& key) const {
        uint64_t h = key.low * 0x9E3779B97F4A7C15ull ^ key.high;
        h ^= h >> 29;
        h *= 0xBF58476D1CE4E5B9ull;
        return static_cast<size_t>(h ^ (h >> 32));
    }
};

MergeKey KeyOf(const TrafficEntry& entry) {
    return MergeKey{uint64_t{entry.keyA} | uint64_t{entry.keyB} << 32,
                    uint64_t{entry.keyC} | uint64_t{entry.keyD} << 16 | uint64_t{entry.keyE} << 32};
}

uint32_t Read32(const uint8_t* p) {
    uint32_t value;
    std::memcpy(&value, p, 4);
    return value;
}

}  // namespace

size_t TrafficBufferBytes(uint32_t hint) {
    return size_t{std::min(hint, kMaxTrafficHint)} * kTrafficEntryBytes + 36;
}

uint32_t MergeTrafficAnswer(const uint8_t* buffer, size_t bufferBytes, size_t bytesReturned,
                            std::vector<TrafficRecord>* records, uint32_t* hint) {
    records->clear();
    bytesReturned = std::min(bytesReturned, bufferBytes);
    if (bufferBytes < kTrafficHeaderBytes) {
        *hint = 0;
        return 0;
    }
    // The header is read even from a failed request: the buffer was zeroed before it.
    *hint = std::min(Read32(buffer + 4), kMaxTrafficHint);
    const size_t written = bytesReturned >= kTrafficHeaderBytes
                               ? (bytesReturned - kTrafficHeaderBytes) / kTrafficEntryBytes
                               : 0;
    const uint32_t count = static_cast<uint32_t>(std::min<size_t>(Read32(buffer), written));

    records->reserve(count);
    std::unordered_map<MergeKey, size_t, MergeKeyHash> where;
    where.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        TrafficEntry entry;
        std::memcpy(&entry, buffer + kTrafficHeaderBytes + size_t{i} * kTrafficEntryBytes,
                    kTrafficEntryBytes);
        auto placed = where.emplace(KeyOf(entry), records->size());
        if (placed.second) {
            records->push_back(TrafficRecord{entry, entry.amount, 1});
        } else {
            TrafficRecord& record = (*records)[placed.first->second];
            record.sum += entry.amount;  // wraps like the driver's own 32-bit counters
            ++record.number;
        }
    }
    return count;
}
