// The Unicode hint window. For the hint of a Unicode control the class
// library's THintWindow is replaced by TUcCustomHintWindow (ProcessCMHintShowMsg
// marks the hint information), which takes the wide hint from the control,
// sizes itself by the wide text and paints it with the wide text call.
#pragma once

#include "controls.h"

class TUcCustomHintWindow : public THintWindow {
  CL_CLASS(TUcCustomHintWindow, THintWindow)
  CL_DECLARE_MESSAGE_MAP(TUcCustomHintWindow)
public:
  explicit TUcCustomHintWindow(TComponent* owner) : THintWindow(owner) {}

  void ActivateHint(const TRect& rect, const AnsiString& hint) override;
  void ActivateHintData(const TRect& rect, const AnsiString& hint, void* data) override;
  TRect CalcHintRect(int maxWidth, const AnsiString& hint, void* data) override;

  WideString GetCaption();
  void SetCaption(const WideString& value);

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWindowHandle(const TCreateParams& params) override;
  void Paint() override;
  void CMTextChanged(TMessage& m);

  bool FActivating = false;
  bool FBlockPaint = false;
};

// Adds overloads for callers that already hold the wide text.
class TUcHintWindow : public TUcCustomHintWindow {
  CL_CLASS(TUcHintWindow, TUcCustomHintWindow)
public:
  explicit TUcHintWindow(TComponent* owner) : TUcCustomHintWindow(owner) {}
  using TUcCustomHintWindow::ActivateHint;
  using TUcCustomHintWindow::ActivateHintData;
  using TUcCustomHintWindow::CalcHintRect;
  void ActivateHint(const TRect& rect, const WideString& hint);
  void ActivateHintData(const TRect& rect, const WideString& hint, void* data);
  TRect CalcHintRect(int maxWidth, const WideString& hint, void* data);
};

// The wide text of a marked hint information: the control's wide short hint,
// or "hint (shortcut)" when the class library added the action's shortcut.
WideString WideHintForHintInfo(const THintInfo* info);
// Whether data is a hint information marked by ProcessCMHintShowMsg for a
// Unicode hint window class.
bool IsWideHintData(const void* data);
// The rectangle the wide text needs at most maxWidth wide, as the hint window
// measures it (6 pixels wider, 2 higher than the text).
TRect CalcWideHintRect(TCanvas* canvas, int maxWidth, const WideString& hint, int readingFlags = 0);
