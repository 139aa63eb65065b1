#include "logdesk_session.h"

#include <shlobj.h>

#include <cstring>

#include "program_folder_win.h"
#include "whole_file_win.h"
#include "windriver.h"

namespace {

const char* const kInstallDirs[5] = {"Base", "Bulwark", "Keystone", "Addins", "Upkeep"};

}  // namespace

std::string ReadBytes(const std::string& path) {
    return kvtest::ReadWholeFile(path, "<missing>");
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string WaitForLines(const std::string& path, size_t lines) {
    std::string bytes;
    windriver::WaitFor([&] {
        bytes = ReadBytes(path);
        size_t count = 0;
        for (size_t at = bytes.find("\r\n"); at != std::string::npos;
             at = bytes.find("\r\n", at + 2)) {
            ++count;
        }
        return bytes != "<missing>" && count >= lines;
    });
    return bytes;
}

SuiteFolder::SuiteFolder() {
    if (Root().empty()) return;
    for (const char* dir : kInstallDirs) CreateDirectoryA(Dir(dir).c_str(), nullptr);
    CreateDirectoryA(Dir("Program").c_str(), nullptr);

    ready_ = CopyFileA(kvtest::BesideProgram("LogDesk.exe").c_str(), Program().c_str(), FALSE) &&
             CopyFileA(kvtest::BesideProgram("Recorder.exe").c_str(),
                       (Dir("Program") + "\\Notepad.exe").c_str(), FALSE) &&
             CopyFileA(kvtest::BesideProgram("Recorder.exe").c_str(),
                       (Dir("Upkeep") + "\\Upkeep.exe").c_str(), FALSE) &&
             CopyFileA(kvtest::BesideProgram("Polyglot.dll").c_str(),
                       (Dir("Addins") + "\\Polyglot.dll").c_str(), FALSE);

    char common[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, common, CSIDL_PROGRAM_FILES_COMMON, TRUE);
    const std::string labs = std::string(common) + "\\Kavro Labs";
    CreateDirectoryA(labs.c_str(), nullptr);
    CreateDirectoryA((labs + "\\Base").c_str(), nullptr);
    rosterPath_ = labs + "\\Base\\Roster.ini";
    hadRoster_ = Exists(rosterPath_);
    if (hadRoster_) savedRoster_ = ReadBytes(rosterPath_);
}

SuiteFolder::~SuiteFolder() {
    if (hadRoster_) {
        kvtest::WriteWholeFile(rosterPath_, savedRoster_);
    } else if (!rosterPath_.empty()) {
        DeleteFileA(rosterPath_.c_str());
    }
}

void SuiteFolder::WriteRoster(const std::vector<std::string>& installPaths) {
    std::string text;
    for (size_t i = 0; i < 5 && i < installPaths.size(); ++i) {
        text +=
            std::string("[") + kInstallDirs[i] + "]\r\nInstall Path=" + installPaths[i] + "\r\n";
    }
    kvtest::WriteWholeFile(rosterPath_, text);
}

void SuiteFolder::WriteRoster() {
    std::vector<std::string> paths;
    for (const char* dir : kInstallDirs) paths.push_back(Dir(dir));
    paths[3] += "\\";  // a trailing separator on the modules directory is allowed
    WriteRoster(paths);
}

void SuiteFolder::RemoveRoster() {
    DeleteFileA(rosterPath_.c_str());
}

PlantedNotepad::PlantedNotepad() {
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    program_ = std::string(windows) + "\\notepad.exe";
    saved_ = program_ + ".kvsaved";
    // A run that crashed left the original aside already: it stays the one put back.
    if (!Exists(saved_)) MoveFileA(program_.c_str(), saved_.c_str());
    DeleteFileA(Record().c_str());
    ready_ = Exists(saved_) &&
             CopyFileA(kvtest::BesideProgram("Recorder.exe").c_str(), program_.c_str(), FALSE);
}

PlantedNotepad::~PlantedNotepad() {
    DeleteFileA(Record().c_str());
    if (Exists(saved_) && DeleteFileA(program_.c_str())) MoveFileA(saved_.c_str(), program_.c_str());
}

bool LogDeskProcess::Start(const std::string& program, const std::string& directory) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + program + "\"";
    return CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                          directory.c_str(), &startup, &info_) != FALSE;
}

HWND LogDeskProcess::WaitForDialog() {
    HWND dialog = nullptr;
    windriver::WaitFor([&] {
        dialog = windriver::FindDialog(Pid(), 1000);
        return dialog != nullptr;
    });
    // A modal dialog shows itself (SW_SHOWNORMAL) the first time its message queue runs
    // empty, which would undo a minimise sent before then. Two round trips through the
    // queue put that moment behind us.
    if (dialog != nullptr) {
        WaitForInputIdle(info_.hProcess, 10000);
        for (int trip = 0; trip < 2; ++trip) {
            DWORD_PTR ignored = 0;
            SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
        }
    }
    return dialog;
}

DWORD LogDeskProcess::WaitForExit(DWORD timeoutMs) {
    if (info_.hProcess == nullptr) return STILL_ACTIVE;
    WaitForSingleObject(info_.hProcess, timeoutMs);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

LogDeskProcess::~LogDeskProcess() {
    if (info_.hProcess == nullptr) return;

    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
        // Close what is open: message boxes and the save dialog first, then the window.
        for (HWND window : windriver::ProcessWindows(Pid())) {
            if (GetDlgItem(window, 1000) != nullptr) continue;
            windriver::Answer(window, IDCANCEL);
            windriver::Answer(window, IDNO);
        }
        if (HWND dialog = windriver::FindDialog(Pid(), 1000)) windriver::Answer(dialog, IDCANCEL);

        if (WaitForSingleObject(info_.hProcess, 10000) == WAIT_TIMEOUT) {
            TerminateProcess(info_.hProcess, 99);
            WaitForSingleObject(info_.hProcess, 5000);
        }
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
}

namespace {
constexpr const char kProgramX11Key[] = "Software\\Wine\\AppDefaults\\LogDesk.exe\\X11 Driver";
}  // namespace

UnmanagedWindows::UnmanagedWindows() {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kProgramX11Key, 0, nullptr, 0, KEY_READ | KEY_WRITE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    char value[16] = {};
    DWORD size = sizeof value;
    hadValue_ = RegQueryValueExA(key, "Managed", nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                                 &size) == ERROR_SUCCESS;
    if (hadValue_) saved_.assign(value, strnlen(value, sizeof value));
    RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
    RegCloseKey(key);
}

UnmanagedWindows::~UnmanagedWindows() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kProgramX11Key, 0, KEY_WRITE, &key) != ERROR_SUCCESS)
        return;
    if (hadValue_) {
        RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(saved_.c_str()),
                       static_cast<DWORD>(saved_.size() + 1));
    } else {
        RegDeleteValueA(key, "Managed");
    }
    RegCloseKey(key);
}
