#include "assay_options.h"

#include <gtest/gtest.h>

namespace {

bool Parse(const std::vector<std::string>& args, AssayOptions* options, std::string* error) {
    return ParseAssayArguments(args, options, error);
}

TEST(AssayOptions, FlagsAndPathsInAnyOrder) {
    AssayOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"C:\\a", "--json", "D:\\b", "--quiet", "--config", "w.ini", "--log=s.txt"},
                      &options, &error))
        << error;
    EXPECT_TRUE(options.json);
    EXPECT_TRUE(options.quiet);
    EXPECT_EQ(options.configPath, "w.ini");
    EXPECT_EQ(options.scanLogPath, "s.txt");
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
        {"f", "--log"},                           // log without a file
        {"--log", "a", "--log=b", "f"},           // log twice
        {"--jobs", "f"},                          // a path is no number
        {"-j", "0", "f"},                         // at least one
        {"--jobs=33", "f"},                       // at most kMostJobs
        {"-j2x", "f"},                            // digits only
        {"-j", "+2", "f"},                        // no sign
        {"--jobs", "99999999999", "f"},           // far too many
        {"-j", "2", "-j", "3", "f"},              // jobs twice
        {"--timeout", "0", "f"},                  // at least a second
        {"--timeout=86401", "f"},                 // at most a day
        {"f", "--timeout"},                       // timeout without a number
        {"--worker", "12", "f"},                  // a worker takes no paths
        {"--worker", "x"},                        // a handle is a number
    };
    for (const auto& args : bad) {
        AssayOptions options;
        std::string error;
        EXPECT_FALSE(Parse(args, &options, &error)) << ::testing::PrintToString(args);
        EXPECT_FALSE(error.empty()) << ::testing::PrintToString(args);
    }
}

TEST(AssayOptions, JobsTimeoutAndWorkerForms) {
    const struct {
        std::vector<std::string> args;
        int jobs;
        uint32_t timeout;
    } cases[] = {
        {{"f"}, 0, 60},  // one job per processor, a minute per file
        {{"--jobs", "3", "f"}, 3, 60},
        {{"--jobs=1", "f"}, 1, 60},
        {{"-j", "32", "f"}, 32, 60},
        {{"-j4", "--timeout", "5", "f"}, 4, 5},
        {{"--timeout=86400", "f"}, 0, 86400},
    };
    for (const auto& c : cases) {
        AssayOptions options;
        std::string error;
        ASSERT_TRUE(Parse(c.args, &options, &error)) << error;
        EXPECT_EQ(options.jobs, c.jobs) << ::testing::PrintToString(c.args);
        EXPECT_EQ(options.fileTimeoutSeconds, c.timeout) << ::testing::PrintToString(c.args);
        EXPECT_EQ(options.paths, std::vector<std::string>{"f"});
        EXPECT_EQ(options.workerPipe, 0u);
    }
    // A worker gets the configuration and the databases, and no path.
    AssayOptions worker;
    std::string error;
    ASSERT_TRUE(Parse({"--worker", "4294967295", "--config", "w.ini", "--signatures", "s.txt"},
                      &worker, &error))
        << error;
    EXPECT_EQ(worker.workerPipe, 0xFFFFFFFFu);
    EXPECT_EQ(worker.configPath, "w.ini");
    EXPECT_EQ(worker.signatureFiles, std::vector<std::string>{"s.txt"});
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
