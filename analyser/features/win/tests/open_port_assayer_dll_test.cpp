#include <windows.h>

#include <psapi.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "assayer_host.h"
#include "port_holder_client.h"

namespace {

// The helper's image path as the system names it, or "" when it cannot be read.
std::string SystemImagePath(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (process == nullptr) return std::string();
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameExA(process, nullptr, path, MAX_PATH);
    CloseHandle(process);
    return std::string(path, length);
}

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

// The letters Assayer.dll gives a running program that holds the ports of `requests`.
// Empty with a reason in `skip` when this machine cannot show it.
std::string HitsOfHolder(const std::vector<std::string>& requests, std::string* skip) {
    PortHolder holder;
    if (!holder.Start(requests)) {
        *skip = "port helper: " + holder.Error();
        return std::string();
    }
    const std::string path = SystemImagePath(holder.Pid());
    if (path.empty()) {
        *skip = "the helper's image path cannot be read";
        return std::string();
    }
    AssayerHost host;
    if (!host.ready() || !host.Init(nullptr)) {
        ADD_FAILURE() << "Assayer.dll did not load";
        return std::string();
    }
    host.Describe(1, path, FileBytes(path));
    host.Analyse(1);
    return host.Hits();
}

bool OwnersAreNamed() {
    // The endpoint table names owners on this system when one listed port is ours.
    PortHolder holder;
    if (!holder.Start({"tcp:0"})) return false;
    HMODULE library = LoadLibraryA("iphlpapi.dll");
    using GetTableFn = DWORD(WINAPI*)(void*, DWORD*, BOOL, ULONG, int, ULONG);
    auto get = reinterpret_cast<GetTableFn>(
        reinterpret_cast<void*>(GetProcAddress(library, "GetExtendedTcpTable")));
    bool named = false;
    if (get != nullptr) {
        std::vector<DWORD> table(16384);
        DWORD size = static_cast<DWORD>(table.size() * sizeof(DWORD));
        if (get(table.data(), &size, FALSE, 2 /* IPv4 */, 5 /* owner pid, all */, 0) == NO_ERROR) {
            for (DWORD i = 0; i < table[0] && 1 + i * 6 + 5 < table.size(); ++i) {
                named |= table[1 + i * 6 + 5] == holder.Pid();
            }
        }
    }
    FreeLibrary(library);
    return named;
}

TEST(OpenPortAssayerDllTest, ProgramHoldingABackdoorPortGetsQ) {
    if (!OwnersAreNamed()) GTEST_SKIP() << "this system names no owner of an open port";
    std::string skip;
    std::string hits;
    // The first of the listed ports that is free on this machine.
    for (const char* request : {"tcp:31337", "udp:31337", "tcp:8080"}) {
        skip.clear();
        hits = HitsOfHolder({request}, &skip);
        if (skip.empty()) break;
    }
    if (!skip.empty()) GTEST_SKIP() << skip;
    EXPECT_NE(hits.find('Q'), std::string::npos) << hits;
    EXPECT_EQ(hits.find('L'), std::string::npos) << hits;
}

TEST(OpenPortAssayerDllTest, ProgramHoldingSixPortsGetsL) {
    if (!OwnersAreNamed()) GTEST_SKIP() << "this system names no owner of an open port";
    std::string skip;
    const std::string hits =
        HitsOfHolder({"tcp:0", "tcp:0", "tcp:0", "udp:0", "udp:0", "udp:0"}, &skip);
    if (!skip.empty()) GTEST_SKIP() << skip;
    EXPECT_NE(hits.find('L'), std::string::npos) << hits;

    // The helper started a moment ago: failing to start it now is a failure, not a
    // reason for an answer without the letter.
    const std::string fewer = HitsOfHolder({"tcp:0", "tcp:0", "udp:0", "udp:0", "udp:0"}, &skip);
    ASSERT_TRUE(skip.empty()) << skip;
    EXPECT_EQ(fewer.find('L'), std::string::npos) << fewer;
}

TEST(OpenPortAssayerDllTest, AutorunProgramGetsUWithoutChangingTheScore) {
    // The built-in weights have no row for the autorun feature: its letter shows, the
    // score stays what it was.
    const std::string value = "kv_assayer_autorun_" + std::to_string(GetCurrentProcessId());
    const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    const std::string command = "\"C:\\KV Auto\\1Starter.exe\" -tray";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>(command.size() + 1));

    AssayerHost host;
    ASSERT_TRUE(host.ready());
    auto judge = [&host](int* score) {
        host.Init(nullptr);  // the autorun list is read when the configuration is
        host.ReleaseInfo();
        host.Describe(1, "c:\\kv auto\\1STARTER.EXE", std::vector<uint8_t>(100, 1));
        host.Analyse(1);
        *score = host.Result();
        return host.Hits();
    };
    int scoreListed = 0;
    const std::string listed = judge(&scoreListed);
    RegDeleteValueA(key, value.c_str());
    RegCloseKey(key);
    int scoreUnlisted = 0;
    const std::string unlisted = judge(&scoreUnlisted);

    EXPECT_NE(listed.find('U'), std::string::npos) << listed;
    EXPECT_EQ(unlisted.find('U'), std::string::npos) << unlisted;
    EXPECT_EQ(listed, unlisted + "U");
    EXPECT_EQ(scoreListed, scoreUnlisted);
    EXPECT_NE(unlisted.find('A'), std::string::npos) << unlisted;  // the digit still counts
}

}  // namespace
