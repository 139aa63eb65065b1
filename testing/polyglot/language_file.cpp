#include "language_file.h"

LanguageTable ParseLanguageText(const std::string& text) {
    LanguageTable table;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';') continue;
        size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        table[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return table;
}
