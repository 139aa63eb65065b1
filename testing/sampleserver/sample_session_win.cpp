#include "sample_session_win.h"

#include <winsock2.h>

#include <cstdio>
#include <cstdlib>

#include "md5.h"
#include "whole_file_win.h"

namespace {

using kvtest::ReadWholeFile;
using kvtest::WriteWholeFile;

std::string WindowsPath(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

// Header lines as (lower-case name, value).
std::vector<std::pair<std::string, std::string>> SplitHeaders(const std::string& headers) {
    std::vector<std::pair<std::string, std::string>> out;
    size_t at = 0;
    while (at < headers.size()) {
        size_t end = headers.find("\r\n", at);
        if (end == std::string::npos) end = headers.size();
        const std::string line = headers.substr(at, end - at);
        const size_t colon = line.find(':');
        if (colon != std::string::npos) {
            size_t value = colon + 1;
            while (value < line.size() && line[value] == ' ') ++value;
            out.emplace_back(Lower(line.substr(0, colon)), line.substr(value));
        }
        at = end + 2;
    }
    return out;
}

}  // namespace

int SampleRecord::HeaderCount(const std::string& name) const {
    int count = 0;
    for (const auto& header : SplitHeaders(headers)) count += header.first == Lower(name);
    return count;
}

std::string SampleRecord::Header(const std::string& name) const {
    for (const auto& header : SplitHeaders(headers)) {
        if (header.first == Lower(name)) return header.second;
    }
    return "";
}

// Wine hands out the same few process ids run after run, so the start time counts too.
SampleSession::SampleSession(const std::string& name)
    : name_(name + "-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(GetTickCount())) {
    const char* state = std::getenv("KV_SAMPLE_SERVER_DIR");
    if (state == nullptr) return;
    const std::string root = WindowsPath(state);
    port_ = std::atoi(ReadWholeFile(root + "\\port").c_str());
    CreateDirectoryA((root + "\\sessions").c_str(), nullptr);
    dir_ = root + "\\sessions\\" + name_;
    CreateDirectoryA(dir_.c_str(), nullptr);
    CreateDirectoryA((dir_ + "\\samples").c_str(), nullptr);
}

std::string SampleSession::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path + "?t=" + name_;
}

void SampleSession::Set(const std::string& setting, const std::string& bytes) const {
    WriteWholeFile(dir_ + "\\" + setting, bytes);
}

void SampleSession::StoreSample(const std::string& digest) const {
    WriteWholeFile(dir_ + "\\samples\\" + digest, "stored");
}

std::vector<SampleRecord> SampleSession::Records() const {
    std::vector<SampleRecord> records;
    for (int number = 1;; ++number) {
        char folder[16];
        std::snprintf(folder, sizeof(folder), "\\%04d\\", number);
        const std::string at = dir_ + "\\records" + folder;
        if (GetFileAttributesA(at.c_str()) == INVALID_FILE_ATTRIBUTES) break;
        SampleRecord r;
        r.line = ReadWholeFile(at + "line");
        r.headers = ReadWholeFile(at + "headers");
        r.body = ReadWholeFile(at + "body");
        r.beyond = ReadWholeFile(at + "beyond");
        r.complete = ReadWholeFile(at + "complete") == "1";
        r.md5ok = ReadWholeFile(at + "md5ok");
        records.push_back(std::move(r));
    }
    return records;
}

std::vector<SampleRecord> SampleSession::WaitForRecords(size_t count, DWORD timeoutMs) const {
    const DWORD start = GetTickCount();
    std::vector<SampleRecord> records = Records();
    while (records.size() < count && GetTickCount() - start < timeoutMs) {
        Sleep(20);
        records = Records();
    }
    return records;
}

std::string Md5Upper(const std::string& bytes) {
    CMD5Class md5;
    unsigned char digest[16];
    md5.Digest(bytes.data(), digest, static_cast<uint32_t>(bytes.size()));
    char text[33];
    for (int i = 0; i < 16; ++i) std::snprintf(text + 2 * i, 3, "%02X", digest[i]);
    return text;
}

std::string SomeBytes(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    for (char& b : bytes) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<char>(seed >> 16);
    }
    return bytes;
}

int RefusedPort() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return 0;
    int port = 0;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof(address);
    if (s != INVALID_SOCKET &&
        bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    if (s != INVALID_SOCKET) closesocket(s);
    WSACleanup();
    return port;
}

SilentPort::SilentPort() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    socket_ = s;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof(address);
    // Never accepted: the system completes the connections in the backlog, and there they
    // wait for a greeting that never comes.
    if (s != INVALID_SOCKET &&
        bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        listen(s, 16) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port_ = ntohs(address.sin_port);
    }
}

SilentPort::~SilentPort() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
    WSACleanup();
}
