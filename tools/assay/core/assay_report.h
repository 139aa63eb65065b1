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
    bool crashed = false;  // the error is the analyser crashing or hanging on the file
};

struct ScanSummary {
    uint64_t files = 0;  // every file reported, errors included
    uint64_t suspicious = 0;
    uint64_t errors = 0;
    uint64_t crashed = 0;  // errors where the analyser crashed or hung
    uint64_t bytes = 0;    // of the files scanned
    double seconds = 0;
    bool interrupted = false;  // the scan was stopped before the walk was done
};

// Exit statuses; where several apply the first in this order wins.
constexpr int kExitInterrupted = 130;
constexpr int kExitCrashed = 3;
constexpr int kExitSuspicious = 1;
constexpr int kExitUsage = 2;  // nothing was scanned

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

// The scan-log line of a suspicious file, as LogDesk reads the scan log: time, full path,
// the marker "found", a name with the score, the state "Reported", separated by TABs
// and ended by CR LF. `time` is local time as "YYYY-MM-DD hh:mm:ss"; `path` is in the ANSI
// code page. Control characters become "?", so a name cannot add columns or lines.
std::string FormatScanLogLine(const FileVerdict& file, const std::string& time,
                              const std::string& path);

// kExitInterrupted, else kExitCrashed when the analyser crashed or hung on any file,
// else kExitSuspicious when something was suspicious, else 0. Unreadable files do not
// count.
int ExitStatusFor(const ScanSummary& summary);
