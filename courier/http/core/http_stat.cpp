#include "http_stat.h"

#include "http_error.h"

namespace Torva {

void CHttpPostStatT::RequireActive(const char* accessor) const {
    if (active_) return;
    const std::string text =
        std::string("CHttpPostStatT::") + accessor + ": The post context is not active.";
    ThrowHttpPrecondition(text.c_str());
}

uint32_t CHttpPostStatT::TotalByte() const {
    RequireActive("TotalByte");
    return total_;
}
uint32_t CHttpPostStatT::PostedByte() const {
    RequireActive("PostedByte");
    return posted_;
}
uint32_t CHttpPostStatT::TotalCount() const {
    RequireActive("TotalCount");
    return totalCount_;
}
uint32_t CHttpPostStatT::PostedCount() const {
    RequireActive("PostedCount");
    return postedCount_;
}
uint32_t CHttpPostStatT::FileCount() const {
    RequireActive("FileCount");
    return fileCount_;
}
uint32_t CHttpPostStatT::PostedFileCount() const {
    RequireActive("PostedFileCount");
    return postedFileCount_;
}
uint32_t CHttpPostStatT::CurrParamPostedByte() const {
    RequireActive("CurrParamPostedByte");
    return currPosted_;
}
uint32_t CHttpPostStatT::CurrParamRemainByte() const {
    RequireActive("CurrParamRemainByte");
    return currTotal_ - currPosted_;
}
bool CHttpPostStatT::CurrParamIsFile() const {
    RequireActive("CurrParamIsFile");
    return currIsFile_;
}
bool CHttpPostStatT::CurrParamIsComplete() const {
    RequireActive("CurrParamIsComplete");
    return currPosted_ == currTotal_;
}
uint32_t CHttpPostStatT::ActualTotalByte() const {
    RequireActive("ActualTotalByte");
    return actualTotal_;
}
uint32_t CHttpPostStatT::ActualPostedByte() const {
    RequireActive("ActualPostedByte");
    return actualPosted_;
}
bool CHttpPostStatT::IsBodyComplete() const {
    return ActualTotalByte() == actualPosted_;
}

void CHttpPostStatT::_MakeActive(uint32_t actualTotal, uint32_t total, uint32_t count,
                                 uint32_t fileCount) {
    *this = CHttpPostStatT();
    active_ = true;
    actualTotal_ = actualTotal;
    total_ = total;
    totalCount_ = count;
    fileCount_ = fileCount;
}

void CHttpPostStatT::_TestStartNewEntry(const char* name, const char* filePath, uint32_t total) {
    if (!active_) {
        ThrowHttpPrecondition(
            "CHttpPostStatT::_TestStartNewEntry: The post context is not active.");
    }
    if (postedCount_ == totalCount_) ThrowHttpError(kHttpIndexOutOfRange);
    currIsFile_ = filePath != nullptr;
    if (currIsFile_) {
        if (postedFileCount_ == fileCount_) ThrowHttpError(kHttpIndexOutOfRange);
        ++postedFileCount_;
    }
    currName_ = name != nullptr ? name : "";
    currPath_ = currIsFile_ ? filePath : "";
    currTotal_ = total;
    currPosted_ = 0;
    ++postedCount_;
}

void CHttpPostStatT::_TestAddPostedBytes(uint32_t bytes) {
    if (!active_) {
        ThrowHttpPrecondition(
            "CHttpPostStatT::_TestAddPostedBytes: The post context is not active.");
    }
    // Value bytes never pass what the parameter and the post announced.
    if (bytes > currTotal_ - currPosted_ || bytes > total_ - posted_) {
        ThrowHttpError(kHttpOverflow);
    }
    currPosted_ += bytes;
    posted_ += bytes;
}

void CHttpPostStatT::_TestAddActualPostedBytes(uint32_t bytes) {
    if (!active_) {
        ThrowHttpPrecondition(
            "CHttpPostStatT::_TestAddActualPostedBytes: The post context is not active.");
    }
    if (bytes > actualTotal_ - actualPosted_) ThrowHttpError(kHttpOverflow);
    actualPosted_ += bytes;
}

}  // namespace Torva
