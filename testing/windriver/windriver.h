#pragma once
// Drives another process's dialogs from a test: finds its windows, presses buttons,
// reads and ticks list rows, reads captions and tree items, clicks headers, answers
// message boxes and fills the save dialog. Structures that a control fills in are
// placed in the other process's memory.
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

namespace windriver {

// Asks `condition` every 20 ms until it holds or `timeoutMs` have passed.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = 20000);

// Waits until no process runs whose program file is named `exeName` (any case): what a
// program under test started has done its work once this holds.
bool WaitForNoProcess(const char* exeName, DWORD timeoutMs = 20000);
// Returns once `dialog`'s thread is back in its message loop: what its last action started
// has been started.
bool Settled(HWND dialog);

// Top-level windows of process `pid`.
std::vector<HWND> ProcessWindows(DWORD pid);
// A visible top-level dialog of `pid` that has a child with id `childId`, or null.
HWND FindDialog(DWORD pid, int childId);
// A visible message box of `pid` (a dialog whose text is static 0xFFFF), or null.
HWND FindMessageBox(DWORD pid);
std::string WindowText(HWND window);
std::string ItemText(HWND dialog, int id);

// Memory in the process that owns `window`, freed with this object.
class RemoteMemory {
public:
    RemoteMemory(HWND window, size_t size);
    ~RemoteMemory();
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    explicit operator bool() const { return address_ != nullptr; }
    char* Address(size_t offset = 0) const { return static_cast<char*>(address_) + offset; }
    bool Write(const void* data, size_t size, size_t offset = 0) const;
    bool Read(void* data, size_t size, size_t offset = 0) const;

private:
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
};

// List views.
int RowCount(HWND list);
std::string Cell(HWND list, int row, int column);
std::vector<std::string> Column(HWND list, int column);
bool Checked(HWND list, int row);
bool SetChecked(HWND list, int row, bool checked);  // row -1: every row
std::string ColumnCaption(HWND list, int column);
// A click on the header of `column`, sent so that the list has sorted when it returns.
bool ClickHeader(HWND list, int column);
// A click on the check box of `row`, or on its text, as a user makes it (posted).
bool ClickCheckBox(HWND list, int row);
bool ClickRow(HWND list, int row);
// A key pressed and released on `window` (posted).
void PressKey(HWND window, UINT key);

// Tree views: the root and its children, in order.
std::vector<HTREEITEM> TreeItems(HWND tree);
std::string TreeItemText(HWND tree, HTREEITEM item);
bool SelectTreeItem(HWND tree, HTREEITEM item);

// Presses a button of a dialog the way its own click would (posted: the handler may
// run a modal loop).
void PressButton(HWND dialog, int id);
// The same, sent: returns once the handler has run. Only for buttons that open nothing.
void PressButtonAndWait(HWND dialog, int id);
// Answers a message box or dialog with IDOK, IDYES, IDNO or IDCANCEL.
void Answer(HWND dialog, int id);
// Types `name` into a save dialog's file name box and presses its OK button.
bool FillSaveDialog(HWND dialog, const std::string& name);

}  // namespace windriver
