// UserTag.dll as hosts use it: LoadLibrary, GetKavroComponentPtr and the list slots.
#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "list_bytes.h"
#include "machine_id_win.h"
#include "program_folder_win.h"
#include "registry.h"
#include "scratch_dir_win.h"
#include "usertag_host.h"
#include "whole_file_win.h"
#include "win32/handles.h"

namespace {

// MD5 of "hello", taken with md5sum.
const char kHelloDigest[] = "5d41402abc4b2a76b9719d911017c592";

std::string OurId() {
    return MachineIdDigits(ReadMachineFacts());
}

std::string Bytes(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

const unsigned char* Raw(const std::string& bytes) {
    return reinterpret_cast<const unsigned char*>(bytes.data());
}

// The local time as the list records it, read another way than the library does.
std::string LocalTimeNow() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char text[32];
    std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond);
    return text;
}

DWORD WINAPI UnloadHost(void* host) {
    delete static_cast<UserTagHost*>(host);
    return 0;
}

int ThreadsOfThisProcess() {
    UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 thread = {};
    thread.dwSize = sizeof(thread);
    int count = 0;
    for (BOOL more = Thread32First(snapshot.get(), &thread); more;
         more = Thread32Next(snapshot.get(), &thread)) {
        if (thread.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    }
    return count;
}

// Runs usertag_probe in its own process; its output, or "exit N" when it failed.
std::string RunProbe(const kvtest::ScratchDir& dir, const std::string& arguments) {
    const std::string program = kvtest::BesideProgram("usertag_probe.exe");
    std::string command = "\"" + program + "\" " + arguments;

    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    const std::string outPath = dir / "probe.out";
    UniqueFile out(CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                               CREATE_ALWAYS, 0, nullptr));
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out.get();
    startup.hStdError = out.get();
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return "CreateProcess failed, error " + std::to_string(GetLastError());
    }
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);
    out.reset();
    DWORD code = 1;
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process.hProcess, &code)) {
        return "probe did not finish";
    }
    std::string output = dir.Read("probe.out");
    output.erase(std::remove(output.begin(), output.end(), '\r'), output.end());
    DeleteFileA(outPath.c_str());
    return code == 0 ? output : "exit " + std::to_string(code) + ": " + output;
}

// Points `module`'s import of `function` from `dll` at `replacement`; the previous target,
// or null when the module imports no such function.
void* PatchImport(HMODULE module, const char* dll, const char* function, void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    auto* import = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(
        base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
    for (; import->Name != 0; ++import) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + import->Name), dll) != 0) continue;
        auto* name = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + import->OriginalFirstThunk);
        auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
        for (; name->u1.AddressOfData != 0; ++name, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal) ||
                std::strcmp(reinterpret_cast<const char*>(base + name->u1.AddressOfData + 2),
                            function) != 0) {
                continue;
            }
            DWORD protection = 0;
            VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &protection);
            void* previous = reinterpret_cast<void*>(slot->u1.Function);
            slot->u1.Function = reinterpret_cast<DWORD_PTR>(replacement);
            VirtualProtect(slot, sizeof(*slot), protection, &protection);
            return previous;
        }
    }
    return nullptr;
}

// The C library's allocation as the library sees it: the next call fails once.
using Allocation = void*(__cdecl*)(size_t);
Allocation gMalloc = nullptr;
bool gFailNext = false;
void* __cdecl FailingOnce(size_t size) {
    if (!gFailNext) return gMalloc(size);
    gFailNext = false;
    return nullptr;
}

// Puts the process's current folder, and drive C:'s, back as they were.
class CurrentFolders {
public:
    CurrentFolders() { GetCurrentDirectoryA(MAX_PATH, saved_); }
    ~CurrentFolders() {
        SetCurrentDirectoryA(saved_);
        SetEnvironmentVariableA("=C:", nullptr);
    }

private:
    char saved_[MAX_PATH] = {};
};

bool HasTemporaryFiles(const std::string& folder) {
    WIN32_FIND_DATAA found;
    return static_cast<bool>(UniqueFind(FindFirstFileA((folder + "\\*.tmp").c_str(), &found)));
}

std::string Lines(const std::vector<ListedEntry>& entries) {
    std::string lines;
    for (const ListedEntry& e : entries) lines += e.digest + "|" + e.added + "|" + e.path + "\n";
    return lines;
}

class UserTagDllTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(GetModuleHandleA("UserTag.dll"), nullptr) << "a previous host kept it loaded";
        host_ = std::make_unique<UserTagHost>();
        ASSERT_EQ(host_->error(), "");
        list_ = dir_ / "list.dat";
    }
    void TearDown() override {
        host_.reset();
        EXPECT_EQ(GetModuleHandleA("UserTag.dll"), nullptr);
    }

    std::vector<std::string> ListDirectory() const { return dir_.Names(); }

    kvtest::ScratchDir dir_{"t", "Z:\\tmp\\usertag"};    // the list alone
    kvtest::ScratchDir files_{"t", "Z:\\tmp\\usertag"};  // the files put on the list
    std::unique_ptr<UserTagHost> host_;
    std::string list_;
};

}  // namespace

TEST_F(UserTagDllTest, FactoryNamesAndRegistry) {
    CKavroComponentManager registry;
    IComponent* first = nullptr;
    IComponent* second = nullptr;
    EXPECT_EQ(host_->factory()(&first, &registry), 1);
    EXPECT_EQ(host_->factory()(&second, &registry), 1);
    EXPECT_EQ(first, host_->component());
    EXPECT_EQ(second, first);
    ASSERT_EQ(registry.GetComponentCount(), 1);
    IComponent* found = nullptr;
    ASSERT_EQ(registry.FindComponent("UserTag", &found), 1);
    EXPECT_EQ(found, first);

    char name[12];
    std::memset(name, 'x', sizeof(name));
    EXPECT_STREQ(first->GetName(name, sizeof(name)), "UserTag");
    EXPECT_EQ(std::string(name, sizeof(name)), std::string("UserTag\0\0\0\0\0", 12));

    // The list interface is a second base of the same object.
    void* list = first->GetInterface("UserTag", 0);
    EXPECT_EQ(list, host_->list());
    EXPECT_EQ(static_cast<char*>(list), reinterpret_cast<char*>(first) + sizeof(void*));
    for (const char* other :
         {"usertag", "User", "UserTagX", "", static_cast<const char*>(nullptr)}) {
        EXPECT_EQ(first->GetInterface(other, 0), nullptr) << (other ? other : "(null)");
    }
}

