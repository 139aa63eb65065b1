// Courier.dll the way hosts use it, under Wine with an X display: a copy of the library
// in a folder of its own (beside the language library stand-in when a test wants texts),
// a host window with its message loop, and the loopback sample server as the site.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "registry.h"
#include "resource.h"
#include "sample_session_win.h"
#include "scratch_dir_win.h"
#include "slot_stubs.h"
#include "upload_host_win.h"
#include "whole_file_win.h"
#include "win32/handles.h"

namespace {

using kvtest::AsInterface;
using kvtest::FakeObject;
using kvtest::g_slot;
using kvtest::g_this;
using kvtest::ScratchDir;
using kvtest::Stub5;

constexpr char kLanguage[] =
    "Courier=Kurier\r\nOk=Gut\r\nCancel=Abbrechen\r\nnet checking=Netzpruefung\r\n"
    "can't connect to server=Server nicht erreichbar\r\nnow update :=Sende:\r\n"
    "upload end:=Fertig:\r\nfiles sucessfully!= Dateien gesendet!\r\n";

using Bytes = std::vector<unsigned char>;
using Texts = std::vector<std::string>;

std::string TestName() {
    return ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

std::string RefusedUrl(const std::string& path) {
    return "http://127.0.0.1:" + std::to_string(RefusedPort()) + path;
}

std::vector<SampleRecord> RecordsOf(const SampleSession& session, const std::string& line) {
    std::vector<SampleRecord> out;
    for (const SampleRecord& r : session.Records()) {
        if (r.line.compare(0, line.size(), line) == 0) out.push_back(r);
    }
    return out;
}
std::vector<SampleRecord> Checks(const SampleSession& s) {
    return RecordsOf(s, "POST /work/MD5_Check.php");
}
std::vector<SampleRecord> Uploads(const SampleSession& s) {
    return RecordsOf(s, "POST /work/UploadFile.php");
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

void WriteConfig(const ScratchDir& folder, const std::string& site, const std::string& check,
                 const std::string& probe1, const std::string& probe2 = "",
                 const std::string& probe3 = "", const std::string& more = "") {
    folder.Write("Courier.cfg", "[config]\r\nsite=" + site + "\r\ncheck=" + check +
                                    "\r\nprobe1=" + probe1 + "\r\nprobe2=" + probe2 +
                                    "\r\nprobe3=" + probe3 + "\r\n" + more);
}

void WithLanguage(const ScratchDir& folder) {
    ASSERT_TRUE(folder.CopyBuilt("Polyglot.dll"));
    folder.Write("Courier.lng", kLanguage);
}

// The suite's Roster.ini pointing at `installPath`, removed again with the folders it
// needed.
class RosterFile {
public:
    // Without `installPath` the file names no modules folder at all.
    explicit RosterFile(const char* installPath) {
        char common[MAX_PATH] = {};
        SHGetSpecialFolderPathA(nullptr, common, CSIDL_PROGRAM_FILES_COMMON, TRUE);
        for (const char* part : {"\\Kavro labs", "\\base"}) {
            const std::string folder = (folders_.empty() ? common : folders_.back()) + part;
            if (CreateDirectoryA(folder.c_str(), nullptr)) created_.push_back(folder);
            folders_.push_back(folder);
        }
        file_ = folders_.back() + "\\Roster.ini";
        WritePrivateProfileStringA(installPath ? "Addins" : "Base", "Install Path",
                                   installPath ? installPath : "C:\\", file_.c_str());
    }
    ~RosterFile() {
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, file_.c_str());  // flush
        DeleteFileA(file_.c_str());
        for (auto it = created_.rbegin(); it != created_.rend(); ++it)
            RemoveDirectoryA(it->c_str());
    }

private:
    std::vector<std::string> folders_, created_;
    std::string file_;
};

// A language library and its texts at the root of the system drive, made the current
// drive for the while: where a relative folder name would lead.
class DriveRootDecoy {
public:
    explicit DriveRootDecoy(const std::string& library) {
        char windows[MAX_PATH] = {};
        GetWindowsDirectoryA(windows, MAX_PATH);
        root_ = std::string(windows).substr(0, 3);
        GetCurrentDirectoryA(MAX_PATH, previous_);
        SetCurrentDirectoryA(root_.c_str());
        for (const std::string& decoy : Files())
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(decoy.c_str())) << decoy;
        EXPECT_TRUE(CopyFileA(library.c_str(), Files()[0].c_str(), TRUE));
        EXPECT_TRUE(kvtest::WriteWholeFile(Files()[1], "Courier=Decoy\r\n"));
    }
    ~DriveRootDecoy() {
        SetCurrentDirectoryA(previous_);
        for (const std::string& decoy : Files()) DeleteFileA(decoy.c_str());
    }

private:
    std::vector<std::string> Files() const {
        return {root_ + "Polyglot.dll", root_ + "Courier.lng"};
    }

    std::string root_;
    char previous_[MAX_PATH] = {};
};

class CourierDllTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session_.ready()) << "no sample server (KV_SAMPLE_SERVER_DIR)";
        ASSERT_TRUE(folder_.CopyBuilt("Courier.dll"));
    }
    // The site and check of the session; the net check passes at the probe session.
    void ConfigureFor(const SampleSession& s) {
        WriteConfig(folder_, s.UploadUrl(), s.CheckUrl(), ProbeUrl());
    }
    std::string ProbeUrl() const { return probe_.Url("/work/UploadFile.php"); }
    // A sample file; a known one is held by the server already.
    std::string Sample(const std::string& name, const std::string& bytes, bool known) {
        if (known) session_.StoreSample(Md5Upper(bytes));
        return folder_.Write(name, bytes);
    }
    std::unique_ptr<UploadHost> Host() const {
        return std::make_unique<UploadHost>(folder_ / "Courier.dll");
    }
    bool Loaded() const { return GetModuleHandleA((folder_ / "Courier.dll").c_str()) != nullptr; }

    ScratchDir folder_{"courier"};
    SampleSession session_{TestName()};
    SampleSession probe_{TestName() + "Probe"};
};

}  // namespace

