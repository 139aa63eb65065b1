// The four line rules and their export lines, under the GBK and the single-byte rule.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "byte_text.h"
#include "log_rules.h"

namespace {

const LeadByteRule kGbk = LeadByteRule::Gbk();
const LeadByteRule kSingle = LeadByteRule::SingleByte();

// "升级成功" and "升级失败" in GBK.
const std::string kSucceedGbk = "\xC9\xFD\xBC\xB6\xB3\xC9\xB9\xA6";
const std::string kFailedGbk = "\xC9\xFD\xBC\xB6\xCA\xA7\xB0\xDC";
const LogRow kRejected = {"<rejected>"};

struct ParseCase {
    const char* what;
    ParseLineFn parse;
    std::string line;
    LogRow gbk;          // expected row under the GBK rule, or kRejected
    LogRow single = {};  // under the single-byte rule; empty: the same as gbk
};

LogRow Parse(ParseLineFn parse, const std::string& line, const LeadByteRule& rule) {
    LogRow row = {"left over from the previous line", "x", "y", "z", "w", "v"};
    return parse(line, rule, row) ? row : kRejected;
}

}  // namespace

TEST(LogRules, LinesBecomeRows) {
    const std::vector<ParseCase> cases = {
        // Scan log.
        {"scan",
         ParseScanLine,
         "T\tC:\\dir\\a.exe\tfound\tV\tS",
         {"T", "a.exe", "V", "S", "C:\\dir"}},
        {"scan state keeps later tabs",
         ParseScanLine,
         "T\tC:\\a.exe\tm\tV\tS\tmore",
         {"T", "a.exe", "V", "S\tmore", "C:"}},
        {"scan empty fields", ParseScanLine, "\t\\\t\t\t", {"", "", "", "", ""}},
        {"scan comment", ParseScanLine, "#T\tC:\\dir\\a.exe\tfound\tV\tS", kRejected},
        {"scan # later is text",
         ParseScanLine,
         "T#\tC:\\#\\a\tm\tV\tS",
         {"T#", "a", "V", "S", "C:\\#"}},
        {"scan no tab", ParseScanLine, "T C:\\dir\\a.exe found V S", kRejected},
        {"scan cut after time", ParseScanLine, "T\tC:\\dir\\a.exe", kRejected},
        {"scan cut after path", ParseScanLine, "T\tC:\\dir\\a.exe\tfound", kRejected},
        {"scan cut after marker", ParseScanLine, "T\tC:\\dir\\a.exe\tfound\tV", kRejected},
        {"scan no backslash", ParseScanLine, "T\ta.exe\tfound\tV\tS", kRejected},
        // A GBK character whose second byte is "\": one character under GBK, two bytes
        // (the second a backslash) under the single-byte rule.
        {"scan path with 0x5C trail byte",
         ParseScanLine,
         "T\tC:\\d\\\x81\x5C.exe\tm\tV\tS",
         {"T", "\x81\x5C.exe", "V", "S", "C:\\d"},
         {"T", ".exe", "V", "S", "C:\\d\\\x81"}},
        {"scan only backslash is a trail byte",
         ParseScanLine,
         "T\t\x81\x5C.exe\tm\tV\tS",
         kRejected,
         {"T", ".exe", "V", "S", "\x81"}},

        // Report log: only the last dot separates the state; the word is dropped.
        {"report dotted virus",
         ParseReportLine,
         "T\tC:\\dir\\a.exe found Trojan.W32.X.[deleted]",
         {"T", "a.exe", "Trojan.W32.X", "deleted", "C:\\dir"}},
        {"report brackets removed",
         ParseReportLine,
         "T\tC:\\d\\a b V.[[x]y]",
         {"T", "a", "V", "xy", "C:\\d"}},
        {"report spaces in path",
         ParseReportLine,
         "T\tC:\\my dir\\a b.exe found V.[S]",
         {"T", "a b.exe", "V", "S", "C:\\my dir"}},
        {"report no tab", ParseReportLine, "T C:\\d\\a found V.[S]", kRejected},
        {"report no dot", ParseReportLine, "T\tC:\\d\\a found V[S]", kRejected},
        {"report no space", ParseReportLine, "T\tC:\\d\\a.[S]", kRejected},
        {"report one space", ParseReportLine, "T\tC:\\d\\a V.[S]", kRejected},
        {"report no backslash", ParseReportLine, "T\ta found V.[S]", kRejected},
        {"report ] as trail byte",
         ParseReportLine,
         "T\tC:\\d\\a found V.[\x81\x5D]",
         {"T", "a", "V", "\x81\x5D", "C:\\d"},
         {"T", "a", "V", "\x81", "C:\\d"}},

        // Event log.
        {"event",
         ParseEventLine,
         "2007-12-25 10:20:30\tService started",
         {"2007-12-25 10:20:30", "Service started"}},
        {"event tabs after the first", ParseEventLine, "T\tA\tB", {"T", "A\tB"}},
        {"event empty text", ParseEventLine, "T\t", {"T", ""}},
        {"event no tab", ParseEventLine, "T event", kRejected},

        // Updater log.
        {"updater",
         ParseUpdaterLine,
         "12/25/2007 10:20:30  Update succeed",
         {"[2007-12-25 10:20:30]", "Update succeed"}},
        {"updater failed with detail",
         ParseUpdaterLine,
         "12/25/2007 10:20:30: Update failed (no server)",
         {"[2007-12-25 10:20:30]", "Update failed (no server)"}},
        {"updater both markers",
         ParseUpdaterLine,
         "12/25/2007 10:20:30  Update failed, Update succeed",
         {"[2007-12-25 10:20:30]", "Update succeed"}},
        {"updater GBK succeed",
         ParseUpdaterLine,
         "01/02/2008 03:04:05  " + kSucceedGbk,
         {"[2008-01-02 03:04:05]", kSucceedGbk}},
        {"updater GBK failed",
         ParseUpdaterLine,
         "01/02/2008 03:04:05  " + kFailedGbk + "!",
         {"[2008-01-02 03:04:05]", kFailedGbk + "!"}},
        {"updater English before GBK",
         ParseUpdaterLine,
         "01/02/2008 03:04:05  " + kSucceedGbk + " Update failed",
         {"[2008-01-02 03:04:05]", "Update failed"}},
        {"updater no marker", ParseUpdaterLine, "12/25/2007 10:20:30  Update started", kRejected},
        // Stamps too short for the marker's position: the missing parts are empty.
        {"updater marker first", ParseUpdaterLine, "Update succeed", {"[-- ]", "Update succeed"}},
        {"updater marker at 1", ParseUpdaterLine, " Update failed", {"[-- ]", "Update failed"}},
        {"updater marker at 2", ParseUpdaterLine, "  Update failed", {"[-- ]", "Update failed"}},
        {"updater short stamp",
         ParseUpdaterLine,
         "12/25  Update succeed",
         {"[-12-25 ]", "Update succeed"}},
        {"updater stamp without seconds",
         ParseUpdaterLine,
         "12/25/2007 10:20  Update succeed",
         {"[2007-12-25 10:20]", "Update succeed"}},
        // After a lead byte the "U" is its second byte: no marker starts there.
        {"updater marker inside a character",
         ParseUpdaterLine,
         "12/25/2007 10:20:30 \x81Update failed",
         kRejected,
         {"[2007-12-25 10:20:30]", "Update failed"}},
    };
    for (const ParseCase& c : cases) {
        EXPECT_EQ(c.gbk, Parse(c.parse, c.line, kGbk)) << c.what << " (GBK)";
        EXPECT_EQ(c.single.empty() ? c.gbk : c.single, Parse(c.parse, c.line, kSingle))
            << c.what << " (single-byte)";
    }
}

