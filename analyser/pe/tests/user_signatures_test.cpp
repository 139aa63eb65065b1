// Analysts' own signature databases: conversion to sparse rows, the reasons a block is
// skipped, the order in which rows are tried, and files that are damaged or hostile.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pe_test_util.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

std::string Repeat(const std::string& text, size_t times) {
    std::string out;
    for (size_t i = 0; i < times; ++i) out += text;
    return out;
}

std::string Block(const std::string& name, const std::string& signature,
                  const std::string& epOnly = "true") {
    return "[" + name + "]\nsignature = " + signature + "\nep_only = " + epOnly + "\n";
}

class UserSignaturesTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kvsig_" + std::to_string(std::random_device()()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    std::string Write(const std::string& text) {
        const fs::path path = dir_ / ("db" + std::to_string(++files_) + ".txt");
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    // Loads `text` from a file; the message goes to `message_`.
    int Load(const std::string& text) { return LoadFile(Write(text)); }
    int LoadFile(const std::string& path) {
        message_.assign(512, 'x');
        const int added = helper_.LoadSignatures(path.c_str(), &message_[0], 512);
        message_.resize(message_.find('\0'));
        return added;
    }

    // The packer named for `code` at the entry point.
    std::string Packer(const std::vector<uint8_t>& code) {
        return SafeText(helper_.packers().Find(ImageView(code.data(), code.size()), 0));
    }

    fs::path dir_;
    int files_ = 0;
    CPEHelper helper_;
    std::string message_;
};

TEST_F(UserSignaturesTest, EntryPointSignatureBecomesASparseRow) {
    EXPECT_EQ(1, Load(Block("Mine 1.0 -> Someone", "B8 ?? ?? ?? ?? F7 d0 ??")));
    EXPECT_EQ("1 added; 0 skipped", message_);
    const UserSignatures& user = helper_.packers().user();
    ASSERT_EQ(1u, user.size());
    EXPECT_EQ((std::vector<uint8_t>{1, 6, 7}),
              std::vector<uint8_t>(user.Positions(0), user.Positions(0) + user.Count(0)));
    EXPECT_EQ((std::vector<uint8_t>{0xB8, 0xF7, 0xD0}),
              std::vector<uint8_t>(user.Bytes(0), user.Bytes(0) + user.Count(0)));
    EXPECT_STREQ("Mine 1.0 -> Someone", user.Name(0));

    EXPECT_EQ("Mine 1.0 -> Someone", Packer({0xB8, 1, 2, 3, 4, 0xF7, 0xD0}));
    EXPECT_EQ("Mine 1.0 -> Someone", Packer({0xB8, 9, 9, 9, 9, 0xF7, 0xD0, 0xCC}));
    EXPECT_EQ("(null)", Packer({0xB8, 1, 2, 3, 4, 0xF7, 0xD1}));
    EXPECT_EQ("(null)", Packer({0xB8, 1, 2, 3, 4, 0xF7}));  // the last fixed byte is missing
}

TEST_F(UserSignaturesTest, SkippedBlocksAreCountedByReason) {
    const std::vector<std::string> lines = {
        "; a comment",                                         // 1
        "[Good]",                                              // 2
        "Signature = 11 22 ?? 44",                             // 3
        "EP_ONLY = TRUE",                                      // 4
        "",                                                    // 5
        "[Not at entry]",                                      // 6
        "signature = 11 22 33",                                // 7
        "ep_only = false",                                     // 8
        "[No flag]",                                           // 9
        "signature = 11 22 34",                                // 10
        "[Half byte]",                                         // 11
        "signature = 11 2? 33",                                // 12
        "ep_only = true",                                      // 13
        "[Too long]",                                          // 14
        "signature = " + Repeat("90 ", 256),                   // 15
        "ep_only = true",                                      // 16
        "[Longest]",                                           // 17
        "signature = " + Repeat("?? ", 254) + "90",            // 18
        "ep_only = true",                                      // 19
        "[Only wildcards]",                                    // 20
        "signature = ?? ??",                                   // 21
        "ep_only = true",                                      // 22
        "[   ]",                                               // 23
        "signature = 11",                                      // 24
        "ep_only = true",                                      // 25
        "[Bad hex]",                                           // 26
        "signature = 11 2G",                                   // 27
        "ep_only = true",                                      // 28
        "[Good]",                                              // 29
        "signature = 11 22 ?? 44",                             // 30
        "ep_only = true",                                      // 31
        "[FASM 1.3x]",                                         // 32: a built-in row
        "signature = 6A 00 FF 15 ?? ?? ?? 00 A3 ?? ?? ?? 00",  // 33
        "ep_only = true",                                      // 34
        "[Flag twice]",                                        // 35
        "signature = 11",                                      // 36
        "ep_only = true",                                      // 37
        "ep_only = true",                                      // 38
        "[No signature]",                                      // 39
        "ep_only = true",                                      // 40
        "[Stray text]",                                        // 41
        "signature = 12",                                      // 42
        "this is no key",                                      // 43
        "[Glued]",                                             // 44
        "signature = 1122",                                    // 45
        "ep_only = true",                                      // 46
        "[Other keys are ignored]",                            // 47
        "section_start_only = false",                          // 48
        "signature = 13",                                      // 49
        "ep_only = true",                                      // 50
    };
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    EXPECT_EQ(3, Load(text));
    EXPECT_EQ(
        "3 added; 13 skipped: 5 malformed (first at line 27), 2 not entry-point only, 1 without "
        "a name, 1 with half-byte wildcards, 1 longer than 255 bytes, 1 without a fixed byte, 2 "
        "duplicates",
        message_);
    // The longest signature reaches the last position a row can name.
    std::vector<uint8_t> code(255, 0);
    code[254] = 0x90;
    EXPECT_EQ("Longest", Packer(code));
    code.pop_back();
    EXPECT_EQ("(null)", Packer(code));
}

