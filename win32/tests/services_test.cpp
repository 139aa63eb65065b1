// Service-manager helpers: the least access each step asks for, and a status wait that
// ends by itself however the service behaves.
#include "win32/services.h"

#include <gtest/gtest.h>

namespace {

using kvwin::ServiceWait;

TEST(Services, ExistenceNeedsOnlyAConnection) {
    UniqueService manager = kvwin::OpenServiceManager();
    ASSERT_TRUE(manager) << GetLastError();
    // Wine's own services are there in every prefix.
    EXPECT_TRUE(kvwin::ServiceExists(manager.get(), "eventlog"));
    EXPECT_FALSE(kvwin::ServiceExists(manager.get(), "kv_no_such_service"));
    SetLastError(0);
    EXPECT_FALSE(kvwin::OpenNamedService(manager.get(), "kv_no_such_service", SERVICE_QUERY_STATUS));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), GetLastError());
}

TEST(Services, DriverServiceTakesTheErrorControlAsked) {
    UniqueService manager = kvwin::OpenServiceManager(SC_MANAGER_CREATE_SERVICE);
    ASSERT_TRUE(manager) << GetLastError();
    const char* name = "kv_error_control_probe";
    for (DWORD asked : {DWORD{SERVICE_ERROR_NORMAL}, DWORD{SERVICE_ERROR_IGNORE}}) {
        // The image is never started: only the stored configuration is looked at.
        UniqueService service =
            asked == SERVICE_ERROR_NORMAL
                ? kvwin::CreateKernelDriverService(manager.get(), name, name, "C:\\none.sys",
                                                   SERVICE_QUERY_CONFIG | DELETE)
                : kvwin::CreateKernelDriverService(manager.get(), name, name, "C:\\none.sys",
                                                   SERVICE_QUERY_CONFIG | DELETE, asked);
        ASSERT_TRUE(service) << GetLastError();
        alignas(QUERY_SERVICE_CONFIGA) char buffer[8192];
        auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer);
        DWORD needed = 0;
        EXPECT_TRUE(QueryServiceConfigA(service.get(), config, sizeof buffer, &needed))
            << GetLastError();
        EXPECT_EQ(asked, config->dwErrorControl);
        EXPECT_EQ(static_cast<DWORD>(SERVICE_KERNEL_DRIVER), config->dwServiceType);
        EXPECT_TRUE(DeleteService(service.get())) << GetLastError();
    }
}

TEST(Services, StatusWaitEndsByItself) {
    // A scripted service: each query answers the next state, the last one for ever.
    struct Case {
        const char* name;
        std::vector<DWORD> states;
        DWORD wanted, limitMs;
        ServiceWait result;
        DWORD atLeastMs, atMostMs;
    } cases[] = {
        {"already there", {SERVICE_RUNNING}, SERVICE_RUNNING, 5000, ServiceWait::kReached, 0, 200},
        {"after one pause", {SERVICE_START_PENDING, SERVICE_RUNNING}, SERVICE_RUNNING, 5000,
         ServiceWait::kReached, 900, 1500},
        {"settled elsewhere", {SERVICE_START_PENDING, SERVICE_STOPPED}, SERVICE_RUNNING, 5000,
         ServiceWait::kSettled, 900, 1500},
        {"stop-pending for ever", {SERVICE_STOP_PENDING}, SERVICE_STOPPED, 1500,
         ServiceWait::kTimedOut, 1400, 2200},
        {"query fails", {}, SERVICE_STOPPED, 5000, ServiceWait::kQueryFailed, 0, 200},
    };
    for (const Case& c : cases) {
        size_t asked = 0;
        const auto query = [&](SERVICE_STATUS* status) {
            if (c.states.empty()) return false;
            status->dwCurrentState = c.states[std::min(asked++, c.states.size() - 1)];
            status->dwWaitHint = 0;  // a pause of 1 s by the per-step rule
            return true;
        };
        const DWORD started = GetTickCount();
        EXPECT_EQ(c.result, kvwin::WaitForServiceStatus(query, c.wanted, c.limitMs)) << c.name;
        const DWORD spent = GetTickCount() - started;
        EXPECT_GE(spent, c.atLeastMs) << c.name;
        EXPECT_LE(spent, c.atMostMs) << c.name;
    }
    // A signalled wake event ends a pause at once.
    UniqueHandle wake(CreateEventA(nullptr, TRUE, TRUE, nullptr));
    const auto pending = [](SERVICE_STATUS* status) {
        status->dwCurrentState = SERVICE_STOP_PENDING;
        return true;
    };
    EXPECT_EQ(ServiceWait::kWoken,
              kvwin::WaitForServiceStatus(pending, SERVICE_STOPPED, 60000, wake.get()));
}

}  // namespace
