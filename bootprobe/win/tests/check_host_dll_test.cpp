// CheckHost through BootProbe.dll on the prefix's own drive C:, which also holds the
// running system. The tests write C:\boot.ini and hide the system's win.ini; both are
// put back after every test, and the ctest fixture puts them back after a crash.
#include <gtest/gtest.h>

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bootprobe_host.h"
#include "guarded_buffer.h"
#include "scratch_dir_win.h"
#include "whole_file_win.h"

namespace {

const char kBootIni[] = "C:\\boot.ini";
const char kSavedBootIni[] = "C:\\boot.ini.kvprobe-saved";
const char kHiddenSuffix[] = ".kvprobe-hidden";
const char kTree[] = "C:\\kvprobe_host";

using kvtest::RemoveTree;
using kvtest::WriteWholeFile;

// Makes the loader's record of this program's path, which GetModuleFileName reads,
// `length` characters long while it lives: Wine cannot start a program from a path of 260
// characters or more.
class LongProgramPath {
public:
    explicit LongProgramPath(size_t length)
        : name_(L"C:\\" + std::wstring(length - 9, L'x') + L"\\a.exe") {
        const auto currentPeb = reinterpret_cast<PEB*(WINAPI*)()>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetCurrentPeb")));
        LIST_ENTRY* head = &currentPeb()->Ldr->InMemoryOrderModuleList;
        for (LIST_ENTRY* link = head->Flink; link != head; link = link->Flink) {
            auto* entry = CONTAINING_RECORD(link, LDR_DATA_TABLE_ENTRY, InMemoryOrderLinks);
            if (entry->DllBase != GetModuleHandleA(nullptr)) continue;
            record_ = &entry->FullDllName;
            saved_ = *record_;
            record_->Buffer = &name_[0];
            record_->Length = record_->MaximumLength = static_cast<USHORT>(2 * name_.size());
        }
    }
    ~LongProgramPath() {
        if (record_ != nullptr) *record_ = saved_;
    }

private:
    std::wstring name_;
    UNICODE_STRING* record_ = nullptr;
    UNICODE_STRING saved_ = {};
};

class CheckHostDllTest : public ::testing::Test {
protected:
    void SetUp() override {
        char windows[MAX_PATH] = {};
        GetWindowsDirectoryA(windows, MAX_PATH);
        windows_ = windows;
        winIni_ = windows_ + "\\win.ini";
        PutBack();  // what an interrupted run may have left
        if (GetFileAttributesA(kBootIni) != INVALID_FILE_ATTRIBUTES) {
            ASSERT_TRUE(MoveFileA(kBootIni, kSavedBootIni));
        }
        ASSERT_TRUE(host_.ready());
    }
    void TearDown() override {
        DeleteFileA(kBootIni);
        PutBack();
    }

    void PutBack() {
        if (GetFileAttributesA(kSavedBootIni) != INVALID_FILE_ATTRIBUTES) {
            DeleteFileA(kBootIni);
            MoveFileA(kSavedBootIni, kBootIni);
        }
        MoveFileA((winIni_ + kHiddenSuffix).c_str(), winIni_.c_str());
        RemoveTree(kTree);
    }
    void HideWinIni() {
        ASSERT_TRUE(MoveFileA(winIni_.c_str(), (winIni_ + kHiddenSuffix).c_str()));
    }
    // A win.ini under C:\kvprobe_host, `below` directories deeper.
    void PlantWinIni(const std::vector<std::string>& below) {
        std::string directory = kTree;
        CreateDirectoryA(directory.c_str(), nullptr);
        for (const std::string& name : below) {
            directory += "\\" + name;
            CreateDirectoryA(directory.c_str(), nullptr);
        }
        ASSERT_TRUE(WriteWholeFile(directory + "\\win.ini", "[windows]\r\n"));
    }

    std::pair<int, std::string> Check(int length) { return CheckGuarded(length, host_.checkHost); }

    BootProbeHost host_;
    std::string windows_;
    std::string winIni_;
};

TEST_F(CheckHostDllTest, BootIniDefaultLine) {
    const struct {
        std::string text;
        int length;
        int result;
        std::string answer;
    } cases[] = {
        {"[boot loader]\r\ntimeout=30\r\ndefault=multi(0)disk(0)rdisk(0)partition(1)\\WINNT\r\n",
         260, 1, "C:\\WINNT"},
        {"DEFAULT=MULTI(0)DISK(0)RDISK(0)PARTITION(1)\\WINNT\r\n", 260, 1, "C:\\WINNT"},
        {"default=multi(0)disk(0)rdisk(0)partition(1)\\WINNT\r\n", 0, 0, "<nothing written>"},
        {"default=multi(0)disk(0)rdisk(0)partition(1)\\WINNT\r\n", 2, 1, "\\"},
        {"default=multi(0)disk(0)rdisk(0)partition(1)\\WINNT\r\n", 3, 1, "C:"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteWholeFile(kBootIni, c.text));
        // An editor holds it open for writing meanwhile (the long paths below read it free).
        const HANDLE editor =
            CreateFileA(kBootIni, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(editor, INVALID_HANDLE_VALUE);
        EXPECT_EQ(Check(c.length), std::make_pair(c.result, c.answer)) << c.text << c.length;
        CloseHandle(editor);
    }
    EXPECT_EQ(host_.checkHost(nullptr, 260), 0);

    // The same boot.ini, from a program whose path is MAX_PATH characters or longer.
    for (size_t length : {259, 260, 400}) {
        std::pair<int, std::string> answer;
        {
            const LongProgramPath program(length);
            char path[512] = {};
            ASSERT_EQ(GetModuleFileNameA(nullptr, path, sizeof(path)), length);
            answer = Check(260);
        }
        EXPECT_EQ(answer, std::make_pair(1, std::string("C:\\WINNT"))) << length;
    }
}

TEST_F(CheckHostDllTest, WinIniWhenBootIniNamesNothing) {
    std::string planted(100000, 'x');
    for (size_t offset : {127, 255, 511, 1023, 4095, 65535})
        planted.replace(offset, 24, "default=multi(0)\\PLANTED");
    std::string expected = windows_;
    expected[2] = '/';
    for (const std::string& text : {std::string("default=C:\\WINNT\r\n"), planted + "\r\n"}) {
        ASSERT_TRUE(WriteWholeFile(kBootIni, text));
        EXPECT_EQ(Check(260), std::make_pair(1, expected)) << text.substr(0, 20);
    }
}

TEST_F(CheckHostDllTest, WinIniDepth) {
    HideWinIni();
    PlantWinIni({"level1"});
    const auto twoDown = Check(260);
    EXPECT_EQ(twoDown, std::make_pair(1, std::string("C:/kvprobe_host/level1")));
    // Nothing is kept from one call to the next.
    EXPECT_EQ(Check(260), twoDown);

    // Three levels down, behind a file that comes first in the listing: a file seen on
    // the way does not make the search go deeper.
    RemoveTree(kTree);
    PlantWinIni({"level1", "level2"});
    ASSERT_TRUE(WriteWholeFile(std::string(kTree) + "\\level1\\0.txt", ""));
    // The whole drive is searched, the loop of links under C:\kvprobe_loop too (the
    // fixture made it: its link leads back to its own folder).
    ASSERT_NE(GetFileAttributesA("C:\\kvprobe_loop\\self\\self\\a.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(Check(260), std::make_pair(0, std::string()));
}

}  // namespace
