#include "command_line.h"

#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// What the system's own splitter makes of a command line, the program left out.
std::vector<std::wstring> Split(const std::wstring& line) {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(line.c_str(), &count);
    std::vector<std::wstring> args;
    if (argv == nullptr) return args;
    for (int i = 1; i < count; ++i) args.push_back(argv[i]);
    LocalFree(argv);
    return args;
}

TEST(CommandLine, ArgumentsSplitBackAsTheyWere) {
    const std::vector<std::wstring> arguments = {
        L"plain",
        L"",
        L"with space",
        L"C:\\dir with space\\",  // a trailing backslash before the closing quote
        L"C:\\no space\\\\",
        L"say \"hi\"",
        L"back\\\"slash",  // a backslash before a quote
        L"\\\\server\\share\\x.ini",
        L"tab\there",
        L"--config=Z:\\a b\\w.ini",
        L"\x00e9t\x00e9 \x4e2d",
    };
    const std::wstring line = BuildCommandLine(L"C:\\Program Files\\assay.exe", arguments);
    EXPECT_EQ(Split(line), arguments) << std::string(line.begin(), line.end());
    EXPECT_EQ(QuoteArgument(L"plain"), L"plain") << "nothing to quote, no quotes";
}

}  // namespace
