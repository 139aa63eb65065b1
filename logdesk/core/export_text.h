#pragma once
// The text file that Export writes: a header naming the log and the time, an empty
// line, then one line per ticked row in the order the list shows them. Lines end in
// CR LF.
#include <string>
#include <string_view>

#include "byte_text.h"
#include "log_rules.h"
#include "row_table.h"

struct ExportTexts {
    std::string fileKey;     // translated "File"
    std::string sourceName;  // translated name of the log
    std::string timeKey;     // translated "Time"
    std::string stamp;       // local time, "%Y-%m-%d %H:%M"
    std::string found;       // translated "found", for the scan and report lines
};

std::string BuildExportText(const ExportTexts& texts, const RowTable& rows, FormatRowFn format);

// The file an export goes to: the chosen path in lower case, with ".txt" added when it
// does not end in it.
std::string ExportPath(std::string_view chosen, const LeadByteRule& rule);
