#pragma once
// A host of Assayer.dll that knows only its exports: the library is loaded from the
// directory of the test program and unloaded again, so every host sees a fresh library.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "kavro/assayer.h"

class AssayerHost {
public:
    AssayerHost();
    ~AssayerHost();
    AssayerHost(const AssayerHost&) = delete;
    AssayerHost& operator=(const AssayerHost&) = delete;

    // True when the library loaded and every export was found.
    bool ready() const { return ready_; }

    // The exports; boolean answers are tested as the low byte, as hosts do.
    bool Init(const char* configPath) { return (init_(configPath, nullptr, nullptr) & 0xFF) != 0; }
    bool Append(int id, int kind, const void* data) {
        return (appendInfo_(id, 0xDEADBEEF, 0x12345678, kind, data) & 0xFF) != 0;
    }
    bool Analyse(int id) { return (analyseInfo_(id) & 0xFF) != 0; }
    int Result() { return getAnalyseResult_(); }
    bool ReleaseInfo() { return (releaseInfo_() & 0xFF) != 0; }
    int Release() { return release_(); }
    int HitCount(char* buffer, int size) { return getAnalyseHits_(buffer, size); }
    std::string Hits();
    // LoadSignatures with a message buffer of 256 bytes.
    int LoadSignatures(const std::string& path, std::string* message);

    // Path, size, bytes and (unless 0) creation time of one subject, in that order.
    void Describe(int id, const std::string& path, const std::vector<uint8_t>& bytes,
                  int64_t created = 0);

private:
    HMODULE module_ = nullptr;
    bool ready_ = false;
    kavro::AssayerInit* init_ = nullptr;
    kavro::AssayerAppendInfo* appendInfo_ = nullptr;
    kavro::AssayerAnalyseInfo* analyseInfo_ = nullptr;
    kavro::AssayerGetAnalyseResult* getAnalyseResult_ = nullptr;
    kavro::AssayerReleaseInfo* releaseInfo_ = nullptr;
    kavro::AssayerRelease* release_ = nullptr;
    kavro::AssayerGetAnalyseHits* getAnalyseHits_ = nullptr;
    kavro::AssayerLoadSignatures* loadSignatures_ = nullptr;
};

// The current time as the library's clock counts it.
int64_t NowSeconds();
