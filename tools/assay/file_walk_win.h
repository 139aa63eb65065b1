#pragma once
// Walks the paths given on the command line: a file is visited as it is, a directory
// recursively, in name order so that two runs over one tree report in the same order.
#include <functional>
#include <string>

struct WalkVisitor {
    std::function<void(const std::wstring& file)> file;
    // A path that could not be opened or listed; the walk goes on without it.
    std::function<void(const std::wstring& path, const std::string& why)> failure;
};

void WalkPath(const std::wstring& path, const WalkVisitor& visitor);
