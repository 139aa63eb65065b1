#pragma once
// Assayer.dll as a host sees it: loaded from the program's own directory and used
// through its plain exports only (all cdecl).
#include <windows.h>

#include <cstdint>
#include <string>

#include "kavro/assayer.h"
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
    std::string Hits();

    UniqueModule module_;
    kavro::AssayerInit* init_ = nullptr;
    kavro::AssayerAppendInfo* appendInfo_ = nullptr;
    kavro::AssayerAnalyseInfo* analyseInfo_ = nullptr;
    kavro::AssayerGetAnalyseResult* getAnalyseResult_ = nullptr;
    kavro::AssayerReleaseInfo* releaseInfo_ = nullptr;
    kavro::AssayerRelease* release_ = nullptr;
    kavro::AssayerGetAnalyseHits* getAnalyseHits_ = nullptr;
    kavro::AssayerLoadSignatures* loadSignatures_ = nullptr;  // null in a library without it
};
