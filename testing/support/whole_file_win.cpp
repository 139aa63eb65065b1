#include "whole_file_win.h"

#include <windows.h>

#include "win32/files.h"
#include "win32/handles.h"

namespace kvtest {

namespace {

UniqueFile Created(const std::string& path) {
    return UniqueFile(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

UniqueFile Created(const std::wstring& path) {
    return UniqueFile(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool WriteAll(const UniqueFile& file, const void* bytes, size_t size) {
    return file && kvwin::WriteAll(file.get(), bytes, size);
}

}  // namespace

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    return WriteAll(Created(path), bytes.data(), bytes.size());
}

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    return WriteAll(Created(path), bytes.data(), bytes.size());
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    return WriteAll(Created(path), bytes.data(), bytes.size());
}

std::string ReadWholeFile(const std::string& path, const std::string& missing) {
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return missing;
    std::string bytes;
    char block[65536];
    DWORD read = 0;
    while (ReadFile(file.get(), block, sizeof block, &read, nullptr) && read > 0)
        bytes.append(block, read);
    return bytes;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    const std::string bytes = ReadWholeFile(path);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace kvtest
