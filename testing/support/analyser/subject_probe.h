#pragma once
// Runs one feature on a subject record that holds a single fact, the way the engine
// would hand it over.
#include <cstdint>
#include <string>

#include "data_analyser.h"
#include "data_provider.h"

inline int AnalyseWithPath(IDataAnalyser& feature, const std::string& path, int64_t created = 0) {
    CDataProvider record(1);
    const char* text = path.c_str();
    record.SetPath(&text);
    record.SetCreateTime(&created);
    return feature.Analyse(&record);
}

inline int AnalyseWithSize(IDataAnalyser& feature, int size) {
    CDataProvider record(1);
    record.SetFileSize(&size);
    return feature.Analyse(&record);
}
