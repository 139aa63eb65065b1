#pragma once
// The scoring configuration file:
//   [ITEMCOUNT] num=<rows>   [ITEM1] ida= idb= value=   ...   [THRESHOLD] value=
#include <cstdint>

#include "profile_reader.h"
#include "weight_table.h"

// Every value is read into this many characters, terminator included.
constexpr unsigned kConfigValueBufferSize = 20;

// Reads the file at `path` into `table` and `threshold`. Without a "num" nothing is read
// and both stay as they are. A positive "num" replaces the whole table by that many
// rows (at most 171, the rest zero); the threshold is then read, a missing one giving 0.
void ReadEngineConfig(IProfileReader& reader, const char* path, WeightTable& table,
                      int32_t* threshold);