TEST_F(UserSignaturesTest, NamesAreCutToTheResultBuffer) {
    const std::string longest(1023, 'L');
    const std::string longer = "M" + std::string(5000, 'm');
    EXPECT_EQ(4, Load(Block(longest, "01") + Block(longer, "02") +
                      Block("  PseudoSigner [Inner 1.0] -> Someone ", "03") +
                      Block("Cut at\0NUL"s, "04")));
    EXPECT_EQ("4 added; 0 skipped", message_);

    std::vector<uint8_t> image = petest::PeImageBuilder().EntryBytes({0x02}).Build();
    ASSERT_EQ(1, ParseImage(helper_, image));
    EXPECT_EQ(longer.substr(0, 1023), SafeText(helper_.FindPackerName()));
    EXPECT_EQ(longest, Packer({0x01}));
    EXPECT_EQ("PseudoSigner [Inner 1.0] -> Someone", Packer({0x03}));
    EXPECT_EQ("Cut at", Packer({0x04}));

    // A line longer than is kept whole spoils its block; the next one is still read.
    EXPECT_EQ(1, Load("[" + std::string(70000, 'n') + "]\nsignature = 05\nep_only = true\n" +
                      Block("After", "06")));
    EXPECT_EQ("1 added; 1 skipped: 1 malformed (first at line 1)", message_);
}

// Rows and counts a parser reports, fed in pieces of `piece` bytes (0: all at once).
std::string ParseInPieces(const std::string& text, size_t piece) {
    SignatureLoadReport report;
    std::string rows;
    SignatureDatabaseParser parser(&report, [&](const SignatureCandidate& row) {
        ++report.added;
        rows += row.name + "@" + std::to_string(row.line) + ":";
        for (size_t i = 0; i < row.positions.size(); ++i) {
            rows += std::to_string(row.positions[i]) + "=" + std::to_string(row.bytes[i]) + " ";
        }
        rows += "\n";
    });
    if (piece == 0) piece = text.size();
    for (size_t at = 0; at < text.size(); at += piece) {
        parser.Feed(text.data() + at, std::min(piece, text.size() - at));
    }
    parser.Finish();
    return rows + report.Summary();
}

TEST(SignatureDatabaseParserTest, LineEndsMarkAndPiecesGiveTheSameRows) {
    const std::string lf =
        "; db\n[One]\nsignature = 60 E8 ?? 5D\nep_only = true\n\n[Two]\n"
        "ep_only = true\nsignature = 61 ?? 62\n[Bad]\nsignature = 6\n"
        "ep_only = true\n[Last]\nsignature = 63\nep_only = true";
    std::string crlf;
    for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const std::string expected = ParseInPieces(lf, 0);
    EXPECT_EQ(
        "One@2:1=96 2=232 4=93 \nTwo@6:1=97 3=98 \nLast@12:1=99 \n"
        "3 added; 1 skipped: 1 malformed (first at line 10)",
        expected);
    for (const std::string& text : {lf, crlf, "\xEF\xBB\xBF" + lf, "\xEF\xBB\xBF" + crlf}) {
        for (size_t piece : {0, 1, 2, 3, 7, 64}) {
            EXPECT_EQ(expected, ParseInPieces(text, piece)) << "piece " << piece;
        }
    }
    // A mark anywhere but at the start is text, and text before the first block is
    // not a block.
    EXPECT_EQ("0 added; 0 skipped (no signature blocks found)",
              ParseInPieces("x\n\xEF\xBB\xBF[One]\nsignature = 01\nep_only = true\n", 0));
}

