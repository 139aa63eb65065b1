#include <windows.h>

#include <gtest/gtest.h>
#include "subject_probe.h"

#include <cctype>
#include <string>

#include "data_provider.h"
#include "open_port_distrust.h"
#include "open_port_more.h"
#include "open_port_system_win.h"
#include "port_holder_client.h"

namespace {

// The other letter case of every letter of `text`.
std::string SwapCase(std::string text) {
    for (char& c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x80 && std::isupper(u))
            c = static_cast<char>(std::tolower(u));
        else if (u < 0x80 && std::islower(u))
            c = static_cast<char>(std::toupper(u));
    }
    return text;
}

class OpenPortFeaturesWinTest : public testing::Test {
protected:
    // Starts the helper on `requests`; skips when a fixed port is taken on this
    // machine.
    void Hold(const std::vector<std::string>& requests) {
        if (!holder_.Start(requests)) {
            // The helper reports a port it could not take as "failed ..."; a helper that
            // did not start at all is a failure of the test.
            if (holder_.Error().rfind("port_holder: failed", 0) == 0) {
                GTEST_SKIP() << "a port is taken on this machine: " << holder_.Error();
            }
            FAIL() << holder_.Error();
        }
        // The path as the system names the helper's image.
        ProcessPathMap paths;
        std::vector<uint32_t> pid = {holder_.Pid()};
        ASSERT_TRUE(system_.ImagePaths()->ResolveImagePaths(pid, &paths));
        ASSERT_EQ(paths.count(holder_.Pid()), 1u);
        path_ = paths[holder_.Pid()];

        std::vector<OwnedEndpoint> endpoints;
        ASSERT_TRUE(system_.Endpoints()->ListEndpoints(kVersionDefault, &endpoints));
        for (const OwnedEndpoint& endpoint : endpoints) {
            if (endpoint.ownerPid == holder_.Pid()) return;
        }
        GTEST_SKIP() << "this system names no owner for the helper's sockets";
    }

    CSystemOpenPorts system_;
    PortHolder holder_;
    std::string path_;
};

TEST_F(OpenPortFeaturesWinTest, SixLoopbackPortsFireMorePorts) {
    Hold({"tcp:0", "udp:0", "tcp:0", "udp:0", "tcp:0", "udp:0"});
    if (IsSkipped() || HasFatalFailure()) return;
    COpenPortMore feature(&system_);
    ASSERT_EQ(feature.Prepare(), 1);
    EXPECT_EQ(AnalyseWithPath(feature, path_), 1) << path_;
    EXPECT_EQ(AnalyseWithPath(feature, SwapCase(path_)), 0);
    EXPECT_EQ(feature.Notify(3), 1);
    holder_.Stop();
    EXPECT_EQ(AnalyseWithPath(feature, path_), 0);  // counted afresh for every subject
}

TEST_F(OpenPortFeaturesWinTest, FiveLoopbackPortsDoNot) {
    Hold({"tcp:0", "udp:0", "tcp:0", "udp:0", "tcp:0"});
    if (IsSkipped() || HasFatalFailure()) return;
    COpenPortMore feature(&system_);
    ASSERT_EQ(feature.Prepare(), 1);
    EXPECT_EQ(AnalyseWithPath(feature, path_), 0) << path_;
}

struct BackdoorCase {
    const char* request;
    int expected;
};

class BackdoorPortWinTest : public OpenPortFeaturesWinTest,
                            public testing::WithParamInterface<BackdoorCase> {};

TEST_P(BackdoorPortWinTest, ListedPortsFireAndStayUntilNotifyThree) {
    Hold({GetParam().request});
    if (IsSkipped() || HasFatalFailure()) return;
    COpenPortDistrust feature(&system_);
    ASSERT_EQ(feature.Prepare(), 1);
    EXPECT_EQ(AnalyseWithPath(feature, path_), GetParam().expected) << GetParam().request;
    EXPECT_EQ(AnalyseWithPath(feature, SwapCase(path_)), 0);

    holder_.Stop();  // the helper's ports close with it
    EXPECT_EQ(AnalyseWithPath(feature, path_), GetParam().expected);
    EXPECT_EQ(feature.Notify(3), 1);
    EXPECT_EQ(AnalyseWithPath(feature, path_), 0);
}

INSTANTIATE_TEST_SUITE_P(Ports, BackdoorPortWinTest,
                         testing::Values(BackdoorCase{"tcp:31337", 1}, BackdoorCase{"udp:31337", 1},
                                         BackdoorCase{"tcp:8080", 1}, BackdoorCase{"tcp:8081", 0}));

}  // namespace
