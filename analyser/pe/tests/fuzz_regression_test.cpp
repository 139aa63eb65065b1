// Replays every input that once made the reader fail under the fuzzer.
#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>

#include "pe_exercise.h"
#include "pe_helper.h"
#include "pe_test_util.h"

namespace {

bool IsSignatureInput(const std::vector<uint8_t>& bytes) {
    const size_t n = sizeof(kSignatureInputMarker) - 1;
    return bytes.size() >= n && std::memcmp(bytes.data(), kSignatureInputMarker, n) == 0;
}

TEST(FuzzRegressionTest, KeptInputsRunCleanly) {
    namespace fs = std::filesystem;
    const fs::path dir(KV_PE_REGRESSION_DIR);
    ASSERT_TRUE(fs::is_directory(dir)) << dir;
    // An image with imports, resources and strings for the reader to have seen before.
    const std::vector<uint8_t> other = petest::PeImageBuilder()
                                           .EntryBytes({0x55, 0x8B, 0xEC})
                                           .AddImport({"KERNEL32.dll", {{"Sleep", 1}}})
                                           .AddVersionInfo("(C) Someone Else")
                                           .Build();
    int replayed = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
        if (!entry.is_regular_file() || entry.path().filename().string()[0] == '.') continue;
        const std::vector<uint8_t> bytes = ReadFileBytes(entry.path());
        if (IsSignatureInput(bytes)) {
            // A database in front of an image loads into a fresh reader each time:
            // twice, nothing of one load may leak into the next answer.
            EXPECT_EQ(ExerciseFuzzInput(bytes.data(), bytes.size()),
                      ExerciseFuzzInput(bytes.data(), bytes.size()))
                << entry.path();
        } else {
            CPEHelper fresh;
            const uint64_t answer = ExercisePEHelper(fresh, bytes.data(), bytes.size());
            // The same reader again, and one that read another image first: nothing of
            // an earlier image may change an answer.
            EXPECT_EQ(answer, ExercisePEHelper(fresh, bytes.data(), bytes.size())) << entry.path();
            CPEHelper used;
            ExercisePEHelper(used, other.data(), other.size());
            EXPECT_EQ(answer, ExercisePEHelper(used, bytes.data(), bytes.size())) << entry.path();
        }
        ++replayed;
    }
    EXPECT_GT(replayed, 0) << "no kept input in " << dir;
    RecordProperty("replayed", replayed);
}

}  // namespace