TEST(LogRules, RowsBecomeExportLines) {
    struct ExportCase {
        const char* what;
        ParseLineFn parse;
        FormatRowFn format;
        std::string line;
        std::string found;
        std::string exported;
    };
    const std::vector<ExportCase> cases = {
        {"scan round trip", ParseScanLine, FormatScanRow, "T\tC:\\dir\\a.exe\tfound\tV\tS", "found",
         "T\tC:\\dir\\a.exe\tfound\tV\tS"},
        {"scan translated marker", ParseScanLine, FormatScanRow, "T\tC:\\dir\\a.exe\tx\tV\tS",
         "gefunden", "T\tC:\\dir\\a.exe\tgefunden\tV\tS"},
        {"report uses tabs", ParseReportLine, FormatReportRow, "T\tC:\\dir\\a.exe found V.x.[S]",
         "found", "T\tC:\\dir\\a.exe\tfound\tV.x.[S]"},
        {"event round trip", ParseEventLine, FormatEventRow, "T\tA\tB", "found", "T\tA\tB"},
        {"updater stamp back", ParseUpdaterLine, FormatUpdaterRow,
         "12/25/2007 10:20:30  Update succeed", "found", "12/25/2007 10:20:30 : Update succeed"},
        {"updater without stamp", ParseUpdaterLine, FormatUpdaterRow, "Update succeed", "found",
         "//-- ]  : Update succeed"},
    };
    for (const ExportCase& c : cases) {
        for (const LeadByteRule* rule : {&kGbk, &kSingle}) {
            LogRow row;
            ASSERT_TRUE(c.parse(c.line, *rule, row)) << c.what;
            std::string line;
            EXPECT_TRUE(c.format(row, c.found, line)) << c.what;
            EXPECT_EQ(c.exported, line) << c.what;
        }
    }

    // Rows with fewer cells than the log has columns: the missing ones are empty.
    struct ShortRowCase {
        FormatRowFn format;
        LogRow row;
        std::string exported;
    };
    const std::vector<ShortRowCase> shortRows = {
        {FormatScanRow, {"T"}, "T\t\\\tf\t\t"},
        {FormatReportRow, {"T", "a"}, "T\t\\a\tf\t.[]"},
        {FormatEventRow, {"T"}, "T\t"},
        {FormatUpdaterRow, {"[2007-1"}, "1//2007  : "},
        {FormatUpdaterRow, {"[2007-12-25 10:2", "r"}, "12/25/2007 10:2 : r"},
        {FormatUpdaterRow, {"", "r"}, "//  : r"},
    };
    for (const ShortRowCase& c : shortRows) {
        std::string line;
        EXPECT_TRUE(c.format(c.row, "f", line));
        EXPECT_EQ(c.exported, line);
    }
    for (FormatRowFn format : {FormatScanRow, FormatReportRow, FormatEventRow, FormatUpdaterRow}) {
        std::string line = "unchanged";
        EXPECT_FALSE(format(LogRow(), "found", line));
        EXPECT_EQ("unchanged", line);
    }
}