TEST(InterfaceSlots, DlgUpload) {
    const void* vtable[] = {reinterpret_cast<const void*>(&Stub5<0>),
                            reinterpret_cast<const void*>(&Stub5<1>)};
    FakeObject fake{vtable};
    IDlgUpload* upload = AsInterface<IDlgUpload>(fake);
    upload->StartUpload(nullptr, nullptr, nullptr, 1, 2);
    EXPECT_EQ(0, g_slot);
    EXPECT_EQ(&fake, g_this);
    g_slot = -1;
    upload->StartUploadEx(nullptr, nullptr, nullptr, 1, 2);
    EXPECT_EQ(1, g_slot);
    EXPECT_EQ(&fake, g_this);
}

TEST_F(CourierDllTest, ExportGivesOneObjectOneEntryAndExactNames) {
    UniqueModule module(LoadLibraryA((folder_ / "Courier.dll").c_str()));
    ASSERT_TRUE(module);
    const auto factory = ProcAddress<GetKavroComponentPtrFn>(module.get(), "GetKavroComponentPtr");
    ASSERT_NE(nullptr, factory);

    CKavroComponentManager registry;
    IComponent* first = nullptr;
    IComponent* second = nullptr;
    IComponent* third = nullptr;
    EXPECT_EQ(1, factory(&first, &registry));
    EXPECT_EQ(1, factory(&second, &registry));
    EXPECT_EQ(1, factory(&third, nullptr));
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, third);
    ASSERT_EQ(1, registry.GetComponentCount());
    IComponent* found = nullptr;
    ASSERT_EQ(1, registry.FindComponent("IDlgUpload", &found));
    EXPECT_EQ(first, found);

    EXPECT_STREQ("IDlgUpload", first->GetName(nullptr, 0));
    char name[12];
    std::memset(name, 'x', sizeof name);
    first->GetName(name, sizeof name);
    EXPECT_EQ(0, std::memcmp("IDlgUpload\0\0", name, sizeof name));

    void* upload = first->GetInterface("IDlgUpload", 0);
    ASSERT_NE(nullptr, upload);
    EXPECT_NE(static_cast<void*>(first), upload);  // a base of its own in the same object
    for (const char* other : {"idlgupload", "IDlgUploa", "IDlgUpload ", "", "MultiLanguage"}) {
        EXPECT_EQ(nullptr, first->GetInterface(other, 0)) << other;
    }
    EXPECT_EQ(nullptr, first->GetInterface(nullptr, 0));
}

