#pragma once
// Windows hands a program one command line, which the C runtime splits into arguments
// by rules of its own (backslashes count only before a quote). Arguments for a program
// that assay starts are quoted here so that they split back exactly as they were.
#include <string>
#include <vector>

std::wstring QuoteArgument(const std::wstring& argument);

// The program (quoted whole: a path holds no quote) followed by the quoted arguments.
std::wstring BuildCommandLine(const std::wstring& program,
                              const std::vector<std::wstring>& arguments);
