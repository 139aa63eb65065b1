#include "export_text.h"

std::string BuildExportText(const ExportTexts& texts, const RowTable& rows, FormatRowFn format) {
    std::string text = texts.fileKey + ":" + texts.sourceName + "\r\n" + texts.timeKey + ":" +
                       texts.stamp + "\r\n\r\n";
    std::string line;
    for (size_t position = 0; position < rows.Size(); ++position) {
        if (!rows.Checked(position)) continue;
        if (!format(rows.Row(position), texts.found, line)) continue;
        text.append(line).append("\r\n");
    }
    return text;
}

std::string ExportPath(std::string_view chosen, const LeadByteRule& rule) {
    std::string path = LowerSingleBytes(chosen, rule);
    if (!EndsWithChars(path, ".txt", rule)) path += ".txt";
    return path;
}