TEST_F(CourierDllTest, ThreeFilesOneKnownTwoAskedForAndSent) {
    WithLanguage(folder_);
    ConfigureFor(session_);
    std::vector<std::string> files = {Sample("a.bin", SomeBytes(3000, 1), true),
                                      Sample("b.bin", SomeBytes(1500, 2), false),
                                      Sample("c.txt", "plain text\r\n", false)};
    unsigned char results[5];
    std::memset(results, 0xEE, sizeof results);
    auto host = Host();
    ASSERT_TRUE(host->ready());
    ASSERT_EQ(1, host->Start(&files, results, sizeof results, 1));

    const HWND dialog = host->dialog();
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(host->window(), GetWindow(dialog, GW_OWNER));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDOK)));
    for (const auto& [id, text] : {std::pair<int, const char*>{IDOK, "Gut"},
                                   std::pair<int, const char*>{IDC_CANCEL_RUN, "Abbrechen"}}) {
        HWND button = GetDlgItem(dialog, id);
        EXPECT_EQ(BS_OWNERDRAW, GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK) << text;
        char shown[32] = {};
        GetWindowTextA(button, shown, sizeof shown);
        EXPECT_STREQ(text, shown);
    }

    ASSERT_TRUE(host->WaitForNotice());
    host->PumpFor(300);
    ASSERT_EQ(1u, host->notices().size());
    EXPECT_EQ(0u, host->notices()[0].wParam);
    EXPECT_EQ(0, host->notices()[0].lParam);
    EXPECT_EQ((Bytes{1, 1, 1, 0xEE, 0xEE}), host->notices()[0].bytes);
    EXPECT_FALSE(IsWindow(dialog));

    EXPECT_EQ(Texts{"Kurier"}, host->Captions());
    EXPECT_EQ(Texts{"Gut"}, host->Texts(IDOK));
    EXPECT_EQ(Texts{"Abbrechen"}, host->Texts(IDC_CANCEL_RUN));
    EXPECT_EQ((Texts{"Netzpruefung", "1 / 3", "2 / 3", "3 / 3", "Fertig: 3 Dateien gesendet!"}),
              host->Texts(IDC_STATUS));
    const Texts fileLine = host->Texts(IDC_FILE_LINE);
    EXPECT_NE(fileLine.end(), std::find(fileLine.begin(), fileLine.end(), "Sende:b.bin"));
    EXPECT_NE(fileLine.end(), std::find(fileLine.begin(), fileLine.end(), "Sende:c.txt"));
    EXPECT_EQ((std::vector<std::pair<WPARAM, LPARAM>>{{0, 3}}), host->Ranges(IDC_FILE_BAR));
    EXPECT_EQ((std::vector<LPARAM>{1, 2, 3}), host->Positions(IDC_FILE_BAR));
    EXPECT_EQ((std::vector<std::pair<WPARAM, LPARAM>>{{0, 100}}), host->Ranges(IDC_BYTE_BAR));

    EXPECT_EQ(3u, Checks(session_).size());
    const std::vector<SampleRecord> uploads = Uploads(session_);
    ASSERT_EQ(2u, uploads.size());
    for (const SampleRecord& r : uploads) {
        EXPECT_EQ("1", r.md5ok);
        EXPECT_TRUE(Contains(r.body, "name=\"UserID\"\r\n\r\n77\r\n"));
        EXPECT_TRUE(Contains(r.body, "name=\"Language\"\r\n\r\nChs\r\n"));
    }
}

TEST_F(CourierDllTest, EmptyListSendsNothingAndClosesItself) {
    // No language library: the English keys are the texts.
    ConfigureFor(session_);
    std::vector<std::string> files;
    unsigned char results[2] = {0xEE, 0xEE};
    auto host = Host();
    ASSERT_EQ(1, host->Start(&files, results, sizeof results, 1));
    ASSERT_TRUE(host->WaitForNotice());
    EXPECT_EQ((Bytes{0xEE, 0xEE}), host->notices()[0].bytes);
    EXPECT_FALSE(IsWindow(host->dialog()));
    EXPECT_EQ((std::vector<std::pair<WPARAM, LPARAM>>{{0, 0}}), host->Ranges(IDC_FILE_BAR));
    EXPECT_EQ((Texts{"net checking", "upload end: 0files sucessfully!"}), host->Texts(IDC_STATUS));
    EXPECT_TRUE(host->Captions().empty());
    EXPECT_TRUE(session_.Records().empty());
}

TEST_F(CourierDllTest, CheckAnswersDecideEachFile) {
    ConfigureFor(session_);
    const struct {
        const char* name;
        const char* answer;  // null: the check is answered 404
        bool before, after;
        bool uploaded;
    } rows[] = {
        {"zero", "0\r\n", false, true, false},
        {"minusOne", "-1", false, true, false},
        {"two", "2\r\n", false, false, false},
        {"seven", "7", true, true, false},  // other values leave the bit as it was
        {"letters", "abc\r\n", false, true, false},
        {"wouldWrapToOne", "4294967297\r\n", false, false, false},
        {"wouldWrapToMinusOne", "4294967295", false, false, false},
        {"one", "1", false, true, true},
        {"notFound", nullptr, true, false, false},  // cleared, and the run stops here
        {"neverAsked", "0", false, false, false},
    };
    std::vector<std::string> files;
    std::vector<bool> bits;
    for (const auto& row : rows) {
        const std::string bytes = std::string("content of ") + row.name;
        const std::string digest = Md5Upper(bytes);
        if (row.answer != nullptr) session_.Set("answer." + digest, row.answer);
        if (row.answer == nullptr) session_.Set("status." + digest, "404");
        files.push_back(folder_.Write(std::string(row.name) + ".bin", bytes));
        bits.push_back(row.before);
    }
    auto host = Host();
    ASSERT_EQ(1, host->StartEx(&files, &bits, 0));
    ASSERT_TRUE(host->WaitForNotice());

    size_t asked = 0;
    for (size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(rows[i].after, bits[i]) << rows[i].name;
        if (std::strcmp(rows[i].name, "notFound") == 0) asked = i + 1;
    }
    EXPECT_EQ(asked, Checks(session_).size());
    const std::vector<SampleRecord> uploads = Uploads(session_);
    ASSERT_EQ(1u, uploads.size());
    EXPECT_TRUE(Contains(uploads[0].body, "\r\n" + Md5Upper("content of one") + "\r\n"));
}

