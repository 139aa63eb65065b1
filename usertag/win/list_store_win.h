#pragma once
// The list file on disk: loading it whole, and replacing it whole so that a failed save
// leaves the previous list as it was.
#include <string>
#include <vector>

#include "list_format.h"

// Replaces `entries` with the list at `path`. A path naming no file, or a directory, is an
// empty list. False, with `entries` unchanged, when the file cannot be opened or read, or
// holds more than 256 MiB.
bool LoadListFile(const std::string& path, const std::vector<std::string>& acceptedIds,
                  EntrySet* entries);

// Writes the list to a new file beside `path`, flushes it and moves it over `path`. False,
// with `path` unchanged and no file left beside it, when any step fails or `path` is a
// read-only file.
bool SaveListFile(const std::string& path, const char (&machineId)[kListIdFieldSize],
                  const EntrySet& entries);

// The MD5 of a file's content; false when `path` names no readable file.
bool DigestFile(const char* path, unsigned char (&digest)[kDigestSize]);

// The local time as "%Y-%m-%d %H:%M:%S", or empty when it cannot be converted.
std::string LocalTimeText();
