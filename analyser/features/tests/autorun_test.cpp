#include <gtest/gtest.h>

#include <cctype>

#include "autorun_command.h"
#include "data_provider.h"
#include "related_by_auto_run.h"

namespace {

TEST(AutorunCommandTest, QuotedPathLosesItsQuotesAndArguments) {
    EXPECT_EQ(ExecutablePathOfCommand("\"C:\\Program Files\\Tool\\tool.exe\" /min -x"),
              "C:\\Program Files\\Tool\\tool.exe");
    EXPECT_EQ(ExecutablePathOfCommand("  \"C:\\a b\\c.exe\""), "C:\\a b\\c.exe");
    EXPECT_EQ(ExecutablePathOfCommand("\"C:\\unclosed\\x.exe -a"), "C:\\unclosed\\x.exe -a");
    EXPECT_EQ(ExecutablePathOfCommand("\"\" tail"), "");
}

TEST(AutorunCommandTest, UnquotedPathEndsAfterTheProgramName) {
    EXPECT_EQ(ExecutablePathOfCommand("C:\\WINDOWS\\system32\\ctfmon.exe"),
              "C:\\WINDOWS\\system32\\ctfmon.exe");
    EXPECT_EQ(ExecutablePathOfCommand("C:\\Program Files\\Tool\\Tool.EXE /background now"),
              "C:\\Program Files\\Tool\\Tool.EXE");
    EXPECT_EQ(ExecutablePathOfCommand("\tC:\\t\\run.bat arg"), "C:\\t\\run.bat");
    EXPECT_EQ(ExecutablePathOfCommand("rundll32.exe shell32.dll,Control_RunDLL x.cpl"),
              "rundll32.exe");
    // A name that only contains an extension does not end there.
    EXPECT_EQ(ExecutablePathOfCommand("C:\\a.exe.dir\\b.com -q"), "C:\\a.exe.dir\\b.com");
}

// Each program extension ends an unquoted path in either letter case, with or without
// arguments after it; blanks after the command never belong to the path.
TEST(AutorunCommandTest, EveryProgramExtensionEndsAPathWithBlanks) {
    for (const std::string extension : {"exe", "com", "bat", "cmd", "pif", "scr"}) {
        std::string upper = extension;
        for (char& c : upper) c = static_cast<char>(c - 'a' + 'A');
        for (const std::string& ext : {extension, upper}) {
            const std::string path = "C:\\Program Files\\My Tool\\run it." + ext;
            EXPECT_EQ(path, ExecutablePathOfCommand(path)) << ext;
            EXPECT_EQ(path, ExecutablePathOfCommand(path + "\t/min ")) << ext;
            EXPECT_EQ(path, ExecutablePathOfCommand("  " + path + " /a b.txt")) << ext;
            EXPECT_EQ(path, ExecutablePathOfCommand("\"" + path + "\"  ")) << ext;
        }
    }
    // Without a program extension the first word stands for the program.
    EXPECT_EQ("C:\\Program", ExecutablePathOfCommand("C:\\Program Files\\My Tool\\run it.dll x"));
    EXPECT_EQ("C:\\tools\\agent", ExecutablePathOfCommand("C:\\tools\\agent \t"));
}

TEST(AutorunCommandTest, WithoutAProgramNameTheFirstWordIsThePath) {
    EXPECT_EQ(ExecutablePathOfCommand("C:\\tools\\agent --service"), "C:\\tools\\agent");
    EXPECT_EQ(ExecutablePathOfCommand("C:\\tools\\agent"), "C:\\tools\\agent");
    EXPECT_EQ(ExecutablePathOfCommand(""), "");
    EXPECT_EQ(ExecutablePathOfCommand("   \t "), "");
}

class FixedAutorun final : public IAutorunSystem {
public:
    bool ReadAutorunPaths(std::vector<std::string>* paths) override {
        ++reads;
        *paths = list;
        return true;
    }
    bool SameTextIgnoringCase(const std::string& left, const std::string& right) override {
        if (left.size() != right.size()) return false;
        for (size_t i = 0; i < left.size(); ++i) {
            if (std::tolower(static_cast<unsigned char>(left[i])) !=
                std::tolower(static_cast<unsigned char>(right[i])))
                return false;
        }
        return true;
    }
    std::vector<std::string> list;
    int reads = 0;
};

int AnalysePath(CRelatedByAutoRun* feature, const char* path) {
    CDataProvider record(1);
    if (path != nullptr) record.SetPath(&path);
    return feature->Analyse(&record);
}

TEST(RelatedByAutoRunTest, FiresForAListedPathInAnyCase) {
    FixedAutorun system;
    system.list = {"C:\\Tools\\Agent.exe", ""};
    CRelatedByAutoRun feature(&system);
    EXPECT_EQ(AnalysePath(&feature, "C:\\Tools\\Agent.exe"),
              0);  // not read before Prepare
    ASSERT_EQ(feature.Prepare(), 1);
    EXPECT_EQ(AnalysePath(&feature, "c:\\TOOLS\\agent.EXE"), 1);
    EXPECT_EQ(AnalysePath(&feature, "C:\\Tools\\Agent.ex"), 0);
    EXPECT_EQ(AnalysePath(&feature, "C:\\Tools\\Agent.exe "), 0);
    // The blank entry of the list does not match a subject without a path.
    EXPECT_EQ(AnalysePath(&feature, nullptr), 0);
    EXPECT_EQ(feature.Analyse(nullptr), 0);

    system.list.clear();
    ASSERT_EQ(feature.Prepare(), 1);  // every Prepare reads the list anew
    EXPECT_EQ(AnalysePath(&feature, "C:\\Tools\\Agent.exe"), 0);
    EXPECT_EQ(system.reads, 2);
}

TEST(RelatedByAutoRunTest, WithoutASystemNothingFires) {
    CRelatedByAutoRun feature;
    EXPECT_EQ(feature.Prepare(), 1);
    EXPECT_EQ(AnalysePath(&feature, "C:\\x.exe"), 0);
    EXPECT_EQ(feature.GetId(), 6620);
    EXPECT_STREQ(feature.GetName(), "ID_RelatedByAutoRun");
}

}  // namespace
