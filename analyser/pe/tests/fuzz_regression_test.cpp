// Replays every input that once made the reader fail under the fuzzer.
#include <filesystem>

#include <gtest/gtest.h>

#include "pe_exercise.h"
#include "pe_test_util.h"

namespace {

TEST(FuzzRegressionTest, KeptInputsRunCleanly) {
    namespace fs = std::filesystem;
    const fs::path dir(KV_PE_REGRESSION_DIR);
    ASSERT_TRUE(fs::is_directory(dir)) << dir;
    int replayed = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
        if (!entry.is_regular_file() || entry.path().filename().string()[0] == '.') continue;
        const std::vector<uint8_t> bytes = ReadFileBytes(entry.path());
        // Twice: nothing of one input may leak into the next answer.
        EXPECT_EQ(ExerciseFuzzInput(bytes.data(), bytes.size()),
                  ExerciseFuzzInput(bytes.data(), bytes.size()))
            << entry.path();
        ++replayed;
    }
    RecordProperty("replayed", replayed);
}

}  // namespace
