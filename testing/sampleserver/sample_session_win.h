#pragma once
// The tests' side of the loopback sample server (testing/sampleserver): a session of
// their own, what they set for it and what the server recorded.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct SampleRecord {
    std::string line;     // request line
    std::string headers;  // header lines as received
    std::string body;     // at most Content-Length bytes
    std::string beyond;   // bytes after Content-Length
    bool complete = false;
    std::string md5ok;  // uploads: "1" when the digest matched the file

    // Lines of the header `name` (any case), and the value of the first.
    int HeaderCount(const std::string& name) const;
    std::string Header(const std::string& name) const;
};

class SampleSession {
public:
    // A session named after `name`, this process and the time, so runs never share
    // state.
    explicit SampleSession(const std::string& name);

    // Whether the server's state folder and port were found.
    bool ready() const { return port_ != 0; }
    int port() const { return port_; }
    const std::string& name() const { return name_; }

    // http://127.0.0.1:PORT + `path` + "?t=SESSION".
    std::string Url(const std::string& path) const;
    std::string CheckUrl() const { return Url("/work/MD5_Check.php"); }
    std::string UploadUrl() const { return Url("/work/UploadFile.php"); }

    // Sets "answer", "status", "mode" (or their ".DIGEST" forms) for the session.
    void Set(const std::string& setting, const std::string& bytes) const;
    // Makes the server hold a sample with `digest`.
    void StoreSample(const std::string& digest) const;

    std::vector<SampleRecord> Records() const;
    // The records once there are at least `count` (the server writes some after the
    // client has gone); what there is after `timeoutMs`.
    std::vector<SampleRecord> WaitForRecords(size_t count, DWORD timeoutMs = 40000) const;

private:
    std::string name_;
    std::string dir_;  // Windows path of the session folder
    int port_ = 0;
};

// The upper-case hex MD5 digest of `bytes`.
std::string Md5Upper(const std::string& bytes);
// `size` bytes of a fixed pseudo-random sequence chosen by `seed`.
std::string SomeBytes(size_t size, uint32_t seed);
// A loopback port where nothing listens.
int RefusedPort();

// A loopback port that takes connections and never says a word, for as long as it lives.
class SilentPort {
public:
    SilentPort();
    ~SilentPort();
    SilentPort(const SilentPort&) = delete;
    SilentPort& operator=(const SilentPort&) = delete;
    int port() const { return port_; }

private:
    uintptr_t socket_;
    int port_ = 0;
};
