// The suite end to end under Wine, through the example hosts built against the installed
// kit (fixtures "kit" and "examples"): guard stops a suspicious program as it starts and
// LogDesk lists it; assay's scan log feeds submit, whose uploads reach the site byte for
// byte; rules adds and saves a firewall rule. Every program and library run here is the
// kit's own or an example's; the drivers and the site are the tests' doubles.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "kernel_services_win.h"
#include "logdesk_session.h"
#include "procwatch_codes.h"
#include "program_folder_win.h"
#include "sample_session_win.h"
#include "scratch_dir_win.h"
#include "whole_file_win.h"
#include "win32/handles.h"
#include "windriver.h"

namespace wd = windriver;
using kvtest::ReadWholeFile;
using kvtest::WriteWholeFile;

namespace {

std::string Env(const char* name) {
    char value[1024];
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

// A Linux path from the environment, as Wine's drive Z: shows it.
std::string WindowsPathOf(const char* variable) {
    std::string path = "Z:" + Env(variable);
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

std::string Kit(const std::string& relative) {
    return WindowsPathOf("KV_KIT_DIR") + "\\" + relative;
}
std::string Example(const std::string& relative) {
    return WindowsPathOf("KV_EXAMPLES_DIR") + "\\" + relative;
}

// The files the sample site stored for a session, each named after its MD5.
std::vector<std::string> SiteSamples(const SampleSession& site) {
    const std::string folder =
        WindowsPathOf("KV_SAMPLE_SERVER_DIR") + "\\sessions\\" + site.name() + "\\samples\\";
    std::vector<std::string> files;
    WIN32_FIND_DATAA found;
    UniqueFind find(FindFirstFileA((folder + "*").c_str(), &found));
    for (bool more = static_cast<bool>(find); more; more = FindNextFileA(find.get(), &found)) {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files.push_back(folder + found.cFileName);
    }
    return files;
}

DWORD ExitCodeWithin(HANDLE process, DWORD ms) {
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process, ms) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
    return code;
}

// One program, its standard output and error in a file; with `input`, its standard input
// is a pipe that stays open until CloseInput.
class Program {
public:
    bool Start(std::string commandLine, const std::string& directory, const std::string& output,
               bool input = false) {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        UniqueFile out(CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        HANDLE read = nullptr, write = nullptr;
        if (!out || (input && !CreatePipe(&read, &write, &inherit, 0))) return false;
        UniqueHandle readEnd(read);
        input_.reset(write);
        if (input_) SetHandleInformation(write, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input ? read : GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = startup.hStdError = out.get();
        PROCESS_INFORMATION info = {};
        if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                            directory.c_str(), &startup, &info))
            return false;
        process_.reset(info.hProcess);
        CloseHandle(info.hThread);
        return true;
    }
    void CloseInput() { input_.reset(); }
    DWORD WaitForExit(DWORD ms) { return ExitCodeWithin(process_.get(), ms); }
    ~Program() {
        if (process_ && WaitForExit(0) == STILL_ACTIVE) TerminateProcess(process_.get(), 99);
    }

private:
    UniqueHandle process_;
    UniqueHandle input_;
};

// Runs a command to its end (two minutes at most) and answers its exit code; its output
// is in `output` and on this test's stdout, for the record.
DWORD RunToEnd(const std::string& commandLine, const std::string& directory,
               const std::string& output) {
    Program program;
    if (!program.Start(commandLine, directory, output)) return GetLastError();
    const DWORD code = program.WaitForExit(120000);
    std::printf("> %s\n%s(exit code %lu)\n", commandLine.c_str(), ReadWholeFile(output, "").c_str(),
                code);
    return code;
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// The test's side of the process-driver double: it reports the processes a test names.
class ProcessDriver {
public:
    bool Open() {
        device_.reset(CreateFileA("\\\\.\\ProcWatchDriver", GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                  nullptr));
        return static_cast<bool>(device_);
    }
    bool Reporting() {
        procwatch_counters counters = {};
        return Send(PROCWATCH_COUNTERS, nullptr, 0, &counters, sizeof counters) &&
               counters.reporting == 1;
    }
    // A record as the driver writes one when a process is created.
    bool Report(DWORD sequence, DWORD processId) {
        const DWORD record[3] = {sequence, processId, 1};
        return Send(PROCWATCH_REPORT, record, sizeof record, nullptr, 0);
    }

private:
    bool Send(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize) {
        DWORD written = 0;
        return DeviceIoControl(device_.get(), code, const_cast<void*>(in), inSize, out, outSize,
                               &written, nullptr) != FALSE;
    }
    UniqueFile device_;
};

struct Suspended {
    PROCESS_INFORMATION info = {};
    ~Suspended() {
        if (info.hProcess == nullptr) return;
        TerminateProcess(info.hProcess, 99);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
};

bool StartSuspended(const std::string& program, Suspended* process) {
    std::string commandLine = Quoted(program);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    return CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                          CREATE_SUSPENDED, nullptr, nullptr, &startup, &process->info) != FALSE;
}

constexpr char kDriverService[] = "ProcWatcherDriver";
constexpr int kScanList = 1003;

}  // namespace

// guard with ExecWarden.dll beside the driver double: two programs that write a marker
// when they run are created suspended and reported, as the driver reports a process at
// its creation. The one dropped into the Windows folder under a look-alike system name is
// ended (exit code 0) before it runs; the other is allowed and runs to its end once
// resumed. The installed LogDesk, pointed at guard's scan log through Roster.ini, lists
// both verdicts.
TEST(SuiteEndToEnd, GuardBlocksTheLookAlikeAndLogDeskListsIt) {
    ASSERT_FALSE(Env("KV_EXAMPLES_DIR").empty()) << "run through ctest (fixture examples)";
    ASSERT_TRUE(kvtest::RemoveService(kDriverService));
    ASSERT_TRUE(CopyFileA(kvtest::BesideProgram("ProcWatchDriver.sys").c_str(),
                          Example("guard\\ProcWatchDriver.sys").c_str(), FALSE));
    SuiteFolder suite;
    ASSERT_TRUE(suite.ready());
    suite.WriteRoster();
    const std::string scanLog = suite.Dir("Bulwark") + "\\SifterLog.txt";
    // The same program twice: dropped into the Windows folder under a look-alike system
    // name it is suspicious, in a folder of its own under its own name it is not.
    char windows[MAX_PATH] = {};
    ASSERT_NE(0u, GetWindowsDirectoryA(windows, sizeof windows));
    kvtest::ScratchDir dropped("suite", windows), apps("apps");
    const std::string flagged = dropped / "svch0st.exe", innocent = apps / "notes.exe";
    for (const std::string& copy : {flagged, innocent})
        ASSERT_TRUE(CopyFileA(kvtest::BesideProgram("Recorder.exe").c_str(), copy.c_str(), FALSE));

    const std::string guardOutput = apps / "guard.out";
    Program guard;
    ASSERT_TRUE(guard.Start(Quoted(Example("guard\\guard.exe")) + " --log " + Quoted(scanLog),
                            Example("guard"), guardOutput, true));
    ProcessDriver driver;
    ASSERT_TRUE(wd::WaitFor([&] { return driver.Open() && driver.Reporting(); }, 60000))
        << ReadWholeFile(guardOutput, "");

    Suspended bad, good;
    ASSERT_TRUE(StartSuspended(flagged, &bad));
    ASSERT_TRUE(driver.Report(1, bad.info.dwProcessId));
    EXPECT_EQ(0u, ExitCodeWithin(bad.info.hProcess, 60000)) << ReadWholeFile(guardOutput, "");

    ASSERT_TRUE(StartSuspended(innocent, &good));
    ASSERT_TRUE(driver.Report(2, good.info.dwProcessId));
    // Resumed once guard has let it go.
    ASSERT_TRUE(wd::WaitFor(
        [&] { return ReadWholeFile(scanLog, "").find(innocent) != std::string::npos; }, 60000))
        << ReadWholeFile(guardOutput, "");
    ResumeThread(good.info.hThread);
    EXPECT_EQ(0u, ExitCodeWithin(good.info.hProcess, 60000));
    EXPECT_TRUE(Exists(innocent + ".cmdline")) << "the innocent program did not run";
    EXPECT_FALSE(Exists(flagged + ".cmdline")) << "the flagged program ran";

    guard.CloseInput();
    EXPECT_EQ(0u, guard.WaitForExit(60000));
    std::printf("guard printed:\n%s", ReadWholeFile(guardOutput, "").c_str());
    EXPECT_FALSE(kvtest::ServiceExists(kDriverService)) << "guard left the driver service";
    kvtest::RemoveService(kDriverService);

    // The installed LogDesk over the guard's log.
    UnmanagedWindows unmanaged;
    ASSERT_TRUE(CopyFileA(Kit("bin\\LogDesk.exe").c_str(), suite.Program().c_str(), FALSE));
    LogDeskProcess logDesk;
    ASSERT_TRUE(logDesk.Start(suite.Program(), suite.Dir("Program")));
    HWND dialog = logDesk.WaitForDialog();
    ASSERT_NE(nullptr, dialog);
    HWND tree = GetDlgItem(dialog, 1000);
    const std::vector<HTREEITEM> items = wd::TreeItems(tree);
    ASSERT_EQ(5u, items.size());
    ASSERT_TRUE(wd::SelectTreeItem(tree, items[1]));  // the scan log
    HWND list = GetDlgItem(dialog, kScanList);
    std::vector<std::vector<std::string>> rows;
    for (int row = 0; row < wd::RowCount(list); ++row) {
        std::vector<std::string> cells;
        for (int column = 2; column <= 5; ++column) cells.push_back(wd::Cell(list, row, column));
        rows.push_back(cells);
    }
    ASSERT_EQ(2u, rows.size()) << ReadWholeFile(scanLog, "");
    EXPECT_EQ("svch0st.exe", rows[0][0]);
    EXPECT_EQ(0u, rows[0][1].find("Suspicious (score ")) << rows[0][1];
    EXPECT_EQ("Blocked", rows[0][2]);
    EXPECT_EQ(dropped.path(), rows[0][3]);
    EXPECT_EQ("notes.exe", rows[1][0]);
    EXPECT_EQ("Allowed", rows[1][2]);
    const DWORD hold = std::strtoul(Env("KV_HOLD_LOGDESK_MS").c_str(), nullptr, 10);
    if (hold > 0) Sleep(hold);  // time for a screenshot of the display by hand
}

// assay --log over the demonstration samples, then submit --from-log that log: the site
// receives exactly the files assay found suspicious, byte for byte.
TEST(SuiteEndToEnd, AssayLogThenSubmitUploadsTheFlaggedSamples) {
    SampleSession site("suite");
    ASSERT_TRUE(site.ready()) << "run through ctest (fixture sampleserver)";
    kvtest::ScratchDir work("submit");
    const std::string scanLog = work / "SifterLog.txt";
    const std::string samples = WindowsPathOf("KV_SAMPLES_DIR");

    const std::string assayOutput = work / "assay.out";
    EXPECT_EQ(1u, RunToEnd(Quoted(Kit("bin\\assay.exe")) + " --jobs 1 --log " + Quoted(scanLog) +
                               " " + Quoted(samples),
                           work.path(), assayOutput));
    std::set<std::string> suspicious;
    const std::string table = ReadWholeFile(assayOutput, "");
    for (size_t at = table.find("SUSPICIOUS"); at != std::string::npos;
         at = table.find("SUSPICIOUS", at + 1)) {
        const size_t end = table.find_first_of("\r\n", at);
        const size_t path = table.rfind(samples, end);
        suspicious.insert(table.substr(path, end - path));
    }
    ASSERT_LE(2u, suspicious.size()) << table;

    ASSERT_TRUE(WriteWholeFile(Example("submit\\Courier.cfg"),
                               "[config]\r\nsite=" + site.UploadUrl() + "\r\ncheck=" +
                                   site.CheckUrl() + "\r\nprobe1=\r\nprobe2=\r\nprobe3=\r\n"));
    const std::string submitOutput = work / "submit.out";
    EXPECT_EQ(0u, RunToEnd(Quoted(Example("submit\\submit.exe")) + " --from-log " + Quoted(scanLog),
                           Example("submit"), submitOutput));
    const std::string printed = ReadWholeFile(submitOutput, "");
    const std::vector<std::string> stored = SiteSamples(site);
    for (const std::string& file : suspicious) {
        EXPECT_NE(std::string::npos, printed.find("held by the site  " + file)) << printed;
        const std::string bytes = ReadWholeFile(file, "<missing>");
        bool uploaded = false;
        for (const std::string& sample : stored)
            uploaded |= sample.size() > 32 &&
                        sample.substr(sample.size() - 32) == Md5Upper(bytes) &&
                        ReadWholeFile(sample, "") == bytes;
        EXPECT_TRUE(uploaded) << file << " is not at the site byte for byte";
    }
    EXPECT_EQ(suspicious.size(), stored.size()) << "the site holds other files too";
}

// rules adds a rule, which NetWarden sends to the filter-driver double and saves in the
// user rule file; a second run loads it back from there beside the default rule.
TEST(SuiteEndToEnd, RulesAddsSavesAndListsThroughNetWarden) {
    kvtest::ScratchDir work("rules");
    const std::string cfgData = work / "CfgData";
    ASSERT_TRUE(CreateDirectoryA(cfgData.c_str(), nullptr));
    std::string defaults(64 + 112, '\0');
    defaults[0] = 1;  // one rule, then the title
    defaults.replace(4, 12, "Kit defaults");
    defaults.replace(64 + 8, 8, "loopback");
    ASSERT_TRUE(WriteWholeFile(cfgData + "\\a_Rules.dat", defaults));
    ASSERT_TRUE(WriteWholeFile(Example("rules\\NetWarden.cfg"),
                               "[NetWarden]\r\nPolicy=4\r\nCfgData=" + cfgData + "\r\n"));

    const std::string rules = Quoted(Example("rules\\rules.exe"));
    EXPECT_EQ(
        0u, RunToEnd(rules + " add \"web out\" 10.0.0.1 80-81 tcp", work.path(), work / "add.out"));
    EXPECT_NE(std::string::npos, ReadWholeFile(work / "add.out", "").find("added rule 2"));
    EXPECT_EQ(0u, RunToEnd(rules + " list", work.path(), work / "list.out"));
    const std::string listed = ReadWholeFile(work / "list.out", "");
    EXPECT_NE(std::string::npos, listed.find("2 persistent rules (rule set \"Kit defaults\")"))
        << listed;
    EXPECT_NE(std::string::npos, listed.find("loopback")) << listed;
    EXPECT_NE(std::string::npos, listed.find("web out                  10.0.0.1  ports 80-81  tcp"))
        << listed;
    EXPECT_EQ(4u + 2 * 112, ReadWholeFile(cfgData + "\\u_Rules.dat", "").size());
}
