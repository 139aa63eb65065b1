// LogDesk.exe as a user meets it, under Wine and a private X display: the program is
// started from a folder of its own, with logs, a product file and the language library
// that the test writes, and driven from this process.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "logdesk_session.h"
#include "row_table.h"
#include "whole_file_win.h"
#include "win32/handles.h"
#include "windriver.h"

namespace wd = windriver;
using kvtest::WriteWholeFile;
using Texts = std::vector<std::string>;

namespace {

constexpr int kTree = 1000, kEventList = 1001, kScanList = 1003, kReportList = 1004,
              kUpdaterList = 1013, kRefresh = 1005, kHelp = 1008, kSelectAll = 1009, kClear = 1010,
              kExport = 1011, kSaveNameBox = 0x47C, kMessageText = 0xFFFF;
constexpr UINT kAboutCommand = 16;

// Logs with the lines that trip a careless reader: comments, lines without TABs, empty
// lines, CR LF and lone LF, a 0x1A byte, no LF at the end, dots in virus names, both
// updater markers in one line, a stamp too short for its marker.
const std::string kScanLog =
    "# Bulwark scan log\r\n"
    "2008-01-02 10:20:30\tC:\\WINDOWS\\system32\\evil.exe\tfound\tTrojan.Agent.X\tDeleted\r\n"
    "garbage line without tabs\r\n"
    "\r\n"
    "2008-01-02 10:21:00\tC:\\Temp\\dropper.exe\tfound\tWorm.Y\tQuarantined\n"
    "2008-01-02 10:22:00\tC:\\a b\\c.exe\tfound\tV\x1AZ\tKept";
const std::string kReportLog =
    "2008-01-03 09:00:00\tC:\\Docs\\a.doc found Macro.Word.Z.[Cleaned]\r\n"
    "2008-01-03 09:01:00\tC:\\Docs\\b.doc found nodot\r\n"
    "2008-01-03 09:02:00\tC:\\My Files\\c.exe found W32.Bad.[[Deleted]]\r\n";
const std::string kEventLog =
    "2008-01-03 09:00:00\tService started\r\n"
    "no tab\r\n"
    "2008-01-03 09:05:00\tDefinitions updated\tversion 7\r\n";
const std::string kUpdaterLog =
    "01/02/2008 03:04:05  Update succeed\r\n"
    "01/03/2008 03:04:05: Update failed, then Update succeed\r\n"
    "Update failed\r\n"
    "01/04/2008 03:04:05  Update started\r\n";
// Some keys translated, the others left to show in English.
const std::string kLanguage =
    "LogDesk=Journal\r\nAll Log=Tous les journaux\r\nEvent Log=Evenements\r\n"
    "Refresh=Actualiser\r\nTime=Heure\r\nFile=Fichier\r\nfound=trouve\r\n"
    "About LogDesk=A propos de LogDesk\r\n"
    "This log is too large: only its newest entries are shown.=Journal trop long, fin seule\r\n";

class LogDeskTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { unmanaged_ = new UnmanagedWindows; }
    static void TearDownTestSuite() {
        delete unmanaged_;
        unmanaged_ = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(suite_.ready()) << "could not set up the suite folder";
        ASSERT_TRUE(notepad_.ready()) << "could not plant the system's Notepad";
        suite_.WriteRoster();
        WriteLogs();
        ASSERT_TRUE(WriteWholeFile(suite_.Dir("Addins") + "\\LogDesk.Lng", kLanguage));
    }

    void WriteLogs() {
        WriteWholeFile(ScanLog(), kScanLog);
        WriteWholeFile(suite_.Dir("Keystone") + "\\Report.txt", kReportLog);
        WriteWholeFile(EventLog(), kEventLog);
        WriteWholeFile(suite_.Dir("Upkeep") + "\\Upkeep.log", kUpdaterLog);
    }
    std::string ScanLog() const { return suite_.Dir("Bulwark") + "\\SifterLog.txt"; }
    std::string EventLog() const { return suite_.Dir("Base") + "\\Event.txt"; }
    // The system's Notepad, and the one planted beside the program that a bare name finds.
    std::string NotepadCalls() const { return notepad_.Record(); }
    std::string PlantedCalls() const { return suite_.Dir("Program") + "\\Notepad.exe.cmdline"; }
    std::string UpkeepCalls() const { return suite_.Dir("Upkeep") + "\\Upkeep.exe.cmdline"; }

    // Starts the program and waits for its window.
    HWND Start(LogDeskProcess& process) {
        if (!process.Start(suite_.Program(), suite_.Dir("Program"))) return nullptr;
        return process.WaitForDialog();
    }
    HWND Item(HWND dialog, int id) { return GetDlgItem(dialog, id); }

