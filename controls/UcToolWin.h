// The tool bar and tool button with wide captions and hints. The tool bar is
// a Unicode window; the class library adds a button's caption with the ANSI
// string message and then inserts the button, so the tool bar swallows the
// ANSI string and adds the button's wide caption itself when the insert
// comes.
#pragma once

#include "toolwin.h"

#include "UcControls.h"

class TUcToolButton : public TToolButton {
  CL_CLASS(TUcToolButton, TToolButton)
  CL_DECLARE_MESSAGE_MAP(TUcToolButton)
public:
  explicit TUcToolButton(TComponent* owner) : TToolButton(owner) {}

  WideString Caption() { return UcControl_GetText(this); }
  // Also refreshes the native button: a change outside the code page leaves
  // the ANSI caption as it was.
  void SetCaption(const WideString& value);
  bool IsCaptionStored() { return UcControl_IsCaptionStored(this); }
  UC_WIDE_HINT_MEMBERS
  // A wide menu item also gives its wide caption and hint.
  void SetMenuItem(TMenuItem* value) override;
  UC_STANDARD_OVERRIDES

protected:
  void CMVisibleChanged(TMessage& m);
  void CMHintShow(TMessage& m);
};

class TUcToolBar : public TToolBar {
  CL_CLASS(TUcToolBar, TToolBar)
public:
  explicit TUcToolBar(TComponent* owner) : TToolBar(owner) {}

  UC_WIDE_CAPTION_MEMBERS
  UC_WIDE_WINDOW_MEMBERS
  // The buttons made for a menu's items are wide ones.
  TToolButton* NewMenuButton() override;
  void WndProc(TMessage& message) override;
  LRESULT TBAddStringA(TMessage& message);
  LRESULT TBInsertButtonA(TMessage& message);
  LRESULT TBSetButtonInfoA(TMessage& message);

  bool FCaptionStringPending = false;
  std::wstring FWideWindowText;
};

void UnitInit_UcToolWin();
void UnitFini_UcToolWin();