TEST_F(CourierDllTest, HiddenDialogNeverShowsAndAlwaysCloses) {
    const std::string known = Sample("known.bin", "held by the server", true);
    const struct {
        const char* name;
        bool reachable;
        unsigned char byte;
        const char* lastStatus;
    } rows[] = {
        {"run ends", true, 1, "upload end: 1files sucessfully!"},
        // Nobody could press Cancel on a hidden dialog: the run must end by itself.
        {"net check fails", false, 0, "can't connect to server"},
    };
    auto host = Host();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.reachable) {
            ConfigureFor(session_);
        } else {
            WriteConfig(folder_, RefusedUrl("/work/UploadFile.php"), session_.CheckUrl(),
                        RefusedUrl("/"), RefusedUrl("/a"), RefusedUrl("/b"));
        }
        const size_t noticesBefore = host->notices().size();
        std::vector<std::string> files = {known};
        unsigned char result = 0xEE;
        ASSERT_EQ(1, host->Start(&files, &result, 1, 0));
        EXPECT_FALSE(IsWindowVisible(host->dialog()));
        ASSERT_TRUE(host->PumpUntil([&] { return host->notices().size() > noticesBefore; }));
        EXPECT_FALSE(host->EverShown());
        EXPECT_FALSE(IsWindow(host->dialog()));
        EXPECT_EQ(Bytes{row.byte}, host->notices().back().bytes);
        ASSERT_FALSE(host->Texts(IDC_STATUS).empty());
        EXPECT_EQ(row.lastStatus, host->Texts(IDC_STATUS).back());
    }
    EXPECT_EQ(1u, Checks(session_).size());  // none from the failed net check
}

// However the dialog goes during an upload, the worker stops sending and lets go of what
// it holds (the sample's file, the connection) before the host is told: it is never
// killed, which would leave both open for good. A host that has freed the library
// meanwhile does not unload it under the upload (kUnloadThenClose): it goes once the
// run is through.
TEST_F(CourierDllTest, EndingTheDialogDuringAnUploadStopsTheWorker) {
    enum How { kCancelButton, kCloseBox, kEscape, kUnloadThenClose };
    for (const How how : {kCancelButton, kCloseBox, kEscape, kUnloadThenClose}) {
        SCOPED_TRACE(how);
        SampleSession session(TestName() + std::to_string(how));
        WriteConfig(folder_, session.UploadUrl(), session.CheckUrl(), ProbeUrl());
        session.StoreSample(Md5Upper("known"));
        std::vector<std::string> files = {folder_.Write("known.bin", "known"),
                                          folder_.Write("big.bin", SomeBytes(200 * 1024, 3)),
                                          folder_.Write("next.bin", "next")};
        unsigned char results[3] = {0xEE, 0xEE, 0xEE};
        auto host = Host();
        ASSERT_EQ(1, host->Start(&files, results, 3, 1));
        ASSERT_TRUE(host->PumpUntil([&] {
            const std::vector<LPARAM> positions = host->Positions(IDC_BYTE_BAR);
            return !positions.empty() && positions.back() >= 5;
        }));
        if (how == kCancelButton) host->Click(IDC_CANCEL_RUN);
        if (how == kCloseBox) PostMessageA(host->dialog(), WM_CLOSE, 0, 0);
        if (how == kEscape) PostMessageA(host->dialog(), WM_COMMAND, IDCANCEL, 0);
        if (how == kUnloadThenClose) {
            host->Unload();
            EXPECT_TRUE(Loaded());
            EXPECT_TRUE(IsWindow(host->dialog()));
            PostMessageA(host->dialog(), WM_CLOSE, 0, 0);
        }
        ASSERT_TRUE(host->WaitForNotice());
        EXPECT_TRUE(DeleteFileA(files[1].c_str())) << "the sample is still open: " << GetLastError();
        host->PumpFor(300);
        ASSERT_EQ(1u, host->notices().size());
        EXPECT_EQ((Bytes{1, 0, 0}), host->notices()[0].bytes);
        EXPECT_FALSE(IsWindow(host->dialog()));

        // The server saw the body end short of its length: the connection was closed.
        session.WaitForRecords(3, 10000);
        EXPECT_EQ(2u, Checks(session).size());
        const std::vector<SampleRecord> uploads = Uploads(session);
        ASSERT_EQ(1u, uploads.size());
        EXPECT_FALSE(uploads[0].complete);
        EXPECT_LT(uploads[0].body.size(), 200u * 1024);
        if (how == kUnloadThenClose) {
            EXPECT_TRUE(host->PumpUntil([&] { return !Loaded(); }, 10000));
        }
    }
}

