#pragma once
// Path pieces as the C library's path splitter and the record's extension rule see
// them. Byte-wise: backslash, slash and a leading "X:" drive separate the pieces.
#include <string>

// The splitter's file-name part: after the drive and the last backslash or slash, and
// before the last dot of that rest ("c:\a\b.txt.exe" gives "b.txt", "a\.cfg" gives "").
std::string SplitFileName(const std::string& path);

// The text of the file name (after the last backslash only) following its first dot,
// or the whole file name when it has no dot ("c:\a\b.txt.exe" gives "txt.exe").
std::string ExtensionText(const std::string& path);
