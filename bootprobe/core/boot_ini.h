#pragma once
// Reading a boot configuration file: whole lines, and the Windows directory named by
// its "default=" line.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// A stream of bytes, read front to back.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Fills up to `capacity` bytes; 0 at the end of the stream or on a read failure.
    virtual size_t Read(char* buffer, size_t capacity) = 0;
};

// Lines longer than this are skipped whole: no boot configuration line comes near it,
// and a piece of a longer line must never pass for a line of its own.
constexpr size_t kMaxLineLength = 64 * 1024;

class LineReader {
public:
    explicit LineReader(ByteSource& source) : source_(source) {}

    // The next line, empty ones included, without its line ending (LF with any CRs
    // before it); false at the end of the stream. A line longer than kMaxLineLength
    // is passed over whole.
    bool Next(std::string* line);

private:
    bool Fill();

    ByteSource& source_;
    char chunk_[4096];
    size_t used_ = 0;
    size_t filled_ = 0;
    bool ended_ = false;
};

// For a line whose first eight characters are "default=" in any case, the text after
// the line's last ')' (for default=multi(0)disk(0)rdisk(0)partition(1)\WINDOWS that is
// \WINDOWS). Nothing for other lines and for a "default=" line without ')'.
std::optional<std::string_view> BootDefaultPath(std::string_view line);

// The Windows directory named by the first usable "default=" line of `source`.
std::optional<std::string> ReadBootDefaultPath(ByteSource& source);
