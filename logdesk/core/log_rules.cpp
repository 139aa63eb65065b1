#include "log_rules.h"

#include <initializer_list>

const char* const kUpdaterMarkers[4] = {"Update succeed", "Update failed",
                                        "\xC9\xFD\xBC\xB6\xB3\xC9\xB9\xA6",
                                        "\xC9\xFD\xBC\xB6\xCA\xA7\xB0\xDC"};

namespace {

// Assigns the cells in place so that a table loading many lines reuses one row.
void SetRow(LogRow& row, std::initializer_list<std::string_view> cells) {
    row.resize(cells.size());
    size_t i = 0;
    for (std::string_view cell : cells) row[i++].assign(cell.data(), cell.size());
}

// Splits `text` at the first TAB; false when there is none.
bool CutAtTab(std::string_view& text, std::string_view& before, const LeadByteRule& rule) {
    const size_t tab = FindChar(text, '\t', rule);
    if (tab == kNotFound) return false;
    before = text.substr(0, tab);
    text.remove_prefix(tab + 1);
    return true;
}

// Splits a full path at its last backslash; false when there is none.
bool SplitPath(std::string_view path, std::string_view& directory, std::string_view& name,
               const LeadByteRule& rule) {
    const size_t slash = FindLastChar(path, '\\', rule);
    if (slash == kNotFound) return false;
    directory = path.substr(0, slash);
    name = path.substr(slash + 1);
    return true;
}

// A row made by hand or by an older list may have fewer cells: those count as empty.
const std::string& Cell(const LogRow& row, size_t index) {
    static const std::string empty;
    return index < row.size() ? row[index] : empty;
}

}  // namespace

bool ParseScanLine(std::string_view line, const LeadByteRule& rule, LogRow& row) {
    if (!line.empty() && line[0] == '#') return false;
    std::string_view rest = line, time, path, marker, virus;
    if (!CutAtTab(rest, time, rule) || !CutAtTab(rest, path, rule) ||
        !CutAtTab(rest, marker, rule) || !CutAtTab(rest, virus, rule)) {
        return false;
    }
    std::string_view directory, name;
    if (!SplitPath(path, directory, name, rule)) return false;
    SetRow(row, {time, name, virus, rest, directory});
    return true;
}

bool ParseReportLine(std::string_view line, const LeadByteRule& rule, LogRow& row) {
    std::string_view rest = line, time;
    if (!CutAtTab(rest, time, rule)) return false;
    const size_t dot = FindLastChar(rest, '.', rule);
    if (dot == kNotFound) return false;
    const std::string state = RemoveChars(rest.substr(dot + 1), "[]", rule);
    rest = rest.substr(0, dot);
    const size_t virusStart = FindLastChar(rest, ' ', rule);
    if (virusStart == kNotFound) return false;
    const std::string_view virus = rest.substr(virusStart + 1);
    rest = rest.substr(0, virusStart);
    const size_t wordStart = FindLastChar(rest, ' ', rule);
    if (wordStart == kNotFound) return false;
    std::string_view directory, name;
    if (!SplitPath(rest.substr(0, wordStart), directory, name, rule)) return false;
    SetRow(row, {time, name, virus, state, directory});
    return true;
}

bool ParseEventLine(std::string_view line, const LeadByteRule& rule, LogRow& row) {
    std::string_view rest = line, time;
    if (!CutAtTab(rest, time, rule)) return false;
    SetRow(row, {time, rest});
    return true;
}

bool ParseUpdaterLine(std::string_view line, const LeadByteRule& rule, LogRow& row) {
    size_t marker = kNotFound;
    for (const char* candidate : kUpdaterMarkers) {
        marker = FindText(line, candidate, rule);
        if (marker != kNotFound) break;
    }
    if (marker == kNotFound) return false;
    // The stamp ends two separator bytes before the marker. A line that is too short
    // for a whole stamp keeps its row; the parts of the stamp that are not there are
    // empty.
    const std::string_view prefix = marker >= 2 ? line.substr(0, marker - 2) : std::string_view();
    std::string time = "[";
    time.append(BytesAt(prefix, 6, 4)).append("-");
    time.append(BytesAt(prefix, 0, 2)).append("-");
    time.append(BytesAt(prefix, 3, 2)).append(" ");
    time.append(BytesAt(prefix, 11, 8)).append("]");
    SetRow(row, {time, line.substr(marker)});
    return true;
}

bool FormatScanRow(const LogRow& row, const std::string& found, std::string& line) {
    if (row.empty()) return false;
    line = Cell(row, 0) + "\t" + Cell(row, 4) + "\\" + Cell(row, 1) + "\t" + found + "\t" +
           Cell(row, 2) + "\t" + Cell(row, 3);
    return true;
}

bool FormatReportRow(const LogRow& row, const std::string& found, std::string& line) {
    if (row.empty()) return false;
    line = Cell(row, 0) + "\t" + Cell(row, 4) + "\\" + Cell(row, 1) + "\t" + found + "\t" +
           Cell(row, 2) + ".[" + Cell(row, 3) + "]";
    return true;
}

bool FormatEventRow(const LogRow& row, const std::string&, std::string& line) {
    if (row.empty()) return false;
    line = Cell(row, 0) + "\t" + Cell(row, 1);
    return true;
}

bool FormatUpdaterRow(const LogRow& row, const std::string&, std::string& line) {
    if (row.empty()) return false;
    // The time column reads "[YYYY-MM-DD hh:mm:ss]"; one cut short (edited by hand, or
    // from a short stamp) gives empty parts, never bytes from outside the text.
    const std::string_view time = Cell(row, 0);
    line.assign(BytesAt(time, 6, 2)).append("/");
    line.append(BytesAt(time, 9, 2)).append("/");
    line.append(BytesAt(time, 1, 4)).append(" ");
    line.append(BytesAt(time, 12, 8)).append(" : ").append(Cell(row, 1));
    return true;
}
