#include "windriver.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstring>

namespace windriver {

namespace {

constexpr size_t kTextSize = 4096;
constexpr int kSaveNameBox = 0x47C;
constexpr int kMessageText = 0xFFFF;

bool IsDialog(HWND window) {
    char name[32] = {};
    GetClassNameA(window, name, sizeof name);
    return strcmp(name, "#32770") == 0;
}

struct EnumState {
    DWORD pid;
    std::vector<HWND>* windows;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
    auto* state = reinterpret_cast<EnumState*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == state->pid) state->windows->push_back(window);
    return TRUE;
}

// Sends `message` with `query` placed in the control's process, its text buffer right
// after it, and answers the text the control wrote there.
template <class Query>
std::string QueryText(HWND window, UINT message, WPARAM wParam, Query query, bool checkResult) {
    RemoteMemory memory(window, sizeof(Query) + kTextSize);
    if (!memory) return "<no memory>";
    query.cchTextMax = kTextSize;
    query.pszText = memory.Address(sizeof query);
    memory.Write(&query, sizeof query);
    if (!SendMessageA(window, message, wParam, reinterpret_cast<LPARAM>(memory.Address())) &&
        checkResult) {
        return "<refused>";
    }
    std::string text(kTextSize, '\0');
    memory.Read(&text[0], kTextSize, sizeof query);
    text.resize(strnlen(text.c_str(), kTextSize));
    return text;
}

}  // namespace

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start > timeoutMs) return condition();
        Sleep(20);
    }
}

bool WaitForNoProcess(const char* exeName, DWORD timeoutMs) {
    return WaitFor(
        [exeName] {
            HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
            if (snapshot == INVALID_HANDLE_VALUE) return false;
            PROCESSENTRY32 entry = {};
            entry.dwSize = sizeof entry;
            bool running = false;
            for (BOOL more = Process32First(snapshot, &entry); more && !running;
                 more = Process32Next(snapshot, &entry)) {
                running = lstrcmpiA(entry.szExeFile, exeName) == 0;
            }
            CloseHandle(snapshot);
            return !running;
        },
        timeoutMs);
}

bool Settled(HWND dialog) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &ignored) != 0;
}

std::vector<HWND> ProcessWindows(DWORD pid) {
    std::vector<HWND> windows;
    EnumState state = {pid, &windows};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&state));
    return windows;
}

HWND FindDialog(DWORD pid, int childId) {
    for (HWND window : ProcessWindows(pid)) {
        if (IsDialog(window) && IsWindowVisible(window) && GetDlgItem(window, childId) != nullptr) {
            return window;
        }
    }
    return nullptr;
}

HWND FindMessageBox(DWORD pid) {
    for (HWND window : ProcessWindows(pid)) {
        if (!IsDialog(window) || !IsWindowVisible(window)) continue;
        // The viewer's own dialogs and the save dialog have static texts too.
        if (GetDlgItem(window, 1000) || GetDlgItem(window, 1007) ||
            GetDlgItem(window, kSaveNameBox)) {
            continue;
        }
        if (GetDlgItem(window, kMessageText) != nullptr) return window;
    }
    return nullptr;
}