    // Selects the tree item of source `index` (0 scan, 1 report, 2 event, 3 updater;
    // -1 the root).
    void ShowSource(HWND dialog, int index) {
        const std::vector<HTREEITEM> items = wd::TreeItems(Item(dialog, kTree));
        ASSERT_EQ(5u, items.size());
        ASSERT_TRUE(wd::SelectTreeItem(Item(dialog, kTree), items[index + 1]));
    }

    // Presses Export, names the file in the save dialog and waits for the dialog to go.
    void ExportAs(LogDeskProcess& process, HWND dialog, const std::string& name) {
        wd::PressButton(dialog, kExport);
        HWND save = nullptr;
        ASSERT_TRUE(wd::WaitFor([&] {
            return (save = wd::FindDialog(process.Pid(), kSaveNameBox));
        })) << "no save dialog";
        ASSERT_TRUE(wd::FillSaveDialog(save, name));
    }

    // Minimises `dialog` and answers whether it stays so. Once in a while Wine, with no
    // window manager on the display, shows the window again at once; then it is
    // minimised again.
    static bool Minimise(HWND dialog) {
        for (int attempt = 0; attempt < 10; ++attempt) {
            ShowWindow(dialog, SW_MINIMIZE);
            if (wd::WaitFor([&] { return IsIconic(dialog) != FALSE; }, 2000) &&
                !wd::WaitFor([&] { return !IsIconic(dialog); }, 300)) {
                return true;
            }
        }
        return false;
    }

    HWND WaitForMessageBox(const LogDeskProcess& process) {
        HWND box = nullptr;
        wd::WaitFor([&] { return (box = wd::FindMessageBox(process.Pid())) != nullptr; });
        return box;
    }

    // Once `dialog` is back in its loop, whatever it started has run and gone.
    static void Settle(HWND dialog) {
        ASSERT_TRUE(wd::Settled(dialog));
        for (const char* program : {"notepad.exe", "Upkeep.exe"}) {
            ASSERT_TRUE(wd::WaitForNoProcess(program)) << program;
        }
    }

    SuiteFolder suite_;
    PlantedNotepad notepad_;
    static UnmanagedWindows* unmanaged_;
};

UnmanagedWindows* LogDeskTest::unmanaged_ = nullptr;

}  // namespace

