#pragma once
// How the check and upload requests take the site's answer, whatever the server sends:
// only a 200 carries one; its body is read up to a cap and refused whole past it (also
// when the head announces more); a body shorter than the length the head announced is an
// answer cut off by a closed connection, not a short one; where the request needs a text,
// a body whose text is empty is none. The text is the body up to its first NUL byte.
// The bytes come in reads of any size; nothing here knows where they come from.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace courier {

enum class AnswerOutcome {
    kTaken,     // a 200 whose whole body was read and fits
    kNotOk,     // any status but 200: nothing is read
    kTooLong,   // more than the cap, announced or read
    kCutShort,  // the body ended before the announced length
    kEmpty,     // no text where the request needs one
};

// What the answer's head says, as the server sent it.
struct AnswerHead {
    uint32_t status = 0;
    std::string_view contentLength;     // the header's value, empty without one
    std::string_view transferEncoding;  // likewise; "chunked" makes the length void
};

// The announced body length: decimal digits between optional blanks, at most 2^63 - 1
// (more counts as the largest). -1 when there is none or it is not a number, and when
// the body is chunked.
int64_t AnnouncedLength(const AnswerHead& head);

class AnswerReader {
public:
    // `cap`: the longest body taken. `needsText`: an empty text is no answer.
    AnswerReader(const AnswerHead& head, size_t cap, bool needsText);

    // How many more bytes the next read should ask for; 0 once the outcome is known
    // without further reading (a status other than 200, an announced length that is
    // over the cap or already read, a body past the cap).
    size_t Wanted() const;
    // Bytes read from the body; those beyond Wanted() are not kept.
    void Take(const char* data, size_t size);
    // After the last read (a read that returned nothing, or Wanted() reached 0).
    AnswerOutcome Finish() const;
    // The body up to its first NUL byte; meaningful when Finish() is kTaken.
    std::string Text() const;

private:
    const bool ok_;
    const int64_t announced_;
    const size_t cap_;
    const bool needsText_;
    std::string body_;  // at most cap_ + 1 bytes
};

}  // namespace courier
