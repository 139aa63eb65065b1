#pragma once
// Packer and compiler signatures matched at the entry point. The tables are kept as
// text, one row a line, in the data files under signatures/; the build embeds that text
// and the reader turns it into rows when it is constructed.
//
//   sparse row:  <positions hex> <bytes hex> <name>     positions 1-based, 01..FF, rising
//   exact row:   <bytes hex> <name>
//
// A name runs to the end of the line; "\n" in it stands for a line feed. Lines that are
// empty or start with '#' are comments.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "image_view.h"
#include "signature_database.h"
#include "user_signatures.h"

struct SparseSignature {
    std::vector<uint8_t> positions;  // 1-based from the entry point
    std::vector<uint8_t> bytes;      // expected byte at each position
    std::string name;
};

struct ExactSignature {
    std::vector<uint8_t> bytes;  // from the entry point on
    std::string name;
};

// Parse the rows of a table text. A row that does not parse is left out and described
// in `errors` (line number and reason) when `errors` is given.
std::vector<SparseSignature> ParseSparseTable(const char* text, std::vector<std::string>* errors);
std::vector<ExactSignature> ParseExactTable(const char* text, std::vector<std::string>* errors);

// The embedded table texts.
const char* PackerSparseText();
const char* PackerExactText();
const char* CompilerSparseText();
const char* CompilerExactText();

class SignatureSet {
public:
    SignatureSet(const char* sparseText, const char* exactText);

    // Name of the first row matching at `entryOffset`: sparse rows in table order, then
    // the exact rows of the entry byte's bucket, then the user rows in the order they
    // were added. Null when the entry offset lies outside the image or nothing matches.
    const char* Find(const ImageView& image, int64_t entryOffset) const;

    // Appends the rows of an analyst's database that `source` feeds to the parser, after
    // every row held: all of them, or none when `source` answers false (the text could
    // not be read) or memory runs out (std::bad_alloc is passed on). A row equal to one
    // held already, built in or added before, is skipped and counted in `report`.
    bool AddUserRows(const std::function<bool(SignatureDatabaseParser&)>& source,
                     SignatureLoadReport* report);

    const std::vector<SparseSignature>& sparse() const { return sparse_; }
    const std::vector<ExactSignature>& exact() const { return exact_; }
    const UserSignatures& user() const { return user_; }

private:
    std::vector<SparseSignature> sparse_;
    std::vector<ExactSignature> exact_;
    std::vector<uint32_t> buckets_[256];  // indices into exact_, table order kept
    UserSignatures user_;
};
