// The portable core: the driver record and its duplicate rule, the hook strings, the
// image lookup against a scripted system, registry texts and the service wait.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "module_name.h"
#include "process_event.h"
#include "registry_scripts.h"
#include "shared_section.h"

namespace {

struct Read {
    bool ok;
    ProcessEventRecord record;
    std::size_t size;
    bool queued;
};

TEST(ProcessEventFilter, QueuesEachEventOnceAndIgnoresBrokenReads) {
    const ProcessEventRecord a{7, 1234, 0x01};
    const Read reads[] = {
        {true, {0, 0, 0}, 12, false},              // the driver's empty latest record
        {true, a, 12, true},                       //
        {true, a, 12, false},                      // the same record read twice
        {true, {7, 1234, 0x7F7F7F01}, 12, false},  // only the upper flag bytes differ
        {true, {7, 1234, 0x02}, 12, true},         // the low flag byte differs
        {false, {0, 0, 0}, 12, false},             // a failed read is no event for process 0
        {true, {7, 1234, 0x02}, 12, false},        // ... and the last record is still known
        {true, {8, 1234, 0x02}, 11, false},        // a short read
        {true, {8, 1234, 0x02}, 12, true},         // the first word differs
        {true, {8, 99, 0x02}, 12, true},           // the process differs
    };
    ProcessEventFilter filter;
    int line = 0;
    for (const Read& read : reads) {
        unsigned char bytes[kProcessEventRecordSize];
        EncodeProcessEventRecord(read.record, bytes);
        auto taken = filter.Take(read.ok, bytes, read.size);
        ASSERT_EQ(read.queued, taken.has_value()) << "read " << line;
        if (taken) {
            EXPECT_EQ(read.record.first, taken->first);
            EXPECT_EQ(read.record.processId, taken->processId);
            EXPECT_EQ(read.record.flags, taken->flags);
        }
        ++line;
    }
}

TEST(ProcessEventRecord, DecodesLittleEndianWords) {
    const unsigned char bytes[] = {1, 0, 0, 0, 0x34, 0x12, 0, 0, 0xFF, 0xEE, 0xDD, 0xCC};
    auto record = DecodeProcessEventRecord(bytes, sizeof bytes);
    ASSERT_TRUE(record);
    EXPECT_EQ(1u, record->first);
    EXPECT_EQ(0x1234u, record->processId);
    EXPECT_EQ(0xCCDDEEFFu, record->flags);
    EXPECT_FALSE(DecodeProcessEventRecord(nullptr, 12));
}

TEST(HookString, CopiesBoundedAndClearsTheField) {
    struct Case {
        std::string text;
        bool null;
        std::size_t kept;
    } cases[] = {
        {"", true, 0},
        {"open", false, 4},
        {std::string(263, 'a'), false, 263},  // fits exactly
        {std::string(264, 'b'), false, 263},  // one over
        {std::string(5000, 'c'), false, 263},
    };
    for (const Case& c : cases) {
        char field[kHookStringSize];
        std::memset(field, 'x', sizeof field);
        CopyHookString(field, c.null ? nullptr : c.text.c_str());
        EXPECT_EQ(c.text.substr(0, c.kept), std::string(field)) << c.text.size();
        for (std::size_t i = c.kept; i < kHookStringSize; ++i) ASSERT_EQ(0, field[i]) << i;
    }
}

TEST(ModuleName, TrimsLeadingControlBlanksOnly) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\a.exe", "C:\\a.exe"},
        {" \t\b\nC:\\a b.exe ", "C:\\a b.exe "},
        {"\r C:\\a.exe", "\r C:\\a.exe"},  // a carriage return is not trimmed
        {" \t\b\n", ""},
        {"", ""},
    };
    for (const auto& [name, trimmed] : cases) EXPECT_EQ(trimmed, TrimModuleName(name)) << name;
}

// A process whose answers are scripted: the main image query, then one enumeration
// result per try.
class ScriptedProcess : public ProcessImageSource {
public:
    bool mainKnown = false;
    std::string mainPath;
    ModuleAddress mainModule = 0;
    std::vector<long> counts;  // per try: -1 fails, else the module count reported
    std::vector<std::pair<bool, std::string>> names;  // per module: readable, name
    int pausesAllowed = 1000;

    int tries = 0, pauses = 0, nameReads = 0;

