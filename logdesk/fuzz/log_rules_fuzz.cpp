// Feeds arbitrary log bytes through the four line rules, their export lines, the
// updater export of arbitrary time columns, the export path rule and a sort.
// The first byte picks the lead-byte rule.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "export_text.h"
#include "log_sources.h"
#include "row_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const LeadByteRule rule = data[0] & 1 ? LeadByteRule::Gbk() : LeadByteRule::SingleByte();
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::string line;
    for (std::string_view text : SplitLogLines(bytes)) {
        for (int source = 0; source < kSourceCount; ++source) {
            const LogFormat& kind = SourceFormat(source);
            LogRow row;
            if (kind.parse(text, rule, row)) kind.format(row, "found", line);
        }
        // A time column edited into any shape must still export.
        FormatUpdaterRow({std::string(text), std::string(text)}, "found", line);
        ExportPath(text, rule);
    }

    RowTable table(5);
    table.AppendLog(bytes, ParseReportLine, rule);
    if (table.Size() > 0) {
        table.SetChecked(0, true);
        table.SortBy(data[0] % 5, data[0] & 2);
        BuildExportText({"File", "Keystone Log", "Time", "2008-01-02 03:04", "found"}, table,
                        FormatReportRow);
    }
    return 0;
}
