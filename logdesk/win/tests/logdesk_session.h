#pragma once
// An installed suite for LogDesk tests: a folder with the five install directories, the
// program with a Notepad stand-in beside it, the language library, and the product
// file that points at them (the prefix's own product file is put back afterwards).
#include <windows.h>

#include <string>
#include <vector>

#include "scratch_dir_win.h"

class SuiteFolder {
public:
    SuiteFolder();
    ~SuiteFolder();
    SuiteFolder(const SuiteFolder&) = delete;
    SuiteFolder& operator=(const SuiteFolder&) = delete;

    bool ready() const { return ready_; }
    const std::string& Root() const { return root_.path(); }
    // "<root>\<name>": "Base", "Bulwark", "Keystone", "Addins", "Upkeep", "Program".
    std::string Dir(const char* name) const { return root_ / name; }
    std::string Program() const { return Dir("Program") + "\\LogDesk.exe"; }

    // The product file with these five install paths (Base, Bulwark, Keystone, Addins,
    // Upkeep); the default points at the folder's own directories.
    void WriteRoster(const std::vector<std::string>& installPaths);
    void WriteRoster();
    void RemoveRoster();

    std::string RosterPath() const { return rosterPath_; }

private:
    kvtest::ScratchDir root_{"logdesk"};
    std::string rosterPath_;
    std::string savedRoster_;
    bool hadRoster_ = false;
    bool ready_ = false;
};

// The system's Notepad (notepad.exe in the Windows folder, which Wine runs as placed)
// replaced by a recorder for as long as the object lives, then put back.
class PlantedNotepad {
public:
    PlantedNotepad();
    ~PlantedNotepad();
    PlantedNotepad(const PlantedNotepad&) = delete;
    PlantedNotepad& operator=(const PlantedNotepad&) = delete;

    bool ready() const { return ready_; }
    const std::string& Program() const { return program_; }
    // What the recorder wrote: one command line per start.
    std::string Record() const { return program_ + ".cmdline"; }

private:
    std::string program_;
    std::string saved_;
    bool ready_ = false;
};

// One run of LogDesk.exe, closed (or ended) when the object goes.
class LogDeskProcess {
public:
    LogDeskProcess() = default;
    ~LogDeskProcess();
    LogDeskProcess(const LogDeskProcess&) = delete;
    LogDeskProcess& operator=(const LogDeskProcess&) = delete;

    // Starts `program` in `directory`. It inherits the locale, and so the ANSI code page,
    // of this process.
    bool Start(const std::string& program, const std::string& directory);
    DWORD Pid() const { return info_.dwProcessId; }
    // The main dialog once it is up with its lists filled, or null.
    HWND WaitForDialog();
    // The exit code, or STILL_ACTIVE when the program did not end in time.
    DWORD WaitForExit(DWORD timeoutMs = 20000);

private:
    PROCESS_INFORMATION info_ = {};
};

// The file's bytes, or "<missing>".
std::string ReadBytes(const std::string& path);
bool Exists(const std::string& path);
// Waits until `path` exists and has `lines` CR LF lines; answers its bytes.
std::string WaitForLines(const std::string& path, size_t lines);

// No window manager runs on the test display, and Wine waits two seconds for one each
// time it hides a window it believes managed (every dialog and message box that
// closes). For as long as this object lives, windows of LogDesk.exe are unmanaged.
class UnmanagedWindows {
public:
    UnmanagedWindows();
    ~UnmanagedWindows();
    UnmanagedWindows(const UnmanagedWindows&) = delete;
    UnmanagedWindows& operator=(const UnmanagedWindows&) = delete;

private:
    bool hadValue_ = false;
    std::string saved_;
};
