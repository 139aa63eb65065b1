#pragma once
// The small rules of an upload run that do not need Windows: how the server's check
// answer is read, the byte progress and the texts the dialog shows.
#include <cstdint>
#include <string>

namespace courier {

enum class CheckVerdict {
    kKnown,   // the server holds the sample (answers 0 and -1)
    kWanted,  // the server asks for it (answer 1)
    kOther,   // anything else: the file's result is left as it is
};

// The first line of the answer (up to CR LF, all of it without one) read as a decimal
// number the way the C library reads one: leading white space, an optional sign,
// digits; no digits read as 0. A number that does not fit 32 bits is kOther, so that no
// large value can wrap onto 0, -1 or 1.
CheckVerdict JudgeCheckAnswer(const std::string& answer);

// posted * 100 / total without overflow, at most 100; 0 when total is 0.
uint32_t ProgressPercent(uint32_t posted, uint32_t total);

// "done / all", as the dialog counts files and bytes.
std::string CountText(uint32_t done, uint32_t all);

// The end of a run: "upload end:" text, a blank, the count and the "files sucessfully!"
// text, with nothing between the count and that text. The texts come from the language
// library and are only ever copied.
std::string SummaryText(const std::string& head, uint32_t count, const std::string& tail);

// Whether `text` begins with `prefix`, ASCII letters compared without regard to case.
bool StartsWithNoCase(const std::string& text, const char* prefix);

}  // namespace courier