// A worker held in a call that the cancel cannot end (here the language library, by its
// "hold" file) is
// waited for, then left running with its dialog, which is never freed under it: the
// host is told, the worker comes out of the call and ends by itself, and the unload has
// nothing left to wait for.
TEST_F(CourierDllTest, AWorkerHeldInACallIsLeftToFinishNotKilled) {
    WithLanguage(folder_);
    const auto exists = [&](const char* name) {
        return GetFileAttributesA((folder_ / name).c_str()) != INVALID_FILE_ATTRIBUTES;
    };
    ConfigureFor(session_);
    const std::string hold = folder_.Write("hold", "");
    std::vector<std::string> files = {Sample("asked.bin", "asked", false)};
    unsigned char result = 0xEE;
    auto host = Host();
    ASSERT_EQ(1, host->Start(&files, &result, 1, 0));
    ASSERT_TRUE(host->PumpUntil([&] { return exists("entered"); }));
    PostMessageA(host->dialog(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(host->WaitForNotice(20000));
    EXPECT_GE(host->notices()[0].tick - host->dialogGoneAt(), 4500u);  // it waited
    EXPECT_EQ(Bytes{0}, host->notices()[0].bytes);
    EXPECT_FALSE(IsWindow(host->dialog()));

    ASSERT_TRUE(DeleteFileA(hold.c_str()));
    EXPECT_TRUE(host->PumpUntil([&] { return exists("released"); }, 10000));
    host->PumpFor(300);
    const DWORD unloading = GetTickCount();
    host.reset();
    EXPECT_LT(GetTickCount() - unloading, 1500u);  // parked: nothing to wait for
    EXPECT_TRUE(Uploads(session_).empty());
}

// A check that never answers: the close box ends the run at once. A host that frees the
// library meanwhile, from the dialog's thread or another (taking messages or not), gets
// its FreeLibrary back at once and does not unload the library under the dialog and its
// worker: the run goes on, the dialog ends it as ever, the host is told, and then the
// library goes.
TEST_F(CourierDllTest, ClosingDuringAHangingCheckEndsTheRunAndAnUnloadWaitsForIt) {
    SampleSession hanging(TestName() + "Hang");
    hanging.Set("mode", "hang");
    const std::string known = Sample("known.bin", "known", true);
    enum How { kCloseBox, kUnload, kUnloadElsewhere, kUnloadElsewhereHostBusy };
    for (const How how : {kCloseBox, kUnload, kUnloadElsewhere, kUnloadElsewhereHostBusy}) {
        SCOPED_TRACE(how);
        WriteConfig(folder_, session_.UploadUrl(), hanging.CheckUrl(), ProbeUrl());
        const size_t checksBefore = hanging.Records().size();
        std::vector<std::string> files = {known};
        unsigned char result = 0xEE;
        auto host = Host();
        ASSERT_EQ(1, host->Start(&files, &result, 1, how == kCloseBox ? 1 : 0));
        ASSERT_TRUE(host->PumpUntil([&] { return hanging.Records().size() > checksBefore; }));

        if (how == kUnload) host->Unload();
        if (how == kUnloadElsewhere || how == kUnloadElsewhereHostBusy) {
            host->UnloadOnAnotherThread(how == kUnloadElsewhere);
        }
        if (how != kCloseBox) {
            host->PumpFor(300);
            EXPECT_TRUE(Loaded());
            EXPECT_TRUE(IsWindow(host->dialog()));
            EXPECT_TRUE(host->notices().empty());
        }
        PostMessageA(host->dialog(), WM_CLOSE, 0, 0);
        ASSERT_TRUE(host->WaitForNotice(10000));
        host->PumpFor(300);
        ASSERT_EQ(1u, host->notices().size());
        EXPECT_EQ(Bytes{0}, host->notices()[0].bytes);
        EXPECT_FALSE(IsWindow(host->dialog()));
        // Measured from the window's end: taking a shown window off an X display without a
        // window manager costs Wine about 2 s before that.
        ASSERT_NE(0u, host->dialogGoneAt());
        EXPECT_LT(host->notices()[0].tick - host->dialogGoneAt(), 1000u);
        // Unloaded once the run is through, unless the host still holds it.
        EXPECT_TRUE(host->PumpUntil([&] { return Loaded() == (how == kCloseBox); }, 10000));
        host.reset();

        // The next run in this process works.
        ConfigureFor(session_);
        host = Host();
        ASSERT_EQ(1, host->Start(&files, &result, 1, 0));
        ASSERT_TRUE(host->WaitForNotice());
        EXPECT_EQ(Bytes{1}, host->notices()[0].bytes);
    }
}

// Answers the stand-in site never sent, to the check and to the upload: only a whole
// answer counts (an empty check answer is none), and one that comes a byte now and then
// ends at the deadline (2 s here) like any failed request.
TEST_F(CourierDllTest, HostileAnswersToTheCheckAndTheUpload) {
    const struct {
        const char* mode;
        bool atUpload;  // the upload site answers so; else the check
        bool bit;
    } rows[] = {
        {"chunked", false, true},      {"no-length", false, true},  {"early-close", false, false},
        {"drip", false, false},        {"oversized", false, false}, {"empty-body", false, false},
        {"chunked", true, true},       {"no-length", true, true},   {"early-close", true, false},
        {"drip", true, false},         {"oversized", true, false},  {"empty-body", true, true},
    };
    for (const auto& row : rows) {
        const std::string name = std::string(row.mode) + (row.atUpload ? "-upload" : "-check");
        SCOPED_TRACE(name);
        SampleSession hostile(TestName() + name);
        hostile.Set("mode", row.mode);
        const SampleSession& check = row.atUpload ? session_ : hostile;
        const SampleSession& site = row.atUpload ? hostile : session_;
        WriteConfig(folder_, site.UploadUrl(), check.CheckUrl(), ProbeUrl(), "", "",
                    "deadline=2\r\n");
        // A hostile check answers "0" (held); before a hostile upload the check says "1".
        if (!row.atUpload) hostile.StoreSample(Md5Upper(name));
        std::vector<std::string> files = {folder_.Write("sample.bin", name)};
        std::vector<bool> bits(1, false);
        auto host = Host();
        const DWORD start = GetTickCount();
        ASSERT_EQ(1, host->StartEx(&files, &bits, 0));
        ASSERT_TRUE(host->WaitForNotice());
        EXPECT_LT(GetTickCount() - start, 8000u);
        EXPECT_EQ(row.bit, bits[0]);
        EXPECT_EQ(row.atUpload ? 1u : 0u, Uploads(hostile).size());
    }
    EXPECT_TRUE(Uploads(session_).empty());
}

TEST_F(CourierDllTest, RefusedUploadShowsTheTranslatedFailureAndWaitsForOk) {
    WithLanguage(folder_);
    WriteConfig(folder_, RefusedUrl("/work/UploadFile.php"), session_.CheckUrl(), ProbeUrl());
    std::vector<std::string> files = {Sample("asked.bin", "asked", false)};
    unsigned char result = 0xEE;
    auto host = Host();
    ASSERT_EQ(1, host->Start(&files, &result, 1, 1));
    const std::string summary = "Fertig: 0 Dateien gesendet!";
    ASSERT_TRUE(host->PumpUntil([&] {
        const Texts status = host->Texts(IDC_STATUS);
        return !status.empty() && status.back() == summary;
    }));
    host->PumpFor(300);
    EXPECT_EQ((Texts{"Netzpruefung", "1 / 1", "Server nicht erreichbar", summary}),
              host->Texts(IDC_STATUS));
    const HWND dialog = host->dialog();
    ASSERT_TRUE(IsWindow(dialog));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDOK)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_CANCEL_RUN)));
    EXPECT_TRUE(host->notices().empty());

    host->Click(IDOK);
    ASSERT_TRUE(host->WaitForNotice());
    EXPECT_EQ(Bytes{0}, host->notices()[0].bytes);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(1u, Checks(session_).size());
}

