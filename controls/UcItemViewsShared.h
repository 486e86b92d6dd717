// What the wide tree view and list view share, for UcTreeView.cpp and
// UcListView.cpp only: the in-place edit window both subclass, the wide sort,
// and the handling of the wide notifications under their ANSI codes.
#pragma once

#include "comctrls.h"

#include "UcCodePages.h"
#include "UcControls.h"
#include "UcSysUtils.h"

namespace {

// The protected key handling of the class library's windowed control, for
// the in-place edit windows the views subclass.
struct TKeyAccess : TWinControl {
  static bool KeyDown(TWinControl* c, TMessage& m) { return (c->*(&TKeyAccess::DoKeyDown))(m); }
  static bool KeyUp(TWinControl* c, TMessage& m) { return (c->*(&TKeyAccess::DoKeyUp))(m); }
  static bool KeyPress(TWinControl* c, TMessage& m) { return (c->*(&TKeyAccess::DoKeyPress))(m); }
};

// What the in-place edit window of a tree or list view does with a message:
// key messages go to the view's key events first (a consumed key ends there),
// the view's own CN_ key messages go to the view, the rest to the edit's own
// procedure.
void EditWindowMessage(TWinControl* view, HWND edit, WNDPROC oldProc, TMessage& message) {
  if (!Win32PlatformIsUnicode) throw EUcInternalError("UC Internal Error: EditWndProcW without a Unicode platform.");
  bool consumed = false;
  switch (message.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      consumed = TKeyAccess::KeyDown(view, message);
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      consumed = TKeyAccess::KeyUp(view, message);
      break;
    case WM_CHAR:
      MakeWMCharMsgSafeForAnsi(message);
      consumed = TKeyAccess::KeyPress(view, message);
      RestoreWMCharMsg(message);
      break;
    case CN_KEYDOWN:
    case CN_CHAR:
    case CN_SYSKEYDOWN:
    case CN_SYSCHAR:
      view->WndProc(message);
      return;
    default:
      break;
  }
  if (consumed) {
    message.Result = 0;
    return;
  }
  message.Result = CallWindowProcW(oldProc, edit, message.Msg, message.WParam, message.LParam);
}

// The procedure of a view's subclassed in-place edit window: the edit gets
// its own procedure back when it ends.
void EditWindowProc(TWinControl* view, HWND& edit, WNDPROC& oldProc, TMessage& message) {
  HWND wnd = edit;
  WNDPROC old = oldProc;
  if (!wnd || !old) {
    message.Result = 0;
    return;
  }
  if (message.Msg == WM_NCDESTROY) {
    SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
    edit = nullptr;
    oldProc = nullptr;
    message.Result = CallWindowProcW(old, wnd, message.Msg, message.WParam, message.LParam);
    return;
  }
  EditWindowMessage(view, wnd, old, message);
}

// In-place editing begins: the view's edit window (asked with getEdit) is
// subclassed with the view's procedure instance.
void SubclassEditWindow(HWND view, UINT getEdit, WNDPROC instance, HWND& edit, WNDPROC& oldProc) {
  edit = reinterpret_cast<HWND>(SendMessageW(view, getEdit, 0, 0));
  if (!edit) return;
  oldProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(edit, GWLP_WNDPROC));
  SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(instance));
}
// The object as the wide class it must be (EInvalidCast otherwise); null stays null.
template <class T, class U> T* AsOrNull(U* object) { return object ? object->template As<T>() : nullptr; }
// The wide sort of a view: its OnCompare when set, else lstrcmpW of the wide
// texts. Runs inside the control's sort: nothing may leave it.
template <class TView, class TItem>
int CompareWide(TView* view, TItem* a, TItem* b, LPARAM data, WideString (*text)(TItem*)) {
  return GuardedCall(
      view,
      [&]() -> int {
        if (view && view->OnCompare) {
          int compare = 0;
          view->OnCompare(view, a, b, static_cast<int>(data), compare);
          return compare;
        }
        return lstrcmpW(text(a).c_str(), text(b).c_str());
      },
      0);
}

// The header of a notification this layer translates: a Unicode window's.
// Any other goes to the class library's handling (from the table map up).
NMHDR* WideNotification(TControl* view, const TMsgMap* map, TMessage& m) {
  NMHDR* hdr = NotifyHdr(m);
  if (Win32PlatformIsUnicode && hdr) return hdr;
  view->InheritedMsg(map, m);
  return nullptr;
}

// The class library's handling of a wide notification under its ANSI code
// (the records are alike).
void InheritedAsAnsi(TControl* view, const TMsgMap* map, TMessage& m, NMHDR* hdr, UINT ansiCode) {
  TScopedValue<UINT> ansi(hdr->code, ansiCode);
  view->InheritedMsg(map, m);
}

// CompareWide for the control's sort callback, which hands over the objects
// as its lParams.
template <class TItem> int CompareWideParams(LPARAM param1, LPARAM param2, LPARAM data, WideString (*text)(TItem*)) {
  auto* a = reinterpret_cast<TItem*>(param1);
  auto* b = reinterpret_cast<TItem*>(param2);
  if (!a || !b) return 0;
  return CompareWide(OwningView(a), a, b, data, text);
}

// The text an in-place edit ended with: wide from a Unicode window, else the
// window's ANSI bytes widened; null is empty.
WideString EditedText(const wchar_t* text) {
  if (!text) return WideString();
  return Win32PlatformIsUnicode ? WideString(text) : AnsiToWide(AnsiString(reinterpret_cast<const char*>(text)));
}

// The view's wide OnEdited when set, else the class library's ANSI one (of
// TBase), with the text converted there and back.
template <class TBase, class TView, class TItem> void FireOnEdited(TView* view, TItem* item, WideString& s) {
  if (view->OnEdited) {
    view->OnEdited(view, item, s);
  } else if (view->TBase::OnEdited) {
    AnsiString a = WideToAnsi(s);
    view->TBase::OnEdited(view, item, a);
    s = AnsiToWide(a);
  }
}

}  // namespace