TEST_F(UserTagDllTest, NewListFileByteForByte) {
    ASSERT_TRUE(host_->Open(list_.c_str()));
    EXPECT_TRUE(host_->Entries().empty());
    EXPECT_TRUE(ListDirectory().empty());  // opening creates nothing

    const std::string file = files_.Write("hello.txt", "hello");
    const std::string before = LocalTimeNow();
    ASSERT_TRUE(host_->AddFile(file.c_str()));
    const std::string after = LocalTimeNow();

    const std::string bytes = dir_.Read("list.dat");
    ASSERT_EQ(bytes.size(), 48u + 568u);
    EXPECT_EQ(bytes.substr(0, 4), "QXLB");
    EXPECT_EQ(bytes.substr(4, 16), OurId());
    EXPECT_EQ(bytes.substr(20, 24), std::string(24, '\0'));
    EXPECT_EQ(bytes.substr(44, 4), std::string("\1\0\0\0", 4));
    EXPECT_EQ(bytes.substr(48, 16), Bytes(kHelloDigest));
    EXPECT_EQ(bytes.substr(64, 520), file + std::string(520 - file.size(), '\0'));
    const std::string added = bytes.substr(584, 19);
    EXPECT_GE(added, before);
    EXPECT_LE(added, after);
    EXPECT_EQ(bytes.substr(603), std::string(13, '\0'));
    EXPECT_EQ(ListDirectory(), std::vector<std::string>{"list.dat"});

    // An empty file has the digest of no bytes.
    const std::string empty = files_.Write("empty", "");
    ASSERT_TRUE(host_->AddFile(empty.c_str()));
    EXPECT_EQ(host_->Entries().at(1).path, empty);
    EXPECT_EQ(host_->Entries().at(1).digest, "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_FALSE(host_->AddFile(files_.path().c_str()));  // a directory
    EXPECT_FALSE(host_->AddFile((files_ / "missing").c_str()));
    EXPECT_FALSE(host_->AddFile(std::string(520, 'p').c_str(), Raw(Bytes(kHelloDigest))));
    EXPECT_FALSE(host_->AddFile(nullptr, Raw(Bytes(kHelloDigest))));
    EXPECT_EQ(host_->Entries().size(), 2u);
}

TEST_F(UserTagDllTest, SecondProcessSeesTheSameEntries) {
    const std::string a = files_.Write("a.txt", "hello");
    const std::string b = files_.Write("b.txt", "world");
    const std::string written = RunProbe(dir_, "\"" + list_ + "\" \"" + a + "\" \"" + b + "\"");
    ASSERT_EQ(std::count(written.begin(), written.end(), '\n'), 2) << written;
    EXPECT_EQ(RunProbe(dir_, "\"" + list_ + "\""), written);
    ASSERT_TRUE(host_->Open(list_.c_str()));
    EXPECT_EQ(Lines(host_->Entries()), written);
    // And the other way round.
    ASSERT_TRUE(host_->RemoveFile(a.c_str(), Raw(Bytes(kHelloDigest))));
    EXPECT_EQ(RunProbe(dir_, "\"" + list_ + "\""), Lines(host_->Entries()));
}

TEST_F(UserTagDllTest, SameFileKeepsOneEntryAndItsFirstTime) {
    const std::string file = files_.Write("hello.txt", "hello");
    std::string stored = ListHeaderBytes(OurId(), 1);
    AppendRecord(stored, 0, "");
    stored.replace(48, 16, Bytes(kHelloDigest));
    stored.replace(64, file.size(), file);
    stored.replace(584, 19, "2001-02-03 04:05:06");
    dir_.Write("list.dat", stored);

    ASSERT_TRUE(host_->Open(list_.c_str()));
    EXPECT_TRUE(host_->AddFile(file.c_str()));
    std::string upper = file;
    for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    EXPECT_TRUE(host_->AddFile(upper.c_str(), Raw(Bytes(kHelloDigest))));
    const auto entries = host_->Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].path, file);
    EXPECT_EQ(entries[0].added, "2001-02-03 04:05:06");
}

TEST_F(UserTagDllTest, ListsOfAnotherMachineOrNoListLoadEmptyAndAreReplaced) {
    std::string foreign = ListHeaderBytes("0123456789ABCDEF", 1);
    AppendRecord(foreign, 1, "c:\\foreign");
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"another machine", foreign},
        {"another magic", "QXLC" + foreign.substr(4)},
        {"a text file", "not a list"},
        {"a header only", ListHeaderBytes(OurId(), 0)},
    };
    const std::string file = files_.Write("hello.txt", "hello");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        dir_.Write("list.dat", c.bytes);
        ASSERT_TRUE(host_->Open(list_.c_str()));
        EXPECT_TRUE(host_->Entries().empty());
        ASSERT_TRUE(host_->AddFile(file.c_str()));
        const std::string bytes = dir_.Read("list.dat");
        EXPECT_EQ(bytes.size(), 48u + 568u);
        EXPECT_EQ(bytes.substr(4, 16), OurId());
        EXPECT_EQ(host_->Entries().size(), 1u);
    }
}

TEST_F(UserTagDllTest, RemoveFile) {
    const std::string a = files_.Write("a.txt", "hello");
    ASSERT_TRUE(host_->Open(list_.c_str()));
    ASSERT_TRUE(host_->AddFile(a.c_str()));
    const std::string before = dir_.Read("list.dat");
    dir_.Write("list.dat", before);  // a write time of its own, to see whether it changes
    WIN32_FILE_ATTRIBUTE_DATA saved = {};
    GetFileAttributesExA(list_.c_str(), GetFileExInfoStandard, &saved);

    const std::string other(16, '\x42');
    EXPECT_TRUE(host_->RemoveFile(a.c_str(), Raw(other)));  // not on the list: no save
    EXPECT_TRUE(host_->RemoveFile("a.txt", Raw(Bytes(kHelloDigest))));
    EXPECT_FALSE(host_->RemoveFile(nullptr, Raw(Bytes(kHelloDigest))));
    EXPECT_FALSE(host_->RemoveFile(a.c_str(), nullptr));
    WIN32_FILE_ATTRIBUTE_DATA now = {};
    GetFileAttributesExA(list_.c_str(), GetFileExInfoStandard, &now);
    EXPECT_EQ(CompareFileTime(&saved.ftLastWriteTime, &now.ftLastWriteTime), 0);
    EXPECT_EQ(dir_.Read("list.dat"), before);

    EXPECT_TRUE(host_->RemoveFile(a.c_str(), Raw(Bytes(kHelloDigest))));
    EXPECT_EQ(dir_.Read("list.dat"), ListHeaderBytes(OurId(), 0));
}

