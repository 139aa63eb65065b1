// Reading a log's bytes into rows, sorting and ticking them, exporting them, and the
// paths and geometry around the list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export_text.h"
#include "layout.h"
#include "log_sources.h"
#include "row_table.h"
#include "sort_state.h"
#include "texts.h"

namespace {

const LeadByteRule kGbk = LeadByteRule::Gbk();
const LeadByteRule kSingle = LeadByteRule::SingleByte();

std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    for (std::string_view line : SplitLogLines(bytes)) lines.emplace_back(line);
    return lines;
}

std::vector<std::string> Column(const RowTable& table, size_t cell) {
    std::vector<std::string> texts;
    for (size_t i = 0; i < table.Size(); ++i) texts.emplace_back(table.Cell(i, cell));
    return texts;
}

using Texts = std::vector<std::string>;

}  // namespace

TEST(LogLines, BytesSplitAtLineFeeds) {
    struct Case {
        std::string bytes;
        Texts lines;
    };
    const std::vector<Case> cases = {
        {"a\r\nb\nc", {"a", "b", "c"}},
        {"a\r\n\r\n\n\nb\r\n", {"a", "b"}},
        {"\n\r\n\r", {}},
        {"a\x1A"
         "b\nc\x1A\n",
         {"a\x1A"
          "b",
          "c\x1A"}},                         // text mode would stop at 0x1A
        {"a\r\r\nb\rc\n", {"a\r", "b\rc"}},  // only the CR before the LF goes
        {"last\r", {"last"}},
        {std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
    };
    for (const Case& c : cases) EXPECT_EQ(c.lines, Lines(c.bytes)) << c.bytes;
}

// What of a large log is kept: at most 6 bytes (read with one more) and 2 lines here.
TEST(LogLines, NewestPartKeepsWholeLinesWithinTheCaps) {
    const struct {
        std::string bytes;
        bool skipped;
        std::string kept;
        bool cut;
    } cases[] = {
        {"a\nb\n", false, "a\nb\n", false},     // fits
        {"aa\nbb\n", false, "aa\nbb\n", false},  // fits exactly
        {"aaa\nbb\n", false, "bb\n", true},       // one byte over: the cut line goes
        {"\nab\nc\n", true, "ab\nc\n", true},    // the byte before ends a line
        {"xaa\nbbb", true, "bbb", true},
        {"a\nb\nc\n", false, "b\nc\n", true},   // three lines: the newest two
        {"x\nb\nc", true, "b\nc", true},
        {"xyzabcdef", true, "", true},            // no whole line at all
    };
    for (const auto& c : cases) {
        const LogPart part = NewestPart(c.bytes, c.skipped, 6, 2);
        EXPECT_EQ(c.kept, part.text) << c.bytes;
        EXPECT_EQ(c.cut, part.cut) << c.bytes;
    }
}

TEST(RowTable, LoadsAcceptedLinesInFileOrder) {
    RowTable events(2);
    const std::string longEvent(100 * 1024, 'e');
    const std::string log = "T1\tfirst\r\nno tab here\nT2\t" + longEvent + "\nT3\tthird";
    EXPECT_EQ(3u, events.AppendLog(log, ParseEventLine, kSingle));
    EXPECT_EQ((Texts{"T1", "T2", "T3"}), Column(events, 0));
    EXPECT_EQ(longEvent, events.Cell(1, 1));  // a long line is one row, whole
    EXPECT_STREQ("third", events.CellText(2, 1));
    // A further load appends; a table of two cells keeps two of a longer row.
    events.Append({"T4", "fourth", "ignored"});
    events.Append({"T5"});
    EXPECT_EQ((LogRow{"T4", "fourth"}), events.Row(3));
    EXPECT_EQ((LogRow{"T5", ""}), events.Row(4));
    EXPECT_FALSE(events.Checked(4));
    events.Clear();
    EXPECT_EQ(0u, events.Size());
    EXPECT_EQ(0u, events.AppendLog("only\nrejected\n", ParseEventLine, kSingle));
}

TEST(RowTable, SortIsStableByUnsignedBytesAndMarksFollowRows) {
    RowTable table(2);
    // Keys: b, a, \xA1 (above every ASCII byte), a, B, empty.
    const Texts keys = {"b", "a", "\xA1", "a", "B", ""};
    for (size_t i = 0; i < keys.size(); ++i) table.Append({keys[i], std::to_string(i)});
    table.SetChecked(2, true);  // the "\xA1" row
    table.SetChecked(3, true);  // the second "a"

    table.SortBy(0, true);
    EXPECT_EQ((Texts{"5", "4", "1", "3", "0", "2"}), Column(table, 1));
    EXPECT_EQ((std::vector<bool>{false, false, false, true, false, true}),
              (std::vector<bool>{table.Checked(0), table.Checked(1), table.Checked(2),
                                 table.Checked(3), table.Checked(4), table.Checked(5)}));
    table.SortBy(0, false);  // equal keys stay in the order they had
    EXPECT_EQ((Texts{"2", "0", "1", "3", "4", "5"}), Column(table, 1));
    EXPECT_TRUE(table.Checked(0));
    EXPECT_EQ(3u, table.PositionOf(3));
    EXPECT_EQ(2u, table.RowId(0));

    table.CheckAll();
    for (size_t i = 0; i < table.Size(); ++i) EXPECT_TRUE(table.Checked(i));
}

TEST(SortState, ClicksTurnTheOrderAndMarkTheCaption) {
    struct Step {
        int column;
        std::string shown;  // what the header shows before the click
        int restoreColumn;
        std::string restoreCaption;
        std::string caption;
        bool ascending;
    };
    const std::string down = kAscendingMark, up = kDescendingMark;
    const std::vector<Step> steps = {
        {1, "Time", -1, "", "Time" + down, true},
        {1, "Time" + down, -1, "", "Time" + up, false},
        {1, "Time" + up, -1, "", "Time" + down, true},
        {0, "", 1, "Time", down, true},  // the check-box column: its caption is empty
        {2, "Event", 0, "", "Event" + down, true},
        {1, "Time", 2, "Event", "Time" + down, true},
    };
    SortState state;
    for (const Step& s : steps) {
        const SortState::Click click = state.OnColumnClick(s.column, s.shown);
        EXPECT_EQ(s.restoreColumn, click.restoreColumn) << s.caption;
        EXPECT_EQ(s.restoreCaption, click.restoreCaption) << s.caption;
        EXPECT_EQ(s.caption, click.caption);
        EXPECT_EQ(s.ascending, click.ascending) << s.caption;
    }
    // A reload puts the plain caption back and forgets the column: the next click on it
    // sorts ascending again.
    SortState::Restore restore = state.Reset();
    EXPECT_EQ(1, restore.column);
    EXPECT_EQ("Time", restore.caption);
    EXPECT_EQ(-1, state.Reset().column);
    EXPECT_EQ("Time" + down, state.OnColumnClick(1, "Time").caption);
}

TEST(Export, HeaderThenTickedRowsInListOrder) {
    RowTable table(2);
    table.AppendLog("T1\tone\nT2\ttwo\nT3\tthree\n", ParseEventLine, kSingle);
    const ExportTexts texts = {"Datei", "Event Log", "Zeit", "2008-01-02 03:04", "found"};
    const std::string header = "Datei:Event Log\r\nZeit:2008-01-02 03:04\r\n\r\n";
    EXPECT_EQ(header, BuildExportText(texts, table, FormatEventRow));

    table.SetChecked(0, true);
    table.SetChecked(2, true);
    table.SortBy(1, true);  // one, three, two
    EXPECT_EQ(header + "T1\tone\r\nT3\tthree\r\n", BuildExportText(texts, table, FormatEventRow));
}

TEST(Export, PathIsLowerCaseTxt) {
    struct Case {
        std::string chosen;
        std::string gbk;
        std::string single;  // empty: the same as gbk
    };
    const std::vector<Case> cases = {
        {"Z:\\Out\\Report.TXT", "z:\\out\\report.txt", ""},
        {"report", "report.txt", ""},
        {"a.txt.bak", "a.txt.bak.txt", ""},
        {"a.text", "a.text.txt", ""},
        {"a\x81.txt", "a\x81.txt.txt", "a\x81.txt"},  // ".txt" that starts inside a character
        {"D:\\\x81\x41\\X.Txt", "d:\\\x81\x41\\x.txt",
         "d:\\\x81"
         "a\\x.txt"},  // trail byte "A"
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.gbk, ExportPath(c.chosen, kGbk)) << c.chosen;
        EXPECT_EQ(c.single.empty() ? c.gbk : c.single, ExportPath(c.chosen, kSingle)) << c.chosen;
    }
}

