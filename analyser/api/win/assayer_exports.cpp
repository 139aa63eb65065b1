// The plain exports of Assayer.dll (C calling convention, names undecorated through
// Assayer.def). Nothing may throw across them; a host serialises its calls.
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "assayer_instance_win.h"
#include "kavro/assayer.h"
#include "pe_helper.h"
#include "win32/files.h"

namespace {

// A database is held in memory whole while it is read; more than this is no database.
constexpr uint64_t kMaxSignatureFileBytes = 256u << 20;

// "cannot open PATH: the system's reason (error 2)", "cannot open PATH: not a regular file".
std::string ReadFailure(const char* path, const kvwin::ReadResult& read) {
    std::string reason = read.Text();
    if (read.error != 0) {
        char text[256] = {};
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       read.error, 0, text, sizeof(text), nullptr);
        reason = std::string(text, std::strcspn(text, "\r\n")) + " (error " +
                 std::to_string(read.error) + ")";
    }
    const bool opened = read.status != kvwin::ReadStatus::kCannotOpen &&
                        read.status != kvwin::ReadStatus::kNotRegularFile;
    return (opened ? "cannot read " : "cannot open ") + std::string(path) + ": " + reason;
}

}  // namespace

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
        return ThePEHelper().LoadSignaturesFrom(
            [path](const CPEHelper::SignatureFeed& feed, std::string* why) {
                if (path == nullptr || *path == '\0') {
                    *why = "no signature file named";
                    return false;
                }
                std::string text;
                const kvwin::ReadResult read =
                    kvwin::ReadWholeFile(path, kMaxSignatureFileBytes, &text);
                if (!read) {
                    *why = ReadFailure(path, read);
                    return false;
                }
                feed(text.data(), text.size());
                return true;
            },
            message, messageSize);
    } catch (...) {
        return -1;
    }
}

}  // extern "C"