TEST_F(UserTagDllTest, WithoutAListNothingIsTouched) {
    const std::string file = files_.Write("hello.txt", "hello");
    ASSERT_TRUE(host_->Open(list_.c_str()));
    ASSERT_TRUE(host_->AddFile(file.c_str()));
    for (const char* path : {static_cast<const char*>(nullptr), ""}) {
        EXPECT_FALSE(host_->Open(path));
        EXPECT_TRUE(host_->Entries().empty());
        EXPECT_FALSE(host_->AddFile(file.c_str()));
        EXPECT_FALSE(host_->RemoveFile(file.c_str(), Raw(Bytes(kHelloDigest))));
    }
    // A folder is no list: it opens empty and is not saved over.
    ASSERT_TRUE(host_->Open(files_.path().c_str()));
    EXPECT_TRUE(host_->Entries().empty());
    EXPECT_FALSE(host_->AddFile(file.c_str()));
    EXPECT_EQ(ListDirectory(), std::vector<std::string>{"list.dat"});
    EXPECT_EQ(dir_.Read("list.dat").size(), 48u + 568u);
}

TEST_F(UserTagDllTest, PathsThatArePrefixesAreOtherEntries) {
    const std::string shorter = files_.Write("x.bin", "hello");
    const std::string longer = files_.Write("x.bin.bak", "hello");
    ASSERT_TRUE(host_->Open(list_.c_str()));
    ASSERT_TRUE(host_->AddFile(longer.c_str()));
    ASSERT_TRUE(host_->AddFile(shorter.c_str()));
    auto entries = host_->Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].path, shorter);
    EXPECT_EQ(entries[1].path, longer);

    ASSERT_TRUE(host_->RemoveFile(shorter.c_str(), Raw(Bytes(kHelloDigest))));
    entries = host_->Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].path, longer);
}

TEST_F(UserTagDllTest, CountsReadOnlyTheRecordsPresent) {
    std::string two = ListHeaderBytes(OurId(), 2);
    AppendRecord(two, 1, "c:\\one");
    AppendRecord(two, 2, "c:\\two");
    const struct {
        int32_t count;
        size_t trailing;  // bytes of a cut record after the two
        size_t entries;
    } cases[] = {{1000, 0, 2}, {INT_MAX, 0, 2}, {-5, 0, 0}, {3, 567, 2}, {1, 0, 1}};
    for (const auto& c : cases) {
        std::string bytes = two + std::string(c.trailing, 'x');
        PutLe32(bytes, 44, c.count);
        dir_.Write("list.dat", bytes);
        ASSERT_TRUE(host_->Open(list_.c_str())) << c.count;
        const auto entries = host_->Entries();
        EXPECT_EQ(entries.size(), c.entries) << c.count;
        for (const ListedEntry& e : entries) EXPECT_NE(e.path, "") << "an entry made up";
    }
}

TEST_F(UserTagDllTest, DamagedRecordsAreSkippedAndBuffersKept) {
    std::string bytes = ListHeaderBytes(OurId(), 4);
    AppendRecord(bytes, 1, "c:\\one", "2020-01-01 00:00:00");
    AppendRecord(bytes, 2, std::string(520, 'p'));                        // path without its zero
    AppendRecord(bytes, 3, "c:\\three", std::string(32, '9'));            // time without its zero
    AppendRecord(bytes, 4, std::string(519, 'q'), std::string(31, '8'));  // both just fit
    dir_.Write("list.dat", bytes);
    ASSERT_TRUE(host_->Open(list_.c_str()));

    struct Buffers {
        char path[520];
        char guard1[8];
        unsigned char digest[16];
        char guard2[8];
        char added[32];
        char guard3[8];
    } out;
    std::memset(&out, '#', sizeof(out));
    host_->BeginEnum();
    std::vector<std::string> paths;
    while (host_->NextEntry(out.path, out.digest, out.added)) {
        paths.push_back(out.path);
        EXPECT_EQ(
            std::string(out.guard1, 8) + std::string(out.guard2, 8) + std::string(out.guard3, 8),
            std::string(24, '#'));
    }
    EXPECT_EQ(paths, (std::vector<std::string>{"c:\\one", std::string(519, 'q')}));
    EXPECT_STREQ(out.added, std::string(31, '8').c_str());
    // Null buffers are skipped.
    host_->BeginEnum();
    EXPECT_TRUE(host_->NextEntry(nullptr, nullptr, nullptr));
}

