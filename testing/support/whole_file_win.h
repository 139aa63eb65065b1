#pragma once
// Whole files in one call: the inputs a test lays out and the outputs it reads back.
#include <cstdint>
#include <string>
#include <vector>

namespace kvtest {

// Makes (or empties) the file and writes `bytes`; true when all of them were written.
bool WriteWholeFile(const std::string& path, const std::string& bytes);
bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes);
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);

// The file's bytes, or `missing` when it cannot be opened. Readers and writers may hold
// it open meanwhile (a log another process is still writing can be read).
std::string ReadWholeFile(const std::string& path, const std::string& missing = "");
// The same as bytes; empty when the file cannot be opened.
std::vector<uint8_t> ReadFileBytes(const std::string& path);

}  // namespace kvtest
