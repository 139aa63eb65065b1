#include "autorun_command.h"

#include <cctype>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Program files that a run key starts directly. Unquoted paths with blanks are
// common
// ("C:\Program Files\Tool\tool.exe /min"), so the first blank alone cannot end
// the path.
bool EndsWithProgramExtension(const std::string& text, size_t end) {
    static const char* const kExtensions[] = {".exe", ".com", ".bat", ".cmd", ".pif", ".scr"};
    for (const char* extension : kExtensions) {
        const size_t length = 4;
        if (end < length) continue;
        bool same = true;
        for (size_t i = 0; i < length && same; ++i) {
            const unsigned char c = static_cast<unsigned char>(text[end - length + i]);
            // Only ASCII letters are folded: a lead byte of a double-byte character
            // must not be mistaken for one.
            const char folded = c < 0x80 ? static_cast<char>(std::tolower(c)) : '\0';
            same = folded == extension[i];
        }
        if (same) return true;
    }
    return false;
}

}  // namespace

std::string ExecutablePathOfCommand(const std::string& commandLine) {
    size_t start = 0;
    while (start < commandLine.size() && IsBlank(commandLine[start])) ++start;
    if (start == commandLine.size()) return std::string();

    if (commandLine[start] == '"') {
        const size_t close = commandLine.find('"', start + 1);
        // An unclosed quote runs to the end of the text.
        const size_t end = close == std::string::npos ? commandLine.size() : close;
        return commandLine.substr(start + 1, end - start - 1);
    }

    // The first word end (a blank or the end of the text) that closes a program
    // name.
    for (size_t end = start + 1; end <= commandLine.size(); ++end) {
        if (end < commandLine.size() && !IsBlank(commandLine[end])) continue;
        if (EndsWithProgramExtension(commandLine, end)) {
            return commandLine.substr(start, end - start);
        }
    }
    size_t end = start;
    while (end < commandLine.size() && !IsBlank(commandLine[end])) ++end;
    return commandLine.substr(start, end - start);
}
