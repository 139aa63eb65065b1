#pragma once
// Subjects for the image feature tests: records holding built or real images.
#include <cstdint>
#include <string>
#include <vector>

#include "data_analyser.h"
#include "pe_image_builder.h"

// Runs `feature` on a record with `bytes` as its content and `path` as its path.
int RunOn(IDataAnalyser& feature, const std::vector<uint8_t>& bytes,
          const std::string& path = "D:\\x.exe");

// An image with a .text section of RETs and the given imports.
petest::PeImageBuilder Program(const std::vector<petest::ImportDll>& imports = {});

// `count` functions imported by name from KERNEL32.dll.
petest::ImportDll Kernel32Functions(int count);

// `bytes` with its last four bytes replaced so that its CRC-32 becomes `crc`.
std::vector<uint8_t> WithCrc(std::vector<uint8_t> bytes, uint32_t crc);

// The whole file, or nothing when it cannot be read.
std::vector<uint8_t> ReadWholeFile(const std::string& path);
