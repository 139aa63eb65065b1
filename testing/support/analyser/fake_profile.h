#pragma once
// An INI file held in memory, answering like the system's reader.
#include <cstring>
#include <map>
#include <string>
#include <utility>

#include "profile_reader.h"

class FakeProfile final : public IProfileReader {
public:
    void Set(const std::string& section, const std::string& key, const std::string& value) {
        values_[{section, key}] = value;
    }
    void SetRow(int index, int ida, int idb, int value) {
        const std::string section = "ITEM" + std::to_string(index);
        Set(section, "ida", std::to_string(ida));
        Set(section, "idb", std::to_string(idb));
        Set(section, "value", std::to_string(value));
    }

    unsigned ReadString(const char* section, const char* key, char* buffer, unsigned size,
                        const char* path) override {
        lastPath = path;
        ++reads;
        std::string value;
        auto found = values_.find({section, key});
        if (found != values_.end()) value = found->second;
        if (size == 0) return 0;
        const size_t length = value.size() < size - 1 ? value.size() : size - 1;
        memcpy(buffer, value.data(), length);
        buffer[length] = '\0';
        return static_cast<unsigned>(length);
    }

    std::string lastPath;
    int reads = 0;

private:
    std::map<std::pair<std::string, std::string>, std::string> values_;
};
