#include "worker_main_win.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "assayer_library_win.h"
#include "file_content_win.h"
#include "scan_file_win.h"
#include "win32/files.h"
#include "worker_protocol.h"

namespace {

HANDLE g_pipe = nullptr;
// The file being analysed, named in a crash report. Only the main thread scans.
volatile uint64_t g_currentFile = kNoFile;

// The analyser's state cannot be trusted after an exception in it: report the file
// from a buffer on the stack and end without running anyone's cleanup.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception) {
    const DWORD code = exception->ExceptionRecord->ExceptionCode;
    uint8_t frame[kCrashFrameBytes];
    const size_t size = EncodeCrash({g_currentFile, code}, frame);
    kvwin::WriteAll(g_pipe, frame, size);
    TerminateProcess(GetCurrentProcess(), code);
    return EXCEPTION_EXECUTE_HANDLER;
}

std::wstring WideFromUtf16Bytes(const std::string& bytes) {
    std::wstring wide(bytes.size() / 2, L'\0');
    for (size_t i = 0; i < wide.size(); ++i) {
        wide[i] = static_cast<wchar_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                       (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
    }
    return wide;
}

}  // namespace

int RunWorker(const AssayOptions& options) {
    g_pipe = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(options.workerPipe));
    if (GetFileType(g_pipe) != FILE_TYPE_PIPE) {
        std::fprintf(stderr, "assay: --worker is for assay's own worker processes\n");
        return kExitUsage;
    }
    // No error boxes and no debugger: a crash is reported on the pipe and that is all.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetConsoleCtrlHandler(nullptr, TRUE);
    SetUnhandledExceptionFilter(ReportCrash);

    AssayerLibrary library;
    const WorkerHello hello = PrepareAnalyser(options, &library);
    const std::string helloFrame = EncodeHello(hello);
    if (!kvwin::WriteAll(g_pipe, helloFrame.data(), helloFrame.size()) || !hello.ready) {
        return kExitUsage;
    }

    FileContent content;
    FrameReader reader;
    std::vector<char> inbox(64 * 1024);
    for (;;) {
        DWORD got = 0;
        // The parent closing its end (or ending) is the signal to stop.
        if (!ReadFile(g_pipe, inbox.data(), static_cast<DWORD>(inbox.size()), &got, nullptr) ||
            got == 0) {
            return 0;
        }
        reader.Append(inbox.data(), got);
        Frame frame;
        FrameReader::Status status;
        while ((status = reader.Next(&frame)) == FrameReader::Status::kFrame) {
            if (frame.type != FrameType::kFile) return kExitUsage;
            FileAnswer answer;
            answer.seq = frame.file.seq;
            g_currentFile = frame.file.seq;
            answer.verdict = ScanFile(&library, &content, WideFromUtf16Bytes(frame.file.pathUtf16));
            g_currentFile = kNoFile;
            const std::string bytes = EncodeAnswer(answer);
            if (!kvwin::WriteAll(g_pipe, bytes.data(), bytes.size())) return 0;
        }
        if (status == FrameReader::Status::kBroken) return kExitUsage;
    }
}
