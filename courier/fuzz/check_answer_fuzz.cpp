// The site's answer to a check decides whether a sample is sent: any bytes must give the
// verdict that the C library's reading of the first line gives, and no value outside 32
// bits may pass for 0, -1 or 1.
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "run_rules.h"

using courier::CheckVerdict;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string answer(reinterpret_cast<const char*>(data), size);
    const std::string line = answer.substr(0, answer.find("\r\n"));  // strtoll stops at a NUL
    errno = 0;
    const long long value = std::strtoll(line.c_str(), nullptr, 10);
    CheckVerdict expected = CheckVerdict::kOther;
    if (errno != ERANGE && value >= INT32_MIN && value <= INT32_MAX) {
        if (value == 0 || value == -1) expected = CheckVerdict::kKnown;
        if (value == 1) expected = CheckVerdict::kWanted;
    }
    if (courier::JudgeCheckAnswer(answer) != expected) std::abort();
    return 0;
}
