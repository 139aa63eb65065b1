#include "row_table.h"

#include <algorithm>

std::vector<std::string_view> SplitLogLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        const size_t next = end == kNotFound ? bytes.size() : end + 1;
        if (end == kNotFound) end = bytes.size();
        std::string_view line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty()) lines.push_back(line);
        start = next;
    }
    return lines;
}

LogPart NewestPart(std::string_view bytes, bool skipped, uint64_t maxBytes, size_t maxLines) {
    LogPart part{bytes, skipped};
    // Whether the kept part begins a line: the byte before it tells.
    bool startsLine = !skipped;
    if (bytes.size() > maxBytes) {
        const size_t start = bytes.size() - static_cast<size_t>(maxBytes);
        startsLine = bytes[start - 1] == '\n';
        part.text = bytes.substr(start);
        part.cut = true;
    }
    if (!startsLine) {
        // The end of a line that started before is no line of its own.
        const size_t end = part.text.find('\n');
        part.text.remove_prefix(end == kNotFound ? part.text.size() : end + 1);
    }
    // The newest lines, counted back from the end; the last line's own end does not count.
    size_t lines = 0;
    for (size_t at = part.text.size(); at > 0; --at) {
        if (part.text[at - 1] != '\n' || at == part.text.size()) continue;
        if (++lines == maxLines) {
            part.text.remove_prefix(at);
            part.cut = true;
            break;
        }
    }
    return part;
}

void RowTable::Clear() {
    text_.clear();
    starts_.clear();
    order_.clear();
    checked_.clear();
}

void RowTable::Append(const LogRow& row) {
    const uint32_t id = static_cast<uint32_t>(order_.size());
    for (size_t cell = 0; cell < cellCount_; ++cell) {
        starts_.push_back(static_cast<uint32_t>(text_.size()));
        if (cell < row.size()) text_.append(row[cell]);
        text_.push_back('\0');
    }
    order_.push_back(id);
    checked_.push_back(0);
}

size_t RowTable::AppendLog(std::string_view bytes, ParseLineFn parse, const LeadByteRule& rule) {
    const size_t before = Size();
    const std::vector<std::string_view> lines = SplitLogLines(bytes);
    // Room for every line as a row, taken at once: grown step by step, the cells of a big
    // log would need up to twice their size while they are moved.
    text_.reserve(text_.size() + bytes.size() + lines.size() * (cellCount_ + 3));
    starts_.reserve(starts_.size() + lines.size() * cellCount_);
    order_.reserve(order_.size() + lines.size());
    checked_.reserve(checked_.size() + lines.size());
    LogRow row;
    for (std::string_view line : lines) {
        if (parse(line, rule, row)) Append(row);
    }
    return Size() - before;
}

std::string_view RowTable::CellOf(size_t rowId, size_t cell) const {
    const size_t start = Start(rowId, cell);
    // The cell ends at its NUL, just before the next cell starts.
    const size_t next = rowId * cellCount_ + cell + 1;
    const size_t end = (next < starts_.size() ? starts_[next] : text_.size()) - 1;
    return std::string_view(text_).substr(start, end - start);
}

std::string_view RowTable::Cell(size_t position, size_t cell) const {
    return CellOf(order_[position], cell);
}

const char* RowTable::CellText(size_t position, size_t cell) const {
    return text_.c_str() + Start(order_[position], cell);
}

LogRow RowTable::Row(size_t position) const {
    LogRow row;
    for (size_t cell = 0; cell < cellCount_; ++cell) row.emplace_back(Cell(position, cell));
    return row;
}

void RowTable::CheckAll(bool checked) {
    std::fill(checked_.begin(), checked_.end(), checked ? 1 : 0);
}

void RowTable::SortBy(size_t cell, bool ascending) {
    // The keys are gathered once; the comparison never goes back to the list.
    std::vector<std::string_view> keys(order_.size());
    for (size_t id = 0; id < keys.size(); ++id) keys[id] = CellOf(id, cell);
    // string_view compares through char_traits<char>, which orders bytes as unsigned.
    if (ascending) {
        std::stable_sort(order_.begin(), order_.end(),
                         [&keys](uint32_t a, uint32_t b) { return keys[a] < keys[b]; });
    } else {
        std::stable_sort(order_.begin(), order_.end(),
                         [&keys](uint32_t a, uint32_t b) { return keys[b] < keys[a]; });
    }
}

size_t RowTable::PositionOf(size_t rowId) const {
    const auto it = std::find(order_.begin(), order_.end(), static_cast<uint32_t>(rowId));
    return it == order_.end() ? kNotFound : static_cast<size_t>(it - order_.begin());
}
