// Large uploads against the loopback sample server: time against the pacing floor
// (one 5 ms pause per 1024-byte step) and the process's private bytes while the file
// goes out, which must not grow with the file.
//
//   courier_upload_bench.exe upload MIB   one upload of a MIB-sized file, with figures
//   courier_upload_bench.exe floor MIB    only the pauses such an upload takes
//
// KV_SAMPLE_SERVER_DIR names the running server's state folder (bench/courier_upload.sh).
#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "sample_session_win.h"
#include "upload_request.h"
#include "whole_file_win.h"

namespace {

struct Watch {
    SIZE_T peakPrivate = 0;
    uint32_t calls = 0;
};

// Committed private memory. Wine leaves PrivateUsage at 0 and reports the same figure
// as the page-file usage, which Windows also counts as private commit.
SIZE_T PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof(counters));
    return counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
}

int Sample(uint32_t, uint32_t, void* user) {
    Watch* watch = static_cast<Watch*>(user);
    ++watch->calls;
    // Every 256th step is often enough to see growth and cheap beside the pause.
    if ((watch->calls & 255) == 1) {
        const SIZE_T now = PrivateBytes();
        if (now > watch->peakPrivate) watch->peakPrivate = now;
    }
    return 1;
}

// Pauses of an upload whose file has `size` bytes: one after every step but the last,
// which hands over the answer. A step starts a parameter (4), writes up to 1024 bytes
// of a value (3 short values, then the file) or writes the closing delimiter (1).
uint32_t Steps(uint32_t size) {
    return 4 + 3 + (size + 1023) / 1024 + 1;
}

std::string MakeFile(uint32_t size, std::string& digestOut) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    const std::string path = std::string(dir) + "courier_bench_" + std::to_string(size) + ".bin";
    std::string bytes(size, '\0');
    uint32_t x = size;
    for (char& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<char>(x >> 16);
    }
    digestOut = Md5Upper(bytes);
    kvtest::WriteWholeFile(path, bytes);
    return path;
}

int Upload(uint32_t size) {
    SampleSession session("bench-" + std::to_string(size));
    if (!session.ready()) {
        std::fprintf(stderr, "no sample server: set KV_SAMPLE_SERVER_DIR\n");
        return 2;
    }
    std::string digest;
    const std::string path = MakeFile(size, digest);

    UploadRequest upload;
    upload.AddParam("OptionVxMd5", digest.c_str(), 0);
    upload.AddParam("UserID", "1", 0);
    upload.AddParam("Language", "Chs", 0);
    upload.AddParam("UploadFile", path.c_str(), 1);
    Watch watch;
    const SIZE_T before = PrivateBytes();
    watch.peakPrivate = before;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const int result = upload.Upload(session.UploadUrl().c_str(), &Sample, &watch);
    QueryPerformanceCounter(&end);
    DeleteFileA(path.c_str());
    const double seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
    const double floor = Steps(size) * 0.005;

    const std::vector<SampleRecord> records = session.Records();
    const bool exact =
        records.size() == 1 && records[0].complete && records[0].beyond.empty() &&
        records[0].md5ok == "1" &&
        records[0].Header("Content-Length") == std::to_string(records[0].body.size());
    std::printf(
        "upload %u bytes: result %d, %.2f s, pacing floor %.2f s (%u steps x 5 ms), "
        "ratio %.3f\n",
        size, result, seconds, floor, Steps(size), seconds / floor);
    std::printf("  private bytes: %.1f KiB before, peak %.1f KiB during (+%.1f KiB)\n",
                before / 1024.0, watch.peakPrivate / 1024.0, (watch.peakPrivate - before) / 1024.0);
    std::printf("  server record: %s (body %zu bytes, Content-Length %s, %zu bytes beyond)\n",
                exact ? "complete, byte-exact, digest matches" : "NOT EXACT",
                records.empty() ? size_t{0} : records[0].body.size(),
                records.empty() ? "-" : records[0].Header("Content-Length").c_str(),
                records.empty() ? size_t{0} : records[0].beyond.size());
    return result == 0 && exact ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: courier_upload_bench.exe upload|floor MIB\n");
        return 2;
    }
    const uint32_t size = static_cast<uint32_t>(std::atoi(argv[2])) * 1024u * 1024u;
    if (std::string(argv[1]) == "floor") {
        for (uint32_t i = 0; i < Steps(size); ++i) Sleep(5);
        return 0;
    }
    return Upload(size);
}
