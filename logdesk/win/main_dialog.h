#pragma once
// The main window: the tree of logs, one list per log, and the buttons below them.
#include <windows.h>

#include <commctrl.h>

#include <array>
#include <string>

#include "list_ctrl_ex.h"
#include "log_sources.h"

class CLogDeskApp;

// Activation message of the hidden single-instance window.
constexpr UINT WM_LOGDESK_ACTIVATE = WM_USER + 100;

class CLogDeskDialog {
public:
    // `activationWindow` learns the dialog's handle so a second start can bring it up.
    CLogDeskDialog(CLogDeskApp& app, HWND activationWindow)
        : app_(app), activationWindow_(activationWindow) {}
    CLogDeskDialog(const CLogDeskDialog&) = delete;
    CLogDeskDialog& operator=(const CLogDeskDialog&) = delete;

    // Runs the dialog modally until Exit or the close box.
    INT_PTR DoModal(HINSTANCE instance);

private:
    struct LogSource {
        std::string name;  // translated
        CListCtrlEx list;
        HTREEITEM item = nullptr;
        const LogFormat* kind = nullptr;
        std::string path;  // empty: not configured
    };

    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void OnInitDialog();
    void TranslateControl(int id);
    void LayOut();
    void Refresh();
    void ShowSelectedSource();
    void SelectAll();
    void Clear();
    void Export();
    // Whether the user lets an export replace the file at `path`.
    bool ConfirmReplace(const std::string& path);
    // A translated "not enough memory" message, naming `path` when there is one.
    void ReportOutOfMemory(const std::string& path);
    void Help();
    void About();
    void PaintMinimised();
    bool OnNotify(const NMHDR* header, LRESULT& result);
    // Reads a log (its newest part, past the caps, with a message) and appends its rows;
    // false when it does not exist or cannot be read.
    bool LoadSource(LogSource& source);

    CLogDeskApp& app_;
    HWND activationWindow_;
    HINSTANCE instance_ = nullptr;
    HWND dialog_ = nullptr;
    HWND tree_ = nullptr;
    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    HTREEITEM root_ = nullptr;
    std::array<LogSource, kSourceCount> sources_;
    int current_ = -1;
    bool controlsReady_ = false;
};
