#include "UcToolWin.h"

#include "UcActnList.h"
#include "UcCodePages.h"
#include "UcComCtrls.h"
#include "UcComponentProps.h"
#include "UcMenus.h"
#include "UcRegister.h"

#include <algorithm>
#include <cstring>

CL_DEFINE_COMPONENT(TUcToolButton, TToolButton)
CL_DEFINE_COMPONENT(TUcToolBar, TToolBar)

// ===========================================================================
// Tool button

CL_BEGIN_MESSAGE_MAP(TUcToolButton, TToolButton)
  CL_MESSAGE(CM_VISIBLECHANGED, CMVisibleChanged)
  CL_MESSAGE(CM_HINTSHOW, CMHintShow)
CL_END_MESSAGE_MAP

UC_STANDARD_OVERRIDES_BODY(TUcToolButton, TToolButton)

void TUcToolButton::SetCaption(const WideString& value) {
  UcControl_SetText(this, value);
  if (FToolBar) FToolBar->UpdateButton(this);
}

void TUcToolButton::SetMenuItem(TMenuItem* value) {
  TToolButton::SetMenuItem(value);
  if (value && value->Is<TUcMenuItem>()) {
    auto* item = static_cast<TUcMenuItem*>(value);
    SetCaption(item->GetCaption());
    SetHint(item->GetHint());
  }
}

void TUcToolButton::CMVisibleChanged(TMessage& m) {
  InheritedMsg(&TToolButton::MessageMap, m);
  if (FToolBar) FToolBar->UpdateButton(this);
}

void TUcToolButton::CMHintShow(TMessage& m) {
  ProcessCMHintShowMsg(m);
  InheritedMsg(&TToolButton::MessageMap, m);
}

// ===========================================================================
// Tool bar

UC_STANDARD_OVERRIDES_BODY(TUcToolBar, TToolBar)

void TUcToolBar::CreateWindowHandle(const TCreateParams& params) {
  // The common-control window is also told to use the wide notifications.
  CreateUnicodeHandle_ComCtl(this, params, TOOLBARCLASSNAMEW);
}

TToolButton* TUcToolBar::NewMenuButton() { return new TUcToolButton(this); }

LRESULT TUcToolBar::TBAddStringA(TMessage&) {
  // The wide caption goes in when the button does.
  FCaptionStringPending = true;
  return 0;
}

namespace {

// Adds a caption to the tool bar's string pool; the pool takes a list that
// ends with an empty string.
LRESULT AddWideString(HWND wnd, const WideString& caption) {
  std::wstring list = caption.str();
  list.push_back(L'\0');
  list.push_back(L'\0');
  return SendMessageW(wnd, TB_ADDSTRINGW, 0, reinterpret_cast<LPARAM>(list.data()));
}

// The wide caption of a button on the bar: its own when it is a wide
// button, else its ANSI caption widened.
WideString ButtonCaption(TToolButton* button) {
  if (button->Is<TUcToolButton>()) return static_cast<TUcToolButton*>(button)->Caption();
  return AnsiToWide(button->Caption());
}

}  // namespace

LRESULT TUcToolBar::TBInsertButtonA(TMessage& message) {
  auto* rec = reinterpret_cast<TBBUTTON*>(message.LParam);
  int index = static_cast<int>(message.WParam);
  if (!rec || rec->iString == -1 || !FCaptionStringPending || index < 0 || index >= ButtonCount()) {
    TToolBar::WndProc(message);
    return message.Result;
  }
  // A plain button on this bar gets its ANSI caption widened: the pending
  // string was swallowed, so the record's index would name another string.
  rec->iString = AddWideString(FHandle, ButtonCaption(Buttons(index)));
  LRESULT result = SendMessageW(FHandle, TB_INSERTBUTTONW, message.WParam, message.LParam);
  FCaptionStringPending = false;
  return result;
}

LRESULT TUcToolBar::TBSetButtonInfoA(TMessage& message) {
  auto* info = reinterpret_cast<TBBUTTONINFOA*>(message.LParam);
  if (!info || !FCaptionStringPending) {
    TToolBar::WndProc(message);
    return message.Result;
  }
  TToolButton* button = nullptr;
  if (info->dwMask & TBIF_BYINDEX) {
    int index = static_cast<int>(message.WParam);
    if (index >= 0 && index < ButtonCount()) button = Buttons(index);
  } else {
    button = FindButton(static_cast<int>(message.WParam));
  }
  if (!button) {
    TToolBar::WndProc(message);
    return message.Result;
  }
  WideString caption = ButtonCaption(button);
  TBBUTTONINFOW wide{};
  static_assert(sizeof wide == sizeof *info);
  std::memcpy(&wide, info, sizeof wide);
  wide.dwMask |= TBIF_TEXT;
  wide.pszText = const_cast<wchar_t*>(caption.c_str());
  LRESULT result = SendMessageW(FHandle, TB_SETBUTTONINFOW, message.WParam, reinterpret_cast<LPARAM>(&wide));
  FCaptionStringPending = false;
  return result;
}

void TUcToolBar::WndProc(TMessage& message) {
  if (!Win32PlatformIsUnicode) {
    TToolBar::WndProc(message);
    return;
  }
  switch (message.Msg) {
    case TB_ADDSTRINGA:
      message.Result = TBAddStringA(message);
      return;
    case TB_INSERTBUTTONA:
      message.Result = TBInsertButtonA(message);
      return;
    case TB_SETBUTTONINFOA:
      message.Result = TBSetButtonInfoA(message);
      return;
    default:
      break;
  }
  if (HandleAllocated()) {
    // The tool bar window keeps no text of its own: the control keeps it.
    switch (message.Msg) {
      case WM_SETTEXT:
        FWideWindowText = message.LParam ? reinterpret_cast<const wchar_t*>(message.LParam) : L"";
        message.Result = 1;
        return;
      case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<wchar_t*>(message.LParam);
        int size = static_cast<int>(message.WParam);
        if (!buffer || size <= 0) {
          message.Result = 0;
          return;
        }
        int n = std::min(static_cast<int>(FWideWindowText.size()), size - 1);
        std::memcpy(buffer, FWideWindowText.data(), static_cast<size_t>(n) * sizeof(wchar_t));
        buffer[n] = L'\0';
        message.Result = n;
        return;
      }
      case WM_GETTEXTLENGTH:
        message.Result = static_cast<LRESULT>(FWideWindowText.size());
        return;
      default:
        break;
    }
  }
  TToolBar::WndProc(message);
}

// ===========================================================================

void UnitInit_UcToolWin() {
  RegisterClasses({&TUcToolBar::Class, &TUcToolButton::Class});
  RegisterUcWideCaption<TUcToolButton>();
  RegisterUcWideHint<TUcToolButton>();
  RegisterUcWideCaption<TUcToolBar>();
  RegisterUcWideHint<TUcToolBar>();
}

void UnitFini_UcToolWin() {}