TEST_F(LogDeskTest, ShowsEachLogWithTranslatedTexts) {
    // The scanner keeps its log open for writing while the viewer reads it.
    UniqueFile writer(CreateFileA(ScanLog().c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(writer);
    LogDeskProcess process;
    HWND dialog = Start(process);
    ASSERT_NE(nullptr, dialog);

    EXPECT_EQ("Journal", wd::WindowText(dialog));
    Texts tree;
    for (HTREEITEM item : wd::TreeItems(Item(dialog, kTree))) {
        tree.push_back(wd::TreeItemText(Item(dialog, kTree), item));
    }
    EXPECT_EQ(
        (Texts{"Tous les journaux", "Bulwark Log", "Keystone Log", "Evenements", "Upkeep Log"}),
        tree);
    Texts buttons;
    for (int id : {kHelp, kRefresh, kSelectAll, kExport, kClear, IDOK}) {
        buttons.push_back(wd::ItemText(dialog, id));
    }
    EXPECT_EQ((Texts{"Help", "Actualiser", "Select All", "Export", "Clear", "Exit"}), buttons);

    struct Expected {
        int list;
        Texts captions;
        std::vector<Texts> columns;  // column 1 on
    };
    const std::vector<Expected> sources = {
        {kScanList,
         {"", "Heure", "File name", "Virus name", "State", "File path"},
         {{"2008-01-02 10:20:30", "2008-01-02 10:21:00", "2008-01-02 10:22:00"},
          {"evil.exe", "dropper.exe", "c.exe"},
          {"Trojan.Agent.X", "Worm.Y", "V\x1AZ"},
          {"Deleted", "Quarantined", "Kept"},
          {"C:\\WINDOWS\\system32", "C:\\Temp", "C:\\a b"}}},
        {kReportList,
         {"", "Heure", "File name", "Virus name", "State", "File path"},
         {{"2008-01-03 09:00:00", "2008-01-03 09:02:00"},
          {"a.doc", "c.exe"},
          {"Macro.Word.Z", "W32.Bad"},
          {"Cleaned", "Deleted"},
          {"C:\\Docs", "C:\\My Files"}}},
        {kEventList,
         {"", "Heure", "Event"},
         {{"2008-01-03 09:00:00", "2008-01-03 09:05:00"},
          {"Service started", "Definitions updated\tversion 7"}}},
        {kUpdaterList,
         {"", "Heure", "Live result"},
         {{"[2008-01-02 03:04:05]", "[2008-01-03 03:04:05]", "[-- ]"},
          {"Update succeed", "Update succeed", "Update failed"}}},
    };
    // The first source is shown at start; each tree item shows its own list only.
    for (size_t index = 0; index < sources.size(); ++index) {
        const Expected& source = sources[index];
        if (index > 0) ShowSource(dialog, static_cast<int>(index));
        for (int list : {kScanList, kReportList, kEventList, kUpdaterList}) {
            EXPECT_EQ(list == source.list, IsWindowVisible(Item(dialog, list)) != FALSE)
                << "source " << index << ", list " << list;
        }
        HWND list = Item(dialog, source.list);
        for (size_t c = 0; c < source.captions.size(); ++c) {
            EXPECT_EQ(source.captions[c], wd::ColumnCaption(list, static_cast<int>(c)));
        }
        for (size_t c = 0; c < source.columns.size(); ++c) {
            EXPECT_EQ(source.columns[c], wd::Column(list, static_cast<int>(c + 1)))
                << "list " << source.list << ", column " << c + 1;
        }
    }
}

// Runs in its own ctest entry, with LANG and LC_ALL set to zh_CN.GBK: Wine takes the
// ANSI code page of a process from the locale of the command that starts it.
TEST_F(LogDeskTest, ChineseCodePageKeepsDoubleByteCharacters) {
    ASSERT_EQ(936u, GetACP()) << "run with LANG=zh_CN.GBK LC_ALL=zh_CN.GBK";
    // Second bytes "\" (0x5C) and "]" (0x5D) inside characters, the GBK updater markers,
    // and a Chinese program name.
    WriteWholeFile(ScanLog(), "T\tC:\\d\\\xD5\x5C.exe\tfound\tV\tS\r\n");
    WriteWholeFile(suite_.Dir("Keystone") + "\\Report.txt",
                   "T\tC:\\d\\a.exe found V.[\xB1\x5D]\r\n");
    WriteWholeFile(suite_.Dir("Upkeep") + "\\Upkeep.log",
                   "01/02/2008 03:04:05  \xC9\xFD\xBC\xB6\xB3\xC9\xB9\xA6\r\n"
                   "01/03/2008 03:04:05  \xC9\xFD\xBC\xB6\xCA\xA7\xB0\xDC\r\n");
    WriteWholeFile(suite_.Dir("Addins") + "\\LogDesk.Lng", "LogDesk=\xC8\xD5\xD6\xBE\r\n");

    LogDeskProcess process;
    HWND dialog = Start(process);
    ASSERT_NE(nullptr, dialog);
    wchar_t caption[64] = {};
    GetWindowTextW(dialog, caption, 64);
    EXPECT_EQ(std::wstring(L"\x65E5\x5FD7"), caption);  // the GBK name read as code page 936

    HWND scan = Item(dialog, kScanList);
    EXPECT_EQ((Texts{"\xD5\x5C.exe"}), wd::Column(scan, 2));
    EXPECT_EQ((Texts{"C:\\d"}), wd::Column(scan, 5));
    EXPECT_EQ((Texts{"\xB1\x5D"}), wd::Column(Item(dialog, kReportList), 4));
    HWND updater = Item(dialog, kUpdaterList);
    EXPECT_EQ((Texts{"[2008-01-02 03:04:05]", "[2008-01-03 03:04:05]"}), wd::Column(updater, 1));
    EXPECT_EQ((Texts{"\xC9\xFD\xBC\xB6\xB3\xC9\xB9\xA6", "\xC9\xFD\xBC\xB6\xCA\xA7\xB0\xDC"}),
              wd::Column(updater, 2));
    ASSERT_TRUE(wd::ClickHeader(scan, 1));
    EXPECT_EQ("Time\xA1\xFD", wd::ColumnCaption(scan, 1));
}

TEST_F(LogDeskTest, WithoutLanguageLibraryEveryTextIsEnglish) {
    ASSERT_TRUE(DeleteFileA((suite_.Dir("Addins") + "\\Polyglot.dll").c_str()));
    LogDeskProcess process;
    HWND dialog = Start(process);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ("LogDesk", wd::WindowText(dialog));
    const std::vector<HTREEITEM> items = wd::TreeItems(Item(dialog, kTree));
    ASSERT_EQ(5u, items.size());
    EXPECT_EQ("All Log", wd::TreeItemText(Item(dialog, kTree), items[0]));
    EXPECT_EQ("Event Log", wd::TreeItemText(Item(dialog, kTree), items[3]));
    EXPECT_EQ("Refresh", wd::ItemText(dialog, kRefresh));
    EXPECT_EQ("Time", wd::ColumnCaption(Item(dialog, kScanList), 1));
    EXPECT_EQ(3, wd::RowCount(Item(dialog, kScanList)));
}

TEST_F(LogDeskTest, ExportWritesTickedRowsAndOpensNotepad) {
    LogDeskProcess process;
    HWND dialog = Start(process);
    ASSERT_NE(nullptr, dialog);
    HWND scan = Item(dialog, kScanList);
    ASSERT_EQ(3, wd::RowCount(scan));

    // One row ticked from outside, one with a click on its check box.
    ASSERT_TRUE(wd::SetChecked(scan, 0, true));
    ASSERT_TRUE(wd::ClickCheckBox(scan, 2));
    ASSERT_TRUE(wd::WaitFor([&] { return wd::Checked(scan, 2); })) << "the click did not tick";
    EXPECT_TRUE(wd::Checked(scan, 0));
    // The space bar ticks the focused row and clears it again.
    ASSERT_TRUE(wd::ClickRow(scan, 1));
    ASSERT_TRUE(
        wd::WaitFor([&] { return SendMessageA(scan, LVM_GETNEXTITEM, -1, LVNI_FOCUSED) == 1; }));
    wd::PressKey(scan, VK_SPACE);
    ASSERT_TRUE(wd::WaitFor([&] { return wd::Checked(scan, 1); })) << "space did not tick";
    wd::PressKey(scan, VK_SPACE);
    ASSERT_TRUE(wd::WaitFor([&] { return !wd::Checked(scan, 1); })) << "space did not clear";

    const std::string header = "Fichier:Bulwark Log\r\nHeure:";
    const std::string evil =
        "2008-01-02 10:20:30\tC:\\WINDOWS\\system32\\evil.exe\ttrouve\tTrojan.Agent.X\tDeleted\r\n";
    const std::string dropper =
        "2008-01-02 10:21:00\tC:\\Temp\\dropper.exe\ttrouve\tWorm.Y\tQuarantined\r\n";
    const std::string kept = "2008-01-02 10:22:00\tC:\\a b\\c.exe\ttrouve\tV\x1AZ\tKept\r\n";
    // The stamp is local time "YYYY-MM-DD hh:mm"; the rest is compared byte for byte.
    const auto rowsOf = [&](const std::string& text) -> std::string {
        if (text.compare(0, header.size(), header) != 0) return "<header: " + text + ">";
        const std::string stamp = text.substr(header.size(), 16);
        for (size_t i = 0; i < stamp.size(); ++i) {
            const bool digit = stamp[i] >= '0' && stamp[i] <= '9';
            if (digit != (i != 4 && i != 7 && i != 10 && i != 13)) return "<stamp: " + text + ">";
        }
        if (text.compare(header.size() + 16, 4, "\r\n\r\n") != 0) return "<gap: " + text + ">";
        return text.substr(header.size() + 20);
    };

    // A bare name: ".txt" is added and the path lowered.
    const std::string chosen = suite_.Root() + "\\Ticked";
    ExportAs(process, dialog, chosen);
    std::string calls = WaitForLines(NotepadCalls(), 1);
    std::string lowered = suite_.Root() + "\\ticked.txt";
    CharLowerA(&lowered[0]);
    EXPECT_EQ("\"" + notepad_.Program() + "\" \"" + lowered + "\"\r\n", calls);
    EXPECT_FALSE(Exists(PlantedCalls()));
    EXPECT_EQ(evil + kept, rowsOf(ReadBytes(lowered)));

    wd::PressButtonAndWait(dialog, kSelectAll);
    ASSERT_TRUE(wd::Checked(scan, 1));
    ExportAs(process, dialog, suite_.Root() + "\\All.TXT");
    calls = WaitForLines(NotepadCalls(), 2);
    EXPECT_EQ(evil + dropper + kept, rowsOf(ReadBytes(suite_.Root() + "\\all.txt")));

    // Refresh clears the ticks: the export has the header only.
    wd::PressButtonAndWait(dialog, kRefresh);
    ASSERT_FALSE(wd::Checked(scan, 0));
    ExportAs(process, dialog, suite_.Root() + "\\none.txt");
    calls = WaitForLines(NotepadCalls(), 3);
    EXPECT_EQ("", rowsOf(ReadBytes(suite_.Root() + "\\none.txt")));
}

TEST_F(LogDeskTest, ExportAsksBeforeReplacingAndReportsAnUnwritableTarget) {
    LogDeskProcess process;
    HWND dialog = Start(process);
    ASSERT_NE(nullptr, dialog);
    // The question is about the file written: "Report" and "notes.log" are written as
    // report.txt and notes.log.txt, which exist; notes.log itself is never touched.
    const std::string notes = suite_.Root() + "\\notes.log";
    for (const std::string& existing : {suite_.Root() + "\\report.txt", notes + ".txt"}) {
        SCOPED_TRACE(existing);
        ASSERT_TRUE(WriteWholeFile(existing, "keep me"));
        ASSERT_TRUE(WriteWholeFile(notes, "mine"));
        ExportAs(process, dialog, existing.substr(0, existing.size() - 4));
        HWND prompt = WaitForMessageBox(process);
        ASSERT_NE(nullptr, prompt) << "no overwrite question";
        std::string lowered = existing;
        CharLowerA(&lowered[0]);
        EXPECT_EQ(0u, wd::ItemText(prompt, kMessageText).find(lowered + "\n"));
        wd::Answer(prompt, IDNO);
        HWND save = nullptr;
        ASSERT_TRUE(wd::WaitFor([&] {
            return !wd::FindMessageBox(process.Pid()) &&
                   (save = wd::FindDialog(process.Pid(), kSaveNameBox));
        }));
        wd::Answer(save, IDCANCEL);
        ASSERT_TRUE(wd::WaitFor([&] { return !wd::FindDialog(process.Pid(), kSaveNameBox); }));
        EXPECT_EQ("keep me", ReadBytes(existing));
        ASSERT_TRUE(DeleteFileA(existing.c_str()));
    }
    // With notes.log.txt gone nothing is asked; notes.log stays as it was.
    ExportAs(process, dialog, notes);
    WaitForLines(notes + ".txt", 3);
    EXPECT_EQ("mine", ReadBytes(notes));
    Settle(dialog);
    DeleteFileA(NotepadCalls().c_str());

    // A name whose ".txt" form is a folder: the dialog asks about replacing it, and Yes
    // leads to a file that cannot be written.
    ASSERT_TRUE(CreateDirectoryA((suite_.Root() + "\\folder.txt").c_str(), nullptr));
    ExportAs(process, dialog, suite_.Root() + "\\folder");
    HWND prompt = WaitForMessageBox(process);
    ASSERT_NE(nullptr, prompt);
    wd::Answer(prompt, IDYES);
    HWND failure = nullptr;
    ASSERT_TRUE(wd::WaitFor([&] {
        failure = wd::FindMessageBox(process.Pid());
        return failure != nullptr && failure != prompt;
    }));
    ASSERT_NE(nullptr, failure);
    EXPECT_EQ("Can't open this file!", wd::ItemText(failure, kMessageText));
    EXPECT_EQ("Journal", wd::WindowText(failure));
    wd::Answer(failure, IDOK);
    ASSERT_TRUE(wd::WaitFor([&] { return !wd::FindMessageBox(process.Pid()); }));
    // Whatever the export started has run by now: nothing did.
    Settle(dialog);
    EXPECT_FALSE(Exists(NotepadCalls()));
    EXPECT_FALSE(Exists(PlantedCalls()));
}

TEST_F(LogDeskTest, HeaderClicksSortAndRefreshRestoresFileOrder) {
    LogDeskProcess process;
    HWND dialog = Start(process);
    ASSERT_NE(nullptr, dialog);
    HWND scan = Item(dialog, kScanList);
    ASSERT_TRUE(wd::SetChecked(scan, 0, true));  // evil.exe, ticked and selected
    const auto selected = [scan] { return SendMessageA(scan, LVM_GETNEXTITEM, -1, LVNI_SELECTED); };
    ASSERT_TRUE(wd::ClickRow(scan, 0) && wd::WaitFor([&] { return selected() == 0; }));

    ASSERT_TRUE(wd::ClickHeader(scan, 2));
    EXPECT_EQ((Texts{"c.exe", "dropper.exe", "evil.exe"}), wd::Column(scan, 2));
    EXPECT_EQ("File name\xA1\xFD", wd::ColumnCaption(scan, 2));
    EXPECT_TRUE(wd::Checked(scan, 2));  // the tick and the selection went with their row
    EXPECT_EQ(2, selected());
    EXPECT_FALSE(wd::Checked(scan, 0));
    EXPECT_EQ("C:\\a b", wd::Cell(scan, 0, 5));  // whole rows moved

    ASSERT_TRUE(wd::ClickHeader(scan, 2));
    EXPECT_EQ((Texts{"evil.exe", "dropper.exe", "c.exe"}), wd::Column(scan, 2));
    EXPECT_EQ("File name\xA1\xFC", wd::ColumnCaption(scan, 2));

    ASSERT_TRUE(wd::ClickHeader(scan, 3));
    EXPECT_EQ((Texts{"Trojan.Agent.X", "V\x1AZ", "Worm.Y"}), wd::Column(scan, 3));
    EXPECT_EQ("File name", wd::ColumnCaption(scan, 2));
    EXPECT_EQ("Virus name\xA1\xFD", wd::ColumnCaption(scan, 3));

    wd::PressButtonAndWait(dialog, kRefresh);
    EXPECT_EQ("Virus name", wd::ColumnCaption(scan, 3));
    EXPECT_EQ((Texts{"evil.exe", "dropper.exe", "c.exe"}), wd::Column(scan, 2));
    // Sorting starts afresh after the reload.
    ASSERT_TRUE(wd::ClickHeader(scan, 3));
    EXPECT_EQ("Virus name\xA1\xFD", wd::ColumnCaption(scan, 3));
}

TEST_F(LogDeskTest, ClearDeletesTheLogAndTheRootKeepsTheLastSource) {
    LogDeskProcess process;
    HWND dialog = Start(process);
    ASSERT_NE(nullptr, dialog);
    HWND events = Item(dialog, kEventList);
    ShowSource(dialog, 2);
    ASSERT_TRUE(wd::WaitFor([&] { return IsWindowVisible(events) != FALSE; }));
    ASSERT_EQ(2, wd::RowCount(events));

    wd::PressButtonAndWait(dialog, kClear);
    EXPECT_FALSE(Exists(EventLog())) << "the log was not deleted";
    EXPECT_EQ(0, wd::RowCount(events));
    EXPECT_TRUE(Exists(ScanLog()));
    wd::PressButtonAndWait(dialog, kRefresh);
    EXPECT_EQ(0, wd::RowCount(events));
    EXPECT_EQ(3, wd::RowCount(Item(dialog, kScanList)));

    // The root shows no list, and Export still takes the source shown last.
    ShowSource(dialog, -1);
    for (int list : {kScanList, kReportList, kEventList, kUpdaterList}) {
        EXPECT_FALSE(IsWindowVisible(Item(dialog, list))) << list;
    }
    ExportAs(process, dialog, suite_.Root() + "\\root.txt");
    WaitForLines(NotepadCalls(), 1);
    EXPECT_EQ(0u, ReadBytes(suite_.Root() + "\\root.txt").rfind("Fichier:Evenements\r\n", 0));
}

TEST_F(LogDeskTest, HelpOpensTheHelpFileOrOffersTheUpdater) {
    // .chm files open with the program the prefix's class key names: a recorder here.
    const std::string viewer = suite_.Dir("Program") + "\\HelpViewer.exe";
    ASSERT_TRUE(
        CopyFileA((suite_.Dir("Program") + "\\Notepad.exe").c_str(), viewer.c_str(), FALSE));
    HKEY key = nullptr;
    ASSERT_EQ(
        ERROR_SUCCESS,
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes\\chm.file\\shell\\open\\command", 0,
                        nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr));
    char saved[1024] = {};
    DWORD savedSize = sizeof saved;
    const bool hadCommand =
        RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(saved),
                         &savedSize) == ERROR_SUCCESS;
    const std::string command = "\"" + viewer + "\" \"%1\"";
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>(command.size() + 1));
    const std::string help = suite_.Dir("Bulwark") + "\\Bulwark.chm";
    WriteWholeFile(help, "ITSF");

    LogDeskProcess process;
    HWND dialog = Start(process);
    if (dialog != nullptr) {
        wd::PressButton(dialog, kHelp);
        EXPECT_NE(std::string::npos, WaitForLines(viewer + ".cmdline", 1).find(help));
        EXPECT_EQ(nullptr, wd::FindMessageBox(process.Pid()));
    }
    if (hadCommand) {
        RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(saved), savedSize);
    } else {
        RegDeleteValueA(key, nullptr);
    }
    RegCloseKey(key);
    ASSERT_NE(nullptr, dialog);

    // Without the help file the updater is offered. No starts nothing, Yes starts it once.
    ASSERT_TRUE(DeleteFileA(help.c_str()));
    for (int answer : {IDNO, IDYES}) {
        wd::PressButton(dialog, kHelp);
        HWND prompt = WaitForMessageBox(process);
        ASSERT_NE(nullptr, prompt);
        EXPECT_EQ(
            "Local help file was not detected. Please run Upkeep to download it.\n"
            "Is it need run upkeep right now?",
            wd::ItemText(prompt, kMessageText));
        EXPECT_EQ("Journal", wd::WindowText(prompt));
        EXPECT_EQ(nullptr, GetWindow(prompt, GW_OWNER));
        wd::Answer(prompt, answer);
        ASSERT_TRUE(wd::WaitFor([&] { return !wd::FindMessageBox(process.Pid()); }));
        // What the answer started has run by now: after No, nothing.
        Settle(dialog);
        EXPECT_EQ(answer == IDYES, Exists(UpkeepCalls()));
    }
    const std::string calls = WaitForLines(UpkeepCalls(), 1);
    EXPECT_EQ(1, std::count(calls.begin(), calls.end(), '\n')) << calls;
    EXPECT_NE(std::string::npos, calls.find("Upkeep.exe"));
}