    bool MainImage(std::string* path, ModuleAddress* module) override {
        *path = mainPath;
        *module = mainModule;
        return mainKnown;
    }
    bool EnumerateModules(ModuleAddress* modules, std::size_t capacity,
                          std::size_t* count) override {
        long reported =
            counts.empty() ? 0 : counts[std::min<std::size_t>(tries, counts.size() - 1)];
        ++tries;
        if (reported < 0) return false;
        for (std::size_t i = 0; i < capacity && i < static_cast<std::size_t>(reported); ++i)
            modules[i] = 0x400000 + 0x10000 * i;
        *count = static_cast<std::size_t>(reported);
        return true;
    }
    bool ModuleFileName(ModuleAddress module, std::string* name) override {
        ++nameReads;
        std::size_t i = (module - 0x400000) / 0x10000;
        if (i >= names.size()) return false;
        *name = names[i].second;
        return names[i].first;
    }
    bool Pause(unsigned ms) override {
        EXPECT_EQ(kImageLookupRetryMs, ms);
        return pauses++ < pausesAllowed;
    }
};

TEST(ImageLookup, MainImageFirstThenRetriesUntilModulesAppear) {
    struct Main {
        bool known;
        const char* path;
        ModuleAddress module;
    };
    const Main none{false, "", 0};
    struct Case {
        const char* what;
        Main main;
        std::vector<long> counts;
        std::vector<std::pair<bool, std::string>> names;
        const char* path;
        ModuleAddress module;
        int tries, nameReads;
        bool stopped;  // after three pauses
    } cases[] = {
        // clang-format off: one case a line or two
        {"main image known: no walk", {true, " C:\\new.exe", 0x1000000}, {2}, {},
         "C:\\new.exe", 0x1000000, 0, 0, false},
        {"main image without address: walk", {true, "C:\\new.exe", 0}, {1},
         {{true, "C:\\idle.exe"}}, "C:\\idle.exe", 0x400000, 1, 1, false},
        {"main image blank: walk", {true, " \t", 0x1000000}, {1}, {{true, "C:\\idle.exe"}},
         "C:\\idle.exe", 0x400000, 1, 1, false},
        {"ready at once", none, {2}, {{true, "C:\\idle.exe"}, {true, "C:\\k.dll"}},
         "C:\\idle.exe", 0x400000, 1, 1, false},
        {"fails, then no modules, then ready", none, {-1, 0, 1}, {{true, "C:\\idle.exe"}},
         "C:\\idle.exe", 0x400000, 3, 1, false},
        {"never any module", none, {0}, {}, "", 0, 52, 0, false},
        {"never enumerable", none, {-1}, {}, "", 0, 52, 0, false},
        {"unreadable and blank names skipped", none, {3},
         {{false, "C:\\x.exe"}, {true, " \t"}, {true, "\n C:\\y.dll"}}, "C:\\y.dll", 0x420000, 1, 3,
         false},
        {"no usable name: no module either", none, {2}, {{true, ""}, {false, "C:\\x"}}, "", 0, 1, 2,
         false},
        // Only the table's own entries are read, however many modules the process claims.
        {"a count beyond the table is clamped", none, {100000}, {}, "", 0, 1,
         static_cast<int>(kModuleTableEntries), false},
        {"stopping ends the retries", none, {0}, {}, "", 0, 4, 0, true},
        // clang-format on
    };
    for (const Case& c : cases) {
        ScriptedProcess process;
        process.mainKnown = c.main.known;
        process.mainPath = c.main.path;
        process.mainModule = c.main.module;
        process.counts = c.counts;
        process.names = c.names;
        process.pausesAllowed = c.stopped ? 3 : 1000;
        ProcessImage image = FindProcessImage(process);
        EXPECT_EQ(c.path, image.path) << c.what;
        EXPECT_EQ(c.module, image.module) << c.what;
        EXPECT_EQ(c.tries, process.tries) << c.what;
        EXPECT_EQ(c.nameReads, process.nameReads) << c.what;
        EXPECT_EQ(c.stopped, image.stopped) << c.what;
    }
}

TEST(RegistryText, ReplacesBothMarksOnceAndKeepsOtherPercents) {
    const std::string module = "C:\\Program Files\\Kavro\\ExecWarden.dll";
    const std::pair<const char*, std::string> cases[] = {
        {"%MODULE%", module},
        {"%APPID%", kAppId},
        {"AppID\\%APPID%", std::string("AppID\\") + kAppId},
        {"%MODULE%%APPID%", module + kAppId},
        {"100% %MODULE", "100% %MODULE"},
        {"", ""},
    };
    for (const auto& [text, expanded] : cases)
        EXPECT_EQ(expanded, ExpandRegistryText(text, module)) << text;
    // A path that itself contains a mark is not expanded a second time.
    EXPECT_EQ("C:\\%APPID%\\x.dll", ExpandRegistryText("%MODULE%", "C:\\%APPID%\\x.dll"));
}

}  // namespace
