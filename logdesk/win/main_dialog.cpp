#include "main_dialog.h"

#include <commdlg.h>
#include <shellapi.h>

#include <cstdint>
#include <ctime>
#include <new>
#include <string_view>
#include <vector>

#include "export_text.h"
#include "layout.h"
#include "logdesk_app.h"
#include "resource.h"
#include "texts.h"
#include "win32/files.h"
#include "win32/handles.h"
#include "win32/paths.h"

namespace {

// The list of each source, in source order.
constexpr int kListIds[kSourceCount] = {IDC_SCAN_LIST, IDC_REPORT_LIST, IDC_EVENT_LIST,
                                        IDC_UPDATER_LIST};
// The buttons along the bottom, left to right.
constexpr int kButtonIds[6] = {IDC_HELP_BUTTON, IDC_REFRESH, IDC_SELECT_ALL,
                               IDC_EXPORT,      IDC_CLEAR,   IDOK};
constexpr int kMinimumWidth = 600;
constexpr int kMinimumHeight = 400;

std::string LocalStamp() {
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    char stamp[32] = {};
    wsprintfA(stamp, "%04u-%02u-%02u %02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
              now.wMinute);
    return stamp;
}

bool ProductVersion(DWORD& mostSignificant, DWORD& leastSignificant) {
    const std::string path = kvwin::ModulePath(nullptr);
    if (path.empty()) return false;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return false;
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return false;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length) ||
        fixed == nullptr || length < sizeof(VS_FIXEDFILEINFO)) {
        return false;
    }
    mostSignificant = fixed->dwProductVersionMS;
    leastSignificant = fixed->dwProductVersionLS;
    return true;
}

INT_PTR AboutMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            CLogDeskApp& app = *reinterpret_cast<CLogDeskApp*>(lParam);
            SetWindowTextA(dialog, app.Text("About LogDesk").c_str());
            DWORD ms = 0, ls = 0;
            if (ProductVersion(ms, ls)) {
                SetDlgItemTextA(
                    dialog, IDC_VERSION_LINE,
                    VersionLine(app.ProgramName(), app.Text("Version"), ms, ls).c_str());
            }
            SetDlgItemTextA(dialog, IDC_MAKER_LINE, app.MakerLine().c_str());
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return AboutMessage(dialog, message, wParam, lParam);
    } catch (...) {
        return FALSE;  // nothing thrown crosses into the dialog manager
    }
}

// Starts the system's Notepad on `file`: by the full path of the one in the Windows
// folder, never by a bare name, which would run a Notepad.exe from the program's or the
// current folder first.
void StartNotepad(const std::string& file) {
    char windows[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    std::string program(windows, length);
    if (program.back() != '\\') program += '\\';
    program += "notepad.exe";
    std::string commandLine = "\"" + program + "\" \"" + file + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION process = {};
    if (CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

}  // namespace

INT_PTR CLogDeskDialog::DoModal(HINSTANCE instance) {
    instance_ = instance;
    return DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_LOGDESK_DIALOG), nullptr, DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CLogDeskDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CLogDeskDialog*>(lParam);
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        self->dialog_ = dialog;
    }
    auto* self = reinterpret_cast<CLogDeskDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (self == nullptr) return FALSE;
    // Nothing thrown may cross into the system's dialog code: an action that runs out of
    // memory ends with a message, and the dialog goes on.
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (const std::bad_alloc&) {
        self->ReportOutOfMemory("");
    } catch (...) {
    }
    return FALSE;
}

void CLogDeskDialog::ReportOutOfMemory(const std::string& path) {
    try {
        std::string text = app_.Text("There is not enough memory for this.");
        if (!path.empty()) text += "\n" + path;
        MessageBoxA(dialog_, text.c_str(), app_.ProgramName().c_str(), MB_OK | MB_ICONWARNING);
    } catch (...) {
        MessageBoxA(dialog_, "Out of memory.", nullptr, MB_OK | MB_ICONWARNING);
    }
}

