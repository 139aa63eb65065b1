// guard: stops suspicious programs as they start.
//
//   guard --log SCANLOG [--config SCORING.ini]
//
// ExecWarden.dll reports every new process (through the process-creation driver beside
// it); guard has Assayer.dll judge the program's image, blocks a suspicious one
// (ExecWarden then ends it before it runs) and appends each verdict to SCANLOG, the scan
// log that LogDesk shows. Enter, or the end of standard input, stops it.
//
// Built only against the installed kit: its headers, and the two libraries beside
// guard.exe.
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0600  // QueryFullProcessImageNameA
#endif
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "kavro/assayer.h"
#include "kavro/component.h"
#include "kavro/execwarden.h"

namespace {

// Assayer.dll through its exports.
class Analyser {
public:
    bool Load(const char* configPath) {
        module_ = LoadLibraryA("Assayer.dll");
        if (module_ == NULL) return false;
        init_ = Find<kavro::AssayerInit>(kavro::kAssayerInitName);
        appendInfo_ = Find<kavro::AssayerAppendInfo>(kavro::kAssayerAppendInfoName);
        analyseInfo_ = Find<kavro::AssayerAnalyseInfo>(kavro::kAssayerAnalyseInfoName);
        result_ = Find<kavro::AssayerGetAnalyseResult>(kavro::kAssayerGetAnalyseResultName);
        hits_ = Find<kavro::AssayerGetAnalyseHits>(kavro::kAssayerGetAnalyseHitsName);
        releaseInfo_ = Find<kavro::AssayerReleaseInfo>(kavro::kAssayerReleaseInfoName);
        if (!init_ || !appendInfo_ || !analyseInfo_ || !result_ || !hits_ || !releaseInfo_)
            return false;
        init_(configPath, NULL, NULL);
        return true;
    }
    ~Analyser() {
        if (module_ != NULL) FreeLibrary(module_);
    }

    struct Verdict {
        bool suspicious;
        int score;
        std::string hits;
    };

    // Describes the file as subject 1 (path, creation time, size, bytes), judges it and
    // forgets it again. False when the file cannot be read.
    bool Judge(const std::string& path, Verdict* verdict) {
        std::vector<unsigned char> bytes;
        long long created = 0;
        if (!ReadImage(path, &bytes, &created)) return false;
        const char* text = path.c_str();
        const int size = static_cast<int>(bytes.size());
        const unsigned char* content = bytes.empty() ? NULL : &bytes[0];
        appendInfo_(1, 0, 0, kavro::kAssayerFactPath, &text);
        appendInfo_(1, 0, 0, kavro::kAssayerFactCreateTime, &created);
        appendInfo_(1, 0, 0, kavro::kAssayerFactSize, &size);  // before the bytes
        appendInfo_(1, 0, 0, kavro::kAssayerFactContent, &content);
        verdict->suspicious = (analyseInfo_(1) & 0xFF) != 0;  // a yes is in the low byte
        verdict->score = result_();
        char letters[64] = {0};
        hits_(letters, sizeof letters);
        verdict->hits = letters;
        releaseInfo_();
        return true;
    }

private:
    template <class Function>
    Function* Find(const char* name) {
        return reinterpret_cast<Function*>(GetProcAddress(module_, name));
    }

    // The whole file (at most 64 MiB) and its creation time in seconds since 1970.
    static bool ReadImage(const std::string& path, std::vector<unsigned char>* bytes,
                          long long* created) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file == INVALID_HANDLE_VALUE) return false;
        LARGE_INTEGER size;
        FILETIME creation;
        bool ok = GetFileSizeEx(file, &size) && size.QuadPart <= (64 << 20) &&
                  GetFileTime(file, &creation, NULL, NULL);
        if (ok) {
            bytes->resize(static_cast<size_t>(size.QuadPart));
            DWORD read = 0;
            ok = bytes->empty() ||
                 (ReadFile(file, &(*bytes)[0], static_cast<DWORD>(bytes->size()), &read, NULL) &&
                  read == bytes->size());
            ULARGE_INTEGER ticks;  // 100 ns since 1601
            ticks.LowPart = creation.dwLowDateTime;
            ticks.HighPart = creation.dwHighDateTime;
            *created = static_cast<long long>(ticks.QuadPart / 10000000ULL) - 11644473600LL;
        }
        CloseHandle(file);
        return ok;
    }

    HMODULE module_ = NULL;
    kavro::AssayerInit* init_ = NULL;
    kavro::AssayerAppendInfo* appendInfo_ = NULL;
    kavro::AssayerAnalyseInfo* analyseInfo_ = NULL;
    kavro::AssayerGetAnalyseResult* result_ = NULL;
    kavro::AssayerGetAnalyseHits* hits_ = NULL;
    kavro::AssayerReleaseInfo* releaseInfo_ = NULL;
};