TEST(LogPaths, BuiltFromInstallPaths) {
    const LogPaths paths = BuildLogPaths(
        {"C:\\K\\Base", "C:\\K\\Bw", "C:\\K\\Ks", "C:\\K\\Add\\\\", "C:\\K\\Up"}, kGbk);
    EXPECT_EQ("C:\\K\\Base\\Event.txt", paths.eventLog);
    EXPECT_EQ("C:\\K\\Bw\\SifterLog.txt", paths.scanLog);
    EXPECT_EQ("C:\\K\\Bw\\Bulwark.chm", paths.helpFile);
    EXPECT_EQ("C:\\K\\Ks\\Report.txt", paths.reportLog);
    EXPECT_EQ("C:\\K\\Up\\Upkeep.exe", paths.updater);
    EXPECT_EQ("C:\\K\\Up\\Upkeep.log", paths.updaterLog);
    EXPECT_EQ("C:\\K\\Add\\Polyglot.dll", paths.languageLibrary);
    EXPECT_EQ(paths.scanLog, SourceLogPath(paths, kScanSource));
    EXPECT_EQ(paths.reportLog, SourceLogPath(paths, kReportSource));
    EXPECT_EQ(paths.eventLog, SourceLogPath(paths, kEventSource));
    EXPECT_EQ(paths.updaterLog, SourceLogPath(paths, kUpdaterSource));

    // Unconfigured install paths give no path at all, never "\Event.txt" at the root.
    const LogPaths none = BuildLogPaths({"", "", "", "/\\", ""}, kGbk);
    for (const std::string* path : {&none.eventLog, &none.scanLog, &none.helpFile, &none.reportLog,
                                    &none.updater, &none.updaterLog, &none.languageLibrary}) {
        EXPECT_EQ("", *path);
    }
    // A trailing "\" that is the second byte of a character is part of the name.
    const InstallPaths gbkModules = {"", "", "", "C:\\\x81\x5C", ""};
    EXPECT_EQ("C:\\\x81\x5C\\Polyglot.dll", BuildLogPaths(gbkModules, kGbk).languageLibrary);
    EXPECT_EQ("C:\\\x81\\Polyglot.dll", BuildLogPaths(gbkModules, kSingle).languageLibrary);
}

