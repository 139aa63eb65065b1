#include <algorithm>
#include <set>

#include <gtest/gtest.h>

#include "pe_test_util.h"

using petest::PeImageBuilder;

namespace {

struct Tables {
    std::vector<SparseSignature> sparse;
    std::vector<ExactSignature> exact;
    std::vector<std::string> errors;
};

Tables Load(const char* sparseText, const char* exactText) {
    Tables t;
    t.sparse = ParseSparseTable(sparseText, &t.errors);
    t.exact = ParseExactTable(exactText, &t.errors);
    return t;
}

// True when every (position, byte) pair of `a` is also one of `b`: then `a` matches
// wherever `b` does, and `b` behind `a` can never be the first match.
bool Covers(const SparseSignature& a, const SparseSignature& b) {
    for (size_t i = 0; i < a.positions.size(); ++i) {
        auto at = std::find(b.positions.begin(), b.positions.end(), a.positions[i]);
        if (at == b.positions.end() ||
            b.bytes[static_cast<size_t>(at - b.positions.begin())] != a.bytes[i]) {
            return false;
        }
    }
    return true;
}

bool Covers(const SparseSignature& a, const ExactSignature& b) {
    for (size_t i = 0; i < a.positions.size(); ++i) {
        if (a.positions[i] > b.bytes.size() || b.bytes[a.positions[i] - 1u] != a.bytes[i]) {
            return false;
        }
    }
    return true;
}

bool Covers(const ExactSignature& a, const ExactSignature& b) {
    return a.bytes.size() <= b.bytes.size() &&
           std::equal(a.bytes.begin(), a.bytes.end(), b.bytes.begin());
}

// Rows that an earlier row always beats (sparse rows are tried before exact rows).
void Shadowed(const Tables& t, std::set<size_t>* sparse, std::set<size_t>* exact) {
    for (size_t j = 0; j < t.sparse.size(); ++j) {
        for (size_t i = 0; i < j; ++i) {
            if (Covers(t.sparse[i], t.sparse[j])) sparse->insert(j);
        }
    }
    for (size_t j = 0; j < t.exact.size(); ++j) {
        for (size_t i = 0; i < t.sparse.size(); ++i) {
            if (Covers(t.sparse[i], t.exact[j])) exact->insert(j);
        }
        for (size_t i = 0; i < j; ++i) {
            if (Covers(t.exact[i], t.exact[j])) exact->insert(j);
        }
    }
}

// The bytes a row wants at the entry point, the other positions filled with `filler`.
std::vector<uint8_t> Code(const SparseSignature& row, uint8_t filler) {
    std::vector<uint8_t> code(row.positions.back(), filler);
    for (size_t i = 0; i < row.positions.size(); ++i) code[row.positions[i] - 1u] = row.bytes[i];
    code.resize(code.size() + 16, filler);
    return code;
}

// A row is found by the reader when some entry code makes it the first match; the
// bytes a row leaves open are tried with a few fillers.
template <class CodeFor>
bool Found(const SignatureSet& set, CodeFor codeFor, const std::string& name) {
    for (uint8_t filler : {0x00, 0xCC, 0x90, 0x5A, 0xFF}) {
        const std::vector<uint8_t> code = codeFor(filler);
        const char* hit = set.Find(ImageView(code.data(), code.size()), 0);
        if (hit != nullptr && name == hit) return true;
    }
    return false;
}

// The packer tables hold only rows that were checked against a real file that no one
// here wrote or against the tool's own published stub code; a row nobody can vouch for
// would name honest files. The packed-samples test checks the evidence this machine has.
constexpr size_t kPackerSparseRows = 53;
constexpr size_t kPackerExactRows = 45;

TEST(SignatureTablesTest, HoldTheirRowsAndEveryRowParses) {
    Tables packers = Load(PackerSparseText(), PackerExactText());
    EXPECT_TRUE(packers.errors.empty()) << packers.errors.front();
    EXPECT_EQ(kPackerSparseRows, packers.sparse.size());
    EXPECT_EQ(kPackerExactRows, packers.exact.size());
    Tables compilers = Load(CompilerSparseText(), CompilerExactText());
    EXPECT_TRUE(compilers.errors.empty()) << compilers.errors.front();
    EXPECT_EQ(28u, compilers.sparse.size());
    EXPECT_EQ(3u, compilers.exact.size());

    // The reader builds its tables from the same texts, with no user rows.
    CPEHelper helper;
    EXPECT_EQ(kPackerSparseRows, helper.packers().sparse().size());
    EXPECT_EQ(kPackerExactRows, helper.packers().exact().size());
    EXPECT_EQ(0u, helper.packers().user().size());
    EXPECT_EQ(28u, helper.compilers().sparse().size());
    EXPECT_EQ(3u, helper.compilers().exact().size());
}

TEST(SignatureTablesTest, FirstRowsAreTheKnownOnes) {
    Tables packers = Load(PackerSparseText(), PackerExactText());
    ASSERT_GE(packers.sparse.size(), 3u);
    EXPECT_EQ("FASM 1.3x", packers.sparse[0].name);
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4, 8, 9, 0xD}), packers.sparse[0].positions);
    EXPECT_EQ((std::vector<uint8_t>{0x6A, 0, 0xFF, 0x15, 0, 0xA3, 0}), packers.sparse[0].bytes);
    EXPECT_EQ("MASM32 / TASM32", packers.sparse[1].name);
    EXPECT_EQ("Watcom C/C++", packers.sparse[2].name);
    ASSERT_FALSE(packers.exact.empty());
    EXPECT_EQ("ExeSmasher", packers.exact[0].name);
    EXPECT_EQ(22u, packers.exact[0].bytes.size());

    Tables compilers = Load(CompilerSparseText(), CompilerExactText());
    ASSERT_EQ(28u, compilers.sparse.size());
    EXPECT_EQ("Microsoft Visual C++ Private Version 2", compilers.sparse[0].name);
    EXPECT_EQ("Microsoft Visual C++ 7.0 DLL Method 1\nMicrosoft Visual C++ 6.0 DLL",
              compilers.sparse[12].name);
    EXPECT_EQ("Micorsoft Visual C++ 7.0 Method2", compilers.sparse[13].name);
    EXPECT_EQ(0u,
              compilers.sparse[27].name.find("UPX 0.89.6 - 1.02 / 1.05 - 1.22 Delphi stub -> "));
    EXPECT_EQ("Borland C++ DLL Method 3", compilers.exact[2].name);
    for (const auto& row : packers.sparse) {
        EXPECT_EQ(std::string::npos, row.name.find('\n')) << row.name;
    }
}

