#pragma once
// A fresh folder for one test, removed with everything in it when the object goes.
#include <cstdint>
#include <string>
#include <vector>

namespace kvtest {

class ScratchDir {
public:
    // "<prefix><process id>_<n>" in the temporary folder, or in `parent` (made when
    // missing) where a test needs the folder at a known place, such as below Z:\tmp
    // where a Unix program finds it too.
    explicit ScratchDir(const std::string& prefix = "kvtest", const std::string& parent = "");
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    // Empty when no folder could be made.
    const std::string& path() const { return path_; }
    std::wstring widePath() const;
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }
    std::wstring operator/(const std::wstring& name) const { return widePath() + L"\\" + name; }

    // Writes the file `name`; its path, or "" when it could not be written.
    std::string Write(const std::string& name, const std::string& bytes) const;
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const;
    // The bytes of the file `name`; "" when it cannot be read.
    std::string Read(const std::string& name) const;
    // The names of the files and folders in the folder (not below).
    std::vector<std::string> Names() const;
    // Copies `name` from the test program's folder, as `as` (default: the same name).
    bool CopyBuilt(const std::string& name, const std::string& as = "") const;

private:
    std::string path_;
};

// Deletes the folder and everything below it. Read-only files go too; links to folders
// are removed, not followed.
void RemoveTree(const std::string& path);
void RemoveTree(const std::wstring& path);

}  // namespace kvtest
