#include "bk_dialog.h"

#include <commctrl.h>

#include <cstring>
#include <string>

namespace {

constexpr COLORREF kFace = RGB(232, 242, 238);
constexpr COLORREF kHoverFace = RGB(246, 252, 249);
constexpr COLORREF kOutline = RGB(72, 118, 104);
constexpr COLORREF kHoverOutline = RGB(24, 96, 74);

// Puts an object into a device context for one scope and takes it out again.
class Selected {
public:
    Selected(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~Selected() { SelectObject(dc_, old_); }
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

bool IsEditControl(HWND control) {
    char name[16] = {};
    GetClassNameA(control, name, sizeof name);
    return lstrcmpiA(name, "Edit") == 0;
}

}  // namespace

bool CBkButton::Attach(HWND button) {
    if (button == nullptr) return false;
    hwnd_ = button;
    const LONG style = GetWindowLongA(button, GWL_STYLE);
    SendMessageA(button, BM_SETSTYLE, (style & 0xFF) | BS_OWNERDRAW, TRUE);
    return SetWindowSubclass(button, &CBkButton::ButtonProc, 1,
                             reinterpret_cast<DWORD_PTR>(this)) != FALSE;
}

LRESULT CALLBACK CBkButton::ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR self) {
    CBkButton* button = reinterpret_cast<CBkButton*>(self);
    switch (message) {
        case WM_MOUSEMOVE:
            if (!button->hover_) {
                TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, hwnd, 0};
                TrackMouseEvent(&track);
                button->SetHover(true);
            }
            break;
        case WM_MOUSELEAVE:
            button->SetHover(false);
            break;
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, &CBkButton::ButtonProc, id);
            break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

void CBkButton::SetHover(bool hover) {
    hover_ = hover;
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void CBkButton::Draw(const DRAWITEMSTRUCT& item, HBRUSH background) const {
    HDC dc = item.hDC;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    RECT outer = item.rcItem;
    FillRect(dc, &outer, background);

    RECT inner = outer;
    InflateRect(&inner, -1, -1);
    DrawEdge(dc, &inner, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
    UniqueGdiObject face(CreateSolidBrush(hover_ && !disabled ? kHoverFace : kFace));
    FillRect(dc, &inner, static_cast<HBRUSH>(face.get()));

    UniqueGdiObject pen(CreatePen(PS_SOLID, 1, hover_ && !disabled ? kHoverOutline : kOutline));
    {
        Selected usePen(dc, pen.get());
        Selected noFill(dc, GetStockObject(NULL_BRUSH));
        RoundRect(dc, outer.left, outer.top, outer.right, outer.bottom, 3, 3);
    }

    char text[128] = {};
    GetWindowTextA(item.hwndItem, text, sizeof text);
    RECT textRect = outer;
    if (pressed) OffsetRect(&textRect, 1, 1);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, disabled ? GetSysColor(COLOR_GRAYTEXT) : RGB(0, 0, 0));
    DrawTextA(dc, text, -1, &textRect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if ((item.itemState & ODS_FOCUS) != 0 && !disabled) {
        RECT focus = inner;
        InflateRect(&focus, -1, -1);
        DrawFocusRect(dc, &focus);
    }
}

CBkDialog::CBkDialog() : brush_(CreateSolidBrush(kBackground)) {}

CBkDialog::~CBkDialog() = default;

HWND CBkDialog::Create(HINSTANCE module, int templateId, HWND owner) {
    return CreateDialogParamA(module, MAKEINTRESOURCEA(templateId), owner, &CBkDialog::DialogProc,
                              reinterpret_cast<LPARAM>(this));
}

BOOL CBkDialog::OnInitDialog() {
    if (smallIcon_ != nullptr) {
        SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
    }
    return TRUE;
}

void CBkDialog::MakeOwnerDrawn(int controlId) {
    auto button = std::make_unique<CBkButton>();
    if (button->Attach(GetDlgItem(hwnd_, controlId))) buttons_.push_back(std::move(button));
}

INT_PTR CALLBACK CBkDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CBkDialog*>(lParam);
        SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        self->hwnd_ = hwnd;
        return self->OnInitDialog();
    }
    auto* self = reinterpret_cast<CBkDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    if (self == nullptr) return FALSE;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        self->OnWindowGone();
        return FALSE;
    }
    bool handled = false;
    INT_PTR result = self->CommonMessage(message, wParam, lParam, handled);
    if (handled) return result;
    result = FALSE;
    return self->OnMessage(message, wParam, lParam, result) ? result : FALSE;
}

INT_PTR CBkDialog::CommonMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    HBRUSH brush = static_cast<HBRUSH>(brush_.get());
    handled = true;
    switch (message) {
        case WM_ERASEBKGND: {
            RECT client;
            GetClientRect(hwnd_, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
            SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        case WM_CTLCOLORDLG:
            return reinterpret_cast<INT_PTR>(brush);
        case WM_CTLCOLORSTATIC:
            // Read-only edit controls ask here too; they keep the system's colours.
            if (IsEditControl(reinterpret_cast<HWND>(lParam))) break;
            SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
            return reinterpret_cast<INT_PTR>(brush);
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            for (const auto& button : buttons_) {
                if (button->hwnd() == item->hwndItem) {
                    button->Draw(*item, brush);
                    return TRUE;
                }
            }
            break;
        }
    }
    handled = false;
    return FALSE;
}
