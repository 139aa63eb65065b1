#include "signatures.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <unordered_set>

#include "hex.h"

namespace {

// One line of a table, split into whitespace-separated fields and the name after them.
struct RowText {
    std::vector<std::string> fields;
    std::string name;
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// Splits off `fieldCount` fields; the rest of the line (trimmed) is the name.
RowText SplitRow(const std::string& line, size_t fieldCount) {
    RowText row;
    size_t at = 0;
    for (size_t f = 0; f < fieldCount; ++f) {
        while (at < line.size() && IsBlank(line[at])) ++at;
        size_t end = at;
        while (end < line.size() && !IsBlank(line[end])) ++end;
        if (end == at) return row;
        row.fields.push_back(line.substr(at, end - at));
        at = end;
    }
    while (at < line.size() && IsBlank(line[at])) ++at;
    size_t end = line.size();
    while (end > at && IsBlank(line[end - 1])) --end;
    row.name = line.substr(at, end - at);
    return row;
}

bool HexField(const std::string& text, std::vector<uint8_t>* out, std::string* why) {
    if (text.empty() || text.size() % 2 != 0) {
        *why = "hex text of odd or zero length";
        return false;
    }
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            *why = "not a hex digit";
            return false;
        }
    }
    out->assign(text.size() / 2, 0);
    HexToBytes(text.c_str(), out->data());
    return true;
}

bool UnescapeName(const std::string& text, std::string* out, std::string* why) {
    out->clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out->push_back(text[i]);
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == 'n') {
            out->push_back('\n');
            ++i;
            continue;
        }
        *why = "backslash not followed by n";
        return false;
    }
    if (out->empty()) {
        *why = "no name";
        return false;
    }
    if (out->size() >= static_cast<size_t>(1024)) {
        *why = "name longer than a result buffer";
        return false;
    }
    return true;
}

// Calls `row(line, lineNumber)` for every line that is not a comment.
template <class RowFn>
void ForEachRow(const char* text, RowFn row) {
    if (text == nullptr) return;
    int number = 0;
    const char* at = text;
    while (*at != '\0') {
        const char* end = std::strchr(at, '\n');
        if (end == nullptr) end = at + std::strlen(at);
        ++number;
        std::string line(at, end);
        size_t first = 0;
        while (first < line.size() && IsBlank(line[first])) ++first;
        if (first < line.size() && line[first] != '#') row(line, number);
        at = *end == '\0' ? end : end + 1;
    }
}

void Complain(std::vector<std::string>* errors, int line, const std::string& why) {
    if (errors != nullptr) errors->push_back("line " + std::to_string(line) + ": " + why);
}

}  // namespace

std::vector<SparseSignature> ParseSparseTable(const char* text, std::vector<std::string>* errors) {
    std::vector<SparseSignature> rows;
    ForEachRow(text, [&](const std::string& line, int number) {
        RowText parts = SplitRow(line, 2);
        std::string why;
        SparseSignature row;
        if (parts.fields.size() != 2) {
            Complain(errors, number, "missing fields");
            return;
        }
        if (!HexField(parts.fields[0], &row.positions, &why) ||
            !HexField(parts.fields[1], &row.bytes, &why) ||
            !UnescapeName(parts.name, &row.name, &why)) {
            Complain(errors, number, why);
            return;
        }
        if (row.positions.size() != row.bytes.size()) {
            Complain(errors, number, "positions and bytes differ in count");
            return;
        }
        for (size_t i = 0; i < row.positions.size(); ++i) {
            if (row.positions[i] == 0 || (i > 0 && row.positions[i] <= row.positions[i - 1])) {
                Complain(errors, number, "positions not rising from 01");
                return;
            }
        }
        rows.push_back(std::move(row));
    });
    return rows;
}

