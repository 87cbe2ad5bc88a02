// A small dialog framework: a dialog object bound to a template, run modally, whose messages
// reach typed handlers through a static table looked up in order.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <type_traits>

#include "ui/screen_dpi.h"

class Dialog;

// One entry of a dialog's message table. For WM_COMMAND, code and id are the notification code
// and the command id; for WM_NOTIFY, the notification code and the control id (kAnyControl: the
// notification from whatever sends it); for every other message both are ignored. call returns 0 when the handler declined the message (the dialog's
// default handling then runs), otherwise the dialog procedure's result.
enum { kAnyControl = -0x7FFF };

struct MessageEntry {
    UINT message;
    int code;
    int id;
    INT_PTR (*call)(Dialog& dlg, WPARAM wParam, LPARAM lParam);
};

class Dialog {
public:
    explicit Dialog(UINT templateId) : m_templateId(templateId) {}
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;
    virtual ~Dialog() = default;

    // Runs the dialog modally. With no owner the application's main window owns it.
    INT_PTR DoModal(HWND owner = nullptr);
    HWND GetSafeHwnd() const { return m_hWnd; }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    void EndDialog(INT_PTR result) { ::EndDialog(m_hWnd, result); }

    // The application's main window, owner of dialogs and boxes opened without one.
    static void SetMainWindow(HWND hWnd) { s_hMainWindow = hWnd; }
    static HWND GetMainWindow() { return s_hMainWindow; }

protected:
    // The class's message table, looked up in order; {0} ends it.
    virtual const MessageEntry* GetMessageTable() const = 0;
    // Exchanges values with the controls; nothing by default.
    virtual void DoDataExchange(bool /*save*/) {}
    virtual BOOL OnInitDialog();
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // The message procedure: runs the table, then the default handling.
    virtual INT_PTR WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;

private:
    static INT_PTR CALLBACK StaticDialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR RunInitDialog();
    const MessageEntry* FindEntry(UINT message, WPARAM wParam, LPARAM lParam) const;
    bool ShouldCentre(const RECT& before) const;
    void CentreOverOwner();
    void KeepOnTopIfSystemModal();

    UINT m_templateId;
    static HWND s_hMainWindow;
};

