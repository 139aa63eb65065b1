// libFuzzer target: Parse followed by every query of the image reader, or an analyst's
// signature database loaded in front of an image (see ExerciseFuzzInput).
#include <cstddef>
#include <cstdint>

#include "pe_exercise.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    volatile uint64_t sink = ExerciseFuzzInput(data, size);
    (void)sink;
    return 0;
}
