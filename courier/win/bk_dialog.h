#pragma once
// A modeless dialog painted on a solid background, with owner-drawn push buttons that
// follow the mouse. The dialog object lives from Create until its window is gone.
#include <windows.h>

#include <memory>
#include <vector>

#include "win32/handles.h"

// A push button drawn by its dialog: a 1-pixel rounded outline over a 3D inner frame,
// lighter while the mouse is over it.
class CBkButton {
public:
    // Takes over `button`: its type becomes BS_OWNERDRAW and its mouse is tracked.
    bool Attach(HWND button);
    // Paints the button for its parent's WM_DRAWITEM; `background` fills the corners.
    void Draw(const DRAWITEMSTRUCT& item, HBRUSH background) const;
    HWND hwnd() const { return hwnd_; }

private:
    static LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR self);
    void SetHover(bool hover);

    HWND hwnd_ = nullptr;
    bool hover_ = false;
};

class CBkDialog {
public:
    static constexpr COLORREF kBackground = RGB(205, 225, 219);

    CBkDialog();
    virtual ~CBkDialog();
    CBkDialog(const CBkDialog&) = delete;
    CBkDialog& operator=(const CBkDialog&) = delete;

    // Creates the window from dialog template `templateId` of `module`, owned by `owner`;
    // WM_INITDIALOG runs before it returns. Null when the window could not be made.
    HWND Create(HINSTANCE module, int templateId, HWND owner);
    HWND hwnd() const { return hwnd_; }

protected:
    // WM_INITDIALOG: the base sets the small icon (when given). The result is the
    // dialog procedure's.
    virtual BOOL OnInitDialog();
    // Every other message; true when handled, with the dialog procedure's result in
    // `result`.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) = 0;
    // The window is gone (WM_NCDESTROY). The object may delete itself here; nothing of the
    // base touches it afterwards.
    virtual void OnWindowGone() {}

    void SetSmallIcon(HICON icon) { smallIcon_ = icon; }
    // Makes the button `controlId` an owner-drawn CBkButton.
    void MakeOwnerDrawn(int controlId);

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR CommonMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

    HWND hwnd_ = nullptr;
    HICON smallIcon_ = nullptr;
    UniqueGdiObject brush_;
    std::vector<std::unique_ptr<CBkButton>> buttons_;
};
