#include "assay_report.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "log_rules.h"

namespace {

FileVerdict Make(Verdict kind, int score, const std::string& hits, const std::string& path) {
    FileVerdict file;
    file.verdict = kind;
    file.score = score;
    file.hits = hits;
    file.path = path;
    file.size = 4096;
    return file;
}

TEST(AssayReport, EveryCatalogueLetterHasItsFeature) {
    const std::pair<char, const char*> catalogue[] = {
        {'A', "NumberPrefix"}, {'B', "UseSystemIcon"},    {'C', "FewAPICount"},
        {'D', "InSysDir"},     {'E', "NoVerInfo"},        {'F', "LargeFileSize"},
        {'G', "MultiExtName"}, {'H', "BadSectionName"},   {'I', "RecentCreateTime"},
        {'J', "FakeFileName"}, {'K', "WithShell"},        {'L', "OpenPortMore"},
        {'M', "WithBadAPI"},   {'N', "WithMailInfo"},     {'O', "EmbeddedPE"},
        {'P', "WithCompiler"}, {'Q', "OpenPortDistrust"}, {'U', "RelatedByAutoRun"},
    };
    for (const auto& entry : catalogue) {
        ASSERT_NE(FeatureForHitLetter(entry.first), nullptr) << entry.first;
        EXPECT_STREQ(FeatureForHitLetter(entry.first), entry.second) << entry.first;
    }
    for (char letter : std::string("RST@VZa\x80")) {
        EXPECT_EQ(FeatureForHitLetter(letter), nullptr) << static_cast<int>(letter);
    }
}

TEST(AssayReport, HitsAreSpelledOut) {
    EXPECT_EQ(DescribeHits(""), "");
    EXPECT_EQ(DescribeHits("CM"), "C:FewAPICount M:WithBadAPI");
    EXPECT_EQ(DescribeHits("AR"), "A:NumberPrefix R:?");
}

TEST(AssayReport, TableColumnsLineUp) {
    const std::string a =
        FormatTableLine(Make(Verdict::kSuspicious, 160, "CGM", "C:\\x\\report.doc.exe"));
    const std::string b = FormatTableLine(Make(Verdict::kClean, -10, "F", "C:\\big.dll"));
    const std::string c = FormatTableLine(Make(Verdict::kClean, 0, "", "C:\\plain.dll"));
    EXPECT_EQ(a.find("SUSPICIOUS"), 0u);
    EXPECT_EQ(b.find("clean"), 0u);
    // The score ends in the same column and so does everything before the path.
    EXPECT_EQ(a.find("160") + 3, b.find("-10") + 3);
    EXPECT_EQ(a.size() - std::string("C:\\x\\report.doc.exe").size(),
              b.size() - std::string("C:\\big.dll").size());
    EXPECT_EQ(b.size() - std::string("C:\\big.dll").size(),
              c.size() - std::string("C:\\plain.dll").size());
    EXPECT_NE(a.find("C:FewAPICount G:MultiExtName M:WithBadAPI"), std::string::npos);
    EXPECT_NE(c.find("  -  "), std::string::npos);
}

TEST(AssayReport, ErrorLineCarriesTheReason) {
    FileVerdict file = Make(Verdict::kError, 0, "", "C:\\gone.exe");
    file.error = "cannot open: file not found";
    const std::string line = FormatTableLine(file);
    EXPECT_EQ(line.find("error"), 0u);
    EXPECT_NE(line.find("    -  cannot open: file not found"), std::string::npos);
    EXPECT_EQ(line.substr(line.size() - 11), "C:\\gone.exe");
}

TEST(AssayReport, JsonLineRoundTrips) {
    FileVerdict file = Make(Verdict::kSuspicious, 170, "CGJ", "C:\\a \"q\"\\tab\there.exe");
    const std::string line = FormatJsonLine(file);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    const nlohmann::json parsed = nlohmann::json::parse(line);
    EXPECT_EQ(parsed["verdict"], "SUSPICIOUS");
    EXPECT_EQ(parsed["score"], 170);
    EXPECT_EQ(parsed["hits"], "CGJ");
    EXPECT_EQ(parsed["features"], (nlohmann::json{"FewAPICount", "MultiExtName", "FakeFileName"}));
    EXPECT_EQ(parsed["path"], file.path);
    EXPECT_EQ(parsed["size"], 4096);
    EXPECT_FALSE(parsed.contains("error"));
}

TEST(AssayReport, JsonSurvivesBytesThatAreNotUtf8) {
    FileVerdict file = Make(Verdict::kError, 0, "", "C:\\caf\xE9\\x.exe");
    file.error = "cannot open: denied";
    const std::string line = FormatJsonLine(file);
    const nlohmann::json parsed = nlohmann::json::parse(line);
    EXPECT_EQ(parsed["verdict"], "error");
    EXPECT_TRUE(parsed["score"].is_null());
    EXPECT_EQ(parsed["error"], "cannot open: denied");
    EXPECT_EQ(parsed["path"], "C:\\caf\xEF\xBF\xBD\\x.exe");  // U+FFFD in place of the byte
}

TEST(AssayReport, SummaryCountsAndExitStatus) {
    ScanSummary summary;
    EXPECT_EQ(ExitStatusFor(summary), 0);
    CountInto(Make(Verdict::kClean, 10, "H", "a"), &summary);
    FileVerdict broken = Make(Verdict::kError, 0, "", "b");
    broken.size = 1 << 20;  // an unreadable file adds no bytes
    CountInto(broken, &summary);
    EXPECT_EQ(ExitStatusFor(summary), 0) << "an unreadable file is not a finding";
    CountInto(Make(Verdict::kSuspicious, 200, "CJM", "c"), &summary);
    EXPECT_EQ(ExitStatusFor(summary), 1);
    EXPECT_EQ(summary.files, 3u);
    EXPECT_EQ(summary.suspicious, 1u);
    EXPECT_EQ(summary.errors, 1u);
    EXPECT_EQ(summary.bytes, 8192u);

    summary.seconds = 0.5;
    EXPECT_EQ(FormatTableSummary(summary),
              "files 3, suspicious 1, errors 1, 0.0 MiB in 0.50 s, 6.0 files/s");
    const nlohmann::json parsed = nlohmann::json::parse(FormatJsonSummary(summary));
    EXPECT_EQ(parsed["summary"]["files"], 3);
    EXPECT_EQ(parsed["summary"]["suspicious"], 1);
    EXPECT_EQ(parsed["summary"]["errors"], 1);
    EXPECT_DOUBLE_EQ(parsed["summary"]["files_per_second"].get<double>(), 6.0);
}

TEST(AssayReport, ExitStatusPrecedence) {
    FileVerdict crashed = Make(Verdict::kError, 0, "", "x");
    crashed.error = "analyser crashed: exception 0xC0000005";
    crashed.crashed = true;
    const struct {
        bool suspicious, crash, interrupted;
        int status;
    } cases[] = {
        {false, false, false, 0}, {true, false, false, 1},   {false, true, false, 3},
        {true, true, false, 3},   {false, false, true, 130}, {true, true, true, 130},
    };
    for (const auto& c : cases) {
        ScanSummary summary;
        CountInto(Make(Verdict::kClean, 0, "", "a"), &summary);
        if (c.suspicious) CountInto(Make(Verdict::kSuspicious, 200, "CJM", "b"), &summary);
        if (c.crash) CountInto(crashed, &summary);
        summary.interrupted = c.interrupted;
        EXPECT_EQ(ExitStatusFor(summary), c.status) << c.suspicious << c.crash << c.interrupted;
    }
}

TEST(AssayReport, SummaryNamesCrashesAndInterruptions) {
    ScanSummary summary;
    FileVerdict crashed = Make(Verdict::kError, 0, "", "x");
    crashed.crashed = true;
    CountInto(crashed, &summary);
    CountInto(Make(Verdict::kError, 0, "", "y"), &summary);
    summary.interrupted = true;
    summary.seconds = 1;
    EXPECT_EQ(FormatTableSummary(summary),
              "interrupted: files 2, suspicious 0, errors 2 (1 crashed), 0.0 MiB in 1.00 s, "
              "2.0 files/s");
    const nlohmann::json parsed = nlohmann::json::parse(FormatJsonSummary(summary));
    EXPECT_EQ(parsed["summary"]["crashed"], 1);
    EXPECT_EQ(parsed["summary"]["errors"], 2);
    EXPECT_EQ(parsed["summary"]["interrupted"], true);
}

TEST(AssayReport, NoTimeMeansNoRate) {
    ScanSummary summary;
    EXPECT_EQ(FormatTableSummary(summary),
              "files 0, suspicious 0, errors 0, 0.0 MiB in 0.00 s, 0.0 files/s");
}

}  // namespace

// Each line, read back by LogDesk's own scan-log rule, is the row LogDesk lists: a path
// cannot add a column or a line.
TEST(AssayReport, ScanLogLinesAreTheRowsLogDeskShows) {
    const std::string time = "2024-05-06 07:08:09";
    const std::string name = "Suspicious (score 210)";
    const struct {
        const char* path;
        LogRow row;
    } cases[] = {
        {"C:\\samples\\svch0st.exe", {time, "svch0st.exe", name, "Reported", "C:\\samples"}},
        {"C:\\odd\\a\tb\r\nc.exe", {time, "a?b??c.exe", name, "Reported", "C:\\odd"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const std::string line =
            FormatScanLogLine(Make(Verdict::kSuspicious, 210, "CEJ", "-"), time, c.path);
        ASSERT_EQ(line.size() - 2, line.find("\r\n"));
        ASSERT_EQ(line.size() - 1, line.find('\n'));
        LogRow row;
        ASSERT_TRUE(
            ParseScanLine(line.substr(0, line.size() - 2), LeadByteRule::SingleByte(), row));
        EXPECT_EQ(c.row, row);
    }
}