std::vector<ExactSignature> ParseExactTable(const char* text, std::vector<std::string>* errors) {
    std::vector<ExactSignature> rows;
    ForEachRow(text, [&](const std::string& line, int number) {
        RowText parts = SplitRow(line, 1);
        std::string why;
        ExactSignature row;
        if (parts.fields.size() != 1) {
            Complain(errors, number, "missing fields");
            return;
        }
        if (!HexField(parts.fields[0], &row.bytes, &why) ||
            !UnescapeName(parts.name, &row.name, &why)) {
            Complain(errors, number, why);
            return;
        }
        rows.push_back(std::move(row));
    });
    return rows;
}

SignatureSet::SignatureSet(const char* sparseText, const char* exactText)
    : sparse_(ParseSparseTable(sparseText, nullptr)), exact_(ParseExactTable(exactText, nullptr)) {
    for (size_t i = 0; i < exact_.size(); ++i) {
        buckets_[exact_[i].bytes[0]].push_back(static_cast<uint32_t>(i));
    }
}

const char* SignatureSet::Find(const ImageView& image, int64_t entryOffset) const {
    if (!image.Contains(entryOffset)) return nullptr;
    const uint64_t entry = static_cast<uint64_t>(entryOffset);
    const uint64_t available = image.size() - entry;
    const unsigned char* code = image.data() + entry;

    for (const SparseSignature& row : sparse_) {
        bool match = true;
        for (size_t i = 0; match && i < row.positions.size(); ++i) {
            const uint64_t at = row.positions[i] - 1u;
            match = at < available && code[at] == row.bytes[i];
        }
        if (match) return row.name.c_str();
    }
    // A file that ends inside a pattern still matches on the bytes it has.
    for (uint32_t index : buckets_[code[0]]) {
        const ExactSignature& row = exact_[index];
        const uint64_t length = std::min<uint64_t>(row.bytes.size(), available);
        if (std::memcmp(code, row.bytes.data(), static_cast<size_t>(length)) == 0) {
            return row.name.c_str();
        }
    }
    return user_.Find(code, available);
}

namespace {

std::string RowKey(const std::vector<uint8_t>& positions, const std::vector<uint8_t>& bytes,
                   const std::string& name) {
    std::string key(positions.begin(), positions.end());
    key.append(bytes.begin(), bytes.end());
    return key.append(1, '\0').append(name);
}

}  // namespace

bool SignatureSet::AddUserRows(const std::function<bool(SignatureDatabaseParser&)>& source,
                               SignatureLoadReport* report) {
    *report = SignatureLoadReport();
    // The rows go into a copy that replaces the table only once the whole text is in.
    UserSignatures next = user_;
    std::unordered_set<std::string> builtIn;
    for (const SparseSignature& row : sparse_) {
        builtIn.insert(RowKey(row.positions, row.bytes, row.name));
    }
    auto hash = [&next](uint32_t row) { return next.RowHash(row); };
    auto same = [&next](uint32_t a, uint32_t b) { return next.SameRow(a, b); };
    std::unordered_set<uint32_t, decltype(hash), decltype(same)> held(next.size() + 1024, hash,
                                                                      same);
    for (uint32_t row = 0; row < next.size(); ++row) held.insert(row);

    SignatureDatabaseParser parser(report, [&](const SignatureCandidate& candidate) {
        if (builtIn.count(RowKey(candidate.positions, candidate.bytes, candidate.name)) != 0) {
            ++report->skipped[kSkipDuplicate];
            return;
        }
        const uint32_t row =
            next.Add(candidate.positions.data(), candidate.bytes.data(), candidate.positions.size(),
                     candidate.name.data(), candidate.name.size());
        if (!held.insert(row).second) {
            next.DropLast();
            ++report->skipped[kSkipDuplicate];
        } else if (next.size() > kMaxUserSignatureRows) {
            held.erase(row);
            next.DropLast();
            ++report->skipped[kSkipOverLimit];
        } else {
            ++report->added;
        }
    });
    if (!source(parser)) return false;
    parser.Finish();
    next.BuildIndex();
    user_ = std::move(next);
    return true;
}
