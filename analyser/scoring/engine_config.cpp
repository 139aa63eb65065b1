#include "engine_config.h"

#include <cstdio>

#include "decimal.h"

namespace {

int32_t ReadInt(IProfileReader& reader, const char* section, const char* key, const char* path,
                bool* present) {
    char buffer[kConfigValueBufferSize] = {};
    const unsigned copied = reader.ReadString(section, key, buffer, sizeof(buffer), path);
    buffer[sizeof(buffer) - 1] = '\0';
    if (present != nullptr) *present = copied != 0 && buffer[0] != '\0';
    return ParseDecimal(buffer);
}

}  // namespace

void ReadEngineConfig(IProfileReader& reader, const char* path, WeightTable& table,
                      int32_t* threshold) {
    bool present = false;
    const int32_t count = ReadInt(reader, "ITEMCOUNT", "num", path, &present);
    if (!present) return;

    if (count > 0) {
        table.Clear();
        const int32_t rows =
            count < static_cast<int32_t>(WeightTable::kRowCount) ? count : WeightTable::kRowCount;
        for (int32_t i = 1; i <= rows; ++i) {
            char section[24];
            snprintf(section, sizeof(section), "ITEM%d", static_cast<int>(i));
            WeightRow row;
            row.first = ReadInt(reader, section, "ida", path, nullptr);
            row.second = ReadInt(reader, section, "idb", path, nullptr);
            row.value = ReadInt(reader, section, "value", path, nullptr);
            table.SetRow(static_cast<size_t>(i - 1), row);
        }
    }
    // The threshold is read whenever "num" is there; the scale factor is 1.0.
    *threshold = ReadInt(reader, "THRESHOLD", "value", path, nullptr);
}
