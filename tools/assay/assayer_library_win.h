#pragma once
// Assayer.dll as a host sees it: loaded from the program's own directory and used
// through its plain exports only (all cdecl).
#include <windows.h>

#include <cstdint>
#include <string>

#include "win32/handles.h"

struct Analysis {
    bool suspicious = false;
    int score = 0;
    std::string hits;
};

class AssayerLibrary {
public:
    AssayerLibrary() = default;
    AssayerLibrary(const AssayerLibrary&) = delete;
    AssayerLibrary& operator=(const AssayerLibrary&) = delete;
    ~AssayerLibrary();

    // Loads <program directory>\Assayer.dll and finds every export; false with a reason.
    bool Load(std::string* why);

    // Reads the scoring configuration (null: the built-in weights and threshold).
    void Init(const char* configPath);

    // Appends the packer signatures of an analyst's database (an ANSI path); returns
    // the rows added, or -1 when the file cannot be read. `message` says what was
    // added and skipped, or why nothing was.
    int LoadSignatures(const std::string& path, std::string* message);

    // Describes one file as subject 1, judges it and drops it again, so that memory
    // stays flat however many files are scanned. `size` is the file's real size; the
    // analyser reads at most its first 16 MiB from `bytes`.
    Analysis Analyse(const char* path, int64_t createdSeconds, int32_t size, const uint8_t* bytes);

private:
    using InitFunction = int(__cdecl*)(const char*, const char*, const char*);
    using AppendInfoFunction = int(__cdecl*)(int, uint32_t, uint32_t, int, const void*);
    using AnalyseInfoFunction = int(__cdecl*)(int);
    using PlainFunction = int(__cdecl*)();
    using HitsFunction = int(__cdecl*)(char*, int);
    using LoadSignaturesFunction = int(__cdecl*)(const char*, char*, int);

    std::string Hits();

    UniqueModule module_;
    InitFunction init_ = nullptr;
    AppendInfoFunction appendInfo_ = nullptr;
    AnalyseInfoFunction analyseInfo_ = nullptr;
    PlainFunction getAnalyseResult_ = nullptr;
    PlainFunction releaseInfo_ = nullptr;
    PlainFunction release_ = nullptr;
    HitsFunction getAnalyseHits_ = nullptr;
    LoadSignaturesFunction loadSignatures_ = nullptr;  // null in a library without it
};
