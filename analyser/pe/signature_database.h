#pragma once
// Analysts' signature databases: the plain-text format that PE identification tools
// share, blocks of
//
//   [Tool name 1.2 -> Origin]
//   signature = 60 E8 ?? ?? ?? ?? 5D 81 ED
//   ep_only = true
//
// Lines starting with ';' are comments; keys are not case-sensitive and other keys are
// ignored. An entry-point-only signature becomes a sparse row: the 1-based positions of
// its fixed bytes, those bytes and the block's name; "??" bytes are left out.
//
// The text is hostile input: it arrives in pieces of any size (Feed), lines may be of
// any length and hold any bytes, and memory stays bounded by what is kept per line.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Why a block gives no row, in the order the reasons are checked.
enum SignatureSkip : int {
    kSkipMalformed,          // bad hex, no signature, a line that is no "key = value", ...
    kSkipNotEntryPointOnly,  // ep_only false or missing: the reader matches at the entry only
    kSkipNoName,
    kSkipHalfByteWildcard,  // "5?" or "?5": a sparse row holds whole bytes only
    kSkipTooLong,           // more than 255 bytes
    kSkipNoFixedByte,       // only "??": it would name every file
    kSkipDuplicate,         // the same positions, bytes and name as a row already held
    kSkipOverLimit,         // the reader holds kMaxUserSignatureRows user rows already
    kSkipReasonCount
};

// User rows a reader keeps over all loads.
constexpr size_t kMaxUserSignatureRows = 1000000;
// A line longer than this is not kept whole; its block is malformed.
constexpr size_t kMaxSignatureLineLength = 65536;

struct SignatureLoadReport {
    size_t blocks = 0;
    size_t added = 0;
    size_t skipped[kSkipReasonCount] = {};
    size_t firstMalformedLine = 0;  // 1-based; 0 when nothing was malformed

    size_t SkippedTotal() const;
    // One line: "12 added; 3 skipped: 2 not entry-point only, 1 malformed (first at line 9)".
    std::string Summary() const;
};

// A block converted to a sparse row.
struct SignatureCandidate {
    std::vector<uint8_t> positions;
    std::vector<uint8_t> bytes;
    std::string name;  // cut to kMaxSignatureNameLength
    size_t line;       // of the block's header
};

class SignatureDatabaseParser {
public:
    // `row` receives every block that converts; the parser counts the others in `report`.
    SignatureDatabaseParser(SignatureLoadReport* report,
                            std::function<void(const SignatureCandidate&)> row);

    void Feed(const char* data, size_t size);
    // Ends the last line and block; call once after the last Feed.
    void Finish();

private:
    void EndLine();
    void HandleLine(const std::string& text);
    void StartBlock(const std::string& line);
    void EndBlock();
    void MarkMalformed();

    SignatureLoadReport* report_;
    std::function<void(const SignatureCandidate&)> row_;

    std::string line_;
    bool lineTooLong_ = false;
    bool atLineStart_ = true;
    size_t lineNumber_ = 0;

    bool inBlock_ = false;
    bool malformed_ = false;
    size_t malformedLine_ = 0;
    size_t blockLine_ = 0;
    std::string name_;
    std::string signature_;
    size_t signatureLine_ = 0;
    bool haveSignature_ = false;
    int epOnly_ = -1;  // -1 absent, 0 false, 1 true
};

// Feeds the file at `path` to `feed` in pieces. False with the reason in `why` when it
// cannot be opened or read to its end.
bool ReadSignatureFile(const char* path, const std::function<void(const char*, size_t)>& feed,
                       std::string* why);
