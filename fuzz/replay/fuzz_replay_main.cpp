// A fuzz target without libFuzzer: every kept input of the target goes once through its
// LLVMFuzzerTestOneInput, in the native tree's ASan/UBSan build, as a ctest test.
//
//   <target>_replay CORPUS_FOLDER [REGRESSION_FOLDER]
//
// The corpus folder must hold inputs (a target without one protects nothing); the
// regression folder may be missing while nothing was ever found. Files are taken in
// name order; names starting with '.' are passed over. Each input lies in a heap block
// of exactly its size, so a read past it is a read past the block. When an input
// fails (a sanitizer report, an abort, a trap, or longer than KV_REPLAY_SECONDS,
// default 120), its path is printed before the process ends. With GTEST_OUTPUT=xml:DIR/
// (scripts/test.sh sets it) DIR/<target>_replay.xml counts the inputs replayed, for the
// suite's summary.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#ifndef KV_FUZZ_TARGET_NAME
#error "KV_FUZZ_TARGET_NAME names the target (kv_add_fuzz_target sets it)"
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));
extern "C" void __sanitizer_set_death_callback(void (*callback)(void)) __attribute__((weak));
extern "C" int __lsan_do_recoverable_leak_check() __attribute__((weak));

namespace {

namespace fs = std::filesystem;

// The input under way, for the handlers below (which may only write it out).
char g_current[4096];
size_t g_currentLength = 0;

void SayCurrent(const char* what) {
    if (g_currentLength == 0) return;
    const char head[] = "\nfuzz replay: ";
    (void)!write(STDERR_FILENO, head, sizeof(head) - 1);
    (void)!write(STDERR_FILENO, what, strlen(what));
    (void)!write(STDERR_FILENO, g_current, g_currentLength);
    (void)!write(STDERR_FILENO, "\n", 1);
}

void OnSanitizerDeath() {
    SayCurrent("failed on ");
}

void OnSignal(int signal) {
    SayCurrent(signal == SIGALRM ? "no end in time on " : "failed on ");
    if (signal == SIGALRM) _exit(1);
    ::signal(signal, SIG_DFL);
    raise(signal);
}

// Handlers only where nobody else (a sanitizer) handles the signal already.
void InstallHandlers() {
    for (int signal : {SIGABRT, SIGILL, SIGTRAP, SIGSEGV, SIGBUS, SIGFPE, SIGALRM}) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) != 0) continue;
        if (current.sa_handler != SIG_DFL || (current.sa_flags & SA_SIGINFO) != 0) continue;
        ::signal(signal, OnSignal);
    }
    if (__sanitizer_set_death_callback != nullptr) __sanitizer_set_death_callback(OnSanitizerDeath);
}

struct Folder {
    const char* path;
    bool required;
    size_t replayed = 0;
};

// -1 when the folder cannot be listed.
long Replay(Folder& folder, unsigned seconds) {
    std::error_code error;
    if (!fs::is_directory(folder.path, error)) return folder.required ? -1 : 0;
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder.path, error)) {
        const std::string name = entry.path().filename().string();
        if (!name.empty() && name[0] != '.' && entry.is_regular_file()) files.push_back(entry);
    }
    if (error) return -1;
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
        if (!in.eof() && in.fail()) {
            std::fprintf(stderr, "fuzz replay: cannot read %s\n", file.c_str());
            return -1;
        }
        const std::string path = file.string();
        g_currentLength = std::min(path.size(), sizeof(g_current));
        std::memcpy(g_current, path.data(), g_currentLength);
        std::unique_ptr<uint8_t[]> input(new uint8_t[bytes.size()]);
        if (!bytes.empty()) std::memcpy(input.get(), bytes.data(), bytes.size());
        alarm(seconds);
        LLVMFuzzerTestOneInput(input.get(), bytes.size());
        alarm(0);
        g_currentLength = 0;
        ++folder.replayed;
    }
    return static_cast<long>(folder.replayed);
}

void WriteReport(size_t corpus, size_t regressions) {
    const char* output = std::getenv("GTEST_OUTPUT");
    if (output == nullptr || std::strncmp(output, "xml:", 4) != 0) return;
    std::string path = output + 4;
    if (path.empty() || path.back() != '/') return;  // a file of its own: that is gtest's
    path += KV_FUZZ_TARGET_NAME "_replay.xml";
    FILE* report = std::fopen(path.c_str(), "w");
    if (report == nullptr) return;
    std::fprintf(report,
                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                 "<testsuites tests=\"1\" failures=\"0\" errors=\"0\" name=\"AllTests\">\n"
                 "  <testsuite name=\"FuzzReplay\" tests=\"1\" failures=\"0\" errors=\"0\">\n"
                 "    <testcase name=\"%s\" status=\"run\" result=\"completed\" "
                 "classname=\"FuzzReplay\" replayed=\"%zu\" corpus=\"%zu\" "
                 "regressions=\"%zu\" />\n"
                 "  </testsuite>\n</testsuites>\n",
                 KV_FUZZ_TARGET_NAME, corpus + regressions, corpus, regressions);
    std::fclose(report);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER [REGRESSION_FOLDER]\n", argv[0]);
        return 2;
    }
    InstallHandlers();
    if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
    const char* limit = std::getenv("KV_REPLAY_SECONDS");
    const unsigned seconds = limit != nullptr && std::atoi(limit) > 0 ? std::atoi(limit) : 120;

    Folder corpus{argv[1], true};
    Folder regressions{argc > 2 ? argv[2] : "", false};
    if (Replay(corpus, seconds) <= 0) {
        std::fprintf(stderr,
                     "fuzz replay: %s has no kept corpus in %s (seeds and minimised inputs "
                     "belong there; see the README's fuzzing section)\n",
                     KV_FUZZ_TARGET_NAME, corpus.path);
        return 1;
    }
    if (argc > 2 && Replay(regressions, seconds) < 0) {
        std::fprintf(stderr, "fuzz replay: cannot list %s\n", regressions.path);
        return 1;
    }
    // Leaks are looked for now rather than at exit, so that the line below is true.
    if (__lsan_do_recoverable_leak_check != nullptr && __lsan_do_recoverable_leak_check() != 0) {
        std::fprintf(stderr,
                     "fuzz replay: %s leaked (above); run the inputs one at a time through "
                     "the fuzz tree's target to find the one\n",
                     KV_FUZZ_TARGET_NAME);
        std::fflush(nullptr);
        _exit(1);  // the check at exit would only say it again
    }
    std::printf("fuzz replay: %s: %zu inputs (%zu corpus, %zu regression) ran cleanly\n",
                KV_FUZZ_TARGET_NAME, corpus.replayed + regressions.replayed, corpus.replayed,
                regressions.replayed);
    WriteReport(corpus.replayed, regressions.replayed);
    return 0;
}
