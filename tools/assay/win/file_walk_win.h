#pragma once
// Walks the paths given on the command line: a file is visited as it is, a directory
// recursively, in name order so that two runs over one tree report in the same order.
#include <windows.h>

#include <string>
#include <vector>

// One thing the walk found: a file, or a path that could not be opened or listed (the
// walk goes on without it).
struct WalkEntry {
    std::wstring path;
    bool failed = false;
    std::string why;  // when failed
};

// The walk of one path, an entry at a time: a parallel scan takes entries only as fast
// as its workers use them up.
class FileWalk {
public:
    explicit FileWalk(const std::wstring& path);
    // The next entry; false when the walk is done.
    bool Next(WalkEntry* entry);

private:
    struct Level {
        std::wstring directory;
        std::vector<std::pair<std::wstring, DWORD>> entries;  // name, attributes; sorted
        size_t next = 0;
    };

    void Enter(const std::wstring& directory);

    std::vector<Level> levels_;
    std::vector<WalkEntry> ready_;  // found while listing, handed out first
};
