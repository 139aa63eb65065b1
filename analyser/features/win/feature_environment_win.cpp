#include "feature_environment_win.h"

#include <windows.h>

#include <mbstring.h>
#include <time.h>

#include <vector>

namespace {

constexpr UINT kDirectoryBufferSize = 260;

bool StoreDirectory(UINT length, const char* buffer, std::string* directory) {
    // 0 is failure; a length of the buffer or more means the path did not fit.
    if (length == 0 || length >= kDirectoryBufferSize) return false;
    directory->assign(buffer, length);
    return true;
}

}  // namespace

bool CSystemFeatureEnvironment::WindowsDirectory(std::string* directory) {
    char buffer[kDirectoryBufferSize] = {};
    return StoreDirectory(GetWindowsDirectoryA(buffer, kDirectoryBufferSize), buffer, directory);
}

bool CSystemFeatureEnvironment::SystemDirectory(std::string* directory) {
    char buffer[kDirectoryBufferSize] = {};
    return StoreDirectory(GetSystemDirectoryA(buffer, kDirectoryBufferSize), buffer, directory);
}

std::string CSystemFeatureEnvironment::ToLower(const std::string& text) {
    return MultiByteLower(text);
}

int64_t CSystemFeatureEnvironment::Now() {
    return _time64(nullptr);
}

std::string MultiByteLower(const std::string& text) {
    std::vector<unsigned char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    _mbslwr(buffer.data());
    return std::string(reinterpret_cast<const char*>(buffer.data()));
}
