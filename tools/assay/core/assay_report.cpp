#include "assay_report.h"

#include <cstdio>
#include <nlohmann/json.hpp>

namespace {

// Hit letter = 'A' + (feature id - 6600).
const char* const kFeatureByLetter[] = {
    "NumberPrefix",      // A 6600
    "UseSystemIcon",     // B 6601
    "FewAPICount",       // C 6602
    "InSysDir",          // D 6603
    "NoVerInfo",         // E 6604
    "LargeFileSize",     // F 6605
    "MultiExtName",      // G 6606
    "BadSectionName",    // H 6607
    "RecentCreateTime",  // I 6608
    "FakeFileName",      // J 6609
    "WithShell",         // K 6610
    "OpenPortMore",      // L 6611
    "WithBadAPI",        // M 6612
    "WithMailInfo",      // N 6613
    "EmbeddedPE",        // O 6614
    "WithCompiler",      // P 6615
    "OpenPortDistrust",  // Q 6616
    nullptr,             // R 6617 has a rule but no feature
    nullptr,             // S
    nullptr,             // T
    "RelatedByAutoRun",  // U 6620
};

constexpr double kMiB = 1024.0 * 1024.0;

std::string Dump(const nlohmann::ordered_json& object) {
    return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

double PerSecond(double amount, double seconds) {
    return seconds > 0 ? amount / seconds : 0;
}

}  // namespace

const char* FeatureForHitLetter(char letter) {
    if (letter < 'A' || letter > 'U') return nullptr;
    return kFeatureByLetter[letter - 'A'];
}

std::string DescribeHits(const std::string& hits) {
    std::string text;
    for (char letter : hits) {
        if (!text.empty()) text += ' ';
        const char* name = FeatureForHitLetter(letter);
        text += letter;
        text += ':';
        text += name != nullptr ? name : "?";
    }
    return text;
}

const char* VerdictText(Verdict verdict) {
    switch (verdict) {
        case Verdict::kSuspicious:
            return "SUSPICIOUS";
        case Verdict::kError:
            return "error";
        case Verdict::kClean:
            break;
    }
    return "clean";
}

std::string FormatTableLine(const FileVerdict& file) {
    char score[16];
    if (file.verdict == Verdict::kError) {
        std::snprintf(score, sizeof(score), "%5s", "-");
    } else {
        std::snprintf(score, sizeof(score), "%5d", file.score);
    }
    std::string middle = file.verdict == Verdict::kError ? file.error : DescribeHits(file.hits);
    if (middle.empty()) middle = "-";
    // Wide enough for three or four features; a longer list pushes the path right.
    constexpr size_t kMiddleWidth = 48;
    if (middle.size() < kMiddleWidth) middle.resize(kMiddleWidth, ' ');
    char verdict[16];
    std::snprintf(verdict, sizeof(verdict), "%-10s", VerdictText(file.verdict));
    return std::string(verdict) + ' ' + score + "  " + middle + "  " + file.path;
}

std::string FormatTableSummary(const ScanSummary& s) {
    char crashed[48] = "";
    if (s.crashed > 0) {
        std::snprintf(crashed, sizeof(crashed), " (%llu crashed)",
                      static_cast<unsigned long long>(s.crashed));
    }
    char line[256];
    std::snprintf(line, sizeof(line),
                  "%sfiles %llu, suspicious %llu, errors %llu%s, %.1f MiB in %.2f s, %.1f files/s",
                  s.interrupted ? "interrupted: " : "", static_cast<unsigned long long>(s.files),
                  static_cast<unsigned long long>(s.suspicious),
                  static_cast<unsigned long long>(s.errors), crashed, s.bytes / kMiB, s.seconds,
                  PerSecond(static_cast<double>(s.files), s.seconds));
    return line;
}

std::string FormatJsonLine(const FileVerdict& file) {
    nlohmann::ordered_json object;
    object["verdict"] = VerdictText(file.verdict);
    if (file.verdict == Verdict::kError) {
        object["score"] = nullptr;
        object["error"] = file.error;
    } else {
        object["score"] = file.score;
    }
    object["hits"] = file.hits;
    nlohmann::ordered_json features = nlohmann::ordered_json::array();
    for (char letter : file.hits) {
        const char* name = FeatureForHitLetter(letter);
        features.push_back(name != nullptr ? name : "?");
    }
    object["features"] = std::move(features);
    object["path"] = file.path;
    object["size"] = file.size;
    object["ms"] = file.milliseconds;
    return Dump(object);
}

std::string FormatJsonSummary(const ScanSummary& s) {
    nlohmann::ordered_json summary;
    summary["files"] = s.files;
    summary["suspicious"] = s.suspicious;
    summary["errors"] = s.errors;
    summary["crashed"] = s.crashed;
    summary["interrupted"] = s.interrupted;
    summary["mib"] = s.bytes / kMiB;
    summary["seconds"] = s.seconds;
    summary["files_per_second"] = PerSecond(static_cast<double>(s.files), s.seconds);
    nlohmann::ordered_json object;
    object["summary"] = std::move(summary);
    return Dump(object);
}

void CountInto(const FileVerdict& file, ScanSummary* summary) {
    ++summary->files;
    if (file.verdict == Verdict::kSuspicious) ++summary->suspicious;
    if (file.verdict == Verdict::kError) {
        ++summary->errors;
        if (file.crashed) ++summary->crashed;
    } else {
        summary->bytes += file.size;
    }
}

int ExitStatusFor(const ScanSummary& summary) {
    if (summary.interrupted) return kExitInterrupted;
    if (summary.crashed > 0) return kExitCrashed;
    return summary.suspicious > 0 ? kExitSuspicious : 0;
}

std::string FormatScanLogLine(const FileVerdict& file, const std::string& time,
                              const std::string& path) {
    std::string safePath = path;
    for (char& c : safePath) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    const std::string name = "Suspicious (score " + std::to_string(file.score) + ")";
    return time + "\t" + safePath + "\tfound\t" + name + "\tReported\r\n";
}