TEST_F(CourierDllTest, NetCheckFallsBackToTheSiteAskedAsConfigured) {
    // A closed port and a missing page; the site's path has capitals, which a
    // case-sensitive server insists on, and so has its scheme, which no server sees.
    WriteConfig(folder_, "HTTP" + session_.UploadUrl().substr(4), session_.CheckUrl(),
                RefusedUrl("/"), probe_.Url("/nothing"), "");
    std::vector<std::string> files = {Sample("known.bin", "known", true)};
    unsigned char result = 0xEE;
    auto host = Host();
    ASSERT_EQ(1, host->Start(&files, &result, 1, 0));
    ASSERT_TRUE(host->WaitForNotice());
    EXPECT_EQ(Bytes{1}, host->notices()[0].bytes);

    const std::vector<SampleRecord> probes = probe_.Records();
    ASSERT_EQ(1u, probes.size());
    EXPECT_EQ("GET /nothing?t=" + probe_.name() + " HTTP/1.1", probes[0].line);
    const std::vector<SampleRecord> records = session_.Records();
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ("GET /work/UploadFile.php?t=" + session_.name() + " HTTP/1.1", records[0].line);
    EXPECT_EQ(0u, records[1].line.find("POST /work/MD5_Check.php"));
}

TEST_F(CourierDllTest, NothingReachableStopsBeforeAnyCheckAndWaitsForTheUser) {
    WithLanguage(folder_);
    // The ftp probe's server takes the connection and never greets: the probe ends by
    // the deadline.
    SilentPort silent;
    WriteConfig(folder_, RefusedUrl("/work/UploadFile.php"), session_.CheckUrl(), RefusedUrl("/"),
                probe_.Url("/nothing"), "ftp://127.0.0.1:" + std::to_string(silent.port()) + "/",
                "deadline=2\r\n");
    std::vector<std::string> files = {Sample("known.bin", "known", true)};
    unsigned char result = 0xEE;
    auto host = Host();
    ASSERT_EQ(1, host->Start(&files, &result, 1, 1));
    ASSERT_TRUE(host->PumpUntil([&] { return host->Texts(IDC_STATUS).size() == 2; }, 10000));
    host->PumpFor(300);
    EXPECT_EQ((Texts{"Netzpruefung", "Server nicht erreichbar"}), host->Texts(IDC_STATUS));
    ASSERT_TRUE(IsWindow(host->dialog()));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(host->dialog(), IDOK)));
    EXPECT_TRUE(host->notices().empty());
    EXPECT_TRUE(session_.Records().empty());

    PostMessageA(host->dialog(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(host->WaitForNotice());
    EXPECT_EQ(Bytes{0}, host->notices()[0].bytes);
}

TEST_F(CourierDllTest, LanguageLibraryBesideOrFromRosterOrNone) {
    enum Where { kBeside, kRoster, kDefaultFolder, kNone, kNoFactory, kEmptyInstallPath };
    const struct {
        const char* name;
        Where where;
        const char* box;
        Texts captions;
        const char* summary;
    } rows[] = {
        {"beside Courier.dll", kBeside, "", {"Kurier"}, "Fertig: 1 Dateien gesendet!"},
        {"modules folder of Roster.ini", kRoster, "", {"Kurier"}, "Fertig: 1 Dateien gesendet!"},
        {"default modules folder", kDefaultFolder, "", {"Kurier"}, "Fertig: 1 Dateien gesendet!"},
        {"no library", kNone, "", {}, "upload end: 1files sucessfully!"},
        {"library without the factory",
         kNoFactory,
         "load Polyglot.dll error",
         {},
         "upload end: 1files sucessfully!"},
        {"empty Install Path: nothing from the drive root",
         kEmptyInstallPath,
         "",
         {},
         "upload end: 1files sucessfully!"},
    };
    char common[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, common, CSIDL_PROGRAM_FILES_COMMON, TRUE);
    ASSERT_EQ(INVALID_FILE_ATTRIBUTES,
              GetFileAttributesA((std::string(common) + "\\Kavro labs\\base\\Roster.ini").c_str()))
        << "a Roster.ini left behind by an earlier run";

    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchDir dllFolder("courier");
        ScratchDir modules("courier");
        ASSERT_TRUE(dllFolder.CopyBuilt("Courier.dll"));
        std::unique_ptr<RosterFile> roster;
        if (row.where == kBeside) WithLanguage(dllFolder);
        if (row.where == kRoster) {
            WithLanguage(modules);
            roster = std::make_unique<RosterFile>(modules.path().c_str());
        }
        const std::string kavro = "C:\\Program Files\\Kavro Labs", addins = kavro + "\\Addins";
        if (row.where == kDefaultFolder) {
            WithLanguage(modules);
            roster = std::make_unique<RosterFile>(nullptr);
            SHCreateDirectoryExA(nullptr, addins.c_str(), nullptr);
            for (const char* name : {"Polyglot.dll", "Courier.lng"})
                ASSERT_TRUE(
                    CopyFileA((modules / name).c_str(), (addins + "\\" + name).c_str(), FALSE));
        }
        if (row.where == kNoFactory) {
            ASSERT_TRUE(dllFolder.CopyBuilt("NoFactory.dll", "Polyglot.dll"));
        }
        std::unique_ptr<DriveRootDecoy> decoy;
        if (row.where == kEmptyInstallPath) {
            ASSERT_TRUE(modules.CopyBuilt("Polyglot.dll"));
            roster = std::make_unique<RosterFile>("");
            decoy = std::make_unique<DriveRootDecoy>(modules / "Polyglot.dll");
        }
        WriteConfig(dllFolder, session_.UploadUrl(), session_.CheckUrl(), ProbeUrl());
        std::vector<std::string> files = {dllFolder.Write("asked.bin", row.name)};
        unsigned char result = 0xEE;

        UploadHost host(dllFolder / "Courier.dll");
        MessageBoxCloser closer(GetCurrentThreadId());
        ASSERT_EQ(1, host.Start(&files, &result, 1, 0));
        EXPECT_EQ(row.box, closer.Text());
        ASSERT_TRUE(host.WaitForNotice());
        EXPECT_EQ(Bytes{1}, host.notices()[0].bytes);
        EXPECT_EQ(row.captions, host.Captions());
        ASSERT_FALSE(host.Texts(IDC_STATUS).empty());
        EXPECT_EQ(row.summary, host.Texts(IDC_STATUS).back());
        if (row.where == kDefaultFolder) kvtest::RemoveTree(kavro);
    }
}

