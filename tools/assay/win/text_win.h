#pragma once
// Conversions between the wide texts assay works in and the narrow texts it hands on:
// UTF-8 for JSON and the option parser, the ANSI code page for the analyser and the table;
// and the texts the system holds: error messages and this program's path.
#include <windows.h>

#include <string>

std::wstring WideFromUtf8(const std::string& text);
std::string NarrowFromWide(const std::wstring& text, UINT codePage);

// The system's text for an error code, without the trailing line break.
std::string ErrorText(DWORD code);

// The full path of this program (assay.exe); empty when the system cannot tell.
std::wstring ProgramPath();
