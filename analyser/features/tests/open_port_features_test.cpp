#include <gtest/gtest.h>
#include "subject_probe.h"

#include "data_provider.h"
#include "fake_open_ports.h"
#include "open_port_distrust.h"
#include "open_port_more.h"

namespace {

constexpr uint32_t kServer = 40;
constexpr uint32_t kOther = 41;
const char kServerPath[] = "C:\\x\\srv.exe";

// Where the paths come from: the whole snapshot, the owners of ports only, or the
// owners only after a listing of running programs has ruled out the subject.
enum class PathSource { kSnapshot, kOwners, kScreenedOwners };

void UsePathSource(PathSource source, FakeOpenPortSystem* system) {
    system->resolve = source != PathSource::kSnapshot;
    system->screen = source == PathSource::kScreenedOwners;
}

class OpenPortFeatureTest : public testing::TestWithParam<PathSource> {
protected:
    OpenPortFeatureTest() {
        UsePathSource(GetParam(), &system_);
        system_.snapshot.processes = {{kServer, kServerPath}, {kOther, "C:\\y\\other.exe"}};
    }

    FakeOpenPortSystem system_;
};

TEST_P(OpenPortFeatureTest, MorePortsThanFiveFire) {
    COpenPortMore feature(&system_);
    ASSERT_EQ(feature.Prepare(), 1);
    system_.endpoints.Add(kServer, 1, 5000, 3);
    system_.endpoints.Add(kServer, 2, 5000, 2);
    system_.endpoints.Add(kOther, 1, 7000, 4);
    EXPECT_EQ(AnalyseWithPath(feature, kServerPath), 0);  // five

    system_.endpoints.Add(kServer, 2, 6000);
    EXPECT_EQ(AnalyseWithPath(feature, kServerPath), 1);  // six: counted afresh
    EXPECT_EQ(AnalyseWithPath(feature, "c:\\x\\srv.exe"), 0);
    EXPECT_EQ(AnalyseWithPath(feature, "C:\\x\\srv"), 0);
    EXPECT_EQ(AnalyseWithPath(feature, "C:\\y\\other.exe"), 0);
    EXPECT_EQ(feature.Analyse(nullptr), 0);
    if (GetParam() == PathSource::kSnapshot) {
        EXPECT_EQ(system_.snapshot.refreshes, 5);
    }
}

TEST_P(OpenPortFeatureTest, MoreCountsLongerPathsThatBeginWithTheOwnersPath) {
    system_.snapshot.processes[kOther] = std::string(kServerPath) + ".old";
    system_.endpoints.Add(kServer, 1, 5000, 3);
    system_.endpoints.Add(kOther, 1, 6000, 3);
    COpenPortMore feature(&system_);
    ASSERT_EQ(feature.Prepare(), 1);
    EXPECT_EQ(AnalyseWithPath(feature, kServerPath), 1);
    EXPECT_EQ(AnalyseWithPath(feature, "C:\\x\\srv.exe.old"), 0);
}

TEST_P(OpenPortFeatureTest, MoreAnswersNoWhenThePortsCannotBeListed) {
    system_.endpoints.Add(kServer, 1, 5000, 6);
    system_.endpoints.answer = false;
    COpenPortMore feature(&system_);
    ASSERT_EQ(feature.Prepare(), 1);
    EXPECT_EQ(AnalyseWithPath(feature, kServerPath), 0);
    EXPECT_EQ(feature.Notify(3), 0);
    EXPECT_EQ(feature.Notify(2), 1);
    system_.endpoints.answer = true;
    EXPECT_EQ(feature.Notify(3), 1);
    EXPECT_EQ(AnalyseWithPath(feature, kServerPath), 1);
}

TEST_P(OpenPortFeatureTest, BackdoorPortsFireByProtocolAndPort) {
    struct Case {
        int32_t protocol;
        int32_t port;
        int expected;
    };
    const Case cases[] = {
        {1, 31337, 1}, {2, 31337, 1}, {1, 80, 0},    {1, 8080, 1},  {1, 8081, 0},
        {1, 3389, 0},  {2, 8080, 0},  {2, 61748, 1}, {1, 61748, 0}, {1, 7001, 1},
        {1, 1024, 1},  {1, 65535, 1}, {3, 31337, 0},
    };
    for (const Case& c : cases) {
        FakeOpenPortSystem system;
        UsePathSource(GetParam(), &system);
        system.snapshot.processes = {{kServer, kServerPath}};
        system.endpoints.Add(kServer, 1, 9100);  // an unlisted port beside it
        system.endpoints.Add(kServer, c.protocol, c.port);
        COpenPortDistrust feature(&system);
        ASSERT_EQ(feature.Prepare(), 1);
        CDataProvider record(1);
        const char* path = kServerPath;
        record.SetPath(&path);
        EXPECT_EQ(feature.Analyse(&record), c.expected) << c.protocol << " " << c.port;
    }
}

TEST_P(OpenPortFeatureTest, BackdoorListIsKeptUntilNotifyThree) {
    system_.endpoints.Add(kServer, 1, 31337);
    COpenPortDistrust feature(&system_);
    ASSERT_EQ(feature.Prepare(), 1);
    EXPECT_EQ(AnalyseWithPath(feature, kServerPath), 1);
    EXPECT_EQ(AnalyseWithPath(feature, "c:\\x\\srv.exe"), 0);
    EXPECT_EQ(AnalyseWithPath(feature, "C:\\x\\srv.ex"), 0);

    system_.endpoints.endpoints_.clear();  // the program closed its port
    EXPECT_EQ(AnalyseWithPath(feature, kServerPath), 1);
    EXPECT_EQ(system_.endpoints.listings, 1);
    EXPECT_EQ(feature.Notify(1), 1);
    EXPECT_EQ(AnalyseWithPath(feature, kServerPath), 1);

    system_.endpoints.Add(kOther, 1, 9000);  // keeps the new list from being empty
    EXPECT_EQ(feature.Notify(3), 1);
    EXPECT_EQ(AnalyseWithPath(feature, kServerPath), 0);
    EXPECT_EQ(system_.endpoints.listings, 2);
}

TEST_P(OpenPortFeatureTest, AnEmptyBackdoorListIsListedAgain) {
    COpenPortDistrust feature(&system_);
    ASSERT_EQ(feature.Prepare(), 1);
    EXPECT_EQ(AnalyseWithPath(feature, kServerPath), 0);
    system_.endpoints.Add(kServer, 2, 54321);
    EXPECT_EQ(AnalyseWithPath(feature, kServerPath), 1);

    system_.endpoints.answer = false;
    EXPECT_EQ(feature.Notify(3), 0);
    EXPECT_EQ(AnalyseWithPath(feature, kServerPath), 0);
}

INSTANTIATE_TEST_SUITE_P(PathSources, OpenPortFeatureTest,
                         testing::Values(PathSource::kSnapshot, PathSource::kOwners,
                                         PathSource::kScreenedOwners));

// A subject that no running program can be is answered without listing a port.
TEST(OpenPortScreenTest, SubjectsThatAreNoRunningProgramListNoPorts) {
    FakeOpenPortSystem system;
    UsePathSource(PathSource::kScreenedOwners, &system);
    system.snapshot.processes = {{kServer, kServerPath}};
    system.endpoints.Add(kServer, 1, 5000, 5);
    system.endpoints.Add(kServer, 1, 31337);
    COpenPortMore more(&system);
    COpenPortDistrust distrust(&system);
    ASSERT_EQ(more.Prepare(), 1);
    ASSERT_EQ(distrust.Prepare(), 1);

    EXPECT_EQ(AnalyseWithPath(more, "C:\\x\\unrelated.dll"), 0);
    EXPECT_EQ(AnalyseWithPath(distrust, "C:\\x\\unrelated.dll"), 0);
    EXPECT_EQ(system.endpoints.listings, 0);

    // Any folder and any letter case may be the running program: the table decides.
    EXPECT_EQ(AnalyseWithPath(more, "D:\\elsewhere\\SRV.EXE"), 0);
    EXPECT_EQ(system.endpoints.listings, 1);
    EXPECT_EQ(AnalyseWithPath(more, kServerPath), 1);
    EXPECT_EQ(system.endpoints.listings, 2);
    EXPECT_EQ(AnalyseWithPath(distrust, kServerPath), 1);
    EXPECT_EQ(system.endpoints.listings, 3);
    // Once taken, the backdoor list answers for programs that have ended.
    system.snapshot.processes.clear();
    EXPECT_EQ(AnalyseWithPath(distrust, kServerPath), 1);
    EXPECT_EQ(system.endpoints.listings, 3);
}

TEST(OpenPortScreenTest, AnEmptyBackdoorListWaitsForAProgramThatMayOwnAPort) {
    FakeOpenPortSystem system;
    UsePathSource(PathSource::kScreenedOwners, &system);
    system.snapshot.processes = {{kServer, kServerPath}, {kOther, "C:\\y\\other.exe"}};
    COpenPortDistrust feature(&system);
    ASSERT_EQ(feature.Prepare(), 1);
    EXPECT_EQ(AnalyseWithPath(feature, kServerPath), 0);  // nothing open yet
    EXPECT_EQ(system.endpoints.listings, 1);

    system.endpoints.Add(kServer, 1, 12345);
    EXPECT_EQ(AnalyseWithPath(feature, "C:\\x\\not-running.exe"), 0);
    EXPECT_EQ(system.endpoints.listings, 1);
    EXPECT_EQ(AnalyseWithPath(feature, "C:\\y\\other.exe"), 0);  // takes the list
    EXPECT_EQ(system.endpoints.listings, 2);
    EXPECT_EQ(AnalyseWithPath(feature, kServerPath), 1);
    EXPECT_EQ(system.endpoints.listings, 2);
}

TEST(OpenPortFeatureSetupTest, WithoutASystemNothingFires) {
    COpenPortMore more;
    COpenPortDistrust distrust;
    EXPECT_EQ(more.Prepare(), 0);
    EXPECT_EQ(distrust.Prepare(), 0);
    CDataProvider record(1);
    EXPECT_EQ(more.Analyse(&record), 0);
    EXPECT_EQ(distrust.Analyse(&record), 0);
    EXPECT_EQ(more.Notify(3), 0);
    EXPECT_EQ(distrust.Notify(3), 0);
    EXPECT_EQ(more.GetId(), 6611);
    EXPECT_STREQ(distrust.GetName(), "ID_OpenPortDistrust");
}

TEST(OpenPortFeatureSetupTest, OwnersOnlyAreLookedUpAndTheSnapshotIsLeftAlone) {
    FakeOpenPortSystem system;
    system.resolve = true;
    system.snapshot.processes = {{1, "a"}, {2, "b"}, {3, "c"}, {kServer, kServerPath}};
    system.endpoints.Add(kServer, 1, 5000, 6);
    COpenPortMore feature(&system);
    ASSERT_EQ(feature.Prepare(), 1);
    CDataProvider record(1);
    const char* path = kServerPath;
    record.SetPath(&path);
    EXPECT_EQ(feature.Analyse(&record), 1);
    EXPECT_EQ(system.imagePaths.asked, 1);
    EXPECT_EQ(system.snapshot.refreshes, 0);
}

TEST(OpenPortFeatureSetupTest, FailedSnapshotMeansNo) {
    FakeOpenPortSystem system;  // no processes: the snapshot answers false
    system.endpoints.Add(kServer, 1, 31337);
    COpenPortDistrust feature(&system);
    ASSERT_EQ(feature.Prepare(), 1);
    CDataProvider record(1);
    const char* path = kServerPath;
    record.SetPath(&path);
    EXPECT_EQ(feature.Analyse(&record), 0);
    EXPECT_EQ(feature.Notify(3), 0);
}

}  // namespace