TEST_F(CourierDllTest, OneRunAtATimeAndOnlyStartUploadWritesBytes) {
    ConfigureFor(session_);
    std::vector<std::string> first = {Sample("known.bin", "known", true)};
    unsigned char firstBytes[2] = {0xEE, 0xEE};
    auto host = Host();
    ASSERT_EQ(1, host->Start(&first, firstBytes, sizeof firstBytes, 0));

    // A second start while the first runs changes nothing.
    std::vector<std::string> second = {first[0], first[0], first[0]};
    unsigned char secondBytes[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    std::vector<bool> secondBits(3, false);
    EXPECT_EQ(0, host->upload()->StartUpload(&second, secondBytes, host->window(), 1, 5));
    EXPECT_EQ(0, host->upload()->StartUploadEx(&second, &secondBits, host->window(), 1, 5));
    ASSERT_TRUE(host->WaitForNotice());
    host->PumpFor(300);
    ASSERT_EQ(1u, host->notices().size());
    EXPECT_EQ(1, host->dialogsCreated());
    EXPECT_EQ((Bytes{1, 0xEE}), host->notices()[0].bytes);
    EXPECT_EQ((Bytes{0xEE, 0xEE, 0xEE, 0xEE}), Bytes(secondBytes, secondBytes + 4));
    EXPECT_EQ(std::vector<bool>(3, false), secondBits);

    // A StartUploadEx run after a StartUpload run leaves that run's byte array alone, and
    // a bit vector shorter than the list gets no bit past its end.
    std::memset(firstBytes, 0x5A, sizeof firstBytes);
    std::vector<std::string> two = {first[0], first[0]};
    std::vector<bool> bits(1, false);
    ASSERT_EQ(1, host->StartEx(&two, &bits, 0));
    ASSERT_TRUE(host->PumpUntil([&] { return host->notices().size() == 2; }));
    EXPECT_EQ(std::vector<bool>{true}, bits);
    EXPECT_EQ(1u, *bits.begin()._M_p);  // the storage word: bit 1 stays clear
    EXPECT_EQ((Bytes{0x5A, 0x5A}), Bytes(firstBytes, firstBytes + 2));
}

TEST_F(CourierDllTest, FilesThatCannotBeReadAreSkippedAndProgressReachesTheTotal) {
    ConfigureFor(session_);
    const std::string missing = folder_ / "missing.bin";
    const std::string empty = folder_.Write("empty.bin", "");
    const std::string huge = folder_ / "huge.bin";
    {
        // 4 GiB and 10 bytes, sparse: cheap to make.
        UniqueFile file(CreateFileA(huge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        LARGE_INTEGER size;
        size.QuadPart = (int64_t{1} << 32) + 10;
        ASSERT_TRUE(SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN));
        ASSERT_TRUE(SetEndOfFile(file.get()));
    }
    const std::string bigBytes = SomeBytes(200 * 1024, 4);
    const std::string big = folder_.Write("big.bin", bigBytes);
    std::vector<std::string> files = {missing, empty, huge, big};
    unsigned char results[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    auto host = Host();
    ASSERT_EQ(1, host->Start(&files, results, 4, 0));
    ASSERT_TRUE(host->WaitForNotice(60000));
    EXPECT_EQ((Bytes{0, 1, 0, 1}), host->notices()[0].bytes);

    const std::vector<SampleRecord> checks = Checks(session_);
    ASSERT_EQ(2u, checks.size());
    EXPECT_TRUE(Contains(checks[0].body, "OptionVxMd5=" + Md5Upper("")));
    EXPECT_TRUE(Contains(checks[1].body, "OptionVxMd5=" + Md5Upper(bigBytes)));
    const std::vector<SampleRecord> uploads = Uploads(session_);
    ASSERT_EQ(2u, uploads.size());
    for (const SampleRecord& r : uploads) {
        EXPECT_TRUE(r.complete);
        EXPECT_EQ("1", r.md5ok);
        EXPECT_EQ(std::to_string(r.body.size()), r.Header("Content-Length"));
    }
    EXPECT_TRUE(Contains(uploads[0].body, "filename=\"" + empty +
                                              "\"\r\nContent-Type: application/octet-stream"
                                              "\r\n\r\n\r\n--"));

    // The big file's progress: from its name line on, the bar rises to 100 and the byte
    // line ends at the whole body.
    const Texts line = host->Texts(IDC_FILE_LINE);
    const auto named = std::find(line.begin(), line.end(), "now update :big.bin");
    ASSERT_NE(line.end(), named);
    // Value and file bytes: "Chs", the digest, the user id "77" and the file.
    const std::string total = std::to_string(3 + 32 + 2 + bigBytes.size());
    EXPECT_EQ(total + " / " + total, line.back());
    EXPECT_GT(line.end() - named, 100);
    const std::vector<LPARAM> positions = host->Positions(IDC_BYTE_BAR);
    const auto reset = std::find(positions.rbegin(), positions.rend(), 0);
    ASSERT_NE(positions.rend(), reset);
    const std::vector<LPARAM> rising(reset.base() - 1, positions.end());
    EXPECT_TRUE(std::is_sorted(rising.begin(), rising.end()));
    EXPECT_EQ(100, rising.back());
}