TEST(SignatureTablesTest, NoPackerRowIsShadowedByAnEarlierOne) {
    Tables packers = Load(PackerSparseText(), PackerExactText());
    std::set<size_t> sparse, exact;
    Shadowed(packers, &sparse, &exact);
    for (size_t i : sparse) ADD_FAILURE() << "sparse row " << i << " " << packers.sparse[i].name;
    for (size_t i : exact) ADD_FAILURE() << "exact row " << i << " " << packers.exact[i].name;
}

// The compiler rows are kept as they have always been; five sparse rows extend an
// earlier row and one exact row starts with an earlier sparse row, so the reader can
// never name them (the exact one only on a file cut inside it).
TEST(SignatureTablesTest, CompilerRowsShadowedByEarlierOnesAreKnown) {
    Tables compilers = Load(CompilerSparseText(), CompilerExactText());
    std::set<size_t> sparse, exact;
    Shadowed(compilers, &sparse, &exact);
    EXPECT_EQ((std::set<size_t>{11, 14, 17, 25, 26}), sparse);
    EXPECT_EQ((std::set<size_t>{2}), exact);
}

// Stronger than the check by construction: the reader names every row for some code.
TEST(SignatureTablesTest, ReaderNamesEveryReachableRow) {
    CPEHelper helper;
    struct Set {
        const SignatureSet* set;
        std::set<size_t> sparseShadowed, exactShadowed;
    };
    const Set sets[] = {{&helper.packers(), {}, {}},
                        {&helper.compilers(), {11, 14, 17, 25, 26}, {2}}};
    for (const Set& s : sets) {
        for (size_t i = 0; i < s.set->sparse().size(); ++i) {
            if (s.sparseShadowed.count(i)) continue;
            const SparseSignature& row = s.set->sparse()[i];
            EXPECT_TRUE(Found(
                *s.set, [&](uint8_t filler) { return Code(row, filler); }, row.name))
                << "sparse " << row.name;
        }
        for (size_t i = 0; i < s.set->exact().size(); ++i) {
            if (s.exactShadowed.count(i)) continue;
            const ExactSignature& row = s.set->exact()[i];
            auto code = [&](uint8_t filler) {
                std::vector<uint8_t> bytes = row.bytes;
                bytes.resize(bytes.size() + 300, filler);
                return bytes;
            };
            EXPECT_TRUE(Found(*s.set, code, row.name)) << "exact " << row.name;
        }
    }
}

const char kSparse[] =
    "# test table\n"
    "010203 AABBCC First\n"
    "0102 AABB Second\n"
    "   \n"
    "05 77 Fifth\\nline\n";
const char kExact[] =
    "AABBDD Exact one\n"
    "AA00 Exact two\n";

