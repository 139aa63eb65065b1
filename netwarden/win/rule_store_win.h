#pragma once
// Rule files on disk: reading them whole (up to the rule files' size limit) and
// replacing one so that a failed write never costs the file that was there.
#include <cstdint>
#include <string>
#include <vector>

bool FileExists(const std::string& path);

// Reads up to `limit` bytes; false when the file cannot be opened. A read error keeps
// what was read before it.
bool ReadFileBytes(const std::string& path, size_t limit, std::vector<uint8_t>* bytes);

// Writes `bytes` to "<path>.tmp" beside the target, checks every write and the flush,
// then moves it over `path`. On any failure the temporary file goes, the target stays
// as it was, and the result is false.
bool ReplaceFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
