#include "scan_file_win.h"

#include <chrono>
#include <cstdio>

#include "text_win.h"

namespace {

// GetPrivateProfile* looks for a relative file name in the Windows directory, not in
// the current one, so the analyser is given the full path.
bool ResolveConfig(const std::string& given, std::string* ansiPath, std::string* why) {
    const std::wstring wide = WideFromUtf8(given);
    std::vector<wchar_t> full(MAX_PATH);
    DWORD length =
        GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length >= full.size()) {
        full.resize(length + 1);
        length =
            GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (length == 0 || length >= full.size()) {
        *why = "cannot resolve the configuration path " + given;
        return false;
    }
    const std::wstring path(full.data(), length);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        *why = "no configuration file " + given;
        return false;
    }
    *ansiPath = NarrowFromWide(path, CP_ACP);
    return true;
}

// Sizes past what the analyser's signed size fact holds are given as its largest
// value; it keeps 16 MiB of the bytes either way.
int32_t SizeFact(uint64_t size) {
    return size > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int32_t>(size);
}

}  // namespace

WorkerHello PrepareAnalyser(const AssayOptions& options, AssayerLibrary* library) {
    WorkerHello hello;
    std::string configPath;
    if (!options.configPath.empty() &&
        !ResolveConfig(options.configPath, &configPath, &hello.why)) {
        return hello;
    }
    if (!library->Load(&hello.why)) return hello;
    library->Init(configPath.empty() ? nullptr : configPath.c_str());
    for (const std::string& file : options.signatureFiles) {
        SignatureReport report;
        report.added =
            library->LoadSignatures(NarrowFromWide(WideFromUtf8(file), CP_ACP), &report.message);
        hello.signatures.push_back(report);
        if (report.added < 0) return hello;
    }
    hello.ready = true;
    return hello;
}

bool ReportPreparation(const WorkerHello& hello, const AssayOptions& options) {
    for (size_t i = 0; i < hello.signatures.size(); ++i) {
        const SignatureReport& report = hello.signatures[i];
        if (report.added < 0) {
            std::fprintf(stderr, "assay: --signatures: %s\n", report.message.c_str());
            return false;
        }
        const std::string name =
            i < options.signatureFiles.size() ? options.signatureFiles[i] : "?";
        std::fprintf(stderr, "assay: signatures from %s: %s\n", name.c_str(),
                     report.message.c_str());
    }
    if (!hello.ready) {
        std::fprintf(stderr, "assay: %s\n", hello.why.c_str());
        return false;
    }
    return true;
}

FileVerdict ScanFile(AssayerLibrary* library, FileContent* content, const std::wstring& path) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    FileVerdict verdict;
    std::string why;
    if (!content->Read(path, &why)) {
        verdict.verdict = Verdict::kError;
        verdict.error = why;
        return verdict;
    }
    verdict.size = content->size();
    // A name that the ANSI code page cannot spell is still scanned from its bytes; only
    // the analyser's own look at the file on disk misses it.
    const std::string ansiPath = NarrowFromWide(path, CP_ACP);
    const Analysis analysis = library->Analyse(ansiPath.c_str(), content->createdSeconds(),
                                               SizeFact(content->size()), content->bytes());
    verdict.verdict = analysis.suspicious ? Verdict::kSuspicious : Verdict::kClean;
    verdict.score = analysis.score;
    verdict.hits = analysis.hits;
    verdict.milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return verdict;
}
