#pragma once
// A fresh directory under the system's temporary directory, removed with its files.
#include <windows.h>

#include <string>
#include <vector>

class TempDir {
public:
    TempDir() {
        char base[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, base);
        for (unsigned attempt = 0; attempt < 1000 && path_.empty(); ++attempt) {
            const std::string candidate = std::string(base) + "kvspine" +
                                          std::to_string(GetCurrentProcessId()) + "_" +
                                          std::to_string(attempt);
            if (CreateDirectoryA(candidate.c_str(), nullptr)) path_ = candidate;
        }
    }
    ~TempDir() {
        for (const std::string& file : files_) DeleteFileA(file.c_str());
        RemoveDirectoryA(path_.c_str());
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }

    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string file = path_ + "\\" + name;
        HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return "";
        DWORD written = 0;
        WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(handle);
        files_.push_back(file);
        return file;
    }
    std::string WriteText(const std::string& name, const std::string& text) {
        return Write(name, std::vector<uint8_t>(text.begin(), text.end()));
    }

private:
    std::string path_;
    std::vector<std::string> files_;
};
