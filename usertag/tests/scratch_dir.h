#pragma once
// A fresh folder under /tmp/usertag for one test, removed with everything in it.
#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

class ScratchDir {
public:
    ScratchDir() {
        CreateDirectoryA("Z:\\tmp", nullptr);
        CreateDirectoryA("Z:\\tmp\\usertag", nullptr);
        static unsigned counter = 0;
        for (unsigned attempt = 0; attempt < 1000 && path_.empty(); ++attempt) {
            const std::string candidate = "Z:\\tmp\\usertag\\t" +
                                          std::to_string(GetCurrentProcessId()) + "_" +
                                          std::to_string(counter++);
            if (CreateDirectoryA(candidate.c_str(), nullptr)) path_ = candidate;
        }
    }
    ~ScratchDir() {
        for (const std::string& name : Names()) {
            const std::string file = path_ + "\\" + name;
            SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(file.c_str());
        }
        RemoveDirectoryA(path_.c_str());
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

    std::string Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(*this / name, std::ios::binary).write(bytes.data(), bytes.size());
        return *this / name;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(*this / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // The names of the files in the folder.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((path_ + "\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do {
            const std::string name = found.cFileName;
            if (name != "." && name != "..") names.push_back(name);
        } while (FindNextFileA(search, &found));
        FindClose(search);
        return names;
    }

private:
    std::string path_;
};
