#pragma once
// A fresh directory under the temp folder, removed with everything in it at the end.
#include <windows.h>

#include <string>

class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::wstring& root() const { return root_; }
    std::wstring Path(const std::wstring& relative) const { return root_ + L"\\" + relative; }
    bool MakeDirectory(const std::wstring& relative) const;
    bool WriteFile(const std::wstring& relative, const std::string& bytes) const;

private:
    std::wstring root_;
};
