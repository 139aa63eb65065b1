#include "assay_options.h"

#include <gtest/gtest.h>

namespace {

bool Parse(const std::vector<std::string>& args, AssayOptions* options, std::string* error) {
    return ParseAssayArguments(args, options, error);
}

TEST(AssayOptions, FlagsAndPathsInAnyOrder) {
    AssayOptions options;
    std::string error;
    ASSERT_TRUE(
        Parse({"C:\\a", "--json", "D:\\b", "--quiet", "--config", "w.ini"}, &options, &error))
        << error;
    EXPECT_TRUE(options.json);
    EXPECT_TRUE(options.quiet);
    EXPECT_EQ(options.configPath, "w.ini");
    EXPECT_EQ(options.paths, (std::vector<std::string>{"C:\\a", "D:\\b"}));
}

TEST(AssayOptions, ConfigWithEqualsSign) {
    AssayOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--config=C:\\x y.ini", "f"}, &options, &error)) << error;
    EXPECT_EQ(options.configPath, "C:\\x y.ini");
    EXPECT_FALSE(options.json);
}

TEST(AssayOptions, SignatureFilesInTheOrderGiven) {
    AssayOptions options;
    std::string error;
    ASSERT_TRUE(
        Parse({"--signatures", "a.txt", "f", "--signatures=b c.txt", "--signatures", "a.txt"},
              &options, &error))
        << error;
    EXPECT_EQ(options.signatureFiles, (std::vector<std::string>{"a.txt", "b c.txt", "a.txt"}));
    EXPECT_EQ(options.paths, std::vector<std::string>{"f"});
}

TEST(AssayOptions, DoubleDashMakesEverythingAPath) {
    AssayOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--json", "--", "--quiet", "-x", "-"}, &options, &error)) << error;
    EXPECT_TRUE(options.json);
    EXPECT_FALSE(options.quiet);
    EXPECT_EQ(options.paths, (std::vector<std::string>{"--quiet", "-x", "-"}));
}

TEST(AssayOptions, UsageErrorsSayWhy) {
    const std::vector<std::vector<std::string>> bad = {
        {},                                       // nothing to scan
        {"--json"},                               // options only
        {"--jsno", "f"},                          // misspelt option
        {"-q", "f"},                              // no short forms
        {"f", "--config"},                        // config without a file
        {"--config=", "f"},                       // empty config
        {"--config", "a", "--config", "b", "f"},  // config twice
        {"f", ""},                                // an empty path
        {"f", "--signatures"},                    // signatures without a file
        {"--signatures=", "f"},                   // an empty signature file
    };
    for (const auto& args : bad) {
        AssayOptions options;
        std::string error;
        EXPECT_FALSE(Parse(args, &options, &error)) << ::testing::PrintToString(args);
        EXPECT_FALSE(error.empty()) << ::testing::PrintToString(args);
    }
}

TEST(AssayOptions, HelpNeedsNoPath) {
    AssayOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--help"}, &options, &error));
    EXPECT_TRUE(options.help);
    EXPECT_NE(std::string(AssayUsage()).find("--config FILE"), std::string::npos);
    EXPECT_NE(std::string(AssayUsage()).find("--signatures FILE"), std::string::npos);
}

TEST(AssayOptions, ParsingStartsFresh) {
    AssayOptions options;
    options.json = true;
    options.paths = {"stale"};
    std::string error;
    ASSERT_TRUE(Parse({"new"}, &options, &error));
    EXPECT_FALSE(options.json);
    EXPECT_EQ(options.paths, std::vector<std::string>{"new"});
}

}  // namespace
