// NetWarden.dll after Initialize: list operations, rule saves, traffic, addresses,
// unload and process exit, over the filter-driver double.
#include <cstdlib>

#include "netwarden_dll_fixture.h"

namespace {

using namespace nwtest;

TEST_F(NetWardenDllTest, ListOperationsMirrorTheDriverOnBothLists) {
    RecordingSink sink;
    auto host = Start(&sink);
    ASSERT_TRUE(host);
    kavrofw::Probe probe;
    ASSERT_TRUE(probe.open());
    auto listed = [&](unsigned char selector) {
        sink.ClearRules();
        host->EnumRules(selector);
        return IdsOf(sink.Rules());
    };
    // Selector 2 is the temporary list as well: any nonzero byte.
    for (unsigned char selector : {kPersistent, kTemporary, static_cast<unsigned char>(2)}) {
        SCOPED_TRACE(static_cast<int>(selector));
        const int32_t base = 1000 * (selector + 1);
        const size_t before = listed(selector).size();
        const int batches = probe.State().batchCount;

        EXPECT_EQ(1, host->AddRules(Rules(base, 250), selector));
        KavroFwState state = probe.State();
        ASSERT_EQ(batches + 3, state.batchCount);
        EXPECT_EQ(100, state.batchSizes[batches]);
        EXPECT_EQ(100, state.batchSizes[batches + 1]);
        EXPECT_EQ(50, state.batchSizes[batches + 2]);
        EXPECT_EQ(before + 250, listed(selector).size());

        // Ids the list holds are neither sent nor appended again.
        std::vector<FirewallRule> again = Rules(base, 3);
        again.push_back(Rule(base + 300));
        EXPECT_EQ(1, host->AddRules(again, selector));
        EXPECT_EQ(1, probe.State().batchSizes[batches + 3]);
        EXPECT_EQ(before + 251, listed(selector).size());

        // A refused batch is dropped, the later ones are kept, and the caller hears of it.
        ASSERT_TRUE(probe.Refuse(0x830020C4u, 1));
        EXPECT_EQ(0, host->AddRules(Rules(base + 400, 150), selector));
        EXPECT_EQ(before + 301, listed(selector).size());
        // A batch confirmed with another id is not taken.
        ASSERT_TRUE(probe.Steer(KAVROFW_ANSWER_ADD_WITH, 12345));
        EXPECT_EQ(0, host->AddRules({Rule(base + 600)}, selector));
        EXPECT_EQ(before + 301, listed(selector).size());
        // A success that writes no answer confirms nothing, not even a batch ending in id 0.
        ASSERT_TRUE(probe.Steer(KAVROFW_ANSWER_ADD_SHORT, 0));
        EXPECT_EQ(0, host->AddRules({Rule(0)}, selector));
        EXPECT_EQ(before + 301, listed(selector).size());

        ASSERT_TRUE(probe.Refuse(0x830020C8u, 1));
        EXPECT_EQ(0, host->DeleteRule(base + 1, selector));
        EXPECT_EQ(1, host->DeleteRule(base + 2, selector));
        EXPECT_EQ(base + 2, probe.State().lastDeletedId);
        std::vector<int32_t> ids = listed(selector);
        EXPECT_EQ(before + 300, ids.size());
        EXPECT_NE(ids.end(), std::find(ids.begin(), ids.end(), base + 1));
        EXPECT_EQ(ids.end(), std::find(ids.begin(), ids.end(), base + 2));

        FirewallRule changed = Rule(base + 3, "changed");
        changed.maskA = 0;
        ASSERT_TRUE(probe.Refuse(0x830020E0u, 1));
        EXPECT_FALSE(host->UpdateRule(&changed, selector));
        EXPECT_TRUE(host->UpdateRule(&changed, selector));
        const KavroFwState updated = probe.State();
        const DriverRule expected = MakeDriverRule(changed);
        EXPECT_EQ(0, std::memcmp(&expected, updated.lastUpdate, sizeof expected));
        sink.ClearRules();
        host->EnumRules(selector);
        const std::vector<FirewallRule> rules = sink.Rules();
        const auto found = std::find_if(rules.begin(), rules.end(), [&](const FirewallRule& r) {
            return r.ruleId == base + 3;
        });
        ASSERT_NE(rules.end(), found);
        EXPECT_STREQ("changed", found->text);
        EXPECT_FALSE(host->UpdateRule(nullptr, selector));
    }
    EXPECT_EQ(2 + 300u, listed(kPersistent).size()) << "the temporary list's work left it alone";
}

TEST_F(NetWardenDllTest, SavedUserFileHoldsTheListByteForByte) {
    RecordingSink sink;
    auto host = Start(&sink);
    ASSERT_TRUE(host);
    FirewallRule extra = Rule(9, "extra");
    extra.unused[2] = 0x42;
    ASSERT_EQ(1, host->AddRules({extra}, kPersistent));
    ASSERT_EQ(1, host->AddRules({Rule(77)}, kTemporary));
    EXPECT_EQ(1, host->SaveUserRules());
    host->EnumRules(kPersistent);
    const std::vector<FirewallRule> listed = sink.Rules();
    ASSERT_EQ(3u, listed.size());
    std::vector<uint8_t> expected = {3, 0, 0, 0};
    const uint8_t* raw = reinterpret_cast<const uint8_t*>(listed.data());
    expected.insert(expected.end(), raw, raw + 3 * sizeof(FirewallRule));
    EXPECT_EQ(expected, ReadFileBytes(UserRules()));
    EXPECT_EQ(0x42, ReadFileBytes(UserRules())[4 + 2 * 112 + 103]);
    EXPECT_EQ((std::vector<std::string>{"a_Rules.dat", "u_Rules.dat"}), CfgDataNames())
        << "nothing is left beside the saved file";

    const RuleList empty;
    const std::string other = CfgData() + "\\empty.dat";
    EXPECT_EQ(1, host->SaveRules(other.c_str(), &empty));
    EXPECT_EQ(std::vector<uint8_t>(4, 0), ReadFileBytes(other));
    EXPECT_EQ(0, host->SaveRules(nullptr, &empty));
    EXPECT_EQ(0, host->SaveRules(other.c_str(), nullptr));
}

TEST_F(NetWardenDllTest, FailedSavesLeaveTheOldFileAndReportFailure) {
    RecordingSink sink;
    auto host = Start(&sink);
    ASSERT_TRUE(host);
    const std::vector<uint8_t> old = {'o', 'l', 'd', '!', 1, 2, 3};

    // Another program holds the file open.
    ASSERT_TRUE(WriteWholeFile(UserRules(), old));
    HANDLE holder = CreateFileA(UserRules().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    EXPECT_EQ(0, host->SaveUserRules());
    CloseHandle(holder);
    EXPECT_EQ(old, ReadFileBytes(UserRules()));
    EXPECT_EQ((std::vector<std::string>{"a_Rules.dat", "u_Rules.dat"}), CfgDataNames());
}

// Run with files limited to 8 KiB (ctest netwarden_dll_tests_full_disk). A copy of the
// library would not fit: a hard link to the built one stands in for it, in a scratch folder
// beside it so that both are on one file system.
class NetWardenFullDiskTest : public NetWardenDllTest {
protected:
    NetWardenFullDiskTest() : NetWardenDllTest(kvtest::ProgramFolder()) {}
    void SetUp() override {
        if (std::getenv("KV_FILE_SIZE_LIMIT_KIB") == nullptr)
            GTEST_SKIP() << "runs under testing/diskid/fsize_limit.sh 8";
        NetWardenDllTest::SetUp();
    }
    bool PlaceLibrary() override {
        return CreateHardLinkA(Library().c_str(), kvtest::BesideProgram("NetWarden.dll").c_str(),
                               nullptr) != FALSE;
    }
};

TEST_F(NetWardenFullDiskTest, SavesThatCannotBeWrittenLeaveTheOldFileAndReportFailure) {
    RecordingSink sink;
    auto host = Start(&sink);
    ASSERT_TRUE(host);
    const std::vector<uint8_t> old = {'o', 'l', 'd', '!', 1, 2, 3};
    ASSERT_TRUE(WriteWholeFile(UserRules(), old));
    // 100 rules more make a file of 11,428 bytes: its writes fail past 8 KiB.
    const std::vector<FirewallRule> many = Rules(1000, 100);
    ASSERT_EQ(1, host->AddRules(many, kPersistent));
    EXPECT_EQ(0, host->SaveUserRules());
    const RuleList list(many.begin(), many.end());
    EXPECT_EQ(0, host->SaveRules(UserRules().c_str(), &list));
    EXPECT_EQ(old, ReadFileBytes(UserRules()));
    EXPECT_EQ((std::vector<std::string>{"a_Rules.dat", "u_Rules.dat"}), CfgDataNames());
}

TrafficEntry Entry(uint32_t key, uint32_t amount, uint32_t carried = 0) {
    TrafficEntry entry = {};
    entry.carried0 = carried;
    entry.keyA = 0x0100000A;
    entry.keyB = key;
    entry.keyC = 443;
    entry.keyD = 50000;
    entry.carried16 = carried * 3;
    entry.amount = amount;
    entry.keyE = 6;
    return entry;
}

TEST_F(NetWardenDllTest, TrafficIsMergedPerPollAndOnlyWhatTheDriverWroteIsRead) {
    RecordingSink sink;
    auto host = std::make_unique<NetWardenHost>(Library());
    host->AddSink(nullptr);
    host->AddSink(&sink);
    ASSERT_TRUE(host->Initialize());
    kavrofw::Probe probe;
    ASSERT_TRUE(probe.open());
    // Reporting held entries makes the next buffer big enough for a whole queue.
    ASSERT_TRUE(probe.Steer(KAVROFW_REPORT_HELD, 16));
    const int polls = TrafficPolls(probe.State());
    ASSERT_TRUE(
        WaitForDriver(probe, [polls](const KavroFwState& s) { return TrafficPolls(s) > polls; }));

    const TrafficEntry entries[] = {Entry(7, 100, 1), Entry(8, 7), Entry(7, 50, 2), Entry(7, 1, 3)};
    ASSERT_TRUE(probe.Request(KAVROFW_QUEUE_TRAFFIC, entries, sizeof entries));
    ASSERT_TRUE(sink.WaitForTraffic(2, 10000));
    std::vector<TrafficRecord> records = sink.Traffic();
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ(0, std::memcmp(&entries[0], &records[0].first, sizeof entries[0]));
    EXPECT_EQ(151u, records[0].sum);
    EXPECT_EQ(3u, records[0].number);
    EXPECT_EQ(8u, records[1].first.keyB);
    EXPECT_EQ(7u, records[1].sum);
    EXPECT_EQ(1u, records[1].number);

    // A driver that claims 1000 entries after writing one hands over exactly one.
    ASSERT_TRUE(probe.Steer(KAVROFW_CLAIM_COUNT, 1000));
    const TrafficEntry lone = Entry(9, 5);
    ASSERT_TRUE(probe.Request(KAVROFW_QUEUE_TRAFFIC, &lone, sizeof lone));
    ASSERT_TRUE(sink.WaitForTraffic(3, 10000));
    // A held count far past any buffer: polling goes on with a bounded one.
    ASSERT_TRUE(probe.Steer(KAVROFW_REPORT_HELD, 0x7FFFFFFF));
    const int later = TrafficPolls(probe.State());
    ASSERT_TRUE(WaitForDriver(
        probe, [later](const KavroFwState& s) { return TrafficPolls(s) >= later + 2; }));
    ASSERT_TRUE(probe.Request(KAVROFW_QUEUE_TRAFFIC, &lone, sizeof lone));
    ASSERT_TRUE(sink.WaitForTraffic(4, 10000));
    records = sink.Traffic();
    ASSERT_EQ(4u, records.size());
    EXPECT_EQ(9u, records[2].first.keyB);
    EXPECT_EQ(1u, records[2].number);
    EXPECT_EQ(5u, records[2].sum);
    EXPECT_EQ(9u, records[3].first.keyB);
}

// The resolver's own answer for this machine, first 16 addresses, as the driver gets them.
std::vector<uint8_t> OwnAddressBlock() {
    std::vector<uint8_t> block(64, 0);
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return block;
    char name[128] = {};
    const hostent* host = gethostname(name, sizeof name) == 0 ? gethostbyname(name) : nullptr;
    for (int i = 0; host != nullptr && i < 16 && host->h_addr_list[i] != nullptr; ++i)
        std::memcpy(block.data() + 4 * i, host->h_addr_list[i], 4);
    WSACleanup();
    return block;
}

TEST_F(NetWardenDllTest, AddressesAreTheResolversFirstSixteen) {
    const std::vector<uint8_t> own = OwnAddressBlock();
    RecordingSink sink;
    auto host = Start(&sink);
    ASSERT_TRUE(host);
    kavrofw::Probe probe;
    ASSERT_TRUE(probe.open());
    if (own == std::vector<uint8_t>(64, 0)) {
        Sleep(500);
        EXPECT_EQ(0, probe.State().addressBlocks) << "nothing to tell without addresses";
        return;
    }
    ASSERT_TRUE(WaitForDriver(probe, [](const KavroFwState& s) { return s.addressBlocks >= 1; }));
    const KavroFwState state = probe.State();
    EXPECT_EQ(1, state.addressBlocks);
    EXPECT_EQ(0, std::memcmp(own.data(), state.addresses, 64));
}

TEST_F(NetWardenDllTest, UnloadEndsTheWorkersDisablesTheDriverAndClosesIt) {
    RecordingSink sink;
    auto host = Start(&sink);
    ASSERT_TRUE(host);
    kavrofw::Probe probe;
    ASSERT_TRUE(probe.open());
    ASSERT_TRUE(probe.Steer(KAVROFW_REPORT_HELD, 4));
    const TrafficEntry entry = Entry(1, 1);
    ASSERT_TRUE(probe.Request(KAVROFW_QUEUE_TRAFFIC, &entry, sizeof entry));
    ASSERT_TRUE(sink.WaitForTraffic(1, 10000)) << "the traffic thread runs";
    // The address thread has told the driver and waits out its period.
    if (OwnAddressBlock() != std::vector<uint8_t>(64, 0)) {
        ASSERT_TRUE(
            WaitForDriver(probe, [](const KavroFwState& s) { return s.addressBlocks >= 1; }));
    }

    EXPECT_LT(host->Unload(), 5000u);
    EXPECT_EQ(nullptr, GetModuleHandleA(Library().c_str()));
    KavroFwState state = probe.State();
    EXPECT_EQ(0, state.enabled);
    EXPECT_EQ(1, KAVROFW_CALLS(state, 0x830020D0u));
    EXPECT_EQ(1, state.handlesOpen) << "only the probe's";

    const size_t calls = sink.TrafficCalls();
    const int polls = TrafficPolls(state);
    ASSERT_TRUE(probe.Request(KAVROFW_QUEUE_TRAFFIC, &entry, sizeof entry));
    Sleep(1100);  // two traffic rounds
    EXPECT_EQ(calls, sink.TrafficCalls());
    EXPECT_EQ(polls, TrafficPolls(probe.State()));
}

TEST_F(NetWardenDllTest, ProcessExitWithWorkersRunningDoesNotHang) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string line =
        "\"" + kvtest::BesideProgram("netwarden_exit_host.exe") + "\" \"" + Library() + "\"";
    ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process))
        << GetLastError();
    const DWORD waited = WaitForSingleObject(process.hProcess, 20000);
    DWORD code = 99;
    GetExitCodeProcess(process.hProcess, &code);
    if (waited != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    ASSERT_EQ(WAIT_OBJECT_0, waited);
    EXPECT_EQ(0u, code) << "the host initialised the library and returned from main";
    kavrofw::Probe probe;
    ASSERT_TRUE(probe.open());
    const KavroFwState state = probe.State();
    EXPECT_EQ(0, state.enabled) << "disabled on the way out";
    EXPECT_EQ(1, state.handlesOpen);
}

TEST_F(NetWardenDllTest, ConfigurationSitsBesideTheLibraryWhateverItsLetterCase) {
    const std::string folder = scratch_ / "x.dll";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string library = folder + "\\NETWARDEN.DLL";
    const std::string config = folder + "\\NETWARDEN.cfg";
    ASSERT_TRUE(CopyFileA(Library().c_str(), library.c_str(), FALSE));
    const std::vector<uint8_t> image = ReadFileBytes(library);
    // No "Policy" key: the driver gets policy 1.
    WritePrivateProfileStringA("NetWarden", "CfgData", CfgData().c_str(), config.c_str());
    {
        NetWardenHost host(library);
        ASSERT_TRUE(host.loaded());
        ASSERT_TRUE(host.Initialize());
        kavrofw::Probe probe;
        EXPECT_EQ(1, probe.State().policy);
        EXPECT_TRUE(host.SetPolicy(3));
        EXPECT_EQ(3, GetPrivateProfileIntA("NetWarden", "Policy", -1, config.c_str()));
    }
    EXPECT_EQ(image, ReadFileBytes(library)) << "the library itself is never written";
    EXPECT_EQ(1, ConfiguredPolicy()) << "nor the configuration of another copy";
}

}  // namespace
