// The site's answers are untrusted: whatever status, length header and body arrive, in
// reads of whatever size, an answer is taken only when a plain reading of the same bytes
// takes it, with the same text, and no more than one byte past the cap is ever read.
// Input: status (2 bytes, little-endian), flags (bit 0: a text is needed), read size
// (1 byte), the Content-Length value up to "\n", the Transfer-Encoding value up to "\n",
// then the body.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http_answer.h"

using courier::AnswerOutcome;

namespace {

constexpr size_t kCap = 64;

std::string_view NextLine(std::string_view& rest) {
    const size_t end = std::min(rest.find('\n'), rest.size());
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const courier::AnswerHead head{static_cast<uint32_t>(data[0] | data[1] << 8), {}, {}};
    const bool needsText = (data[2] & 1) != 0;
    const size_t readSize = 1 + data[3] % 32;
    std::string_view rest(reinterpret_cast<const char*>(data) + 4, size - 4);
    const std::string_view length = NextLine(rest);
    const std::string_view encoding = NextLine(rest);
    const std::string_view body = rest;

    courier::AnswerReader reader({head.status, length, encoding}, kCap, needsText);
    size_t read = 0;
    while (reader.Wanted() > 0 && read < body.size()) {
        const size_t piece = std::min({reader.Wanted(), readSize, body.size() - read});
        reader.Take(body.data() + read, piece);
        read += piece;
    }
    if (read > kCap + 1) std::abort();

    // The same bytes read plainly: the whole body as the announced length cuts it.
    const int64_t announced = courier::AnnouncedLength({head.status, length, encoding});
    std::string_view whole = body;
    if (announced >= 0 && static_cast<uint64_t>(announced) < whole.size()) {
        whole = whole.substr(0, static_cast<size_t>(announced));
    }
    const std::string_view text = whole.substr(0, whole.find('\0'));
    const bool takes = head.status == 200 && whole.size() <= kCap &&
                       (announced < 0 || static_cast<uint64_t>(announced) == whole.size()) &&
                       (!needsText || !text.empty());
    const AnswerOutcome outcome = reader.Finish();
    if ((outcome == AnswerOutcome::kTaken) != takes) std::abort();
    if (takes && reader.Text() != text) std::abort();
    if (head.status != 200 && (read != 0 || outcome != AnswerOutcome::kNotOk)) std::abort();
    return 0;
}
