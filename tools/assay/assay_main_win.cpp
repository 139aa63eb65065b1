// assay: scans files with Assayer.dll and prints a verdict for each.
//   assay [--config FILE] [--signatures FILE]... [--json] [--quiet] PATH...
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "assay_options.h"
#include "assay_report.h"
#include "assayer_library_win.h"
#include "file_walk_win.h"
#include "mapped_file_win.h"
#include "progress_win.h"
#include "text_win.h"

namespace {

constexpr int kUsageError = 2;
// The analyser (or assay itself) crashed on a file.
constexpr int kCrashed = 3;

// The file being analysed, named when the process dies on it. Only the main thread
// scans, so a plain pointer will do.
const std::wstring* g_currentFile = nullptr;

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception) {
    // The lines printed so far are kept, and stderr names the file that stopped the scan.
    std::fflush(stdout);
    const std::string file =
        g_currentFile != nullptr ? NarrowFromWide(*g_currentFile, CP_ACP) : std::string("-");
    std::fprintf(stderr, "assay: exception 0x%08lX while scanning %s\n",
                 static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode),
                 file.c_str());
    std::fflush(stderr);
    ExitProcess(kCrashed);
}

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<std::string> Utf8Arguments() {
    std::vector<std::string> args;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (argv == nullptr) return args;
    for (int i = 1; i < count; ++i) args.push_back(NarrowFromWide(argv[i], CP_UTF8));
    LocalFree(argv);
    return args;
}

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

class Scanner {
public:
    Scanner(AssayerLibrary* library, const AssayOptions& options)
        : library_(library), options_(options) {}

    void Scan(const std::wstring& path) {
        WalkVisitor visitor;
        visitor.file = [this](const std::wstring& file) { Report(ScanFile(file)); };
        visitor.failure = [this](const std::wstring& failed, const std::string& why) {
            FileVerdict verdict;
            verdict.verdict = Verdict::kError;
            verdict.path = PrintablePath(failed);
            verdict.error = why;
            Report(verdict);
        };
        WalkPath(path, visitor);
    }

    int Finish(double seconds) {
        progress_.Finish();
        summary_.seconds = seconds;
        const std::string line =
            options_.json ? FormatJsonSummary(summary_) : FormatTableSummary(summary_);
        std::fprintf(stdout, "%s\n", line.c_str());
        std::fflush(stdout);
        return ExitStatusFor(summary_);
    }

private:
    std::string PrintablePath(const std::wstring& path) const {
        return NarrowFromWide(path, options_.json ? CP_UTF8 : CP_ACP);
    }

    FileVerdict ScanFile(const std::wstring& path) {
        const Clock::time_point start = Clock::now();
        FileVerdict verdict;
        verdict.path = PrintablePath(path);
        MappedFile file;
        std::string why;
        if (!file.Open(path, &why)) {
            verdict.verdict = Verdict::kError;
            verdict.error = why;
            return verdict;
        }
        verdict.size = file.size();
        // A name that the ANSI code page cannot spell is still scanned from its
        // bytes; only the analyser's own look at the file on disk misses it.
        const std::string ansiPath = NarrowFromWide(path, CP_ACP);
        g_currentFile = &path;
        const Analysis analysis = library_->Analyse(ansiPath.c_str(), file.createdSeconds(),
                                                    SizeFact(file.size()), file.bytes());
        g_currentFile = nullptr;
        verdict.verdict = analysis.suspicious ? Verdict::kSuspicious : Verdict::kClean;
        verdict.score = analysis.score;
        verdict.hits = analysis.hits;
        verdict.milliseconds = SecondsSince(start) * 1000.0;
        return verdict;
    }

    void Report(const FileVerdict& verdict) {
        CountInto(verdict, &summary_);
        progress_.Update(summary_.files, summary_.bytes);
        if (options_.quiet && verdict.verdict == Verdict::kClean) return;
        const std::string line = options_.json ? FormatJsonLine(verdict) : FormatTableLine(verdict);
        std::fprintf(stdout, "%s\n", line.c_str());
    }

    AssayerLibrary* library_;
    const AssayOptions& options_;
    ScanSummary summary_;
    ProgressLine progress_;
};

}  // namespace

int main() {
    SetUnhandledExceptionFilter(ReportCrash);
    AssayOptions options;
    std::string why;
    if (!ParseAssayArguments(Utf8Arguments(), &options, &why)) {
        std::fprintf(stderr, "assay: %s\n%s", why.c_str(), AssayUsage());
        return kUsageError;
    }
    if (options.help) {
        std::fputs(AssayUsage(), stdout);
        return 0;
    }
    std::string configPath;
    if (!options.configPath.empty() && !ResolveConfig(options.configPath, &configPath, &why)) {
        std::fprintf(stderr, "assay: %s\n", why.c_str());
        return kUsageError;
    }
    AssayerLibrary library;
    if (!library.Load(&why)) {
        std::fprintf(stderr, "assay: %s\n", why.c_str());
        return kUsageError;
    }
    library.Init(configPath.empty() ? nullptr : configPath.c_str());
    for (const std::string& file : options.signatureFiles) {
        std::string message;
        const int added =
            library.LoadSignatures(NarrowFromWide(WideFromUtf8(file), CP_ACP), &message);
        if (added < 0) {
            std::fprintf(stderr, "assay: --signatures: %s\n", message.c_str());
            return kUsageError;
        }
        std::fprintf(stderr, "assay: signatures from %s: %s\n", file.c_str(), message.c_str());
    }

    // Lines go out in blocks; a console still sees each one as it is written.
    static char outputBuffer[1 << 16];
    DWORD mode = 0;
    if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) {
        std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof(outputBuffer));
    }

    const Clock::time_point start = Clock::now();
    Scanner scanner(&library, options);
    for (const std::string& path : options.paths) scanner.Scan(WideFromUtf8(path));
    return scanner.Finish(SecondsSince(start));
}
