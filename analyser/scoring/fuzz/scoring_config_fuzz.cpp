// The scoring configuration file is read by the engine's Load through its profile
// reader; here the reader answers from the input as the system's private-profile reader
// answers from a file. Holds for any file: no crash, no leak, no read outside it; the
// threshold is the file's when it names a row count, else the built-in one; and each
// score (no feature, all of them, and a set picked by the input) is the sum of the rows
// the file gives, read as the engine reads them (each value cut to its buffer, only the
// counted rows, at most the table's), over the features that fired, with the verdict
// and the hit letters that go with it.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "decimal.h"
#include "engine_config.h"
#include "stub_feature.h"
#include "vcs.h"

namespace {

std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// An INI file as the system reads it: "[section]" lines, "key = value" lines below them,
// names without regard to case, the first of equal names wins, white space around names
// and values and one pair of quotes around a value dropped, a value ends at a NUL.
class TextProfile final : public IProfileReader {
public:
    TextProfile(const char* data, size_t size) {
        std::string section;
        bool inSection = false;
        std::string_view rest(data, size);
        while (!rest.empty()) {
            const size_t end = rest.find('\n');
            std::string_view line = rest.substr(0, end);
            rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            line = Trim(line);
            if (!line.empty() && line.front() == '[') {
                section = Upper(line.substr(1, line.find(']') - 1));
                inSection = true;
                continue;
            }
            const size_t equals = line.find('=');
            if (!inSection || equals == std::string_view::npos) continue;
            std::string_view value = Trim(line.substr(equals + 1));
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                value.back() == value.front()) {
                value = value.substr(1, value.size() - 2);
            }
            value = value.substr(0, value.find('\0'));
            values_.emplace(std::make_pair(section, Upper(Trim(line.substr(0, equals)))),
                            std::string(value));
        }
    }

    unsigned ReadString(const char* section, const char* key, char* buffer, unsigned size,
                        const char* /*path*/) override {
        if (size == 0) return 0;
        const std::string value = Value(section, key);
        const size_t copied = value.size() < size - 1 ? value.size() : size - 1;
        std::memcpy(buffer, value.data(), copied);
        buffer[copied] = '\0';
        return static_cast<unsigned>(copied);
    }

    std::string Value(const std::string& section, const std::string& key) const {
        const auto found = values_.find({Upper(section), Upper(key)});
        return found == values_.end() ? std::string() : found->second;
    }

private:
    std::map<std::pair<std::string, std::string>, std::string> values_;
};

// A value as the engine reads it: cut to its buffer, then a decimal number.
int32_t Number(const TextProfile& profile, const std::string& section, const char* key,
               bool* present = nullptr) {
    const std::string value = profile.Value(section, key).substr(0, kConfigValueBufferSize - 1);
    if (present != nullptr) *present = !value.empty();
    return ParseDecimal(value.c_str());
}

void CheckScore(VCS::CVcs& engine, StubCatalogue& stubs, uint32_t fired, const TextProfile& profile,
                const WeightTable& builtIn) {
    std::set<int32_t> ids;
    for (int i = 0; i < 18; ++i) {
        const int id = StubCatalogue::kCatalogueIds[i];
        stubs.Get(id).result = (fired >> i) & 1;
        if ((fired >> i) & 1) ids.insert(id);
    }
    std::string hits;
    const int verdict = engine.Score(nullptr, hits);

    bool counted = false;
    const int32_t rows = Number(profile, "ITEMCOUNT", "num", &counted);
    uint32_t expected = 0;
    if (counted && rows > 0) {
        for (int32_t i = 1; i <= rows && i <= static_cast<int32_t>(WeightTable::kRowCount); ++i) {
            const std::string section = "ITEM" + std::to_string(i);
            if (ids.count(Number(profile, section, "ida")) != 0 &&
                ids.count(Number(profile, section, "idb")) != 0) {
                expected += static_cast<uint32_t>(Number(profile, section, "value"));
            }
        }
    } else {
        expected = static_cast<uint32_t>(builtIn.Sum(ids));
    }
    if (engine.GetScore() != static_cast<int32_t>(expected)) std::abort();
    if (verdict != (engine.GetScore() > engine.Threshold() ? 1 : 0)) std::abort();
    std::string letters;
    for (int32_t id : ids) letters += VCS::HitLetter(id);
    if (hits != letters) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TextProfile profile(reinterpret_cast<const char*>(data), size);
    StubCatalogue stubs;
    WeightTable table;
    const WeightTable builtIn;
    VCS::CVcs engine(stubs.Features(), &profile, &table);
    engine.Load("C:\\Program Files\\Kavro\\vcs.ini");

    bool counted = false;
    Number(profile, "ITEMCOUNT", "num", &counted);
    const int32_t threshold =
        counted ? Number(profile, "THRESHOLD", "value") : VCS::kDefaultThreshold;
    if (engine.Threshold() != threshold) std::abort();

    uint32_t picked = 2166136261u;
    for (size_t i = 0; i < size; ++i) picked = (picked ^ data[i]) * 16777619u;
    for (uint32_t fired : {0u, 0x3FFFFu, picked & 0x3FFFFu}) {
        CheckScore(engine, stubs, fired, profile, builtIn);
    }
    return 0;
}
