#include "list_ctrl_ex.h"

#include <vector>

namespace {

constexpr UINT kUnchecked = INDEXTOSTATEIMAGEMASK(1);
constexpr UINT kChecked = INDEXTOSTATEIMAGEMASK(2);
constexpr size_t kCaptionSize = 256;

}  // namespace

CListCtrlEx::~CListCtrlEx() {
    if (list_ != nullptr && IsWindow(list_)) RemoveWindowSubclass(list_, SubclassProc, 0);
}

void CListCtrlEx::Attach(HWND list, size_t cellCount) {
    list_ = list;
    rows_ = RowTable(cellCount);
    // The check box of each row is asked for like its texts.
    SendMessageA(list_, LVM_SETCALLBACKMASK, LVIS_STATEIMAGEMASK, 0);
    SetWindowSubclass(list_, SubclassProc, 0, reinterpret_cast<DWORD_PTR>(this));
}

void CListCtrlEx::AddExtendedStyles() {
    const DWORD added = LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT;
    SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, added, added);
}

void CListCtrlEx::InsertColumn(int index, const std::string& caption, int width) {
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<char*>(caption.c_str());
    column.iSubItem = index;
    SendMessageA(list_, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
}

void CListCtrlEx::DeleteAllItems() {
    rows_.Clear();
    SendMessageA(list_, LVM_DELETEALLITEMS, 0, 0);
}

size_t CListCtrlEx::AppendLog(std::string_view bytes, ParseLineFn parse, const LeadByteRule& rule) {
    const size_t added = rows_.AppendLog(bytes, parse, rule);
    SendMessageA(list_, LVM_SETITEMCOUNT, rows_.Size(), 0);
    InvalidateRect(list_, nullptr, TRUE);
    return added;
}

void CListCtrlEx::CheckAll() {
    SetCheck(-1, true);
}

void CListCtrlEx::ForgetSort() {
    const SortState::Restore restore = sort_.Reset();
    if (restore.column >= 0) SetColumnCaption(restore.column, restore.caption);
}

std::string CListCtrlEx::ColumnCaption(int column) const {
    char caption[kCaptionSize] = {};
    LVCOLUMNA query = {};
    query.mask = LVCF_TEXT;
    query.pszText = caption;
    query.cchTextMax = kCaptionSize;
    SendMessageA(list_, LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(&query));
    return caption;
}

void CListCtrlEx::SetColumnCaption(int column, const std::string& caption) {
    LVCOLUMNA change = {};
    change.mask = LVCF_TEXT;
    change.pszText = const_cast<char*>(caption.c_str());
    SendMessageA(list_, LVM_SETCOLUMNA, column, reinterpret_cast<LPARAM>(&change));
}

void CListCtrlEx::OnColumnClick(int column) {
    const SortState::Click click = sort_.OnColumnClick(column, ColumnCaption(column));
    if (click.restoreColumn >= 0) SetColumnCaption(click.restoreColumn, click.restoreCaption);
    SetColumnCaption(column, click.caption);

    // The selected row keeps its selection wherever the sort puts it.
    const int selected = static_cast<int>(SendMessageA(list_, LVM_GETNEXTITEM, -1, LVNI_SELECTED));
    const size_t selectedRow = selected >= 0 ? rows_.RowId(selected) : 0;
    // The check-box column has no text: every key is equal and the order stays.
    if (column >= 1 && static_cast<size_t>(column) <= rows_.CellCount()) {
        rows_.SortBy(column - 1, click.ascending);
    }
    if (selected >= 0) {
        LVITEMA state = {};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list_, LVM_SETITEMSTATE, selected, reinterpret_cast<LPARAM>(&state));
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list_, LVM_SETITEMSTATE, rows_.PositionOf(selectedRow),
                     reinterpret_cast<LPARAM>(&state));
    }
    InvalidateRect(list_, nullptr, FALSE);
}

void CListCtrlEx::SetCheck(int position, bool checked) {
    if (position == -1) {
        rows_.CheckAll(checked);
        InvalidateRect(list_, nullptr, FALSE);
        return;
    }
    if (position < 0 || static_cast<size_t>(position) >= rows_.Size()) return;
    rows_.SetChecked(position, checked);
    SendMessageA(list_, LVM_REDRAWITEMS, position, position);
}

void CListCtrlEx::ToggleCheck(int position) {
    if (position < 0 || static_cast<size_t>(position) >= rows_.Size()) return;
    SetCheck(position, !rows_.Checked(position));
}

void CListCtrlEx::GetDisplayInfo(LVITEMA& item) const {
    if (item.iItem < 0 || static_cast<size_t>(item.iItem) >= rows_.Size()) return;
    if ((item.mask & LVIF_TEXT) && item.pszText != nullptr && item.cchTextMax > 0) {
        const size_t cell = static_cast<size_t>(item.iSubItem);
        const char* text =
            cell >= 1 && cell <= rows_.CellCount() ? rows_.CellText(item.iItem, cell - 1) : "";
        lstrcpynA(item.pszText, text, item.cchTextMax);
    }
    if ((item.mask & LVIF_STATE) && item.iSubItem == 0) {
        item.state = (item.state & ~LVIS_STATEIMAGEMASK) |
                     (rows_.Checked(item.iItem) ? kChecked : kUnchecked);
        item.stateMask |= LVIS_STATEIMAGEMASK;
    }
}

bool CListCtrlEx::OnNotify(const NMHDR* header, LRESULT& result) {
    if (header->hwndFrom != list_) return false;
    result = 0;
    switch (header->code) {
        case LVN_GETDISPINFOA:
            GetDisplayInfo(reinterpret_cast<NMLVDISPINFOA*>(const_cast<NMHDR*>(header))->item);
            return true;
        case LVN_COLUMNCLICK:
            OnColumnClick(reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem);
            return true;
        default:
            return false;
    }
}

LRESULT CALLBACK CListCtrlEx::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR, DWORD_PTR self) {
    // Nothing thrown may cross into the list's own code.
    try {
        return reinterpret_cast<CListCtrlEx*>(self)->OnMessage(window, message, wParam, lParam);
    } catch (...) {
        return DefSubclassProc(window, message, wParam, lParam);
    }
}

LRESULT CListCtrlEx::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CListCtrlEx& list = *this;
    switch (message) {
        case LVM_SETITEMSTATE: {
            // The list keeps no check marks of its own: they go to the rows. What else
            // the caller changes (selection, focus) is the list's business.
            LVITEMA* item = reinterpret_cast<LVITEMA*>(lParam);
            if (item == nullptr || !(item->stateMask & LVIS_STATEIMAGEMASK)) break;
            const UINT image = item->state & LVIS_STATEIMAGEMASK;
            if (image == kChecked || image == kUnchecked) {
                list.SetCheck(static_cast<int>(wParam), image == kChecked);
            }
            LVITEMA rest = *item;
            rest.stateMask &= ~LVIS_STATEIMAGEMASK;
            if (rest.stateMask == 0) return TRUE;
            return DefSubclassProc(window, message, wParam, reinterpret_cast<LPARAM>(&rest));
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            LVHITTESTINFO hit = {};
            hit.pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            SendMessageA(window, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
            if (hit.iItem >= 0 && hit.iSubItem == 0 && (hit.flags & LVHT_ONITEMSTATEICON)) {
                list.ToggleCheck(hit.iItem);
            }
            break;
        }
        case WM_KEYDOWN:
            if (wParam == VK_SPACE) {
                list.ToggleCheck(
                    static_cast<int>(SendMessageA(window, LVM_GETNEXTITEM, -1, LVNI_FOCUSED)));
            }
            break;
        default:
            break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}
