#include "progress_win.h"

#include <windows.h>

#include <cstdio>

namespace {

bool IsConsole(DWORD which) {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

}  // namespace

ProgressLine::ProgressLine()
    : enabled_(IsConsole(STD_ERROR_HANDLE) && !IsConsole(STD_OUTPUT_HANDLE)),
      start_(Clock::now()),
      last_(start_) {}

void ProgressLine::Update(uint64_t files, uint64_t bytes) {
    if (!enabled_) return;
    const Clock::time_point now = Clock::now();
    if (now - start_ < std::chrono::seconds(1) || now - last_ < std::chrono::milliseconds(250)) {
        return;
    }
    last_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    std::fprintf(stderr, "\rscanned %llu files, %.1f MiB, %.0f s   ",
                 static_cast<unsigned long long>(files), bytes / (1024.0 * 1024.0), seconds);
    std::fflush(stderr);
    shown_ = true;
}

void ProgressLine::Finish() {
    if (!shown_) return;
    std::fprintf(stderr, "\r%60s\r", "");
    std::fflush(stderr);
    shown_ = false;
}
