// The image features that read headers, imports and the code at the entry point.
#include <gtest/gtest.h>

#include <cctype>

#include "bad_section_name.h"
#include "embedded_pe.h"
#include "fake_environment.h"
#include "few_api_count.h"
#include "image_test_support.h"
#include "with_bad_api.h"
#include "with_compiler.h"
#include "with_shell.h"

namespace {

using petest::ImportDll;
using petest::ImportFunction;
using petest::PeImageBuilder;
using petest::Section;

TEST(FewAPICountTest, FiveImportsOrFewer) {
    CFewAPICount feature;
    EXPECT_EQ(RunOn(feature, Program({Kernel32Functions(5)}).Build()), 1);
    EXPECT_EQ(RunOn(feature, Program({Kernel32Functions(6)}).Build()), 0);
    EXPECT_EQ(RunOn(feature, Program({Kernel32Functions(3),
                                      {"USER32.dll", {{"MessageBoxA"}, {"wsprintfA"}}}})
                                 .Build()),
              1);
    EXPECT_EQ(RunOn(feature, Program({Kernel32Functions(3),
                                      {"USER32.dll", {{"MessageBoxA"}, {"wsprintfA"}, {"GetDC"}}}})
                                 .Build()),
              0);
    EXPECT_EQ(RunOn(feature, Program().Build()), 1);
    // Content that is no image imports nothing.
    EXPECT_EQ(RunOn(feature, std::vector<uint8_t>(4096, 'A')), 1);
}

Section Named(const std::string& name) {
    Section section;
    section.name = name;
    section.data.assign(0x10, 0);
    section.characteristics = petest::kSectionData;
    return section;
}

std::vector<uint8_t> WithSections(const std::vector<std::string>& names) {
    PeImageBuilder builder = Program();
    for (const std::string& name : names) builder.AddSection(Named(name));
    return builder.Build();
}

TEST(BadSectionNameTest, OnlyTheThreeKnownNamesAndTheirPrefixes) {
    CBadSectionName feature;
    EXPECT_EQ(RunOn(feature, WithSections({".rdata", ".data"})), 0);
    EXPECT_EQ(RunOn(feature, WithSections({".rdata", ".data", ".rsrc"})), 1);
    EXPECT_EQ(RunOn(feature, WithSections({".textbss", ".t", ""})), 0);
    for (const char* name : {".reloc", ".idata", ".bss", "UPX0"}) {
        EXPECT_EQ(RunOn(feature, WithSections({".data", name})), 1) << name;
    }
    // Imports or resources bring their own section.
    EXPECT_EQ(RunOn(feature, Program({Kernel32Functions(1)}).Build()), 1);
    EXPECT_EQ(RunOn(feature, Program({Kernel32Functions(1)}).ImportSectionName(".rdata").Build()),
              0);
    EXPECT_EQ(RunOn(feature, std::vector<uint8_t>(4096, 0)), 0);
}

TEST(BadSectionNameTest, TableAt248WhateverTheHeaderSays) {
    CBadSectionName feature;
    petest::Layout layout;
    // The real table moves 40 bytes further; the feature still reads at NT + 248, where
    // this image has a name of its own.
    const std::vector<uint8_t> moved = Program().SizeOfOptionalHeader(224 + 40).Build(&layout);
    const uint32_t expected = layout.peOffset + 248;
    ASSERT_EQ(layout.sectionTableOffset, expected + 40);
    EXPECT_EQ(RunOn(feature, moved), 0);
    PeImageBuilder patched = Program().SizeOfOptionalHeader(224 + 40);
    patched.Patch(expected, {'.', 'r', 's', 'r', 'c'});
    EXPECT_EQ(RunOn(feature, patched.Build()), 1);
}

TEST(BadSectionNameTest, HeadersOutsideTheContentEndTheScan) {
    CBadSectionName feature;
    petest::Layout layout;
    PeImageBuilder builder = Program();
    builder.AddSection(Named(".rsrc"));
    builder.Build(&layout);
    const uint32_t secondHeaderEnd = layout.sectionTableOffset + 2 * 40;
    EXPECT_EQ(RunOn(feature, PeImageBuilder(builder).Truncate(secondHeaderEnd).Build()), 1);
    EXPECT_EQ(RunOn(feature, PeImageBuilder(builder).Truncate(secondHeaderEnd - 1).Build()), 0);
}

ImportDll KernelWith(const std::vector<ImportFunction>& functions) {
    ImportDll dll{"KERNEL32.DLL", functions};
    dll.functions.push_back({"GetVersion"});
    return dll;
}

TEST(WithBadAPITest, ListedFunctionByNameExactCase) {
    CWithBadAPI feature;
    EXPECT_EQ(RunOn(feature, Program({KernelWith({{"Sleep"}})}).Build()), 1);
    EXPECT_EQ(RunOn(feature, Program({KernelWith({{"sleep"}})}).Build()), 0);
    EXPECT_EQ(RunOn(feature, Program({KernelWith({{"SleepEx"}})}).Build()), 0);
    ImportFunction byOrdinal;
    byOrdinal.byOrdinal = true;
    byOrdinal.ordinal = 0x2F0;
    EXPECT_EQ(RunOn(feature, Program({KernelWith({byOrdinal})}).Build()), 0);
    EXPECT_EQ(RunOn(feature, Program({KernelWith({}), {"WS2_32.dll", {{"recv"}}}}).Build()), 1);
    EXPECT_EQ(
        RunOn(feature, Program({KernelWith({}), {"ADVAPI32.dll", {{"RegCloseKey"}}}}).Build()), 1);
    EXPECT_EQ(RunOn(feature, Program({{"KERNEL32.DLL", {{"GetComputerNameA"}}}}).Build()), 0);
    EXPECT_EQ(RunOn(feature, Program().Build()), 0);
}

// Each of the fourteen listed functions fires on its own, imported by name from any DLL;
// the same name in the other letter case, or one letter short, does not.
TEST(WithBadAPITest, EachListedFunctionOnItsOwn) {
    CWithBadAPI feature;
    for (const std::string name :
         {"GetProcAddress", "WNetAddConnection2A", "OpenServiceA", "AdjustTokenPrivileges",
          "ClearEventLogA", "Sleep", "OpenProcessToken", "RegCloseKey", "TerminateProcess", "recv",
          "send", "CreateProcessA", "CreateThread", "GetComputerNameW"}) {
        std::string flipped = name;
        for (char& c : flipped) c = static_cast<char>(std::isalpha(c) ? c ^ 0x20 : c);
        EXPECT_EQ(1, RunOn(feature, Program({{"ANY.dll", {{"Other"}, {name}}}}).Build())) << name;
        EXPECT_EQ(0, RunOn(feature, Program({{"ANY.dll", {{flipped}}}}).Build())) << flipped;
        EXPECT_EQ(
            0, RunOn(feature, Program({{"ANY.dll", {{name.substr(0, name.size() - 1)}}}}).Build()))
            << name;
    }
}

// A second image header at 0x4000: "MZ", e_lfanew 0x80, and `signature` there.
std::vector<uint8_t> WithSecondHeader(const std::vector<uint8_t>& signature) {
    std::vector<uint8_t> header(0x80, 0);
    header[0] = 'M';
    header[1] = 'Z';
    petest::put32(header, 60, 0x80);
    header.insert(header.end(), signature.begin(), signature.end());
    header.resize(0x200, 0);
    return Program().Patch(0x4000, header).Build();
}

TEST(EmbeddedPETest, SecondImageAt0x4000) {
    CEmbeddedPE feature;
    EXPECT_EQ(RunOn(feature, Program().Build()), 0);
    EXPECT_EQ(RunOn(feature, WithSecondHeader({'P', 'E', 0, 0})), 1);
    EXPECT_EQ(RunOn(feature, WithSecondHeader({'P', 'E', 0, 1})), 0);
    // A whole executable carried in the overlay.
    EXPECT_EQ(RunOn(feature, Program().Overlay(Program().Build()).Build()), 1);
}

// The entry bytes of a stub the compiler table knows.
const std::vector<uint8_t> kVisualCpp6Entry = {0x55, 0x8B, 0xEC, 0x6A, 0xFF, 0x68, 0x00, 0x00, 0x00,
                                               0x00, 0x68, 0x00, 0x00, 0x00, 0x00, 0x64, 0xA1, 0x00,
                                               0x00, 0x00, 0x00, 0x50, 0x64, 0x89, 0x25, 0x00, 0x00,
                                               0x00, 0x00, 0x83, 0xEC, 0x58, 0x53, 0x56, 0x57};
// The first row of the packer table: FASM's entry bytes.
const std::vector<uint8_t> kPackerEntry = {0x6A, 0x00, 0xFF, 0x15, 0x11, 0x22, 0x33,
                                           0x00, 0xA3, 0x44, 0x55, 0x66, 0x00};

std::vector<uint8_t> WithEntry(const std::vector<uint8_t>& entry) {
    return PeImageBuilder().EntryBytes(entry).Build();
}

TEST(WithCompilerTest, CompilerStubAtTheEntryPoint) {
    CWithCompiler feature;
    EXPECT_EQ(RunOn(feature, WithEntry(kVisualCpp6Entry)), 1);
    EXPECT_EQ(RunOn(feature, WithEntry({0xC3, 0x90, 0x90, 0x90})), 0);
    EXPECT_EQ(RunOn(feature, WithEntry(kPackerEntry)), 0);
    EXPECT_EQ(RunOn(feature, std::vector<uint8_t>(kVisualCpp6Entry)), 0);
}

class WithShellTest : public ::testing::Test {
protected:
    WithShellTest() { feature_.Prepare(); }
    FakeEnvironment environment_;
    CWithShell feature_{&environment_};
    const std::vector<uint8_t> packed_ = WithEntry(kPackerEntry);
};

TEST_F(WithShellTest, PackedUnderTheWindowsDirectory) {
    EXPECT_EQ(RunOn(feature_, packed_, "C:\\WINDOWS\\system32\\x.exe"), 1);
    EXPECT_EQ(RunOn(feature_, packed_, "c:\\windows\\x.exe"), 1);
    EXPECT_EQ(RunOn(feature_, packed_, "D:\\x.exe"), 0);
    EXPECT_EQ(RunOn(feature_, packed_, "D:\\C:\\WINDOWS\\x.exe"), 0);  // a prefix, not a part
    EXPECT_EQ(RunOn(feature_, WithEntry(kVisualCpp6Entry), "C:\\WINDOWS\\system32\\x.exe"), 0);
    EXPECT_EQ(RunOn(feature_, std::vector<uint8_t>(kPackerEntry), "C:\\WINDOWS\\x.exe"), 0);
}

TEST_F(WithShellTest, UnknownWindowsDirectoryDecidesNothing) {
    environment_.windowsOk = false;
    EXPECT_EQ(feature_.Prepare(), 1);
    EXPECT_EQ(RunOn(feature_, packed_, "C:\\WINDOWS\\x.exe"), 0);
    EXPECT_EQ(RunOn(feature_, packed_, "D:\\x.exe"), 0);
    environment_.windowsOk = true;
    environment_.windowsDir = "D:\\WinNT";
    feature_.Prepare();
    EXPECT_EQ(RunOn(feature_, packed_, "d:\\winnt\\x.exe"), 1);
    EXPECT_EQ(RunOn(feature_, packed_, "C:\\WINDOWS\\x.exe"), 0);
}

}  // namespace