INT_PTR CLogDeskDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog();
            return TRUE;
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED) return FALSE;
            switch (LOWORD(wParam)) {
                case IDOK:
                case IDCANCEL:
                    EndDialog(dialog_, LOWORD(wParam));
                    return TRUE;
                case IDC_REFRESH:
                    Refresh();
                    return TRUE;
                case IDC_SELECT_ALL:
                    SelectAll();
                    return TRUE;
                case IDC_EXPORT:
                    Export();
                    return TRUE;
                case IDC_CLEAR:
                    Clear();
                    return TRUE;
                case IDC_HELP_BUTTON:
                    Help();
                    return TRUE;
                default:
                    return FALSE;
            }
        case WM_NOTIFY: {
            LRESULT result = 0;
            if (!OnNotify(reinterpret_cast<const NMHDR*>(lParam), result)) return FALSE;
            SetWindowLongPtrA(dialog_, DWLP_MSGRESULT, result);
            return TRUE;
        }
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
                About();
                return TRUE;
            }
            return FALSE;
        case WM_SIZE:
            LayOut();
            return TRUE;
        case WM_GETMINMAXINFO: {
            auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
            limits->ptMinTrackSize = {kMinimumWidth, kMinimumHeight};
            return TRUE;
        }
        case WM_PAINT:
            if (!IsIconic(dialog_)) return FALSE;
            PaintMinimised();
            return TRUE;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<INT_PTR>(smallIcon_);
        case WM_DESTROY:
            if (activationWindow_ != nullptr)
                SetWindowLongPtrA(activationWindow_, GWLP_USERDATA, 0);
            controlsReady_ = false;
            return FALSE;
        default:
            return FALSE;
    }
}

