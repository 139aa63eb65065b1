#include "worker_process_win.h"

#include "command_line.h"
#include "text_win.h"

namespace {

// Room in each direction for the requests a worker holds (a few, each at most 64 KiB)
// and for answers waiting to be read.
constexpr DWORD kPipeBuffer = 512 * 1024;
constexpr DWORD kInboxBytes = 64 * 1024;

UniqueHandle InheritableCopy(HANDLE handle) {
    HANDLE copy = nullptr;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return UniqueHandle();
    if (!DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE,
                         DUPLICATE_SAME_ACCESS)) {
        return UniqueHandle();
    }
    return UniqueHandle(copy);
}

std::wstring UniquePipeName() {
    static LONG counter = 0;
    return L"\\\\.\\pipe\\assay-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(InterlockedIncrement(&counter)) + L"-" + std::to_wstring(GetTickCount());
}

}  // namespace

WorkerEnvironment::WorkerEnvironment() {
    // Closing the last handle of the job ends every process in it: so the workers end
    // with the parent, even when it is killed.
    job_.reset(CreateJobObjectW(nullptr, nullptr));
    if (job_) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!SetInformationJobObject(job_.get(), JobObjectExtendedLimitInformation, &limits,
                                     sizeof(limits))) {
            job_.reset();
        }
    }
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    nul_.reset(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           &inheritable, OPEN_EXISTING, 0, nullptr));
    errors_ = InheritableCopy(GetStdHandle(STD_ERROR_HANDLE));
}

bool WorkerProcess::Start(const std::wstring& program, const std::vector<std::wstring>& arguments,
                          const WorkerEnvironment& environment, std::string* why) {
    const std::wstring name = UniquePipeName();
    // Our end is overlapped and not inherited; only the worker's end is, and it is closed
    // here as soon as the worker has it, so that no later worker inherits it too.
    pipe_.reset(CreateNamedPipeW(
        name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
        1,            // one instance: no one else gets in
        kPipeBuffer,  // out
        kPipeBuffer,  // in
        0,            // default timeout (unused)
        nullptr));    // default security
    if (!pipe_) {
        *why = "cannot create a pipe: " + ErrorText(GetLastError());
        return false;
    }
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    UniqueFile workerEnd(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, &inheritable,
                                     OPEN_EXISTING, 0, nullptr));
    if (!workerEnd) {
        *why = "cannot open the pipe: " + ErrorText(GetLastError());
        return false;
    }
    readEvent_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    writeEvent_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!readEvent_ || !writeEvent_) {
        *why = "cannot create an event: " + ErrorText(GetLastError());
        return false;
    }

    std::vector<std::wstring> all = {
        L"--worker",
        std::to_wstring(static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(workerEnd.get())))};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::wstring commandLine = BuildCommandLine(program, all);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = environment.nul();
    startup.hStdOutput = environment.nul();
    startup.hStdError = environment.errors() != nullptr ? environment.errors() : environment.nul();
    PROCESS_INFORMATION started = {};
    // Suspended until it is in the job. Its own process group: a Ctrl-C is the parent's
    // to handle, the worker goes on until the parent ends it.
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                        CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup,
                        &started)) {
        *why = "cannot start a worker: " + ErrorText(GetLastError());
        return false;
    }
    process_.reset(started.hProcess);
    UniqueHandle thread(started.hThread);
    if (environment.job() != nullptr) AssignProcessToJobObject(environment.job(), process_.get());
    ResumeThread(thread.get());
    workerEnd.reset();

    inbox_.resize(kInboxBytes);
    closed_ = false;
    if (!StartRead()) {
        *why = "the worker's pipe closed at once";
        return false;
    }
    return true;
}

bool WorkerProcess::StartRead() {
    for (;;) {
        readState_ = OVERLAPPED();
        readState_.hEvent = readEvent_.get();
        DWORD got = 0;
        if (ReadFile(pipe_.get(), inbox_.data(), kInboxBytes, &got, &readState_)) {
            // Finished at once: the event is set, Collect takes the bytes.
            reading_ = true;
            return true;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_IO_PENDING) {
            reading_ = true;
            return true;
        }
        if (error == ERROR_MORE_DATA) continue;  // not in byte mode; kept for safety
        reading_ = false;
        closed_ = true;
        SetEvent(readEvent_.get());  // so that the parent's wait notices the end
        return false;
    }
}

bool WorkerProcess::Collect(FrameReader* reader) {
    if (closed_) return false;
    if (reading_) {
        DWORD got = 0;
        if (!GetOverlappedResult(pipe_.get(), &readState_, &got, FALSE)) {
            const DWORD error = GetLastError();
            if (error == ERROR_IO_INCOMPLETE) return true;  // not yet after all
            if (error != ERROR_MORE_DATA) {
                reading_ = false;
                closed_ = true;
                return false;
            }
        }
        reader->Append(inbox_.data(), got);
        reading_ = false;
    }
    return StartRead();
}

bool WorkerProcess::Send(const std::string& frames, DWORD milliseconds) {
    if (closed_ || !pipe_) return false;
    size_t sent = 0;
    while (sent < frames.size()) {
        OVERLAPPED state = {};
        state.hEvent = writeEvent_.get();
        DWORD wrote = 0;
        const DWORD chunk = static_cast<DWORD>(frames.size() - sent);
        if (!WriteFile(pipe_.get(), frames.data() + sent, chunk, &wrote, &state)) {
            if (GetLastError() != ERROR_IO_PENDING) return false;
            if (WaitForSingleObject(writeEvent_.get(), milliseconds) != WAIT_OBJECT_0) {
                CancelIo(pipe_.get());
                GetOverlappedResult(pipe_.get(), &state, &wrote, TRUE);
                return false;
            }
            if (!GetOverlappedResult(pipe_.get(), &state, &wrote, FALSE)) return false;
        } else if (!GetOverlappedResult(pipe_.get(), &state, &wrote, FALSE)) {
            return false;
        }
        sent += wrote;
    }
    return true;
}

void WorkerProcess::Terminate() {
    if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.get(), ERROR_CANCELLED);
    }
    if (pipe_ && reading_) {
        CancelIo(pipe_.get());
        DWORD got = 0;
        GetOverlappedResult(pipe_.get(), &readState_, &got, TRUE);
        reading_ = false;
    }
    closed_ = true;
    pipe_.reset();
}

DWORD WorkerProcess::ExitCode(DWORD milliseconds) {
    if (!process_) return 0;
    WaitForSingleObject(process_.get(), milliseconds);
    DWORD code = STILL_ACTIVE;
    if (!GetExitCodeProcess(process_.get(), &code)) return STILL_ACTIVE;
    return code;
}
