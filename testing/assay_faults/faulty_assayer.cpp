// Assayer.dll's exports over the real analyser, for testing hosts only: a subject whose
// path holds "crash-here" makes AnalyseInfo read through a null pointer, "hang-here"
// makes it sleep for ever, "vanish-here" ends the process without a word. Each such
// subject adds a line to faults.log beside this library, so a test can count the tries.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "assayer_instance_win.h"
#include "kavro/assayer.h"
#include "pe_helper.h"
#include "win32/files.h"
#include "win32/handles.h"
#include "win32/paths.h"

namespace {

void NoteTry(const char* marker, const char* path) {
    const std::string folder = kvwin::ModuleFolder(kvwin::ThisModule());
    if (folder.empty()) return;
    const UniqueFile log(CreateFileA((folder + "faults.log").c_str(), FILE_APPEND_DATA,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!log) return;
    const std::string line = std::string(marker) + " " + path + "\n";
    kvwin::WriteAll(log.get(), line.data(), line.size());
}

void MisbehaveFor(int subjectId) {
    CDataProvider* subject = TheAssayer().FindSubject(subjectId);
    if (subject == nullptr) return;
    const char* path = subject->GetPath();
    if (strstr(path, "crash-here") != nullptr) {
        NoteTry("crash", path);
        volatile int* nowhere = nullptr;
        *nowhere = 1;
    } else if (strstr(path, "hang-here") != nullptr) {
        NoteTry("hang", path);
        Sleep(INFINITE);
    } else if (strstr(path, "vanish-here") != nullptr) {
        NoteTry("vanish", path);
        TerminateProcess(GetCurrentProcess(), 9);
    }
}

}  // namespace

extern "C" {

// The exports as hosts declare them.
kavro::AssayerInit init;
kavro::AssayerAppendInfo AppendInfo;
kavro::AssayerAnalyseInfo AnalyseInfo;
kavro::AssayerGetAnalyseResult GetAnalyseResult;
kavro::AssayerReleaseInfo ReleaseInfo;
kavro::AssayerRelease Release;
kavro::AssayerGetAnalyseHits GetAnalyseHits;
kavro::AssayerLoadSignatures LoadSignatures;

int __cdecl init(const char* configPath, const char* ruleDbPath1, const char* ruleDbPath2) {
    return TheAssayer().Init(configPath, ruleDbPath1, ruleDbPath2);
}

int __cdecl AppendInfo(int subjectId, uint32_t reserved1, uint32_t reserved2, int kind,
                       const void* data) {
    return TheAssayer().AppendInfo(subjectId, reserved1, reserved2, kind, data);
}

int __cdecl AnalyseInfo(int subjectId) {
    MisbehaveFor(subjectId);
    return TheAssayer().AnalyseInfo(subjectId);
}

int __cdecl GetAnalyseResult() {
    return TheAssayer().GetAnalyseResult();
}

int __cdecl ReleaseInfo() {
    return TheAssayer().ReleaseInfo();
}

int __cdecl Release() {
    return TheAssayer().Release();
}

int __cdecl GetAnalyseHits(char* buffer, int size) {
    return TheAssayer().GetAnalyseHits(buffer, size);
}

int __cdecl LoadSignatures(const char* path, char* message, int messageSize) {
    return ThePEHelper().LoadSignatures(path, message, messageSize);
}

}  // extern "C"