// Handler adapters: each cracks wParam and lParam once and calls a typed member handler.
// A handler that returns bool declines the message by returning false.
namespace msgmap {

template <class T> struct MemberOf;
template <class C, class R, class... A> struct MemberOf<R (C::*)(A...)> {
    using Class = C;
    using Result = R;
};
template <auto F> using ClassOf = typename MemberOf<decltype(F)>::Class;
template <auto F> using ResultOf = typename MemberOf<decltype(F)>::Result;

template <auto F, class... A> INT_PTR Invoke(Dialog& dlg, A... args)
{
    auto& self = static_cast<ClassOf<F>&>(dlg);
    if constexpr (std::is_same_v<ResultOf<F>, bool>) {
        return (self.*F)(args...) ? TRUE : FALSE;
    } else {
        (self.*F)(args...);
        return TRUE;
    }
}

template <auto F> INT_PTR CallPlain(Dialog& dlg, WPARAM, LPARAM) { return Invoke<F>(dlg); }
template <auto F> INT_PTR CallSysCommand(Dialog& dlg, WPARAM wp, LPARAM lp)
{
    return Invoke<F>(dlg, static_cast<UINT>(wp), lp);
}
template <auto F> INT_PTR CallSize(Dialog& dlg, WPARAM wp, LPARAM lp)
{
    return Invoke<F>(dlg, static_cast<UINT>(wp), static_cast<int>(LOWORD(lp)), static_cast<int>(HIWORD(lp)));
}
// The result a handled notification or private message gives its sender. The dialog's own copy of
// it is read without leaving the process, so a result the dialog already holds is not written
// again (under Wine every write goes to the window server).
inline void SetMessageResult(HWND dlg, LRESULT result)
{
    if (GetWindowLongPtrA(dlg, DWLP_MSGRESULT) != result)
        SetWindowLongPtrA(dlg, DWLP_MSGRESULT, result);
}

template <auto F> INT_PTR CallNotify(Dialog& dlg, WPARAM, LPARAM lp)
{
    LRESULT result = 0;
    INT_PTR handled = Invoke<F>(dlg, reinterpret_cast<NMHDR*>(lp), &result);
    if (handled)
        SetMessageResult(dlg.GetSafeHwnd(), result);
    return handled;
}
// WM_QUERYDRAGICON and its kind return their value straight from the dialog procedure.
template <auto F> INT_PTR CallReturnHandle(Dialog& dlg, WPARAM, LPARAM)
{
    return reinterpret_cast<INT_PTR>((static_cast<ClassOf<F>&>(dlg).*F)());
}
template <auto F> INT_PTR CallContextMenu(Dialog& dlg, WPARAM wp, LPARAM lp)
{
    return Invoke<F>(dlg, reinterpret_cast<HWND>(wp), lp);
}
template <auto F> INT_PTR CallSetCursor(Dialog& dlg, WPARAM wp, LPARAM lp)
{
    return Invoke<F>(dlg, reinterpret_cast<HWND>(wp), static_cast<UINT>(LOWORD(lp)), static_cast<UINT>(HIWORD(lp)));
}
template <auto F> INT_PTR CallDropFiles(Dialog& dlg, WPARAM wp, LPARAM)
{
    return Invoke<F>(dlg, reinterpret_cast<HDROP>(wp));
}
// WM_DPICHANGED: the window's new DPI and the rectangle Windows suggests for it there.
template <auto F> INT_PTR CallDpiChanged(Dialog& dlg, WPARAM wp, LPARAM lp)
{
    return Invoke<F>(dlg, static_cast<UINT>(HIWORD(wp)), reinterpret_cast<const RECT*>(lp));
}
// A private message whose result goes back to SendMessage.
template <auto F> INT_PTR CallMessage(Dialog& dlg, WPARAM wp, LPARAM lp)
{
    LRESULT result = (static_cast<ClassOf<F>&>(dlg).*F)(wp, lp);
    SetMessageResult(dlg.GetSafeHwnd(), result);
    return TRUE;
}

}  // namespace msgmap

template <auto F> constexpr MessageEntry OnMessageEntry(UINT message) { return {message, 0, 0, &msgmap::CallPlain<F>}; }
template <auto F> constexpr MessageEntry OnSysCommandEntry() { return {WM_SYSCOMMAND, 0, 0, &msgmap::CallSysCommand<F>}; }
template <auto F> constexpr MessageEntry OnSizeEntry() { return {WM_SIZE, 0, 0, &msgmap::CallSize<F>}; }
template <auto F> constexpr MessageEntry OnQueryDragIconEntry() { return {WM_QUERYDRAGICON, 0, 0, &msgmap::CallReturnHandle<F>}; }
template <auto F> constexpr MessageEntry OnNotifyEntry(int code, int id) { return {WM_NOTIFY, code, id, &msgmap::CallNotify<F>}; }
template <auto F> constexpr MessageEntry OnNotifyAnyEntry(int code) { return {WM_NOTIFY, code, kAnyControl, &msgmap::CallNotify<F>}; }
template <auto F> constexpr MessageEntry OnContextMenuEntry() { return {WM_CONTEXTMENU, 0, 0, &msgmap::CallContextMenu<F>}; }
template <auto F> constexpr MessageEntry OnDropFilesEntry() { return {WM_DROPFILES, 0, 0, &msgmap::CallDropFiles<F>}; }
template <auto F> constexpr MessageEntry OnSetCursorEntry() { return {WM_SETCURSOR, 0, 0, &msgmap::CallSetCursor<F>}; }
template <auto F> constexpr MessageEntry OnCommandEntry(int id) { return {WM_COMMAND, 0, id, &msgmap::CallPlain<F>}; }
template <auto F> constexpr MessageEntry OnDpiChangedEntry() { return {WM_DPICHANGED, 0, 0, &msgmap::CallDpiChanged<F>}; }
template <auto F> constexpr MessageEntry OnPrivateEntry(UINT message) { return {message, 0, 0, &msgmap::CallMessage<F>}; }
constexpr MessageEntry EndOfTable() { return {0, 0, 0, nullptr}; }
