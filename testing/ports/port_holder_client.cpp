#include "port_holder_client.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "program_folder_win.h"

bool PortHolder::Start(const std::vector<std::string>& requests) {
    Stop();
    static int serial = 0;
    char unique[64];
    snprintf(unique, sizeof(unique), "kv_port_holder_%lu_%d", GetCurrentProcessId(), ++serial);
    const std::string eventName = unique;
    char tempDir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, tempDir);
    const std::string reportPath = std::string(tempDir) + unique + ".txt";

    UniqueHandle ready(CreateEventA(nullptr, TRUE, FALSE, eventName.c_str()));
    if (!ready) {
        error_ = "CreateEvent failed";
        return false;
    }
    imagePath_ = kvtest::BesideProgram("port_holder.exe");
    std::string command = "\"" + imagePath_ + "\" " + eventName + " \"" + reportPath + "\"";
    for (const std::string& request : requests) command += " " + request;

    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    if (!CreateProcessA(imagePath_.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info)) {
        error_ = "CreateProcess failed, error " + std::to_string(GetLastError());
        return false;
    }
    CloseHandle(info.hThread);
    process_.reset(info.hProcess);
    pid_ = info.dwProcessId;

    HANDLE waits[2] = {ready.get(), process_.get()};
    const DWORD waited = WaitForMultipleObjects(2, waits, FALSE, 20000);
    std::ifstream report(reportPath);
    std::string line_text;
    while (std::getline(report, line_text)) {
        std::istringstream fields(line_text);
        HeldPort held;
        if (line_text.rfind("failed", 0) == 0) {
            error_ = "port_holder: " + line_text;
            continue;
        }
        if (fields >> held.protocol >> held.port) ports_.push_back(held);
    }
    report.close();
    DeleteFileA(reportPath.c_str());
    if (waited != WAIT_OBJECT_0) {
        if (error_.empty()) error_ = "port_holder did not become ready";
        Stop();
        return false;
    }
    return true;
}

void PortHolder::Stop() {
    if (process_) {
        TerminateProcess(process_.get(), 0);
        WaitForSingleObject(process_.get(), 20000);
    }
    process_.reset();
    pid_ = 0;
    ports_.clear();
}
