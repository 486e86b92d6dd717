// The common controls: the status bar and the progress bar (the system's
// msctls_statusbar32 and msctls_progress32 windows). This header also brings
// the tree view (treeview.h) and the list view (listview.h), so that a user of
// the common controls includes one header.
//
// Its unit starts the system's common controls (InitCommonControlsEx) for
// every control of the library that is one.
#pragma once

#include "controls.h"
#include "listview.h"
#include "stdctrls.h"
#include "treeview.h"

#include <cstdint>

enum TStatusPanelStyle : uint8_t { psText, psOwnerDraw };
enum TStatusPanelBevel : uint8_t { pbNone, pbLowered, pbRaised };

class TStatusPanel : public TCollectionItem {
  CL_CLASS(TStatusPanel, TCollectionItem)
public:
  explicit TStatusPanel(TCollection* collection) : TCollectionItem(collection) {}
  const AnsiString& Text() const { return FText; }
  void SetText(const AnsiString& value);
  int Width() const { return FWidth; }
  void SetWidth(int value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment value);
  TStatusPanelBevel Bevel() const { return FBevel; }
  void SetBevel(TStatusPanelBevel value);
  TStatusPanelStyle Style() const { return FStyle; }
  void SetStyle(TStatusPanelStyle value);
  void Assign(TPersistent* source) override;

private:
  AnsiString FText;
  int FWidth = 50;
  TAlignment FAlignment = taLeftJustify;
  TStatusPanelBevel FBevel = pbLowered;
  TStatusPanelStyle FStyle = psText;
};

class TStatusBar;

class TStatusPanels : public TCollection {
  CL_CLASS(TStatusPanels, TCollection)
public:
  explicit TStatusPanels(TStatusBar* owner, const TMetaClass* itemClass = &TStatusPanel::Class,
                         TCollectionItemFactory factory = &NewCollectionItem<TStatusPanel>);
  TStatusPanel* Add() { return static_cast<TStatusPanel*>(TCollection::Add()); }
  TStatusPanel* Items(int index) const { return static_cast<TStatusPanel*>(TCollection::Items(index)); }
  TStatusPanel* operator[](int index) const { return Items(index); }
  TStatusBar* Owner() const { return FStatusBar; }

protected:
  void Update(TCollectionItem* item) override;

private:
  TStatusBar* FStatusBar;
};

using TDrawPanelEvent = TEvent<void(TStatusBar* sender, TStatusPanel* panel, const TRect& rect)>;

class TStatusBar : public TWinControl {
  CL_CLASS(TStatusBar, TWinControl)
  CL_DECLARE_MESSAGE_MAP(TStatusBar)
public:
  explicit TStatusBar(TComponent* owner);
  ~TStatusBar() override;

  // One part showing SimpleText instead of the panels.
  bool SimplePanel() const { return FSimplePanel; }
  void SetSimplePanel(bool value);
  const AnsiString& SimpleText() const { return FSimpleText; }
  void SetSimpleText(const AnsiString& value);
  // The grip is drawn only when the parent form can be resized.
  bool SizeGrip() const { return FSizeGrip; }
  void SetSizeGrip(bool value);
  TStatusPanels* Panels() const { return FPanels; }
  void SetPanels(TStatusPanels* value) { FPanels->Assign(value); }
  // Canvas of the owner-drawn panels.
  TCanvas* Canvas() const;
  // Shows the application's hints (THintAction): in SimpleText, or in the
  // first panel when there are panels and no simple panel.
  bool AutoHint() const { return FAutoHint; }
  void SetAutoHint(bool value) { FAutoHint = value; }
  bool ExecuteAction(TBasicAction* action) override;

  TDrawPanelEvent OnDrawPanel;

protected:
  friend class TStatusPanels;
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  // Sends the parts and their texts to the window.
  void UpdatePanels();
  void UpdatePanel(int index);
  virtual void DrawPanel(TStatusPanel* panel, const TRect& rect);
  void CNDrawItem(TMessage& m);

  TStatusPanels* FPanels;
  TControlCanvas* FCanvas;
  AnsiString FSimpleText;
  bool FSimplePanel = false;
  bool FSizeGrip = true;
  bool FAutoHint = false;
};

enum TProgressBarOrientation : uint8_t { pbHorizontal, pbVertical };

class TProgressBar : public TWinControl {
  CL_CLASS(TProgressBar, TWinControl)
public:
  explicit TProgressBar(TComponent* owner);

  int Min() const { return FMin; }
  void SetMin(int value);
  int Max() const { return FMax; }
  void SetMax(int value);
  // Read from the window (StepIt moves it there).
  int Position();
  void SetPosition(int value);
  int Step() const { return FStep; }
  void SetStep(int value);
  bool Smooth() const { return FSmooth; }
  void SetSmooth(bool value);
  TProgressBarOrientation Orientation() const { return FOrientation; }
  void SetOrientation(TProgressBarOrientation value);
  void StepIt();
  void StepBy(int delta);

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;

  int FMin = 0;
  int FMax = 100;
  int FPosition = 0;
  int FStep = 10;
  bool FSmooth = false;
  TProgressBarOrientation FOrientation = pbHorizontal;
};

void UnitInit_comctrls();
void UnitFini_comctrls();
