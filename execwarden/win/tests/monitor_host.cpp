#include "monitor_host.h"

#include <psapi.h>

#include <chrono>
#include <cstdio>

#include "factory.h"
#include "kernel_services_win.h"

namespace {

// A crash would otherwise wait for a debugger until the run times out: fail at once.
LONG WINAPI FailOnCrash(EXCEPTION_POINTERS* exception) {
    std::fprintf(stderr, "crash: exception %08lx at %p\n",
                 exception->ExceptionRecord->ExceptionCode,
                 exception->ExceptionRecord->ExceptionAddress);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_CONTINUE_SEARCH;
}

const LPTOP_LEVEL_EXCEPTION_FILTER g_previousFilter = SetUnhandledExceptionFilter(FailOnCrash);

constexpr char kDriverService[] = "ProcWatcherDriver";

}  // namespace

bool RemoveDriverService() {
    return kvtest::RemoveService(kDriverService);
}

bool DriverServiceExists() {
    return kvtest::ServiceExists(kDriverService);
}

DWORD RunToEnd(std::string commandLine, DWORD ms) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return GetLastError();
    UniqueHandle owned(process.hProcess), thread(process.hThread);
    return ExitCodeWithin(process.hProcess, ms);
}

PROCESS_INFORMATION StartIdle(bool suspended) {
    std::string command = "\"" + kvtest::BesideProgram("idle.exe") + "\" 60000";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE,
                        suspended ? CREATE_SUSPENDED : 0, nullptr, nullptr, &startup, &process))
        return PROCESS_INFORMATION{};
    return process;
}

DWORD ExitCodeWithin(HANDLE process, DWORD ms) {
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process, ms) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
    return code;
}

HMODULE MainModuleOf(HANDLE process) {
    HMODULE modules[4] = {};
    DWORD needed = 0;
    for (int i = 0; i < 100; ++i) {
        if (EnumProcessModules(process, modules, sizeof modules, &needed) && needed > 0)
            return modules[0];
        Sleep(20);
    }
    return nullptr;
}

unsigned char RecordingCallback::OnExecute(const char* verb, const char* file,
                                           const char* parameters, const char* directory,
                                           DWORD processId, HMODULE module) {
    unsigned char answer = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back({verb, file, parameters, directory, processId, module, GetTickCount(),
                          GetCurrentThreadId()});
        called_.notify_all();
        answer = answer_;
    }
    if (release_ != nullptr) WaitForSingleObject(release_, INFINITE);
    return answer;
}

void RecordingCallback::SetAnswer(unsigned char answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    answer_ = answer;
}

bool RecordingCallback::WaitForCalls(std::size_t count, DWORD ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return called_.wait_for(lock, std::chrono::milliseconds(ms),
                            [&] { return calls_.size() >= count; });
}

bool RecordingCallback::WaitForProcess(DWORD processId, DWORD ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return called_.wait_for(lock, std::chrono::milliseconds(ms), [&] {
        for (const ExecuteCall& call : calls_)
            if (call.processId == processId) return true;
        return false;
    });
}

std::vector<ExecuteCall> RecordingCallback::Calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
}

bool DriverDouble::Open() {
    device_.reset(CreateFileA("\\\\.\\ProcWatchDriver", GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr));
    return static_cast<bool>(device_);
}

bool DriverDouble::Send(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize) {
    DWORD written = 0;
    return DeviceIoControl(device_.get(), code, const_cast<void*>(in), inSize, out, outSize,
                           &written, nullptr) != FALSE;
}

bool DriverDouble::Report(DWORD first, DWORD processId, DWORD flags) {
    const DWORD record[] = {first, processId, flags};
    return Send(PROCWATCH_REPORT, record, sizeof record, nullptr, 0);
}

procwatch_counters DriverDouble::Counters() {
    procwatch_counters counters{};
    Send(PROCWATCH_COUNTERS, nullptr, 0, &counters, sizeof counters);
    return counters;
}

bool DriverDouble::SetQueueMode(bool queue) {
    const ULONG mode = queue ? 1 : 0;
    return Send(PROCWATCH_QUEUE_MODE, &mode, sizeof mode, nullptr, 0);
}

bool DriverDouble::FailReads(unsigned long count, unsigned long shortBytes) {
    const procwatch_failure failure{count, shortBytes};
    return Send(PROCWATCH_FAIL_READS, &failure, sizeof failure, nullptr, 0);
}

bool DriverDouble::HoldReads(bool hold) {
    const ULONG value = hold ? 1 : 0;
    return Send(PROCWATCH_HOLD_READS, &value, sizeof value, nullptr, 0);
}

bool DriverDouble::WaitForReads(unsigned long reads, DWORD ms) {
    DWORD start = GetTickCount();
    while (Counters().reads < reads) {
        if (GetTickCount() - start > ms) return false;
        Sleep(1);
    }
    return true;
}

MonitorLibrary::MonitorLibrary(const std::string& path) {
    module_ = LoadLibraryA(path.c_str());
    auto factory = ProcAddress<int(__cdecl*)(IComponent**, IKavroComponentManager*)>(
        module_, "GetKavroComponentPtr");
    if (factory == nullptr) return;
    IComponent* component = nullptr;
    factory(&component, nullptr);
    if (component != nullptr)
        monitor_ = static_cast<IProcessMonitor*>(
            component->GetInterface("Kavro ShellExecute Moniter 1.0.0.0", 0));
}

DWORD MonitorLibrary::Free() {
    if (module_ == nullptr) return 0;
    DWORD start = GetTickCount();
    FreeLibrary(module_);
    module_ = nullptr;
    monitor_ = nullptr;
    return GetTickCount() - start;
}
