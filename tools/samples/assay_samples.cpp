// Writes assay's demonstration set into a folder: assay_samples OUTPUT_DIR.
#include <cstdio>
#include <string>
#include <vector>

#include "sample_images.h"

namespace {

bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: assay_samples OUTPUT_DIR\n");
        return 2;
    }
    const std::string directory = argv[1];
    int failures = 0;
    for (const SampleImage& sample : DemonstrationSamples()) {
        const std::string path = directory + "/" + sample.fileName;
        if (!Write(path, sample.bytes)) {
            std::fprintf(stderr, "assay_samples: cannot write %s\n", path.c_str());
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
