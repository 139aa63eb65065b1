// The image features that read resources and texts, and the frame they all share.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "bad_section_name.h"
#include "crc32.h"
#include "embedded_pe.h"
#include "fake_environment.h"
#include "few_api_count.h"
#include "image_test_support.h"
#include "no_ver_info.h"
#include "pe_helper.h"
#include "system_icon_table.h"
#include "use_system_icon.h"
#include "with_bad_api.h"
#include "with_compiler.h"
#include "with_mail_info.h"
#include "with_shell.h"

namespace {

using petest::PeImageBuilder;

petest::ResourceKey Id(uint32_t id) {
    petest::ResourceKey key;
    key.id = id;
    return key;
}

uint32_t Crc(const std::vector<uint8_t>& bytes) {
    uint32_t crc = 0;
    CCRC32().Compute(bytes.data(), static_cast<uint32_t>(bytes.size()), &crc);
    return crc;
}

TEST(UseSystemIconTest, IconWithATableChecksum) {
    CUseSystemIcon feature;
    const std::vector<uint8_t> plain = petest::MakeIconImage(16, 0x40);
    ASSERT_FALSE(IsSystemIconChecksum(Crc(plain)));
    const std::vector<uint8_t> system = WithCrc(plain, 0x0065003C);
    ASSERT_EQ(Crc(system), 0x0065003Cu);
    const std::vector<uint8_t> last = WithCrc(plain, SystemIconChecksums()[437]);

    EXPECT_EQ(RunOn(feature, Program().AddIcon(1, plain).Build()), 0);
    EXPECT_EQ(RunOn(feature, Program().AddIcon(1, plain).AddIcon(2, system).Build()), 1);
    EXPECT_EQ(RunOn(feature, Program().AddIcon(7, last).Build()), 1);
    // The checksum of the same image under another resource type does not count.
    EXPECT_EQ(RunOn(feature, Program().AddResource(Id(10), Id(1), system).Build()), 0);
    EXPECT_EQ(RunOn(feature, Program().Build()), 0);
}

#ifdef KV_WINE_DLL_DIR
// Wine's own programs: the table was made from their icons.
TEST(UseSystemIconTest, RealSystemFiles) {
    CUseSystemIcon feature;
    const std::string dir = KV_WINE_DLL_DIR;
    const std::vector<uint8_t> withTableIcons = ReadWholeFile(dir + "/hh.exe");
    const std::vector<uint8_t> withOtherIcons = ReadWholeFile(dir + "/joy.cpl");
    if (withTableIcons.empty() || withOtherIcons.empty()) {
        GTEST_SKIP() << "Wine's PE files are not installed in " << dir;
    }
    EXPECT_EQ(RunOn(feature, withTableIcons), 1);
    EXPECT_EQ(RunOn(feature, withOtherIcons), 0);
}
#endif

TEST(NoVerInfoTest, FiresOnImagesWithoutVersionInformation) {
    CNoVerInfo feature;
    EXPECT_EQ(RunOn(feature, Program().Build()), 1);
    EXPECT_EQ(RunOn(feature, Program().AddIcon(1, petest::MakeIconImage(16, 1)).Build()), 1);
    EXPECT_EQ(RunOn(feature, Program().AddVersionInfo("Copyright (C) Someone 2004").Build()), 0);
    EXPECT_EQ(RunOn(feature, Program().AddVersionInfo("(C) Microsoft Corporation").Build()), 0);
    EXPECT_EQ(RunOn(feature, Program().AddVersionInfo("").Build()), 0);
    // Content that is no image cannot lack version information.
    EXPECT_EQ(RunOn(feature, std::vector<uint8_t>(4096, 0)), 0);
}

TEST(NoVerInfoTest, VersionResourcesOf28BytesOrLessAreNone) {
    CNoVerInfo feature;
    const std::vector<uint8_t> stub(28, 1);
    const std::vector<uint8_t> real(29, 1);
    EXPECT_EQ(RunOn(feature, Program().AddResource(Id(16), Id(1), stub).Build()), 1);
    EXPECT_EQ(RunOn(feature, Program().AddResource(Id(16), Id(1), real).Build()), 0);
    EXPECT_EQ(
        RunOn(feature,
              Program().AddResource(Id(16), Id(1), stub).AddResource(Id(16), Id(2), real).Build()),
        0);
}

// An image whose data section holds `texts`, each between zero bytes.
std::vector<uint8_t> WithTexts(const std::vector<std::string>& texts) {
    petest::Section data;
    data.name = ".data";
    data.characteristics = petest::kSectionData;
    data.data.assign(16, 0);
    for (const std::string& text : texts) {
        data.data.insert(data.data.end(), text.begin(), text.end());
        data.data.insert(data.data.end(), 16, 0);
    }
    return Program().AddSection(data).Build();
}

TEST(WithMailInfoTest, TextsShapedLikeAddresses) {
    CWithMailInfo feature;
    EXPECT_EQ(RunOn(feature, WithTexts({"abc@ef.hij"})), 1);
    EXPECT_EQ(RunOn(feature, WithTexts({"a@cdef.hij"})), 0);
    EXPECT_EQ(RunOn(feature, WithTexts({"abc@e.ghij"})), 1);
    EXPECT_EQ(RunOn(feature, WithTexts({"abcdef@.ij"})), 0);
    EXPECT_EQ(RunOn(feature, WithTexts({"Hello world", "mail me: drop@example.com"})), 1);
    // Runs shorter than ten characters are never handed over.
    EXPECT_EQ(RunOn(feature, WithTexts({"a@b.cde", "x@yz.com"})), 0);
    // Nine characters shaped like an address, at every offset against the probes.
    for (size_t pad = 0; pad < 10; ++pad) {
        EXPECT_EQ(RunOn(feature, WithTexts({std::string(pad, '\0') + "ab@cd.efg"})), 0) << pad;
    }
    EXPECT_EQ(RunOn(feature, std::vector<uint8_t>(4096, 0)), 0);
}

TEST(WithMailInfoTest, EveryByteOfTheContentIsRead) {
    // The texts are looked for in the whole content, headers, overlay and all, and in
    // content that is no image too.
    CWithMailInfo feature;
    const std::string address = "someone@example.org";
    EXPECT_EQ(RunOn(feature, Program().Overlay({address.begin(), address.end()}).Build()), 1);
    std::string text = std::string(20, '\0') + address + std::string(20, '\0');
    EXPECT_EQ(RunOn(feature, std::vector<uint8_t>(text.begin(), text.end())), 1);
}

struct AllImageFeatures {
    FakeEnvironment environment;
    CFewAPICount fewApiCount;
    CBadSectionName badSectionName;
    CWithBadAPI withBadApi;
    CEmbeddedPE embeddedPe;
    CWithCompiler withCompiler;
    CWithShell withShell{&environment};
    CUseSystemIcon useSystemIcon;
    CWithMailInfo withMailInfo;
    CNoVerInfo noVerInfo;

