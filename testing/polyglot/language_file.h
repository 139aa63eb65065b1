#pragma once
// key=value language files of the stand-in language library.
#include <map>
#include <string>

using LanguageTable = std::map<std::string, std::string>;

LanguageTable ParseLanguageText(const std::string& text);