TEST_F(UserSignaturesTest, BuiltInRowsWinThenUserRowsInTheOrderAdded) {
    ASSERT_EQ(4,
              Load(Block("Mine (FASM start)", "6A 00 FF 15") +     // a built-in sparse row's start
                   Block("Mine (ExeSmasher start)", "9C FE 03") +  // a built-in exact row's
                   Block("Third position", "?? ?? 33 44") + Block("First position", "11 22 33")));
    const std::vector<uint8_t> fasm = {0x6A, 0, 0xFF, 0x15, 1, 2, 3, 0, 0xA3, 4, 5, 6, 0};
    EXPECT_EQ("FASM 1.3x", Packer(fasm));
    EXPECT_EQ("Mine (FASM start)", Packer({0x6A, 0, 0xFF, 0x15, 1, 2, 3, 0, 0xA4}));
    EXPECT_EQ("ExeSmasher", Packer({0x9C, 0xFE, 0x03, 0x00}));  // the file ends inside it
    EXPECT_EQ("Mine (ExeSmasher start)", Packer({0x9C, 0xFE, 0x03, 0x01}));
    // The row added first wins, whatever position it starts at.
    EXPECT_EQ("Third position", Packer({0x11, 0x22, 0x33, 0x44}));
    EXPECT_EQ("First position", Packer({0x11, 0x22, 0x33, 0x45}));

    // A second file comes after the first.
    ASSERT_EQ(1, Load(Block("Second file", "11")));
    EXPECT_EQ("First position", Packer({0x11, 0x22, 0x33}));
    EXPECT_EQ("Second file", Packer({0x11, 0x23, 0x33}));
}

TEST_F(UserSignaturesTest, LoadingAgainAppendsAndSkipsDuplicates) {
    const std::string file = Write(Block("A", "41 ?? 42") + Block("B", "43"));
    EXPECT_EQ(2, LoadFile(file));
    EXPECT_EQ(0, LoadFile(file));
    EXPECT_EQ("0 added; 2 skipped: 2 duplicates", message_);
    // The same pattern under another name is another row.
    EXPECT_EQ(1, Load(Block("B", "43") + Block("B too", "43")));
    EXPECT_EQ("1 added; 1 skipped: 1 duplicate", message_);
    EXPECT_EQ(3u, helper_.packers().user().size());
    EXPECT_EQ("B", Packer({0x43}));
}

TEST_F(UserSignaturesTest, UnreadableFileLeavesTheTablesUnchanged) {
    ASSERT_EQ(1, Load(Block("Kept", "C3")));
    for (const std::string& path : {(dir_ / "absent.txt").string(), dir_.string()}) {
        EXPECT_EQ(-1, LoadFile(path)) << path;
        EXPECT_NE(std::string::npos, message_.find(path)) << message_;
        EXPECT_EQ(1u, helper_.packers().user().size());
        EXPECT_EQ("Kept", Packer({0xC3}));
    }
    EXPECT_EQ(-1, helper_.LoadSignatures(nullptr, nullptr, 0));

    // The message is cut to the caller's buffer; no buffer, nothing written.
    const std::string file = Write(Block("More", "C4"));
    char small[8];
    std::memset(small, 'x', sizeof(small));
    EXPECT_EQ(1, helper_.LoadSignatures(file.c_str(), small, sizeof(small)));
    EXPECT_STREQ("1 added", small);
    EXPECT_EQ(0, helper_.LoadSignatures(file.c_str(), small, 0));
    EXPECT_STREQ("1 added", small);
    EXPECT_EQ(0, helper_.LoadSignatures(file.c_str(), nullptr, 100));
}

TEST_F(UserSignaturesTest, HostileFiles) {
    // 100 MiB: a line of 100 MiB inside a block, then a block that is fine.
    const fs::path huge = dir_ / "huge.txt";
    {
        std::ofstream out(huge, std::ios::binary);
        out << "[Huge]\nsignature = ";
        const std::string mebibyte(1 << 20, 'A');
        for (int i = 0; i < 100; ++i) out << mebibyte;
        out << "\nep_only = true\n" << Block("After huge", "C5");
    }
    EXPECT_EQ(1, LoadFile(huge.string()));
    EXPECT_EQ("1 added; 1 skipped: 1 malformed (first at line 2)", message_);

    // Binary garbage, with and without headers in it.
    std::mt19937 random(19);
    std::string garbage(1 << 20, '\0');
    for (char& c : garbage) c = static_cast<char>(random());
    EXPECT_GE(Load(garbage), 0);
    for (size_t at = 0; at + 64 < garbage.size(); at += 4096) {
        garbage.replace(at, 20, "\n[x]\nsignature = ");
    }
    EXPECT_GE(Load(garbage), 0);
    EXPECT_EQ(std::string::npos, message_.find("no signature blocks")) << message_;

    // 200,000 blocks, every one a row of its own.
    std::string many;
    for (int i = 0; i < 200000; ++i) {
        char signature[32];
        std::snprintf(signature, sizeof(signature), "E9 %02X ?? %02X %02X", i & 0xFF,
                      (i >> 8) & 0xFF, i >> 16);
        many += Block("Tool " + std::to_string(i), signature);
    }
    const size_t before = helper_.packers().user().size();
    EXPECT_EQ(200000, Load(many));
    EXPECT_EQ("200000 added; 0 skipped", message_);
    EXPECT_EQ(before + 200000, helper_.packers().user().size());
    EXPECT_EQ("Tool 0", Packer({0xE9, 0, 0, 0, 0}));
    EXPECT_EQ("Tool 199999", Packer({0xE9, 199999 & 0xFF, 0, (199999 >> 8) & 0xFF, 199999 >> 16}));
}

}  // namespace
