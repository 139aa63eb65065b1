#pragma once
// A report list that shows the rows of one log and sorts itself when a column header
// is clicked. The list holds no items of its own (owner data): it asks for the texts
// and check marks of the rows it draws, which live in a RowTable. Check marks set from
// outside with LVM_SETITEMSTATE, a click on a check box or the space bar land in the
// table too, so the list behaves as one that holds its items.
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <string_view>

#include "row_table.h"
#include "sort_state.h"

class CListCtrlEx {
public:
    CListCtrlEx() : rows_(0) {}
    CListCtrlEx(const CListCtrlEx&) = delete;
    CListCtrlEx& operator=(const CListCtrlEx&) = delete;
    ~CListCtrlEx();

    // Takes over the dialog's list `list`; `cellCount` columns follow the check boxes.
    void Attach(HWND list, size_t cellCount);
    HWND Handle() const { return list_; }

    // Adds the grid lines, check boxes and full-row selection to the current styles.
    void AddExtendedStyles();
    void InsertColumn(int index, const std::string& caption, int width);

    // Rows: every row removed, rows appended from log bytes, rows ticked.
    void DeleteAllItems();
    size_t AppendLog(std::string_view bytes, ParseLineFn parse, const LeadByteRule& rule);
    void CheckAll();
    const RowTable& Rows() const { return rows_; }

    // The rows are in file order again: the sorted column shows its plain caption.
    void ForgetSort();

    // Notifications of the list to its dialog; true when handled, with the result.
    bool OnNotify(const NMHDR* header, LRESULT& result);

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR self);
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnColumnClick(int column);
    // The dialog is an ANSI window, so its lists ask in ANSI.
    void GetDisplayInfo(LVITEMA& item) const;
    // Ticks (or clears) the row at `position`, or every row for -1.
    void SetCheck(int position, bool checked);
    void ToggleCheck(int position);
    std::string ColumnCaption(int column) const;
    void SetColumnCaption(int column, const std::string& caption);

    HWND list_ = nullptr;
    RowTable rows_;
    SortState sort_;
};
