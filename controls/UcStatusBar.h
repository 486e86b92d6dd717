// The status bar with wide panel texts and a wide simple text. The class
// library sends the texts with the ANSI message, with leading tabs for the
// alignment; on a Unicode platform the bar sends the wide text instead,
// carrying as many leading tabs as the ANSI text has.
#pragma once

#include "comctrls.h"

#include "UcControls.h"

class TUcStatusPanel : public TStatusPanel {
  CL_CLASS(TUcStatusPanel, TStatusPanel)
public:
  explicit TUcStatusPanel(TCollection* collection) : TStatusPanel(collection) {}

  // The wide text; an ANSI text set behind it wins.
  WideString Text() const;
  WideString GetText() const { return Text(); }
  void SetText(const WideString& value);
  const AnsiString& AnsiText() const { return TStatusPanel::Text(); }
  void Assign(TPersistent* source) override;

private:
  mutable WideString FText;
};

class TUcStatusPanels : public TStatusPanels {
  CL_CLASS(TUcStatusPanels, TStatusPanels)
public:
  explicit TUcStatusPanels(TStatusBar* owner);
  TUcStatusPanel* Add();
  TUcStatusPanel* AddItem(TUcStatusPanel* item, int index);
  TUcStatusPanel* Insert(int index);
  TUcStatusPanel* Items(int index) const;
  TUcStatusPanel* GetItem(int index) const { return Items(index); }
  void SetItem(int index, TUcStatusPanel* value) { Items(index)->Assign(value); }
  TUcStatusPanel* operator[](int index) const { return Items(index); }
};

// A copy of wideText with as many leading tabs as ansiText has: tabs are
// added in front or the first characters removed.
WideString SyncLeadingTabs(const WideString& wideText, const AnsiString& ansiText);

class TUcCustomStatusBar : public TStatusBar {
  CL_CLASS(TUcCustomStatusBar, TStatusBar)
  CL_DECLARE_MESSAGE_MAP(TUcCustomStatusBar)
public:
  explicit TUcCustomStatusBar(TComponent* owner);

  TUcStatusPanels* Panels() const { return static_cast<TUcStatusPanels*>(FPanels); }
  void SetPanels(TUcStatusPanels* value) { FPanels->Assign(value); }
  WideString SimpleText() const;
  WideString GetSimpleText() const { return SimpleText(); }
  void SetSimpleText(const WideString& value);
  // With AutoHint, the wide hint of a wide hint action.
  bool ExecuteAction(TBasicAction* action) override;

  UC_WIDE_WINDOW_MEMBERS
  void WndProc(TMessage& message) override;
  void WMGetTextLength(TMessage& m);
  virtual TStatusPanels* CreatePanels();
  virtual const TMetaClass* GetPanelClass();

  mutable WideString FSimpleText;
};

class TUcStatusBar : public TUcCustomStatusBar {
  CL_CLASS(TUcStatusBar, TUcCustomStatusBar)
public:
  explicit TUcStatusBar(TComponent* owner) : TUcCustomStatusBar(owner) {}
};

void UnitInit_UcStatusBar();
void UnitFini_UcStatusBar();