TEST(SignatureSetTest, SparseRowsInOrderThenTheExactBucket) {
    SignatureSet set(kSparse, kExact);
    auto find = [&](std::vector<uint8_t> code, int64_t entry = 0) {
        return SafeText(set.Find(ImageView(code.data(), code.size()), entry));
    };
    EXPECT_EQ("First", find({0xAA, 0xBB, 0xCC}));
    EXPECT_EQ("Second", find({0xAA, 0xBB, 0xCD}));
    EXPECT_EQ("Second", find({0xAA, 0xBB}));  // First's third position lies past the end
    EXPECT_EQ("Fifth\nline", find({0, 0, 0, 0, 0x77}));
    EXPECT_EQ("(null)", find({0, 0, 0, 0}));
    EXPECT_EQ("Exact two", find({0xAA, 0x00, 0x01}));
    EXPECT_EQ("(null)", find({0xAA, 0x01}));
    // A file that ends inside a pattern matches on the bytes it has.
    EXPECT_EQ("Exact one", find({0xAA}));  // the first of the bucket
    EXPECT_EQ("First", find({0x11, 0xAA, 0xBB, 0xCC}, 1));
    EXPECT_EQ("(null)", find({0xAA, 0xBB, 0xCC}, 3));
    EXPECT_EQ("(null)", find({0xAA, 0xBB, 0xCC}, -1));
    EXPECT_EQ("(null)", find({0xAA, 0xBB, 0xCC}, 0xFFFFFFFFll));
}

TEST(SignatureSetTest, BadRowsAreReportedAndLeftOut) {
    std::vector<std::string> errors;
    auto rows = ParseSparseTable(
        "0102 AA Count differs\n0201 AABB Falling\n00 AA Zero position\n0G AA Bad digit\n"
        "01 AA\n01 AA Back\\slash\n0101 AABB Twice\n01 AA Good\n",
        &errors);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ("Good", rows[0].name);
    EXPECT_EQ(7u, errors.size());
    auto exact = ParseExactTable("ABC Odd\nAB\nZZ Bad\nAB Good\n", &errors);
    ASSERT_EQ(1u, exact.size());
    EXPECT_EQ(10u, errors.size());
}

TEST(SignatureSearchTest, EachSearchHasItsOwnResultBuffer) {
    // Microsoft Visual C++ 6.0's start (compiler exact row) behind a packer-free entry.
    const std::vector<uint8_t> msvc = {0x55, 0x8B, 0xEC, 0x6A, 0xFF, 0x68, 0x68, 0x64, 0xA1,
                                       0,    0,    0,    0,    0x50, 0x64, 0x89, 0x25, 0,
                                       0,    0,    0,    0x83, 0xEC, 0x53, 0x56, 0x57};
    const std::vector<uint8_t> fasm = {0x6A, 0x00, 0xFF, 0x15, 1, 2, 3, 0x00, 0xA3, 4, 5, 6, 0x00};
    std::vector<uint8_t> a = PeImageBuilder().EntryBytes(msvc).Build();
    std::vector<uint8_t> b = PeImageBuilder().EntryBytes(fasm).Build();
    CPEHelper helper;
    ASSERT_EQ(1, ParseImage(helper, a));
    const char* compiler = helper.FindCompilerName();
    EXPECT_EQ("Microsoft Visual C++ 6.0", SafeText(compiler));
    ASSERT_EQ(1, ParseImage(helper, b));
    const char* packer = helper.FindPackerName();
    EXPECT_EQ("FASM 1.3x", SafeText(packer));
    EXPECT_NE(packer, compiler);
    EXPECT_EQ("Microsoft Visual C++ 6.0", SafeText(compiler));  // untouched by the packer search
    EXPECT_EQ(nullptr, helper.FindCompilerName());
    EXPECT_EQ('\0', compiler[0]);  // the compiler search cleared its buffer
    EXPECT_EQ(packer, helper.FindPackerName());
}

TEST(SignatureSearchTest, ExactPatternCutByTheEndOfTheFileMatches) {
    std::vector<uint8_t> msvc = {0x55, 0x8B, 0xEC, 0x6A, 0xFF, 0x68, 0x68, 0x64, 0xA1, 0, 0};
    petest::Layout layout;
    std::vector<uint8_t> image = PeImageBuilder().EntryBytes(msvc).Build(&layout);
    const uint32_t entry = layout.sections[0].rawOffset;
    CPEHelper helper;
    std::vector<uint8_t> cut(image.begin(), image.begin() + entry + 8);
    ASSERT_EQ(1, ParseImage(helper, cut));
    EXPECT_EQ("Microsoft Visual C++ 6.0", SafeText(helper.FindCompilerName()));
    cut.back() ^= 1;
    ASSERT_EQ(1, ParseImage(helper, cut));
    EXPECT_EQ(nullptr, helper.FindCompilerName());
}

}  // namespace
