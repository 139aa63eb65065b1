// An analyst's signature database, as the analyser's LoadSignatures takes it: any text
// loads without a crash, a leak or a read outside it. Also held: the text fed whole and
// in pieces gives the same rows and counts, every block is counted once, a second load
// adds nothing, the reader's message fits its buffer, and every row added is found
// again at an entry point that holds its bytes, by the index as by a plain walk.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "pe_exercise.h"
#include "pe_helper.h"

namespace {

// Rows checked against their own bytes; the rest only load.
constexpr uint32_t kRowsMatched = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size heap copy puts the end of the text on a redzone for ASan.
    const std::vector<char> text(data, data + size);
    SignatureSet rows("", "");
    LoadSignatureTextChecked(text.data(), text.size(), &rows);

    // The reader as the export drives it, its message cut to a buffer of any size.
    CPEHelper helper;
    const int messageSize = static_cast<int>(size % 100);
    std::vector<char> message(static_cast<size_t>(messageSize));
    const int added = helper.LoadSignatureText(
        text.data(), text.size(), messageSize > 0 ? message.data() : nullptr, messageSize);
    // Fewer rows than the bare set holds only where a row repeats a built-in one.
    if (added < 0 || static_cast<size_t>(added) > rows.user().size()) std::abort();
    if (messageSize > 0 && std::memchr(message.data(), 0, message.size()) == nullptr) std::abort();

    const UserSignatures& user = rows.user();
    for (uint32_t row = 0; row < user.size() && row < kRowsMatched; ++row) {
        const size_t count = user.Count(row);
        std::vector<uint8_t> code(user.Positions(row)[count - 1], 0xCC);
        for (size_t i = 0; i < count; ++i) code[user.Positions(row)[i] - 1u] = user.Bytes(row)[i];
        const ImageView view(code.data(), code.size());
        const char* found = rows.Find(view, 0);
        if (found == nullptr) {
            std::fprintf(stderr, "row %u (%s) does not match its own bytes\n", row, user.Name(row));
            std::abort();
        }
        if (found != PlainUserSearch(user, code.data(), code.size(), 0)) std::abort();
    }
    return 0;
}