TEST(Layout, TreeListsAndButtons) {
    const DialogLayout layout = ComputeLayout(800, 600, 150, 75, 23);
    EXPECT_EQ(10, layout.tree.x);
    EXPECT_EQ(552, layout.tree.height);
    EXPECT_EQ(160, layout.list.x);
    EXPECT_EQ(630, layout.list.width);
    EXPECT_EQ(552, layout.list.height);
    // Gap (800 - 450 - 20) / 7 = 47.
    const int expectedX[6] = {57, 179, 301, 423, 545, 667};
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(expectedX[k], layout.buttons[k].x);
        EXPECT_EQ(567, layout.buttons[k].y);
        EXPECT_EQ(75, layout.buttons[k].width);
    }
    // Too narrow for the buttons: the gap is negative, rounded toward zero (-69 / 7 = -9).
    EXPECT_EQ(1, ComputeLayout(401, 300, 100, 75, 23).buttons[0].x);
}

TEST(Texts, VersionLineAndHelpPrompt) {
    EXPECT_EQ("LogDesk Version 1.0.0", VersionLine("LogDesk", "Version", 0x00010000, 0));
    // The high byte of the most significant low word and the low word of the least
    // significant half are not shown.
    EXPECT_EQ("X v 2.5.7", VersionLine("X", "v", 0x00020305, 0x00070009));
    EXPECT_EQ("a.\nb?", HelpPrompt("a.", "b?"));
}
