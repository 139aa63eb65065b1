#pragma once
// Points for single features and for pairs of features that fire together.
#include <array>
#include <cstddef>
#include <cstdint>
#include <set>

struct WeightRow {
    int32_t first = 0;
    int32_t second = 0;
    int32_t value = 0;
};

class WeightTable {
public:
    static constexpr size_t kRowCount = 171;

    // The built-in rows: 18 single-feature rows for 6600..6617, then one zero-valued
    // row for every pair a < b of those ids.
    WeightTable();

    void Clear();
    void SetRow(size_t index, const WeightRow& row);
    const WeightRow& Row(size_t index) const { return rows_[index]; }

    // Sum of every row whose two ids both fired; a row naming one id twice counts once.
    // Wraps like the signed 32-bit sum it has always been.
    int32_t Sum(const std::set<int32_t>& hits) const;

private:
    std::array<WeightRow, kRowCount> rows_;
};

// The one table of the process. It outlives every engine Load: a Load without a
// configuration keeps the rows a previous configuration set.
WeightTable& ProcessWeightTable();
