// libFuzzer target: Parse followed by every query of the image reader.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "pe_exercise.h"
#include "pe_helper.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size heap copy puts the end of the input on a redzone for ASan.
    std::vector<uint8_t> image(data, data + size);
    static CPEHelper helper;
    volatile uint64_t sink = ExercisePEHelper(helper, image.data(), image.size());
    (void)sink;
    return 0;
}
