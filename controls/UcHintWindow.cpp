#include "UcHintWindow.h"

#include "UcCodePages.h"
#include "UcControls.h"
#include "UcGraphics.h"
#include "UcMenus.h"
#include "UcWindows.h"

#include "forms.h"
#include "sysutils.h"

CL_DEFINE_COMPONENT(TUcCustomHintWindow, THintWindow)
CL_DEFINE_COMPONENT(TUcHintWindow, TUcCustomHintWindow)

CL_BEGIN_MESSAGE_MAP(TUcCustomHintWindow, THintWindow)
  CL_MESSAGE(CM_TEXTCHANGED, CMTextChanged)
CL_END_MESSAGE_MAP

WideString WideHintForHintInfo(const THintInfo* info) {
  WideString result = AnsiToWide(info->HintStr);
  if (result.IsEmpty() || !info->HintControl) return result;
  WideString shortHint = WideGetShortHint(WideGetHint(info->HintControl));
  if (WideToAnsi(shortHint) == info->HintStr) return shortHint;
  // The class library appended the action's shortcut to the hint.
  if (Application && Application->HintShortCuts()) {
    TBasicAction* action = info->HintControl->Action();
    if (action && action->Is<TCustomAction>()) {
      TShortCut sc = static_cast<TCustomAction*>(action)->ShortCut();
      if (sc != 0 && Format("%s (%s)", {WideToAnsi(shortHint), ShortCutToText(sc)}) == info->HintStr)
        return shortHint + L" (" + WideShortCutToText(sc) + L")";
    }
  }
  return result;
}

bool IsWideHintData(const void* data) {
  if (!data) return false;
  auto* info = static_cast<const THintInfo*>(data);
  return info->HintData == data && info->HintWindowClass &&
         info->HintWindowClass->InheritsFrom(&TUcCustomHintWindow::Class);
}

TRect CalcWideHintRect(TCanvas* canvas, int maxWidth, const WideString& hint, int readingFlags) {
  TRect r(0, 0, maxWidth, 0);
  canvas->RequiredState(csHandleValid | csFontValid);
  Uc_DrawTextW(canvas->Handle(), hint.c_str(), -1, &r,
               static_cast<UINT>(DT_CALCRECT | DT_NOPREFIX | DT_WORDBREAK | readingFlags));
  r.right += 6;
  r.bottom += 2;
  return r;
}

// ===========================================================================
// TUcCustomHintWindow

void TUcCustomHintWindow::CreateParams(TCreateParams& params) {
  THintWindow::CreateParams(params);
  if (Win32PlatformIsXP) params.WindowClass.style |= CS_DROPSHADOW;
}

void TUcCustomHintWindow::CreateWindowHandle(const TCreateParams& params) {
  CreateUnicodeHandle(this, params, WideString());
}

WideString TUcCustomHintWindow::GetCaption() { return UcControl_GetText(this); }

void TUcCustomHintWindow::SetCaption(const WideString& value) { UcControl_SetText(this, value); }

void TUcCustomHintWindow::Paint() {
  if (FBlockPaint) return;
  if (!Win32PlatformIsUnicode) {
    THintWindow::Paint();
    return;
  }
  TRect r = GetClientRect();
  r.left += 2;
  r.top += 2;
  TCanvas* canvas = Canvas();
  canvas->Brush()->SetColor(Color());
  canvas->Font()->Assign(Font());
  if (Screen) canvas->Font()->SetColor(Screen->HintFont()->Color());
  canvas->RequiredState(csHandleValid | csFontValid | csBrushValid);
  SetBkMode(canvas->Handle(), TRANSPARENT);
  WideString text = GetCaption();
  Uc_DrawTextW(canvas->Handle(), text.c_str(), -1, &r,
               static_cast<UINT>(DT_NOPREFIX | DT_WORDBREAK | DrawTextBiDiModeFlagsReadingOnly()));
}

void TUcCustomHintWindow::CMTextChanged(TMessage& m) {
  (void)m;
  if (FActivating) return;
  TCanvas* canvas = Canvas();
  canvas->Font()->Assign(Font());
  TSize size = WideCanvasTextExtent(canvas, GetCaption());
  SetBounds(Left(), Top(), size.cx + 6, size.cy + 6);
}

void TUcCustomHintWindow::ActivateHint(const TRect& rect, const AnsiString& hint) {
  TScopedValue<bool> activating(FActivating, true);
  THintWindow::ActivateHint(rect, hint);
}

void TUcCustomHintWindow::ActivateHintData(const TRect& rect, const AnsiString& hint, void* data) {
  if (!Win32PlatformIsUnicode || !IsWideHintData(data)) {
    THintWindow::ActivateHintData(rect, hint, data);
    return;
  }
  {
    TScopedValue<bool> blockPaint(FBlockPaint, true);
    TScopedValue<bool> activating(FActivating, true);
    THintWindow::ActivateHintData(rect, hint, data);
    SetCaption(WideHintForHintInfo(static_cast<const THintInfo*>(data)));
  }
  Repaint();
}

TRect TUcCustomHintWindow::CalcHintRect(int maxWidth, const AnsiString& hint, void* data) {
  if (!Win32PlatformIsUnicode || !IsWideHintData(data)) return THintWindow::CalcHintRect(maxWidth, hint, data);
  TCanvas* canvas = Canvas();
  canvas->Font()->Assign(Font());
  return CalcWideHintRect(canvas, maxWidth, WideHintForHintInfo(static_cast<const THintInfo*>(data)),
                          DrawTextBiDiModeFlagsReadingOnly());
}

// ===========================================================================
// TUcHintWindow

void TUcHintWindow::ActivateHint(const TRect& rect, const WideString& hint) {
  TScopedValue<bool> activating(FActivating, true);
  SetCaption(hint);
  TUcCustomHintWindow::ActivateHint(rect, WideToAnsi(hint));
}

void TUcHintWindow::ActivateHintData(const TRect& rect, const WideString& hint, void* data) {
  {
    TScopedValue<bool> blockPaint(FBlockPaint, true);
    TScopedValue<bool> activating(FActivating, true);
    SetCaption(hint);
    THintWindow::ActivateHintData(rect, WideToAnsi(hint), data);
  }
  Repaint();
}

TRect TUcHintWindow::CalcHintRect(int maxWidth, const WideString& hint, void* data) {
  (void)data;
  TCanvas* canvas = Canvas();
  canvas->Font()->Assign(Font());
  return CalcWideHintRect(canvas, maxWidth, hint, DrawTextBiDiModeFlagsReadingOnly());
}
