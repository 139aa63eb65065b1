#pragma once
// Entry-point signatures that analysts add at run time from their own databases. They
// are tried after every built-in row, in the order they were added, so a built-in name
// always wins. Rows are kept packed in one arena (a few hundred thousand of them fit in
// a 32-bit host) and found through an index on each row's first fixed position and the
// byte expected there, so matching does not try every row in turn.
#include <cstddef>
#include <cstdint>
#include <vector>

// A name longer than this is cut: the search's result buffer holds this many
// characters and the terminating NUL.
constexpr size_t kMaxSignatureNameLength = 1023;
// Positions are one byte, 1-based from the entry point.
constexpr size_t kMaxSignaturePosition = 255;

class UserSignatures {
public:
    size_t size() const { return rows_.size(); }

    // Appends a row: `count` (1..255) rising 1-based positions and the byte at each,
    // and a name of 1..1023 characters without NUL. The index is stale until
    // BuildIndex. Returns the row's number.
    uint32_t Add(const uint8_t* positions, const uint8_t* bytes, size_t count, const char* name,
                 size_t nameLength);
    // Drops the last row added (a duplicate found after adding it).
    void DropLast();
    // True when rows `a` and `b` have the same positions, bytes and name.
    bool SameRow(uint32_t a, uint32_t b) const;
    size_t RowHash(uint32_t row) const;

    // Rebuilds the index over every row; Find needs it after rows were added.
    void BuildIndex();

    // Name of the first row (in the order added) that matches the `available` bytes at
    // `code`, or null.
    const char* Find(const unsigned char* code, uint64_t available) const;

    // One row, for tests and for the duplicate check.
    size_t Count(uint32_t row) const { return rows_[row].count; }
    const uint8_t* Positions(uint32_t row) const { return &arena_[rows_[row].at]; }
    const uint8_t* Bytes(uint32_t row) const { return Positions(row) + rows_[row].count; }
    const char* Name(uint32_t row) const {
        return reinterpret_cast<const char*>(Bytes(row) + rows_[row].count);
    }

private:
    struct Row {
        uint32_t at;  // arena offset: positions, then bytes, then the name and a NUL
        uint16_t nameLength;
        uint16_t count;  // fixed bytes, 1..255
    };
    bool Matches(uint32_t row, const unsigned char* code, uint64_t available) const;

    std::vector<uint8_t> arena_;
    std::vector<Row> rows_;

    // Index: the distinct first positions, rising; for the k-th of them, rows whose
    // first fixed byte is b are order_[start_[k * 257 + b] .. start_[k * 257 + b + 1]),
    // in the order they were added.
    std::vector<uint8_t> firstPositions_;
    std::vector<uint32_t> start_;
    std::vector<uint32_t> order_;
};
