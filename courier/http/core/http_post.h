#pragma once
// The body of a post, built from the client's parameters and written piece by piece:
// url-encoded ("name=value&...") or multipart with files. Bytes go to a sink and file
// bytes come from a source, so the whole layout and every count can be checked without
// a network.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "http_encoder.h"
#include "http_map.h"
#include "http_stat.h"

namespace Torva {

// Where body bytes go (the request on the wire). Throws on failure.
class IHttpPostSink {
public:
    virtual void Write(const char* data, uint32_t size) = 0;

protected:
    ~IHttpPostSink() = default;
};

// One open file of a multipart post.
class IHttpPostFile {
public:
    virtual ~IHttpPostFile() = default;
    // The whole size, high part included (605 on failure).
    virtual uint64_t Size() = 0;
    // The content type sniffed from the first bytes; the read position stays at 0.
    virtual std::string ContentType() = 0;
    // Reads up to `size` bytes; returns how many were read (602 on failure).
    virtual uint32_t Read(char* buffer, uint32_t size) = 0;
};

class IHttpFileOpener {
public:
    // The file at `path`, or null with the system's reason in `error`.
    virtual std::unique_ptr<IHttpPostFile> Open(const char* path, uint32_t& error) = 0;

protected:
    ~IHttpFileOpener() = default;
};

constexpr uint32_t kPostReadPiece = 0xE000;  // file bytes are read in pieces of 56 KiB
constexpr const char kFallbackContentType[] = "application/octet-stream";

struct HttpTextOptions {
    bool useUtf8 = false;
    const CodePageText* codePage = nullptr;  // null: single-byte text
};

class CHttpPostContext {
public:
    enum class Step { kWrote, kBodyComplete };

    // Lays out a url-encoded body of `params` and returns its length. Nothing is active
    // until Activate (the client announces the length first).
    uint32_t PrepareUrlEncoded(const CHttpClientMapT& params, const HttpTextOptions& text);
    // Lays out a multipart body with `boundary` and opens its files. A file that cannot
    // be opened becomes an empty part, or fails with 603 under `strictFileCheck`; a file
    // of 4 GiB or more fails with 112 (its size does not fit the announced length).
    uint32_t PrepareMultipart(const CHttpClientMapT& params, const std::string& boundary,
                              IHttpFileOpener& files, bool strictFileCheck,
                              const HttpTextOptions& text);
    // The length is announced: the statistics become active.
    void Activate();

    bool IsActive() const { return stat_.IsActive(); }
    bool IsUrlEncoded() const { return urlEncoded_; }
    const CHttpPostStatT& Stat() const { return stat_; }

    // One step: reports a complete body, or writes the closing delimiter, or starts the
    // next parameter, or writes up to `desired` bytes of the current one.
    Step Proceed(uint32_t desired, IHttpPostSink& sink);

    // The live statistics, or before the first parameter started the prepared copy in
    // which it has.
    void Snapshot(CHttpPostStatT& out) const;

    // Closes the files, frees the buffers and the layout, makes the statistics inactive.
    // True when a context was active.
    bool Reset();

private:
    struct Part {
        std::string name;  // as given, for the statistics
        std::string path;  // as given, for file parts
        bool isFile = false;
        std::string head;                     // written when the part starts
        std::string value;                    // plain parts: the value as written
        std::unique_ptr<IHttpPostFile> file;  // file parts that could be opened
        uint32_t size = 0;                    // value or file bytes
    };

    uint32_t Layout();
    void WriteFrame(IHttpPostSink& sink, const std::string& bytes);
    void WriteValue(IHttpPostSink& sink, const char* data, uint32_t size);
    void WriteFileBytes(IHttpPostSink& sink, Part& part, uint32_t size);

    bool urlEncoded_ = true;
    std::vector<Part> parts_;
    std::string tail_;     // after each part's value
    std::string closing_;  // after the last part (multipart)
    uint32_t total_ = 0;
    size_t next_ = 0;  // the part to start next
    CHttpPostStatT stat_;
    CHttpPostStatT prepared_;
    std::unique_ptr<char[]> readBuffer_;
};

}  // namespace Torva
