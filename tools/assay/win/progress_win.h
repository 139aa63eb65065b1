#pragma once
// A one-line progress report on stderr while a large tree is walked. It is shown
// only when stderr is a console and stdout is not (the table would be interleaved
// with it otherwise), and only once a scan has run for a second.
#include <chrono>
#include <cstdint>

class ProgressLine {
public:
    ProgressLine();
    void Update(uint64_t files, uint64_t bytes);
    // Clears the line, if one was shown.
    void Finish();

private:
    using Clock = std::chrono::steady_clock;
    bool enabled_ = false;
    bool shown_ = false;
    Clock::time_point start_;
    Clock::time_point last_;
};
