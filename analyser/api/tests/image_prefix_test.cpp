// The screening from a file's first bytes (what the library reads from the disk) must
// answer as the screening of the whole file does, however few bytes it starts with.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "image_screen.h"
#include "pe_image_builder.h"

namespace {

using petest::PeImageBuilder;

std::vector<uint8_t> Image(PeImageBuilder builder, int sections = 1) {
    for (int i = 0; i < sections; ++i) {
        petest::Section section;
        section.name = ".s" + std::to_string(i);
        section.data.assign(0x200, 0x90);
        builder.AddSection(section);
    }
    return builder.Build();
}

// Starts from `first` bytes and reads on as asked; the answer and how many rounds it took.
uint16_t FromPrefix(const std::vector<uint8_t>& file, uint32_t first, const char* path,
                    int* rounds) {
    const uint32_t size = static_cast<uint32_t>(file.size());
    uint32_t available = first < size ? first : size;
    *rounds = 0;
    for (;;) {
        uint32_t needed = 0;
        // Only the prefix is handed over: a read beyond it would be out of bounds.
        const std::vector<uint8_t> prefix(file.begin(), file.begin() + available);
        const uint16_t code = ClassifyImagePrefix(prefix.data(), available, size, path, &needed);
        if (code != kNeedMoreBytes) return code;
        ++*rounds;
        EXPECT_GT(needed, available);
        EXPECT_LE(needed, size);
        if (needed <= available || needed > size || *rounds > 3) return 0xFFFF;
        available = needed;
    }
}

void ExpectSameAnswers(const std::vector<uint8_t>& file, const char* path, const char* what) {
    const uint16_t whole =
        ClassifyImageBytes(file.data(), static_cast<uint32_t>(file.size()), path);
    const uint32_t size = static_cast<uint32_t>(file.size());
    for (uint32_t first : {0u, 1u, 63u, 64u, 65u, 200u, 512u, 4096u, size - 1, size, size + 9}) {
        int rounds = 0;
        EXPECT_EQ(FromPrefix(file, first, path, &rounds), whole) << what << " from " << first;
        EXPECT_LE(rounds, 3) << what;
    }
}

TEST(ImagePrefixTest, AnswersAsTheWholeFileDoes) {
    const char* path = "c:\\w\\x.sys";
    ExpectSameAnswers(Image(PeImageBuilder()), path, "plain");
    ExpectSameAnswers(Image(PeImageBuilder().Characteristics(0x2102)), path, "library");
    ExpectSameAnswers(Image(PeImageBuilder().Lfanew(6000)), path, "header at 6000");
    ExpectSameAnswers(Image(PeImageBuilder(), 120), path, "section table past the first page");
    ExpectSameAnswers(Image(PeImageBuilder().SizeOfOptionalHeader(0xF000)), path,
                      "optional header larger than the file");
    ExpectSameAnswers(Image(PeImageBuilder().NumberOfSectionsOverride(0xFFFF)), path,
                      "more sections than fit");
    ExpectSameAnswers(Image(PeImageBuilder().Magic(0x20B)), path, "PE32+");
    // Headers at the very end of the file, and a header offset just past it.
    std::vector<uint8_t> tail = Image(PeImageBuilder());
    for (uint32_t back : {0u, 2u, 4u, 10u, 25u, 26u, 27u}) {
        std::vector<uint8_t> bytes = tail;
        petest::put32(bytes, 60, static_cast<uint32_t>(bytes.size()) - back);
        ExpectSameAnswers(bytes, path, "header near the end");
    }
    ExpectSameAnswers(std::vector<uint8_t>(351, 'M'), path, "too small");
    ExpectSameAnswers(std::vector<uint8_t>(5000, 'A'), path, "text");
}

TEST(ImagePrefixTest, AnswersAsTheWholeFileDoesForDamagedHeaders) {
    // Header bytes overwritten at random: every answer the screening gives shows up.
    const std::vector<uint8_t> base = Image(PeImageBuilder(), 3);
    std::mt19937 random(20);
    std::vector<int> seen(10, 0);
    for (int trial = 0; trial < 3000; ++trial) {
        std::vector<uint8_t> bytes = base;
        const int changes = 1 + static_cast<int>(random() % 4);
        for (int c = 0; c < changes; ++c) {
            // Mostly the DOS and NT headers and the section table, sometimes e_lfanew.
            const size_t at = random() % 8 == 0 ? 60 + random() % 4 : random() % 0x200;
            bytes[at] = static_cast<uint8_t>(random());
        }
        const uint16_t whole =
            ClassifyImageBytes(bytes.data(), static_cast<uint32_t>(bytes.size()), "a.exe");
        ASSERT_LT(whole, seen.size());
        ++seen[whole];
        for (uint32_t first : {64u, 300u, 4096u}) {
            int rounds = 0;
            ASSERT_EQ(FromPrefix(bytes, first, "a.exe", &rounds), whole) << "trial " << trial;
        }
    }
    EXPECT_GT(seen[kNotImage], 0);
    EXPECT_GT(seen[kDamagedImage], 0);
    EXPECT_GT(seen[kExecutableImage], 0);
    EXPECT_GT(seen[kLibraryImage], 0);
}

}  // namespace
