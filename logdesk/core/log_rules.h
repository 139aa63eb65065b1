#pragma once
// How a line of each log becomes a list row, and how a row becomes an export line.
// A row holds the column texts in column order, without the check-box column.
#include <string>
#include <string_view>
#include <vector>

#include "byte_text.h"

using LogRow = std::vector<std::string>;

// Fills `row` and answers true when the line is one of the log's entries; false drops it.
using ParseLineFn = bool (*)(std::string_view line, const LeadByteRule& rule, LogRow& row);
// Builds the export line of `row`; false for an empty row. `found` is the translated
// word that the scan and report exports put where the log has its marker.
using FormatRowFn = bool (*)(const LogRow& row, const std::string& found, std::string& line);

// Scan log: time TAB full path TAB marker TAB virus name TAB state; "#" lines are
// comments. Row: time, file name, virus name, state, directory.
bool ParseScanLine(std::string_view line, const LeadByteRule& rule, LogRow& row);
// Report log: time TAB path SPACE word SPACE virus name "." "[" state "]".
// Row: time, file name, virus name, state, directory.
bool ParseReportLine(std::string_view line, const LeadByteRule& rule, LogRow& row);
// Event log: time TAB event. Row: time, event.
bool ParseEventLine(std::string_view line, const LeadByteRule& rule, LogRow& row);
// Updater log: MM/DD/YYYY hh:mm:ss, two separator characters, a result that begins
// with one of the updater's markers. Row: "[YYYY-MM-DD hh:mm:ss]", result.
bool ParseUpdaterLine(std::string_view line, const LeadByteRule& rule, LogRow& row);

bool FormatScanRow(const LogRow& row, const std::string& found, std::string& line);
bool FormatReportRow(const LogRow& row, const std::string& found, std::string& line);
bool FormatEventRow(const LogRow& row, const std::string& found, std::string& line);
bool FormatUpdaterRow(const LogRow& row, const std::string& found, std::string& line);

// The updater's result markers, in the order they are looked for: the English ones,
// then "update succeeded" and "update failed" in GBK.
extern const char* const kUpdaterMarkers[4];