void CLogDeskDialog::OnInitDialog() {
    if (activationWindow_ != nullptr) {
        SetWindowLongPtrA(activationWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(dialog_));
    }
    HMENU systemMenu = GetSystemMenu(dialog_, FALSE);
    if (systemMenu != nullptr) {
        AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, app_.AboutItem().c_str());
    }
    bigIcon_ = static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXICON),
                                             GetSystemMetrics(SM_CYICON), LR_SHARED));
    smallIcon_ = static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(IDR_MAINFRAME),
                                               IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    SendMessageA(dialog_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
    SendMessageA(dialog_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
    SetWindowTextA(dialog_, app_.ProgramName().c_str());

    for (int id : {IDC_HELP_BUTTON, IDC_REFRESH, IDC_SELECT_ALL, IDC_EXPORT, IDC_CLEAR, IDOK}) {
        TranslateControl(id);
    }

    current_ = -1;
    for (int index = 0; index < kSourceCount; ++index) {
        LogSource& source = sources_[index];
        source.kind = &SourceFormat(index);
        source.list.Attach(GetDlgItem(dialog_, kListIds[index]), source.kind->columns.size() - 1);
        int position = 0;
        for (const ColumnLayout& column : source.kind->columns) {
            // The check-box column has no caption to translate.
            const std::string caption = *column.captionKey ? app_.Text(column.captionKey) : "";
            source.list.InsertColumn(position++, caption, column.width);
        }
    }

    tree_ = GetDlgItem(dialog_, IDC_LOG_TREE);
    const std::string rootText = app_.Text("All Log");
    TVINSERTSTRUCTA insert = {};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<char*>(rootText.c_str());
    root_ = reinterpret_cast<HTREEITEM>(
        SendMessageA(tree_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));

    for (int index = 0; index < kSourceCount; ++index) {
        LogSource& source = sources_[index];
        source.name = app_.Text(source.kind->nameKey);
        source.path = SourceLogPath(app_.Paths(), index);
        source.list.AddExtendedStyles();
        insert.hParent = root_;
        insert.item.pszText = const_cast<char*>(source.name.c_str());
        source.item = reinterpret_cast<HTREEITEM>(
            SendMessageA(tree_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
    }
    SendMessageA(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root_));

    controlsReady_ = true;
    SendMessageA(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(sources_[0].item));
    LayOut();
    Refresh();
}

void CLogDeskDialog::TranslateControl(int id) {
    char text[256] = {};
    GetDlgItemTextA(dialog_, id, text, sizeof text);
    SetDlgItemTextA(dialog_, id, app_.Text(text).c_str());
}

void CLogDeskDialog::LayOut() {
    if (!controlsReady_ || IsIconic(dialog_)) return;
    RECT client = {}, tree = {}, button = {};
    GetClientRect(dialog_, &client);
    GetWindowRect(tree_, &tree);
    GetWindowRect(GetDlgItem(dialog_, IDOK), &button);
    const DialogLayout layout =
        ComputeLayout(client.right, client.bottom, tree.right - tree.left,
                      button.right - button.left, button.bottom - button.top);
    const auto move = [](HWND window, const Box& box) {
        MoveWindow(window, box.x, box.y, box.width, box.height, TRUE);
    };
    move(tree_, layout.tree);
    for (const LogSource& source : sources_) move(source.list.Handle(), layout.list);
    for (int k = 0; k < 6; ++k) move(GetDlgItem(dialog_, kButtonIds[k]), layout.buttons[k]);
    // The whole dialog, children included: buttons moved into the part a resize has
    // just added were left blank under Wine otherwise.
    RedrawWindow(dialog_, nullptr, nullptr,
                 RDW_UPDATENOW | RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

bool CLogDeskDialog::LoadSource(LogSource& source) {
    if (!kvwin::FileExists(source.path)) return false;
    try {
        // Only the newest part of a log past the caps is held; one byte more than kept
        // tells whether the part starts a line. Other modules of the suite may be
        // writing the log while it is read.
        std::string bytes;
        uint64_t size = 0;
        if (!kvwin::ReadFileTail(source.path, kLargestLogBytes + 1, &bytes, &size,
                                 kvwin::kShareAll)) {
            return false;
        }
        const LogPart part =
            NewestPart(bytes, size > bytes.size(), kLargestLogBytes, kLargestLogLines);
        source.list.AppendLog(part.text, source.kind->parse, app_.Rule());
        if (part.cut) {
            const std::string text =
                app_.Text("This log is too large: only its newest entries are shown.") + "\n" +
                source.path;
            MessageBoxA(dialog_, text.c_str(), app_.ProgramName().c_str(),
                        MB_OK | MB_ICONINFORMATION);
        }
        return true;
    } catch (const std::bad_alloc&) {
        source.list.DeleteAllItems();
        ReportOutOfMemory(source.path);
        return false;
    }
}

void CLogDeskDialog::Refresh() {
    for (LogSource& source : sources_) {
        source.list.DeleteAllItems();
        // The rows come back in file order, so no column is sorted any more.
        source.list.ForgetSort();
        LoadSource(source);
    }
    ShowSelectedSource();
}

void CLogDeskDialog::ShowSelectedSource() {
    const HTREEITEM selected =
        reinterpret_cast<HTREEITEM>(SendMessageA(tree_, TVM_GETNEXTITEM, TVGN_CARET, 0));
    int shown = -1;
    for (int index = 0; index < kSourceCount; ++index) {
        if (sources_[index].item == selected) shown = index;
    }
    // The root shows no list and keeps the source that was shown last.
    if (shown >= 0) current_ = shown;
    for (int index = 0; index < kSourceCount; ++index) {
        ShowWindow(sources_[index].list.Handle(), index == shown ? SW_SHOW : SW_HIDE);
    }
}

void CLogDeskDialog::SelectAll() {
    if (current_ < 0) return;
    sources_[current_].list.CheckAll();
}

void CLogDeskDialog::Clear() {
    if (current_ < 0) return;
    LogSource& source = sources_[current_];
    source.list.DeleteAllItems();
    if (!source.path.empty()) DeleteFileA(source.path.c_str());
}

void CLogDeskDialog::Export() {
    if (current_ < 0) return;
    const LogSource& source = sources_[current_];

    char chosen[MAX_PATH] = {};
    std::string path;
    for (;;) {
        OPENFILENAMEA dialog = {};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = dialog_;
        dialog.lpstrFilter = "TXT Files (*.txt)\0*.txt\0";
        dialog.lpstrFile = chosen;
        dialog.nMaxFile = MAX_PATH;
        // The dialog's own overwrite question would be about the name chosen, which is
        // not always the file written ("notes.log" is written as "notes.log.txt"): the
        // question is asked below, about that file.
        dialog.Flags = OFN_HIDEREADONLY | OFN_EXPLORER;
        dialog.lpstrDefExt = "txt";
        if (!GetSaveFileNameA(&dialog)) return;
        path = ExportPath(chosen, app_.Rule());
        // No: back to the save dialog, as the dialog's own question does.
        if (!kvwin::PathExists(path) || ConfirmReplace(path)) break;
    }

    const ExportTexts texts = {app_.Text("File"), source.name, app_.Text("Time"), LocalStamp(),
                               app_.Text("found")};
    const std::string text = BuildExportText(texts, source.list.Rows(), source.kind->format);
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || !kvwin::WriteAll(file.get(), text.data(), text.size())) {
        MessageBoxA(dialog_, app_.Text("Can't open this file!").c_str(), app_.ProgramName().c_str(),
                    MB_OK);
        return;
    }
    file.reset();
    StartNotepad(path);
}

bool CLogDeskDialog::ConfirmReplace(const std::string& path) {
    const std::string text = path + "\n" + app_.Text("This file already exists.") + "\n" +
                             app_.Text("Do you want to replace it?");
    return MessageBoxA(dialog_, text.c_str(), app_.ProgramName().c_str(),
                       MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

void CLogDeskDialog::Help() {
    const LogPaths& paths = app_.Paths();
    if (kvwin::FileExists(paths.helpFile)) {
        ShellExecuteA(dialog_, "open", paths.helpFile.c_str(), nullptr, nullptr, SW_SHOW);
        return;
    }
    const std::string prompt =
        HelpPrompt(app_.Text("Local help file was not detected. Please run Upkeep to download it."),
                   app_.Text("Is it need run upkeep right now?"));
    const int answer = MessageBoxA(nullptr, prompt.c_str(), app_.ProgramName().c_str(),
                                   MB_YESNO | MB_DEFAULT_DESKTOP_ONLY);
    if (answer == IDYES && !paths.updater.empty()) {
        ShellExecuteA(dialog_, "open", paths.updater.c_str(), nullptr, nullptr, SW_SHOW);
    }
}

void CLogDeskDialog::About() {
    DialogBoxParamA(instance_, MAKEINTRESOURCEA(IDD_ABOUTBOX), dialog_, AboutProc,
                    reinterpret_cast<LPARAM>(&app_));
}

void CLogDeskDialog::PaintMinimised() {
    PAINTSTRUCT paint = {};
    HDC dc = BeginPaint(dialog_, &paint);
    SendMessageA(dialog_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client = {};
    GetClientRect(dialog_, &client);
    const int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, bigIcon_);
    EndPaint(dialog_, &paint);
}

bool CLogDeskDialog::OnNotify(const NMHDR* header, LRESULT& result) {
    if (header->idFrom == IDC_LOG_TREE &&
        (header->code == TVN_SELCHANGEDA || header->code == TVN_SELCHANGEDW)) {
        ShowSelectedSource();
        result = 0;
        return true;
    }
    for (LogSource& source : sources_) {
        if (source.list.OnNotify(header, result)) return true;
    }
    return false;
}