TEST_F(LogDeskTest, AboutShowsNameAndVersion) {
    LogDeskProcess process;
    HWND dialog = Start(process);
    ASSERT_NE(nullptr, dialog);
    PostMessageA(dialog, WM_SYSCOMMAND, kAboutCommand, 0);
    HWND about = nullptr;
    ASSERT_TRUE(wd::WaitFor([&] { return (about = wd::FindDialog(process.Pid(), 1007)); }));
    EXPECT_EQ("A propos de LogDesk", wd::WindowText(about));
    EXPECT_EQ("Journal Version 1.0.0", wd::ItemText(about, 1007));
    EXPECT_EQ("Copyright (C) Kavro Labs", wd::ItemText(about, 1006));
    wd::Answer(about, IDOK);
    ASSERT_TRUE(wd::WaitFor([&] { return !wd::FindDialog(process.Pid(), 1007); }));
}

TEST_F(LogDeskTest, LayoutFollowsTheWindowAndExitEnds) {
    LogDeskProcess process;
    HWND dialog = Start(process);
    ASSERT_NE(nullptr, dialog);
    const auto size = [](HWND window) {
        RECT rect = {};
        GetWindowRect(window, &rect);
        return SIZE{rect.right - rect.left, rect.bottom - rect.top};
    };
    // Never smaller than 600 by 400.
    SetWindowPos(dialog, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(600, size(dialog).cx);
    EXPECT_EQ(400, size(dialog).cy);

    SetWindowPos(dialog, nullptr, 0, 0, 900, 700, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client = {};
    GetClientRect(dialog, &client);
    const auto placed = [dialog](HWND control) {
        RECT rect = {};
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    };
    const RECT tree = placed(Item(dialog, kTree)), list = placed(Item(dialog, kScanList)),
               exit = placed(Item(dialog, IDOK)), help = placed(Item(dialog, kHelp));
    const int bw = exit.right - exit.left, bh = exit.bottom - exit.top;
    const int gap = (client.right - 6 * bw - 20) / 7;
    EXPECT_EQ(10, tree.left);
    EXPECT_EQ(client.bottom - bh - 15, tree.bottom);
    EXPECT_EQ(tree.right + 10 - tree.left, list.left);
    EXPECT_EQ(client.right - 10, list.right);
    EXPECT_EQ(10 + gap, help.left);
    EXPECT_EQ(10 + gap + 5 * (bw + gap), exit.left);
    EXPECT_EQ(client.bottom - bh - 10, exit.top);

    // Minimised, nothing moves; restored, the same layout again.
    ASSERT_TRUE(Minimise(dialog));
    EXPECT_EQ(list.right - list.left, size(Item(dialog, kScanList)).cx);
    ShowWindow(dialog, SW_RESTORE);
    ASSERT_TRUE(wd::WaitFor([&] { return !IsIconic(dialog); }));
    EXPECT_EQ(exit.left, placed(Item(dialog, IDOK)).left);

    wd::PressButton(dialog, IDOK);
    EXPECT_EQ(0u, process.WaitForExit());
}

TEST_F(LogDeskTest, WithoutProductFileItEndsWithStatusOne) {
    suite_.RemoveRoster();
    LogDeskProcess process;
    ASSERT_TRUE(process.Start(suite_.Program(), suite_.Dir("Program")));
    // It ends before it makes a window: none is ever seen while it runs.
    bool windowSeen = false;
    DWORD code = STILL_ACTIVE;
    for (int polls = 0; code == STILL_ACTIVE && polls < 20000; ++polls) {
        windowSeen = windowSeen || !wd::ProcessWindows(process.Pid()).empty();
        code = process.WaitForExit(1);
    }
    EXPECT_EQ(1u, code);
    EXPECT_FALSE(windowSeen);
}

// A log past the cap is shown by its newest entries, after a message, and is never read
// whole; a log of exactly the cap is read whole, without one. Both are zeros (one line
// without a TAB: no row) and then the usual scan log.
TEST_F(LogDeskTest, ALogPastTheCapShowsItsNewestEntries) {
    const std::string tail = "\n" + kScanLog;
    for (const uint64_t size : {kLargestLogBytes, kLargestLogBytes + 1}) {
        SCOPED_TRACE(size);
        {
            UniqueFile log(CreateFileA(ScanLog().c_str(), GENERIC_WRITE, 0, nullptr,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            LARGE_INTEGER at;
            at.QuadPart = static_cast<LONGLONG>(size - tail.size());
            DWORD written = 0;
            ASSERT_TRUE(SetFilePointerEx(log.get(), at, nullptr, FILE_BEGIN));
            ASSERT_TRUE(WriteFile(log.get(), tail.data(), static_cast<DWORD>(tail.size()),
                                  &written, nullptr));
        }
        LogDeskProcess process;
        ASSERT_TRUE(process.Start(suite_.Program(), suite_.Dir("Program")));
        if (size > kLargestLogBytes) {
            HWND box = WaitForMessageBox(process);
            ASSERT_NE(nullptr, box) << "no message about the cut";
            EXPECT_EQ("Journal trop long, fin seule\n" + ScanLog(),
                      wd::ItemText(box, kMessageText));
            wd::Answer(box, IDOK);
        }
        HWND dialog = process.WaitForDialog();
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ(nullptr, wd::FindMessageBox(process.Pid()));
        EXPECT_EQ((Texts{"evil.exe", "dropper.exe", "c.exe"}), wd::Column(Item(dialog, kScanList), 2));
    }
}

TEST_F(LogDeskTest, SecondStartRestoresTheFirstWindowAndEnds) {
    LogDeskProcess first;
    HWND dialog = Start(first);
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(Minimise(dialog));

    LogDeskProcess second;
    ASSERT_TRUE(second.Start(suite_.Program(), suite_.Dir("Program")));
    EXPECT_EQ(0u, second.WaitForExit());
    EXPECT_TRUE(wd::WaitFor([&] { return !IsIconic(dialog) && IsWindowVisible(dialog); }));
    EXPECT_EQ(dialog, GetForegroundWindow());
    EXPECT_EQ(STILL_ACTIVE, first.WaitForExit(0));
}

TEST_F(LogDeskTest, EmptyInstallPathsLeaveTheDriveRootAlone) {
    // Decoys where an empty install path would point: the root of the current drive.
    const std::string root = suite_.Root().substr(0, 3);
    const std::vector<std::string> decoys = {root + "Event.txt", root + "Bulwark.chm",
                                             root + "Upkeep.exe", root + "Polyglot.dll",
                                             root + "LogDesk.Lng"};
    for (const std::string& decoy : decoys)
        ASSERT_FALSE(Exists(decoy)) << decoy << " is there already";
    WriteWholeFile(decoys[0], "2008-01-03 09:00:00\tdecoy event\r\n");
    WriteWholeFile(decoys[1], "ITSF");
    CopyFileA((suite_.Dir("Program") + "\\Notepad.exe").c_str(), decoys[2].c_str(), FALSE);
    CopyFileA((suite_.Dir("Addins") + "\\Polyglot.dll").c_str(), decoys[3].c_str(), FALSE);
    WriteWholeFile(decoys[4], "LogDesk=Decoy\r\n");
    suite_.WriteRoster({"", "", "", "", ""});

    {
        LogDeskProcess process;
        HWND dialog = Start(process);
        EXPECT_NE(nullptr, dialog);
        if (dialog != nullptr) {
            EXPECT_EQ("LogDesk", wd::WindowText(dialog));  // no library from the root
            ShowSource(dialog, 2);
            EXPECT_EQ(0, wd::RowCount(Item(dialog, kEventList)));
            wd::PressButtonAndWait(dialog, kClear);
            // Help finds no help file and offers the updater; Yes has nothing to start.
            wd::PressButton(dialog, kHelp);
            HWND prompt = WaitForMessageBox(process);
            EXPECT_NE(nullptr, prompt);
            if (prompt != nullptr) wd::Answer(prompt, IDYES);
            EXPECT_TRUE(wd::WaitFor([&] { return !wd::FindMessageBox(process.Pid()); }));
            Settle(dialog);
        }
    }
    EXPECT_TRUE(Exists(decoys[0])) << "Clear deleted a file at the drive root";
    EXPECT_FALSE(Exists(decoys[2] + ".cmdline")) << "Yes started a program at the drive root";
    for (const std::string& decoy : decoys) DeleteFileA(decoy.c_str());
    DeleteFileA((decoys[2] + ".cmdline").c_str());
}
