// End-to-end over real images that no one here wrote: Wine's own PE DLLs. They are
// built by a cross compiler whose start-up code none of the compiler rows describes,
// so no compiler row may claim them, and no packer row either.
#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "pe_test_util.h"

namespace {

#ifdef KV_WINE_DLL_DIR
TEST(RealImagesTest, WineDllsParseAndMatchNoSignature) {
    namespace fs = std::filesystem;
    const fs::path dir(KV_WINE_DLL_DIR);
    if (!fs::is_directory(dir)) GTEST_SKIP() << "no Wine DLLs at " << dir;
    CPEHelper helper;
    int images = 0, withImports = 0, withResources = 0;
    std::map<std::string, int> compilerHits, packerHits;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
        if (!entry.is_regular_file() || entry.file_size() > (8u << 20)) continue;
        const std::vector<uint8_t> bytes = ReadFileBytes(entry.path());
        if (bytes.size() < 2 || bytes[0] != 'M' || bytes[1] != 'Z') continue;
        ASSERT_EQ(1, ParseImage(helper, bytes)) << entry.path();
        ++images;
        // A library without an entry point has RVA 0, which lies in the headers; every
        // other image starts in one of its sections.
        const uint32_t entryRva = petest::get32(bytes, helper.GetNtHeaderOffset() + 40u);
        EXPECT_EQ(entryRva != 0, helper.GetEntrySectionIndex() >= 0) << entry.path();
        EXPECT_GE(helper.CountEmbeddedImages(), 1) << entry.path();
        if (helper.GetImportDllCount(0) > 0) ++withImports;
        if (helper.GetResourceDirectory() != nullptr) ++withResources;
        if (const char* name = helper.FindCompilerName()) {
            ++compilerHits[name + (" " + entry.path().filename().string())];
        }
        if (const char* name = helper.FindPackerName()) {
            ++packerHits[name + (" " + entry.path().filename().string())];
        }
        helper.Reset();
    }
    ASSERT_GT(images, 100);
    EXPECT_GT(withImports, images / 2);
    EXPECT_GT(withResources, 0);
    for (const auto& hit : compilerHits) ADD_FAILURE() << "compiler row matched: " << hit.first;
    for (const auto& hit : packerHits) ADD_FAILURE() << "packer row matched: " << hit.first;
    RecordProperty("images", images);
    RecordProperty("withImports", withImports);
    std::printf("%d Wine images, %d with imports, %d with resources\n", images, withImports,
                withResources);
}
#endif

}  // namespace
