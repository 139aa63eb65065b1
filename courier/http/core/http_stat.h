#pragma once
// Progress of one post: what the whole body announces and how much of it went out,
// and the same for the parameter being written.
#include <cstdint>
#include <string>

namespace Torva {

class CHttpPostStatT {
public:
    // Accessors throw (code 0) while the statistics are inactive.
    uint32_t TotalByte() const;        // value and file bytes of all parameters
    uint32_t PostedByte() const;       // value and file bytes written so far
    uint32_t TotalCount() const;       // parameters
    uint32_t PostedCount() const;      // parameters started so far
    uint32_t FileCount() const;        // file parameters
    uint32_t PostedFileCount() const;  // file parameters started so far
    uint32_t CurrParamPostedByte() const;
    uint32_t CurrParamRemainByte() const;
    bool CurrParamIsFile() const;
    bool CurrParamIsComplete() const;
    uint32_t ActualTotalByte() const;   // the whole body as announced
    uint32_t ActualPostedByte() const;  // body bytes written, delimiters included
    bool IsBodyComplete() const;        // every announced body byte is written

    bool IsActive() const { return active_; }
    // Name of the current parameter; its path, null when it is not a file.
    const char* CurrParamName() const { return currName_.c_str(); }
    const char* CurrParamFilePath() const { return currIsFile_ ? currPath_.c_str() : nullptr; }

    // Used by the post context.
    void _MakeActive(uint32_t actualTotal, uint32_t total, uint32_t count, uint32_t fileCount);
    void _MakeInactive() { *this = CHttpPostStatT(); }
    void _TestStartNewEntry(const char* name, const char* filePath, uint32_t total);
    void _TestAddPostedBytes(uint32_t bytes);
    void _TestAddActualPostedBytes(uint32_t bytes);

private:
    void RequireActive(const char* accessor) const;

    bool active_ = false;
    uint32_t actualTotal_ = 0;
    uint32_t actualPosted_ = 0;
    uint32_t total_ = 0;
    uint32_t posted_ = 0;
    uint32_t totalCount_ = 0;
    uint32_t postedCount_ = 0;
    uint32_t fileCount_ = 0;
    uint32_t postedFileCount_ = 0;
    std::string currName_;
    std::string currPath_;
    bool currIsFile_ = false;
    uint32_t currTotal_ = 0;
    uint32_t currPosted_ = 0;
};

}  // namespace Torva
