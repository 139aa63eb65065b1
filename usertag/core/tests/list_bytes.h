#pragma once
// List files put together byte by byte for the tests, apart from the library's own writer.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

inline void PutLe32(std::string& bytes, size_t at, int32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(uint32_t(value) >> (8 * i));
}

// "QXLB", the identifier zero-padded to 40 bytes, the count.
inline std::string ListHeaderBytes(const std::string& id, int32_t count,
                                   const char* magic = "QXLB") {
    std::string bytes(48, '\0');
    std::memcpy(&bytes[0], magic, 4);
    std::memcpy(&bytes[4], id.data(), std::min<size_t>(id.size(), 40));
    PutLe32(bytes, 44, count);
    return bytes;
}

// A record whose digest is 16 times `digestByte`; texts longer than their field fill it
// without a terminator.
inline void AppendRecord(std::string& file, unsigned char digestByte, const std::string& path,
                         const std::string& added = "2024-01-02 03:04:05") {
    std::string record(568, '\0');
    std::memset(&record[0], digestByte, 16);
    std::memcpy(&record[16], path.data(), std::min<size_t>(path.size(), 520));
    std::memcpy(&record[536], added.data(), std::min<size_t>(added.size(), 32));
    file += record;
}

inline std::string FilledDigest(unsigned char digestByte) {
    return std::string(16, static_cast<char>(digestByte));
}
