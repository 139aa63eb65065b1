#pragma once
// The rows of one log as the list shows them: every cell's text kept once in one block,
// the order the list shows them in, and each row's check mark. The list asks for the
// cells of the rows it draws, so a log of a hundred thousand lines costs one pass over
// the file and no copy per list item.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "byte_text.h"
#include "log_rules.h"

// The most of one log the viewer holds, so that its memory stays bounded however large
// the logs grow (four of them, in a 32-bit process): the newest kLargestLogBytes bytes,
// and of those the newest kLargestLogLines lines. A row of the largest log held costs
// about its line's length again plus 30 bytes; logdesk_bench measures the whole program.
constexpr uint64_t kLargestLogBytes = uint64_t{64} << 20;
constexpr size_t kLargestLogLines = 1000000;

// What of a log is shown: whole lines only, the newest first to stay.
struct LogPart {
    std::string_view text;
    bool cut = false;  // older lines were left out
};
// `bytes` are a log's last bytes as read; `skipped` tells that the file has more before
// them. At most `maxBytes` of them are kept, without a line cut at the start (one byte
// more than kept tells whether the kept part starts a line), and of those at most the
// newest `maxLines` lines.
LogPart NewestPart(std::string_view bytes, bool skipped, uint64_t maxBytes, size_t maxLines);

// Splits a log's bytes into lines: a line ends at LF (or at the end of the bytes), one CR
// before that end is dropped, and lines left empty are skipped. Every other byte, 0x1A
// included, is text; lines of any length are kept whole.
std::vector<std::string_view> SplitLogLines(std::string_view bytes);

class RowTable {
public:
    // `cellCount`: the list's columns after the check-box column.
    explicit RowTable(size_t cellCount) : cellCount_(cellCount) {}

    size_t CellCount() const { return cellCount_; }
    size_t Size() const { return order_.size(); }
    void Clear();

    // Adds a row at the end, unticked: cells beyond the list's columns are dropped and
    // missing ones are empty.
    void Append(const LogRow& row);
    // Appends every line that `parse` accepts, in file order; answers the rows added.
    size_t AppendLog(std::string_view bytes, ParseLineFn parse, const LeadByteRule& rule);

    // Cells and marks by the position the list shows the row at. Positions are below
    // Size(), cells below CellCount().
    std::string_view Cell(size_t position, size_t cell) const;
    // The same cell NUL-terminated, for handing to the list.
    const char* CellText(size_t position, size_t cell) const;
    LogRow Row(size_t position) const;
    bool Checked(size_t position) const { return checked_[order_[position]] != 0; }
    void SetChecked(size_t position, bool checked) { checked_[order_[position]] = checked; }
    // Ticks (or clears) every row.
    void CheckAll(bool checked = true);

    // Reorders the rows by the texts of `cell`, compared as unsigned bytes; rows with
    // equal texts keep their order. Check marks move with their rows.
    void SortBy(size_t cell, bool ascending);
    // Where the row shown at `position` before a sort stands now (by its identity).
    size_t RowId(size_t position) const { return order_[position]; }
    size_t PositionOf(size_t rowId) const;

private:
    size_t Start(size_t rowId, size_t cell) const { return starts_[rowId * cellCount_ + cell]; }
    // The cell of a row by its identity, not by where the list shows it.
    std::string_view CellOf(size_t rowId, size_t cell) const;

    size_t cellCount_;
    std::string text_;              // every cell, each followed by a NUL
    std::vector<uint32_t> starts_;  // row id * cellCount_ + cell -> offset in text_
    std::vector<uint32_t> order_;   // position -> row id
    std::vector<uint8_t> checked_;  // row id -> check mark
};