// Appends "time TAB path TAB marker TAB name TAB state" lines, the scan log's format. The
// file is opened for each line and shared, so LogDesk can read or clear it meanwhile.
bool AppendScanLog(const std::string& logPath, const std::string& path, bool suspicious,
                   const std::string& name, const char* state) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char time[32];
    std::snprintf(time, sizeof time, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond);
    const std::string line = std::string(time) + "\t" + path + "\t" +
                             (suspicious ? "found" : "clean") + "\t" + name + "\t" + state + "\r\n";
    HANDLE file = CreateFileA(logPath.c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, NULL) &&
                    written == line.size();
    CloseHandle(file);
    return ok;
}

// Asked by ExecWarden about every new process, on its worker thread, one at a time (so
// the analyser is never entered twice at once).
class Guard : public IExecuteCallback {
public:
    Guard(Analyser* analyser, const std::string& logPath)
        : analyser_(analyser), logPath_(logPath) {}

    unsigned char KAVRO_SLOT OnExecute(const char*, const char* file, const char*, const char*,
                                       DWORD processId, HMODULE) {
        // ExecWarden gives no path for a process it cannot open with the access it asks
        // for; asked with less, the system may still name the image.
        const std::string image = file != NULL && file[0] != '\0' ? file : ImageOf(processId);
        Analyser::Verdict verdict;
        if (image.empty() || !analyser_->Judge(image, &verdict)) {
            // Nothing to judge: a process that ended already, or an image we cannot read.
            std::printf("guard: process %lu: image not readable, allowed\n", processId);
            std::fflush(stdout);
            return 1;
        }
        char name[48];
        std::snprintf(name, sizeof name, "%s (score %d)",
                      verdict.suspicious ? "Suspicious" : "Clean", verdict.score);
        const char* state = verdict.suspicious ? "Blocked" : "Allowed";
        const bool logged = AppendScanLog(logPath_, image, verdict.suspicious, name, state);
        std::printf("guard: %-7s score %4d  hits %-8s process %lu  %s%s\n", state, verdict.score,
                    verdict.hits.empty() ? "-" : verdict.hits.c_str(), processId, image.c_str(),
                    logged ? "" : "  (scan log not written)");
        std::fflush(stdout);
        return verdict.suspicious ? 0 : 1;
    }

private:
    static std::string ImageOf(DWORD processId) {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
        if (process == NULL) return std::string();
        char path[MAX_PATH];
        DWORD size = sizeof path;
        const bool ok = QueryFullProcessImageNameA(process, 0, path, &size) != 0;
        CloseHandle(process);
        return ok ? std::string(path, size) : std::string();
    }

    Analyser* analyser_;
    std::string logPath_;
};

int Usage() {
    std::fprintf(stderr, "usage: guard --log SCANLOG [--config SCORING.ini]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const char* logPath = NULL;
    const char* configPath = NULL;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--log") == 0 && i + 1 < argc) {
            logPath = argv[++i];
        } else if (std::strcmp(argv[i], "--config") == 0 && i + 1 < argc) {
            configPath = argv[++i];
        } else {
            return Usage();
        }
    }
    if (logPath == NULL) return Usage();

    Analyser analyser;
    if (!analyser.Load(configPath)) {
        std::fprintf(stderr, "guard: cannot load Assayer.dll (error %lu)\n", GetLastError());
        return 1;
    }
    // Declared before the library: ExecWarden keeps a pointer to it until it unloads.
    Guard guard(&analyser, logPath);

    HMODULE execWarden = LoadLibraryA("ExecWarden.dll");
    GetKavroComponentPtrFn factory = execWarden != NULL
                                         ? reinterpret_cast<GetKavroComponentPtrFn>(GetProcAddress(
                                               execWarden, kGetKavroComponentPtrName))
                                         : NULL;
    IComponent* component = NULL;
    IProcessMonitor* monitor = NULL;
    if (factory != NULL && factory(&component, NULL) != 0 && component != NULL)
        monitor = static_cast<IProcessMonitor*>(component->GetInterface(kProcessMonitorName, 0));
    if (monitor == NULL) {
        std::fprintf(stderr, "guard: cannot load the process monitor of ExecWarden.dll\n");
        if (execWarden != NULL) FreeLibrary(execWarden);
        return 1;
    }

    monitor->AddCallback(&guard);
    monitor->Start();
    std::printf("guard: watching new processes; scan log %s (Enter stops)\n", logPath);
    std::fflush(stdout);

    char line[256];
    std::fgets(line, sizeof line, stdin);

    monitor->Stop();
    // Unloading stops and removes the driver service the monitor installed.
    FreeLibrary(execWarden);
    std::printf("guard: stopped\n");
    return 0;
}
