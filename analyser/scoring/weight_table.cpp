#include "weight_table.h"

namespace {

constexpr int32_t kFirstId = 6600;
constexpr int32_t kLastId = 6617;
constexpr int32_t kSingleWeights[kLastId - kFirstId + 1] = {30, 30, 60, 20, 30, -10, 60,  10, 30,
                                                            50, 30, 50, 40, 20, 50,  -30, 5,  15};

}  // namespace

WeightTable::WeightTable() {
    size_t index = 0;
    for (int32_t id = kFirstId; id <= kLastId; ++id) {
        rows_[index++] = WeightRow{id, id, kSingleWeights[id - kFirstId]};
    }
    for (int32_t a = kFirstId; a <= kLastId; ++a) {
        for (int32_t b = a + 1; b <= kLastId; ++b) rows_[index++] = WeightRow{a, b, 0};
    }
}

void WeightTable::Clear() {
    rows_.fill(WeightRow{});
}

void WeightTable::SetRow(size_t index, const WeightRow& row) {
    if (index < kRowCount) rows_[index] = row;
}

int32_t WeightTable::Sum(const std::set<int32_t>& hits) const {
    uint32_t sum = 0;
    for (const WeightRow& row : rows_) {
        if (hits.count(row.first) != 0 && hits.count(row.second) != 0) {
            sum += static_cast<uint32_t>(row.value);
        }
    }
    return static_cast<int32_t>(sum);
}

WeightTable& ProcessWeightTable() {
    static WeightTable table;
    return table;
}
