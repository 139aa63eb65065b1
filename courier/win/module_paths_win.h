#pragma once
// Where Courier.dll finds its files: its own folder and the suite's modules folder.
#include <windows.h>

#include <string>

// The module handle of Courier.dll (recorded when the library loads).
HINSTANCE CourierModule();
void SetCourierModule(HINSTANCE module);

// The folder of Courier.dll with its trailing backslash.
std::string CourierDirectory();

// The suite's modules folder: "Install Path" of [Addins] in the suite's Roster.ini under
// the common program files folder, without a trailing backslash. Empty when it is not
// known: the common program files folder cannot be had, or the value is empty.
std::string ModulesDirectory();

// The part of `path` after its last backslash; a backslash that is the second byte of a
// double-byte character does not count.
std::string FileNameOf(const std::string& path);