TEST_F(UserTagDllTest, ListOfTheRestrictedIdentifierIsKept) {
    const MachineFacts facts = ReadMachineFacts();
    const std::string restricted = MachineIdDigits(WithoutRegistryFacts(facts));
    ASSERT_NE(restricted, OurId()) << "this machine has no registry facts to leave out";
    std::string bytes = ListHeaderBytes(restricted, 1);
    AppendRecord(bytes, 1, "c:\\kept");
    dir_.Write("list.dat", bytes);

    ASSERT_TRUE(host_->Open(list_.c_str()));
    ASSERT_EQ(host_->Entries().size(), 1u);
    ASSERT_TRUE(host_->AddFile(files_.Write("a.txt", "hello").c_str()));
    const std::string saved = dir_.Read("list.dat");
    EXPECT_EQ(saved.substr(4, 16), OurId());  // from now on the full identifier
    EXPECT_EQ(saved.size(), 48u + 2 * 568u);
}

TEST_F(UserTagDllTest, AListThatCannotBeReplacedStaysAsItWas) {
    ASSERT_TRUE(host_->Open(list_.c_str()));
    const std::string a = files_.Write("a.txt", "hello");
    ASSERT_TRUE(host_->AddFile(a.c_str()));
    const std::string before = dir_.Read("list.dat");
    const std::string b = files_.Write("b.txt", "world");

    ASSERT_TRUE(SetFileAttributesA(list_.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(host_->AddFile(b.c_str()));
    EXPECT_FALSE(host_->RemoveFile(a.c_str(), Raw(Bytes(kHelloDigest))));
    EXPECT_EQ(dir_.Read("list.dat"), before);
    EXPECT_EQ(ListDirectory(), std::vector<std::string>{"list.dat"});
    ASSERT_TRUE(SetFileAttributesA(list_.c_str(), FILE_ATTRIBUTE_NORMAL));

    {
        // A reader that does not share delete access holds the list open throughout.
        UniqueFile reader(CreateFileA(list_.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                      nullptr));
        ASSERT_TRUE(reader);
        EXPECT_FALSE(host_->AddFile(b.c_str()));
    }
    EXPECT_EQ(dir_.Read("list.dat"), before);
    EXPECT_EQ(ListDirectory(), std::vector<std::string>{"list.dat"});
    EXPECT_TRUE(host_->AddFile(b.c_str()));
    EXPECT_EQ(host_->Entries().size(), 2u);
}

TEST_F(UserTagDllTest, EnumerationGoesOnAfterAChange) {
    ASSERT_TRUE(host_->Open(list_.c_str()));
    for (unsigned char d : {0x10, 0x30}) {
        ASSERT_TRUE(host_->AddFile(("c:\\" + std::to_string(d)).c_str(), Raw(FilledDigest(d))));
    }
    host_->BeginEnum();
    char path[520];
    unsigned char digest[16];
    ASSERT_TRUE(host_->NextEntry(path, digest, nullptr));
    EXPECT_EQ(digest[0], 0x10);
    // Entries before the cursor, after it and after the end; each call reloads the list.
    for (unsigned char d : {0x08, 0x20, 0x40}) {
        ASSERT_TRUE(host_->AddFile(("c:\\" + std::to_string(d)).c_str(), Raw(FilledDigest(d))));
    }
    std::string rest;
    while (host_->NextEntry(path, nullptr, nullptr)) rest += std::string(path) + " ";
    EXPECT_EQ(rest, "c:\\32 c:\\48 c:\\64 ");
    ASSERT_TRUE(host_->RemoveFile("c:\\64", Raw(FilledDigest(0x40))));
    EXPECT_FALSE(host_->NextEntry(path, nullptr, nullptr));
    EXPECT_EQ(host_->Entries().size(), 4u);
}

TEST_F(UserTagDllTest, OpenStartsNoThreadAndUnloadReturnsAtOnce) {
    const int threads = ThreadsOfThisProcess();
    ASSERT_TRUE(host_->Open(list_.c_str()));
    ASSERT_TRUE(host_->AddFile(files_.Write("a.txt", "hello").c_str()));
    EXPECT_EQ(ThreadsOfThisProcess(), threads);

    UserTagHost* host = host_.release();
    HANDLE unloader = CreateThread(nullptr, 0, UnloadHost, host, 0, nullptr);
    ASSERT_NE(unloader, nullptr);
    EXPECT_EQ(WaitForSingleObject(unloader, 10000), WAIT_OBJECT_0) << "FreeLibrary hangs";
    CloseHandle(unloader);
}

TEST_F(UserTagDllTest, OpenThatRunsOutOfMemoryLeavesNothingToWrite) {
    std::string stored = ListHeaderBytes(OurId(), 1);
    AppendRecord(stored, 1, "c:\\kept");
    dir_.Write("list.dat", stored);
    // A path short enough to be kept without allocating: the first allocation that fails
    // is the identifier's.
    const CurrentFolders restore;
    ASSERT_TRUE(SetCurrentDirectoryA(dir_.path().c_str()));
    gMalloc = reinterpret_cast<Allocation>(PatchImport(host_->module(), "msvcrt.dll", "malloc",
                                                       reinterpret_cast<void*>(&FailingOnce)));
    ASSERT_NE(gMalloc, nullptr);
    gFailNext = true;
    const bool opened = host_->Open("list.dat");
    PatchImport(host_->module(), "msvcrt.dll", "malloc", reinterpret_cast<void*>(gMalloc));
    EXPECT_FALSE(gFailNext) << "the library allocated nothing";
    EXPECT_FALSE(opened);
    EXPECT_FALSE(host_->AddFile("c:\\new", Raw(FilledDigest(2))));
    EXPECT_FALSE(host_->RemoveFile("c:\\kept", Raw(FilledDigest(1))));
    EXPECT_EQ(dir_.Read("list.dat"), stored);
    ASSERT_TRUE(host_->Open(list_.c_str()));
    EXPECT_EQ(host_->Entries().size(), 1u);
}

// The save's new file is made beside the list: in a folder near the path limit, and for a
// list named relative to drive C:'s current folder while the process's current folder is
// on another file system (Z:\dev\shm is one here), from which no file can be moved over it.
TEST_F(UserTagDllTest, ListsNearThePathLimitOrRelativeToTheirDriveAreSaved) {
    const std::string deep = dir_.path() + "\\" + std::string(249 - dir_.path().size(), 'd');
    ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr));
    kvtest::ScratchDir onC("t");
    ASSERT_EQ(onC.path().substr(0, 3), "C:\\");
    const bool shm = GetFileAttributesA("Z:\\dev\\shm") != INVALID_FILE_ATTRIBUTES;
    kvtest::ScratchDir elsewhere("t", shm ? "Z:\\dev\\shm" : "Z:\\tmp\\usertag");
    const CurrentFolders restore;
    ASSERT_TRUE(SetCurrentDirectoryA(elsewhere.path().c_str()));
    ASSERT_TRUE(SetEnvironmentVariableA("=C:", onC.path().c_str()));
    const struct {
        std::string list;
        std::string folder;
    } cases[] = {{deep + "\\list.dat", deep}, {"C:list.dat", onC.path()}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        ASSERT_TRUE(host_->Open(c.list.c_str()));
        EXPECT_TRUE(host_->AddFile("c:\\f", Raw(FilledDigest(1))));
        EXPECT_EQ(host_->Entries().size(), 1u);
        EXPECT_EQ(kvtest::ReadWholeFile(c.folder + "\\list.dat").size(), 48u + 568u);
        EXPECT_FALSE(HasTemporaryFiles(c.folder) || HasTemporaryFiles(elsewhere.path()));
    }
}
