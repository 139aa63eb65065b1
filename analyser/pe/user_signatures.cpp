#include "user_signatures.h"

#include <cstring>

namespace {

constexpr size_t kBucketsPerPosition = 257;  // one per byte value, and the end

}  // namespace

uint32_t UserSignatures::Add(const uint8_t* positions, const uint8_t* bytes, size_t count,
                             const char* name, size_t nameLength) {
    Row row;
    row.at = static_cast<uint32_t>(arena_.size());
    row.count = static_cast<uint16_t>(count);
    row.nameLength = static_cast<uint16_t>(nameLength);
    arena_.insert(arena_.end(), positions, positions + count);
    arena_.insert(arena_.end(), bytes, bytes + count);
    arena_.insert(arena_.end(), name, name + nameLength);
    arena_.push_back('\0');
    rows_.push_back(row);
    return static_cast<uint32_t>(rows_.size() - 1);
}

void UserSignatures::DropLast() {
    arena_.resize(rows_.back().at);
    rows_.pop_back();
}

bool UserSignatures::SameRow(uint32_t a, uint32_t b) const {
    const Row& x = rows_[a];
    const Row& y = rows_[b];
    return x.count == y.count && x.nameLength == y.nameLength &&
           std::memcmp(&arena_[x.at], &arena_[y.at], 2u * x.count + x.nameLength) == 0;
}

size_t UserSignatures::RowHash(uint32_t row) const {
    // FNV-1a over the count, positions, bytes and name.
    const Row& r = rows_[row];
    uint64_t hash = 14695981039346656037ull ^ r.count;
    const uint8_t* at = &arena_[r.at];
    for (size_t i = 0; i < 2u * r.count + r.nameLength; ++i) {
        hash = (hash ^ at[i]) * 1099511628211ull;
    }
    return static_cast<size_t>(hash ^ (hash >> 32));
}

void UserSignatures::BuildIndex() {
    bool used[kMaxSignaturePosition + 1] = {};
    for (const Row& row : rows_) used[arena_[row.at]] = true;
    uint8_t slot[kMaxSignaturePosition + 1] = {};
    firstPositions_.clear();
    for (size_t p = 1; p <= kMaxSignaturePosition; ++p) {
        if (!used[p]) continue;
        slot[p] = static_cast<uint8_t>(firstPositions_.size());
        firstPositions_.push_back(static_cast<uint8_t>(p));
    }

    // Counting sort by (first position, first byte); rows keep their order in a bucket.
    start_.assign(firstPositions_.size() * kBucketsPerPosition, 0);
    auto bucketOf = [&](const Row& row) {
        return slot[arena_[row.at]] * kBucketsPerPosition + arena_[row.at + row.count];
    };
    for (const Row& row : rows_) ++start_[bucketOf(row) + 1];
    for (size_t i = 1; i < start_.size(); ++i) start_[i] += start_[i - 1];
    std::vector<uint32_t> next(start_);
    order_.assign(rows_.size(), 0);
    for (size_t i = 0; i < rows_.size(); ++i) order_[next[bucketOf(rows_[i])]++] = uint32_t(i);
}

bool UserSignatures::Matches(uint32_t row, const unsigned char* code, uint64_t available) const {
    const Row& r = rows_[row];
    const uint8_t* positions = &arena_[r.at];
    const uint8_t* bytes = positions + r.count;
    // Positions rise, so the last one decides whether the row fits in what is there.
    if (positions[r.count - 1] > available) return false;
    for (size_t i = 1; i < r.count; ++i) {
        if (code[positions[i] - 1u] != bytes[i]) return false;
    }
    return true;
}

const char* UserSignatures::Find(const unsigned char* code, uint64_t available) const {
    uint32_t best = UINT32_MAX;
    for (size_t k = 0; k < firstPositions_.size(); ++k) {
        const uint8_t position = firstPositions_[k];
        if (position > available) break;  // positions rise: none further fits either
        const size_t bucket = k * kBucketsPerPosition + code[position - 1u];
        for (uint32_t i = start_[bucket]; i < start_[bucket + 1]; ++i) {
            const uint32_t row = order_[i];
            if (row >= best) break;  // an earlier row already matched
            if (Matches(row, code, available)) {
                best = row;
                break;
            }
        }
    }
    return best == UINT32_MAX ? nullptr : Name(best);
}
