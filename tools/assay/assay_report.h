#pragma once
// What assay prints: one line per file (table or JSON) and a summary at the end.
#include <cstdint>
#include <string>

enum class Verdict { kClean, kSuspicious, kError };

struct FileVerdict {
    Verdict verdict = Verdict::kClean;
    int score = 0;
    std::string hits;   // the analyser's hit letters, ascending
    std::string path;   // as it is to be printed (UTF-8 for JSON)
    uint64_t size = 0;  // bytes on disk
    std::string error;  // why the file could not be scanned (verdict kError)
    double milliseconds = 0;
};

struct ScanSummary {
    uint64_t files = 0;  // every file reported, errors included
    uint64_t suspicious = 0;
    uint64_t errors = 0;
    uint64_t bytes = 0;  // of the files scanned
    double seconds = 0;
};

// The feature a hit letter stands for ("FewAPICount" for 'C'), or null for a letter
// that no feature produces.
const char* FeatureForHitLetter(char letter);

// "C:FewAPICount M:WithBadAPI"; an unknown letter shows as "X:?".
std::string DescribeHits(const std::string& hits);

// "SUSPICIOUS", "clean" or "error".
const char* VerdictText(Verdict verdict);

// Fixed-width columns, so that lines printed one by one still line up.
std::string FormatTableLine(const FileVerdict& file);
std::string FormatTableSummary(const ScanSummary& summary);

// One JSON object per line; bytes that are not UTF-8 are replaced, never fatal.
std::string FormatJsonLine(const FileVerdict& file);
std::string FormatJsonSummary(const ScanSummary& summary);

void CountInto(const FileVerdict& file, ScanSummary* summary);

// 0 when nothing was suspicious, 1 when something was; unreadable files do not count.
int ExitStatusFor(const ScanSummary& summary);
