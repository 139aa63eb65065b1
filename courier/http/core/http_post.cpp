#include "http_post.h"

#include <algorithm>
#include <limits>
#include <new>

#include "http_error.h"

namespace Torva {
namespace {

uint32_t Length(const std::string& s) {
    if (s.size() > std::numeric_limits<uint32_t>::max()) ThrowHttpError(kHttpOverflow);
    return static_cast<uint32_t>(s.size());
}

const char* OrEmpty(const char* text) {
    return text != nullptr ? text : "";
}

const CodePageText& TextOf(const HttpTextOptions& options) {
    static const SingleByteText kSingleByte;
    return options.codePage != nullptr ? *options.codePage : kSingleByte;
}

// Multipart names, values and paths: as they are, or in UTF-8.
std::string AsWritten(const char* text, const HttpTextOptions& options) {
    return options.useUtf8 ? CHttpEncoderA::Utf8Encode(OrEmpty(text), TextOf(options))
                           : std::string(OrEmpty(text));
}

std::string UrlEncoded(const char* text, bool raw, const HttpTextOptions& options) {
    if (raw) return OrEmpty(text);
    return CHttpEncoderA::UrlEncodeA(OrEmpty(text), options.useUtf8, TextOf(options));
}

}  // namespace

uint32_t CHttpPostContext::PrepareUrlEncoded(const CHttpClientMapT& params,
                                             const HttpTextOptions& text) {
    Reset();
    urlEncoded_ = true;
    for (const CHttpClientMapT::Entry& entry : params.Entries()) {
        Part part;
        part.name = entry.name.get();
        if (!parts_.empty()) part.head = "&";
        part.head += UrlEncoded(entry.name.get(), entry.attribute & kParamNameRaw, text);
        part.head += "=";
        part.value = UrlEncoded(entry.value.get(), entry.attribute & kParamValueRaw, text);
        part.size = Length(part.value);
        parts_.push_back(std::move(part));
    }
    return Layout();
}

uint32_t CHttpPostContext::PrepareMultipart(const CHttpClientMapT& params,
                                            const std::string& boundary, IHttpFileOpener& files,
                                            bool strictFileCheck, const HttpTextOptions& text) {
    Reset();
    urlEncoded_ = false;
    const std::string delimiter = "--" + boundary + "\r\n";
    for (const CHttpClientMapT::Entry& entry : params.Entries()) {
        Part part;
        part.name = entry.name.get();
        part.isFile = (entry.attribute & kParamFile) != 0;
        part.head = delimiter + "Content-Disposition: form-data; name=\"" +
                    AsWritten(entry.name.get(), text) + "\"";
        if (part.isFile) {
            part.path = OrEmpty(entry.value.get());
            uint32_t error = 0;
            part.file = files.Open(part.path.c_str(), error);
            if (!part.file && strictFileCheck) {
                ThrowHttpError(kHttpFileOpenFailed, part.path.c_str(), error);
            }
            std::string contentType = kFallbackContentType;
            if (part.file) {
                const uint64_t size = part.file->Size();
                if (size > std::numeric_limits<uint32_t>::max()) ThrowHttpError(kHttpOverflow);
                part.size = static_cast<uint32_t>(size);
                contentType = part.file->ContentType();
            }
            part.head += "; filename=\"" + AsWritten(entry.value.get(), text) + "\"\r\n" +
                         "Content-Type: " + contentType + "\r\n\r\n";
        } else {
            part.head += "\r\n\r\n";
            part.value = AsWritten(entry.value.get(), text);
            part.size = Length(part.value);
        }
        parts_.push_back(std::move(part));
    }
    tail_ = "\r\n";
    closing_ = (parts_.empty() ? "\r\n--" : "--") + boundary + "--\r\n";
    return Layout();
}

uint32_t CHttpPostContext::Layout() {
    uint32_t total = 0;
    for (const Part& part : parts_) {
        total = CheckedAdd(total, Length(part.head));
        total = CheckedAdd(total, part.size);
        total = CheckedAdd(total, Length(tail_));
    }
    total_ = CheckedAdd(total, Length(closing_));
    return total_;
}

void CHttpPostContext::Activate() {
    uint32_t values = 0;
    uint32_t fileCount = 0;
    for (const Part& part : parts_) {
        values = CheckedAdd(values, part.size);
        fileCount += part.isFile ? 1 : 0;
    }
    stat_._MakeActive(total_, values, static_cast<uint32_t>(parts_.size()), fileCount);
    next_ = 0;
    prepared_ = stat_;
    if (!parts_.empty()) {
        const Part& first = parts_.front();
        prepared_._TestStartNewEntry(first.name.c_str(),
                                     first.isFile ? first.path.c_str() : nullptr, first.size);
    }
}

void CHttpPostContext::Snapshot(CHttpPostStatT& out) const {
    const bool nothingStarted = stat_.IsActive() && !parts_.empty() && next_ == 0;
    out = nothingStarted ? prepared_ : stat_;
}

bool CHttpPostContext::Reset() {
    const bool wasActive = stat_.IsActive();
    parts_.clear();  // closes the files
    tail_.clear();
    closing_.clear();
    total_ = 0;
    next_ = 0;
    readBuffer_.reset();
    stat_._MakeInactive();
    prepared_._MakeInactive();
    return wasActive;
}

CHttpPostContext::Step CHttpPostContext::Proceed(uint32_t desired, IHttpPostSink& sink) {
    if (!stat_.IsActive()) ThrowHttpError(kHttpPostNotStarted);
    if (desired == 0) {
        ThrowHttpPrecondition(
            urlEncoded_ ? "CHttpClientT::_ProceedPostContext: nDesired can not be zero."
                        : "CHttpClientT::_ProceedUploadContext: nDesired can not be zero.");
    }
    if (stat_.IsBodyComplete()) return Step::kBodyComplete;

    const bool currentDone = stat_.CurrParamIsComplete();
    if (currentDone && next_ == parts_.size()) {
        // A url-encoded body has nothing after its last value: it is complete above.
        if (urlEncoded_) ThrowHttpError(kHttpUnexpected);
        WriteFrame(sink, closing_);
        return Step::kWrote;
    }
    if (currentDone) {
        Part& part = parts_[next_];
        WriteFrame(sink, part.head);
        stat_._TestStartNewEntry(part.name.c_str(), part.isFile ? part.path.c_str() : nullptr,
                                 part.size);
        ++next_;
        if (part.size == 0) WriteFrame(sink, tail_);
        return Step::kWrote;
    }

    Part& part = parts_[next_ - 1];
    const uint32_t size = std::min(desired, stat_.CurrParamRemainByte());
    if (part.isFile) {
        WriteFileBytes(sink, part, size);
    } else {
        WriteValue(sink, part.value.data() + stat_.CurrParamPostedByte(), size);
    }
    if (stat_.CurrParamIsComplete()) WriteFrame(sink, tail_);
    return Step::kWrote;
}

void CHttpPostContext::WriteFileBytes(IHttpPostSink& sink, Part& part, uint32_t size) {
    // A part without a file has size 0 and never gets here.
    if (!part.file) ThrowHttpError(kHttpUnexpected);
    if (!readBuffer_) {
        readBuffer_.reset(new (std::nothrow) char[kPostReadPiece]);
        if (!readBuffer_) ThrowHttpError(kHttpOutOfMemory);
    }
    while (size > 0) {
        const uint32_t piece = std::min(size, kPostReadPiece);
        // A file that shrank since its size was announced cannot fill the part.
        if (part.file->Read(readBuffer_.get(), piece) != piece) ThrowHttpError(kHttpShortFileRead);
        WriteValue(sink, readBuffer_.get(), piece);
        size -= piece;
    }
}

void CHttpPostContext::WriteFrame(IHttpPostSink& sink, const std::string& bytes) {
    const uint32_t size = Length(bytes);
    if (size == 0) return;
    // Never more on the wire than the announced length.
    if (size > stat_.ActualTotalByte() - stat_.ActualPostedByte()) ThrowHttpError(kHttpOverflow);
    sink.Write(bytes.data(), size);
    stat_._TestAddActualPostedBytes(size);
}

void CHttpPostContext::WriteValue(IHttpPostSink& sink, const char* data, uint32_t size) {
    if (size == 0) return;
    if (size > stat_.ActualTotalByte() - stat_.ActualPostedByte()) ThrowHttpError(kHttpOverflow);
    sink.Write(data, size);
    stat_._TestAddActualPostedBytes(size);
    stat_._TestAddPostedBytes(size);
}

}  // namespace Torva