    std::vector<IDataAnalyser*> All() {
        return {&fewApiCount, &badSectionName, &withBadApi,   &embeddedPe, &withCompiler,
                &withShell,   &useSystemIcon,  &withMailInfo, &noVerInfo};
    }
};

TEST(ImageFrameTest, ContentThatIsNoImageFiresOnlyFewAPICount) {
    AllImageFeatures features;
    features.withShell.Prepare();
    std::string text =
        "MZ" + std::string(500, 'x') + " Sleep GetProcAddress .rsrc " + std::string(500, '\0');
    const std::vector<uint8_t> content(text.begin(), text.end());
    for (IDataAnalyser* feature : features.All()) {
        EXPECT_EQ(RunOn(*feature, content, "C:\\WINDOWS\\x.exe"),
                  feature->GetId() == CFewAPICount::kId ? 1 : 0)
            << feature->GetName();
    }
}

TEST(ImageFrameTest, NoContentNoAnswer) {
    AllImageFeatures features;
    features.withShell.Prepare();
    CDataProvider record(1);
    const char* path = "C:\\WINDOWS\\x.exe";
    record.SetPath(&path);
    const int size = 4096;
    record.SetFileSize(&size);
    for (IDataAnalyser* feature : features.All()) {
        EXPECT_EQ(feature->Analyse(&record), 0) << feature->GetName();
    }
}

TEST(ImageFrameTest, ReaderIsResetAfterEveryFeature) {
    AllImageFeatures features;
    features.withShell.Prepare();
    const std::vector<uint8_t> image =
        Program({Kernel32Functions(2)}).AddVersionInfo("x").Lfanew(0x100).Build();
    IPEHelper& reader = ThePEHelper();
    for (IDataAnalyser* feature : features.All()) {
        RunOn(*feature, image, "C:\\WINDOWS\\x.exe");
        EXPECT_EQ(reader.GetNtHeaderOffset(), 0) << feature->GetName();
        EXPECT_EQ(reader.GetSectionCount(), 0) << feature->GetName();
        EXPECT_EQ(reader.GetResourceOffset(), -1) << feature->GetName();
    }
}

}  // namespace
