#pragma once
// Subjects for the image feature tests: records holding built or real images.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "data_analyser.h"
#include "data_provider.h"
#include "pe_image_builder.h"

// Runs `feature` on a record with `bytes` as its content and `path` as its path.
inline int RunOn(IDataAnalyser& feature, const std::vector<uint8_t>& bytes,
                 const std::string& path = "D:\\x.exe") {
    CDataProvider record(1);
    const char* text = path.c_str();
    record.SetPath(&text);
    const int size = static_cast<int>(bytes.size());
    record.SetFileSize(&size);
    const unsigned char* data = bytes.data();
    record.SetContent(&data);
    return feature.Analyse(&record);
}

// An image with a .text section of RETs and the given imports.
inline petest::PeImageBuilder Program(const std::vector<petest::ImportDll>& imports = {}) {
    petest::PeImageBuilder builder;
    petest::Section text;
    text.name = ".text";
    text.data.assign(0x200, 0xC3);
    builder.AddSection(text).EntryPoint(0x1000);
    for (const petest::ImportDll& dll : imports) builder.AddImport(dll);
    return builder;
}

// `count` functions imported by name from KERNEL32.dll.
inline petest::ImportDll Kernel32Functions(int count) {
    petest::ImportDll dll{"KERNEL32.dll", {}};
    for (int i = 0; i < count; ++i) {
        petest::ImportFunction function;
        function.name = "Function" + std::to_string(i);
        dll.functions.push_back(function);
    }
    return dll;
}

namespace image_test_detail {

inline uint32_t TableEntry(uint32_t index) {
    uint32_t c = index;
    for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    return c;
}

}  // namespace image_test_detail

// `bytes` with its last four bytes replaced so that its CRC-32 becomes `crc`.
inline std::vector<uint8_t> WithCrc(std::vector<uint8_t> bytes, uint32_t crc) {
    using image_test_detail::TableEntry;
    // Runs the register backwards from the wanted final value over four unknown bytes;
    // their values are then what turns the register after the prefix into it.
    bytes.resize(bytes.size() < 4 ? 4 : bytes.size());
    uint32_t state = 0xFFFFFFFFu;
    for (size_t i = 0; i < bytes.size() - 4; ++i) {
        state = (state >> 8) ^ TableEntry((state ^ bytes[i]) & 0xFF);
    }
    uint32_t reg = crc ^ 0xFFFFFFFFu;
    for (int k = 0; k < 4; ++k) {
        uint32_t index = 0;
        while (TableEntry(index) >> 24 != reg >> 24) ++index;
        reg = ((reg ^ TableEntry(index)) << 8) | index;
    }
    const uint32_t tail = reg ^ state;
    for (int k = 0; k < 4; ++k) bytes[bytes.size() - 4 + k] = static_cast<uint8_t>(tail >> (8 * k));
    return bytes;
}

// The whole file, or nothing when it cannot be read.
inline std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}