std::string WindowText(HWND window) {
    char text[kTextSize] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ItemText(HWND dialog, int id) {
    char text[kTextSize] = {};
    // WM_GETTEXT is marshalled between processes; GetWindowText of a foreign control
    // would not ask the control.
    SendMessageA(GetDlgItem(dialog, id), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

RemoteMemory::RemoteMemory(HWND window, size_t size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_ != nullptr) {
        address_ =
            VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
}

RemoteMemory::~RemoteMemory() {
    if (address_ != nullptr) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_ != nullptr) CloseHandle(process_);
}

bool RemoteMemory::Write(const void* data, size_t size, size_t offset) const {
    SIZE_T done = 0;
    return WriteProcessMemory(process_, Address(offset), data, size, &done) && done == size;
}

bool RemoteMemory::Read(void* data, size_t size, size_t offset) const {
    SIZE_T done = 0;
    return ReadProcessMemory(process_, Address(offset), data, size, &done) && done == size;
}

int RowCount(HWND list) {
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

std::string Cell(HWND list, int row, int column) {
    LVITEMA item = {};
    item.iSubItem = column;
    // The answer is the text's length, 0 for an empty cell.
    return QueryText(list, LVM_GETITEMTEXTA, row, item, false);
}

std::vector<std::string> Column(HWND list, int column) {
    std::vector<std::string> texts;
    const int rows = RowCount(list);
    for (int row = 0; row < rows; ++row) texts.push_back(Cell(list, row, column));
    return texts;
}

bool Checked(HWND list, int row) {
    const LRESULT state = SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK);
    return (static_cast<UINT>(state) & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
}

bool SetChecked(HWND list, int row, bool checked) {
    RemoteMemory memory(list, sizeof(LVITEMA));
    if (!memory) return false;
    LVITEMA item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    memory.Write(&item, sizeof item);
    return SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                        reinterpret_cast<LPARAM>(memory.Address())) != 0;
}

std::string ColumnCaption(HWND list, int column) {
    LVCOLUMNA query = {};
    query.mask = LVCF_TEXT;
    return QueryText(list, LVM_GETCOLUMNA, column, query, true);
}

bool ClickHeader(HWND list, int column) {
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    RemoteMemory memory(header, sizeof(RECT));
    if (header == nullptr || !memory) return false;
    if (!SendMessageA(header, HDM_GETITEMRECT, column,
                      reinterpret_cast<LPARAM>(memory.Address()))) {
        return false;
    }
    RECT rect = {}, client = {};
    memory.Read(&rect, sizeof rect);
    // The header only takes clicks inside its window: aim at the visible part.
    GetClientRect(header, &client);
    const LONG left = std::max(rect.left, client.left), right = std::min(rect.right, client.right);
    if (left >= right) return false;
    const LPARAM point = MAKELPARAM((left + right) / 2, (rect.top + rect.bottom) / 2);
    SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, point);
    SendMessageA(header, WM_LBUTTONUP, 0, point);
    return true;
}

namespace {

// Posts a left click at `x` pixels into the row, halfway down.
bool ClickInRow(HWND list, int row, int x) {
    RemoteMemory memory(list, sizeof(RECT));
    if (!memory) return false;
    RECT rect = {};
    rect.left = LVIR_BOUNDS;
    memory.Write(&rect, sizeof rect);
    if (!SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(memory.Address()))) {
        return false;
    }
    memory.Read(&rect, sizeof rect);
    const LPARAM point = MAKELPARAM(rect.left + x, (rect.top + rect.bottom) / 2);
    PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageA(list, WM_LBUTTONUP, 0, point);
    return true;
}

}  // namespace

bool ClickCheckBox(HWND list, int row) {
    // The check box sits at the left end of the row's first column.
    return ClickInRow(list, row, 8);
}

bool ClickRow(HWND list, int row) {
    const int firstWidth = static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0));
    return ClickInRow(list, row, firstWidth + 20);
}

void PressKey(HWND window, UINT key) {
    PostMessageA(window, WM_KEYDOWN, key, 1);
    PostMessageA(window, WM_KEYUP, key, 0xC0000001);
}

std::vector<HTREEITEM> TreeItems(HWND tree) {
    std::vector<HTREEITEM> items;
    HTREEITEM root = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    if (root == nullptr) return items;
    items.push_back(root);
    for (HTREEITEM child = reinterpret_cast<HTREEITEM>(
             SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(root)));
         child != nullptr;
         child = reinterpret_cast<HTREEITEM>(
             SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(child)))) {
        items.push_back(child);
    }
    return items;
}

std::string TreeItemText(HWND tree, HTREEITEM handle) {
    TVITEMA item = {};
    item.mask = TVIF_TEXT;
    item.hItem = handle;
    return QueryText(tree, TVM_GETITEMA, 0, item, true);
}

bool SelectTreeItem(HWND tree, HTREEITEM item) {
    return SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)) != 0;
}

void PressButton(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void PressButtonAndWait(HWND dialog, int id) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void Answer(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

bool FillSaveDialog(HWND dialog, const std::string& name) {
    HWND box = GetDlgItem(dialog, kSaveNameBox);
    if (box == nullptr) return false;
    SendMessageA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
    Answer(dialog, IDOK);
    return true;
}

}  // namespace windriver
