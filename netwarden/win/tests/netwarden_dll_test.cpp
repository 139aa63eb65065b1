// NetWarden.dll as a host uses it, over the real service manager and the filter-driver
// double: loading, names, Initialize, policy and the rule load.
#include "netwarden_dll_fixture.h"
#include "registry.h"

namespace {

using namespace nwtest;

TEST_F(NetWardenDllTest, ExportServesOneObjectUnderItsExactName) {
    CKavroComponentManager registry;
    NetWardenHost host(Library(), &registry);
    ASSERT_TRUE(host.loaded());
    EXPECT_EQ(host.object(), host.Serve(&registry));
    EXPECT_EQ(1, registry.GetComponentCount());
    IComponent* found = nullptr;
    ASSERT_EQ(1, registry.FindComponent(kName, &found));
    EXPECT_EQ(host.object(), found);

    EXPECT_STREQ(kName, host.Slot<const char*>(0, static_cast<char*>(nullptr), 0));
    char buffer[40];
    std::memset(buffer, 'x', sizeof buffer);
    host.Slot<const char*>(0, buffer, 40);
    EXPECT_EQ(0, std::memcmp(buffer, kName, 32));
    EXPECT_EQ(std::string(8, '\0'), std::string(buffer + 32, 8));
    EXPECT_EQ(host.object(), (host.Slot<void*>(1, kName, 0)));
    for (const char* other : {"kavro net monitor component 1.0", "KAVRO NET MONITOR",
                              "KAVRO NET MONITOR COMPONENT 1.0 ", ""})
        EXPECT_EQ(nullptr, (host.Slot<void*>(1, other, 0))) << other;
    EXPECT_EQ(nullptr, (host.Slot<void*>(1, static_cast<const char*>(nullptr), 0)));
    // Slot 2 stands for the destructor: it returns the object and leaves it whole.
    EXPECT_EQ(host.object(), host.Slot<void*>(2, 1u));
    EXPECT_STREQ(kName, host.Slot<const char*>(0, static_cast<char*>(nullptr), 0));

    // Before Initialize nothing reaches a driver, and nothing throws.
    const std::vector<FirewallRule> one = {Rule(1)};
    EXPECT_FALSE(host.EnableDriver());
    EXPECT_FALSE(host.DisableDriver());
    EXPECT_EQ(0, host.AddRules(one, kPersistent));
    EXPECT_EQ(0, host.DeleteRule(1, kPersistent));
    EXPECT_FALSE(host.UpdateRule(&one[0], kTemporary));
    EXPECT_FALSE(host.UpdateRule(nullptr, kTemporary));
    EXPECT_EQ(0, host.SaveUserRules()) << "no user rule file is known yet";
}

TEST_F(NetWardenDllTest, InitializeReplacesAStaleRunningServiceOnceThenSwitchesTheDriver) {
    ASSERT_TRUE(kvtest::CreateDriverService(
        kavrofw::kService, kavrofw::DriversFolder() + "\\" + kavrofw::kDriverFile));
    ASSERT_TRUE(kvtest::StartDriverService(kavrofw::kService));
    {
        kavrofw::Probe stale;
        ASSERT_TRUE(stale.open());
        const DriverRule leftover = MakeDriverRule(Rule(999));
        int32_t answer = 0;
        ASSERT_TRUE(stale.Request(0x830020C4u, &leftover, sizeof leftover, &answer, 4));
    }
    WriteConfig(3);
    RecordingSink sink;
    auto host = Start(&sink);
    ASSERT_TRUE(host);
    kavrofw::Probe probe;
    ASSERT_TRUE(probe.open());
    const KavroFwState first = probe.State();
    EXPECT_EQ(3, first.policy);
    EXPECT_EQ(std::vector<int32_t>({1, 2}), DriverIds(probe))
        << "a fresh driver with the default rules";
    EXPECT_EQ(2, first.handlesOpen) << "the library's and the probe's";

    EXPECT_TRUE(host->EnableDriver());
    EXPECT_EQ(1, probe.State().enabled);
    ASSERT_TRUE(probe.Refuse(0x830020CCu, 1));
    EXPECT_FALSE(host->EnableDriver());
    EXPECT_TRUE(host->DisableDriver());
    EXPECT_EQ(0, probe.State().enabled);

    EXPECT_TRUE(host->Initialize());
    const KavroFwState second = probe.State();
    EXPECT_EQ(KAVROFW_CALLS(first, 0x830020ECu), KAVROFW_CALLS(second, 0x830020ECu));
    EXPECT_EQ(first.batchCount, second.batchCount);
    EXPECT_EQ(2, second.handlesOpen);
    EXPECT_EQ(1u, sink.Titles().size());
}

// Takes away one thing Initialize needs and puts it back, whatever happens.
class TakenAway {
public:
    virtual ~TakenAway() = default;
    virtual bool ok() const = 0;
};

class DriverFileAway : public TakenAway {
public:
    DriverFileAway() {
        kvtest::RemoveService(kavrofw::kService);  // unmaps the image
        ok_ = MoveFileExA(file_.c_str(), aside_.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    ~DriverFileAway() override {
        if (ok_) MoveFileExA(aside_.c_str(), file_.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    bool ok() const override { return ok_; }

private:
    std::string file_ = kavrofw::DriversFolder() + "\\" + kavrofw::kDriverFile;
    std::string aside_ = file_ + ".away";
    bool ok_ = false;
};

class IpFilterServiceAway : public TakenAway {
public:
    IpFilterServiceAway() { ok_ = kvtest::RemoveService(kavrofw::kStandInService); }
    ~IpFilterServiceAway() override {
        kvtest::CreateDriverService(kavrofw::kStandInService,
                                    kavrofw::DriversFolder() + "\\" + kavrofw::kStandInFile);
    }
    bool ok() const override { return ok_; }

private:
    bool ok_ = false;
};

TEST_F(NetWardenDllTest, MissingDriverFileOrIpFilterFailsAfterFourAttempts) {
    for (int which = 0; which < 2; ++which) {
        SCOPED_TRACE(which == 0 ? "driver file missing" : "no IP filter service");
        NetWardenHost host(Library());
        ASSERT_TRUE(host.loaded());
        {
            std::unique_ptr<TakenAway> away;
            if (which == 0)
                away = std::make_unique<DriverFileAway>();
            else
                away = std::make_unique<IpFilterServiceAway>();
            ASSERT_TRUE(away->ok());
            const DWORD start = GetTickCount();
            EXPECT_FALSE(host.Initialize());
            EXPECT_GE(GetTickCount() - start, 390u) << "four attempts, 100 ms apart";
            const std::vector<FirewallRule> one = {Rule(1)};
            EXPECT_FALSE(host.EnableDriver());
            EXPECT_FALSE(host.SetPolicy(2));
            EXPECT_EQ(2, ConfiguredPolicy()) << "the file takes the policy first";
            EXPECT_EQ(0, host.AddRules(one, kTemporary));
            EXPECT_EQ(0, host.DeleteRule(1, kTemporary));
            EXPECT_FALSE(host.UpdateRule(&one[0], kTemporary));
        }
        EXPECT_TRUE(host.Initialize()) << "put back, a retry succeeds";
    }
}

TEST_F(NetWardenDllTest, PolicyComesFromTheConfigurationAndGatesTrafficPolling) {
    WriteConfig(4);
    RecordingSink sink;
    auto host = Start(&sink);
    ASSERT_TRUE(host);
    kavrofw::Probe probe;
    ASSERT_TRUE(probe.open());
    EXPECT_EQ(4, probe.State().policy);
    Sleep(1100);  // two traffic rounds
    EXPECT_EQ(0, TrafficPolls(probe.State())) << "policy 4 has neither bit 0 nor bit 1";

    ASSERT_TRUE(host->SetPolicy(2));
    EXPECT_EQ(2, ConfiguredPolicy());
    ASSERT_TRUE(WaitForDriver(probe, [](const KavroFwState& s) { return TrafficPolls(s) >= 1; }));

    ASSERT_TRUE(probe.Refuse(0x830020ECu, 1));
    EXPECT_FALSE(host->SetPolicy(4));
    EXPECT_EQ(4, ConfiguredPolicy()) << "written before the driver answered";
    EXPECT_EQ(2, probe.State().policy);
    const int polls = TrafficPolls(probe.State());
    EXPECT_TRUE(WaitForDriver(probe, [polls](const KavroFwState& s) {
        return TrafficPolls(s) > polls;
    })) << "the refused policy did not stop polling";
}

TEST_F(NetWardenDllTest, RulesFromEitherFileReachTheDriver) {
    FirewallRule web = Rule(70, " \t Web", 0x40);
    web.maskA = 0;
    web.addressB = 0x08080808;
    const std::string title(60, 'T');  // fills its field: no terminator in the file
    std::vector<FirewallRule> sevens = {Rule(7, "first"), Rule(7, "second")};
    sevens[1].state = 5;
    struct Case {
        const char* what;
        bool defaultFile;
        std::vector<uint8_t> userFile;  // none when empty
        enum { kFree, kLocked, kFolder } userPathHeld;
        bool initialized;
        std::vector<int32_t> ids;
    } cases[] = {
        {"default file", true, {}, Case::kFree, true, {1, 2}},
        {"user file, ids 7 and 7", true, EncodeUserRules(sevens), Case::kFree, true, {1, 2}},
        {"user file whose count lies",
         true,
         [] {
             std::vector<uint8_t> bytes = EncodeUserRules({Rule(3)});
             bytes[3] = 0x80;  // 2^31 + 1 records claimed
             bytes.resize(bytes.size() + 60);
             return bytes;
         }(),
         Case::kFree,
         true,
         {1}},
        {"user file that cannot be opened", true, EncodeUserRules(sevens), Case::kLocked, true, {}},
        {"a folder by the user file's name", true, {}, Case::kFolder, true, {}},
        {"user file but no default file", false, EncodeUserRules(sevens), Case::kFree, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileA(UserRules().c_str());
        if (c.defaultFile) {
            ASSERT_TRUE(
                WriteWholeFile(DefaultRules(), DefaultFile(title, {web, Rule(71, "Mail")}, 2)));
        } else {
            DeleteFileA(DefaultRules().c_str());
        }
        if (!c.userFile.empty()) {
            ASSERT_TRUE(WriteWholeFile(UserRules(), c.userFile));
        }
        if (c.userPathHeld == Case::kFolder) {
            ASSERT_TRUE(CreateDirectoryA(UserRules().c_str(), nullptr));
        }
        HANDLE lock = c.userPathHeld == Case::kLocked
                          ? CreateFileA(UserRules().c_str(), GENERIC_READ, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr)
                          : INVALID_HANDLE_VALUE;

        RecordingSink sink;
        NetWardenHost host(Library());
        host.AddSink(&sink);
        EXPECT_EQ(c.initialized, host.Initialize());
        if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);
        if (!c.initialized) continue;
        kavrofw::Probe probe;
        EXPECT_EQ(c.ids, DriverIds(probe));
        host.EnumRules(kPersistent);
        const std::vector<FirewallRule> listed = sink.Rules();
        EXPECT_EQ(c.ids, IdsOf(listed));
        ASSERT_EQ(std::vector<std::string>({title}), sink.Titles());
        if (c.userFile.empty() && listed.size() == 2) {
            const uint8_t loopback[4] = {0x7F, 0, 0, 1};
            EXPECT_EQ(0, std::memcmp(loopback, &listed[0].addressB, 4));
            EXPECT_STREQ("Web", listed[0].text);
            EXPECT_EQ(1, listed[0].state);
            const std::vector<kavrofw::RuleBytes> sent = probe.Rules();
            EXPECT_EQ(0, std::memcmp(sent[0].data() + 16, loopback, 4));
            EXPECT_EQ(std::vector<uint8_t>(4, 0xFF),
                      std::vector<uint8_t>(sent[0].data() + 12, sent[0].data() + 16))
                << "mask 0 is sent as 0xFFFFFFFF";
            EXPECT_EQ(0x00, sent[0][20]) << "mask B 0xFFFFFF00 is sent unchanged";
            EXPECT_EQ(0xFF, sent[0][23]);
        } else if (listed.size() == 2) {
            EXPECT_STREQ("first", listed[0].text);
            EXPECT_STREQ("second", listed[1].text);
            EXPECT_EQ(5, listed[1].state);
        }
        if (c.userPathHeld == Case::kFolder) {
            EXPECT_EQ(0, host.SaveUserRules()) << "not saved over the user's folder";
            EXPECT_TRUE(RemoveDirectoryA(UserRules().c_str()));
        }
        if (c.userPathHeld == Case::kLocked) {
            EXPECT_EQ(0, host.SaveUserRules()) << "the unread file is the user's still";
            EXPECT_EQ(c.userFile, ReadFileBytes(UserRules()));
            ASSERT_TRUE(DeleteFileA(UserRules().c_str()));
            EXPECT_EQ(1, host.SaveUserRules()) << "with it gone, nothing of the user's is lost";
        }
    }
}

}  // namespace
