// The plain exports of Assayer.dll (C calling convention, names undecorated through
// Assayer.def). Nothing may throw across them; a host serialises its calls.
#include <cstdint>
#include <new>

#include "assayer_instance_win.h"
#include "kavro/assayer.h"
#include "pe_helper.h"

extern "C" {

// The exports as hosts declare them: a definition below that differs from its host's
// declaration in a type or the calling convention does not compile.
kavro::AssayerInit init;
kavro::AssayerAppendInfo AppendInfo;
kavro::AssayerAnalyseInfo AnalyseInfo;
kavro::AssayerGetAnalyseResult GetAnalyseResult;
kavro::AssayerReleaseInfo ReleaseInfo;
kavro::AssayerRelease Release;
kavro::AssayerGetAnalyseHits GetAnalyseHits;
kavro::AssayerLoadSignatures LoadSignatures;

int __cdecl init(const char* configPath, const char* ruleDbPath1, const char* ruleDbPath2) {
    try {
        return TheAssayer().Init(configPath, ruleDbPath1, ruleDbPath2);
    } catch (...) {
        return 1;
    }
}

int __cdecl AppendInfo(int subjectId, uint32_t reserved1, uint32_t reserved2, int kind,
                       const void* data) {
    try {
        return TheAssayer().AppendInfo(subjectId, reserved1, reserved2, kind, data);
    } catch (...) {
        return 1;
    }
}

int __cdecl AnalyseInfo(int subjectId) {
    try {
        return TheAssayer().AnalyseInfo(subjectId);
    } catch (...) {
        return 0;
    }
}

int __cdecl GetAnalyseResult() {
    try {
        return TheAssayer().GetAnalyseResult();
    } catch (...) {
        return 0;
    }
}

int __cdecl ReleaseInfo() {
    try {
        return TheAssayer().ReleaseInfo();
    } catch (...) {
        return 1;
    }
}

int __cdecl Release() {
    try {
        return TheAssayer().Release();
    } catch (...) {
        return 1;
    }
}

int __cdecl GetAnalyseHits(char* buffer, int size) {
    try {
        return TheAssayer().GetAnalyseHits(buffer, size);
    } catch (...) {
        return 0;
    }
}

int __cdecl LoadSignatures(const char* path, char* message, int messageSize) {
    try {
        return ThePEHelper().LoadSignatures(path, message, messageSize);
    } catch (...) {
        return -1;
    }
}

}  // extern "C"
