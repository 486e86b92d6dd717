// The tab control and the page control with wide tab texts. The native tab
// control is a Unicode window and takes its texts with the wide messages; the
// tabs are copied aside while the window is re-created. The page control
// turns the class library's ANSI tab updates into wide ones carrying the
// sheet's wide caption, and gives each docked control a wide-captioned sheet.
#pragma once

#include "tabs.h"

#include "UcClasses.h"
#include "UcControls.h"

class TUcCustomTabControl;

// The wide tabs of a tab control: on a Unicode platform read from and
// written to its window with the wide messages; otherwise the ANSI tab list
// with conversion. Count, objects, deleting and clearing are the ANSI list's.
class TUcTabStrings : public TUcStrings {
  CL_CLASS(TUcTabStrings, TUcStrings)
public:
  TUcTabStrings(TCustomTabControl* control, TStrings* ansiTabs) : FTabControl(control), FAnsiTabs(ansiTabs) {}

  WideString Get(int index) override;
  int GetCount() override;
  TObject* GetObject(int index) override;
  void PutObject(int index, TObject* obj) override;
  void Put(int index, const WideString& s) override;
  void Insert(int index, const WideString& s) override;
  void Delete(int index) override;
  void Clear() override;
  void SetUpdateState(bool updating) override;

  TCustomTabControl* TabControl() const { return FTabControl; }
  TStrings* AnsiTabs() const { return FAnsiTabs; }
  void Unbind() { FTabControl = nullptr; FAnsiTabs = nullptr; }

private:
  // The record's mask with right-to-left reading when the control reads so.
  UINT TextMask(UINT mask) const;
  // TCM_SETITEMW / TCM_INSERTITEMW with the text and the tab's image.
  LRESULT SendWideItem(UINT msg, int index, const WideString& s);
  TCustomTabControl* FTabControl;
  TStrings* FAnsiTabs;
};

class TUcCustomTabControl : public TCustomTabControl {
  CL_CLASS(TUcCustomTabControl, TCustomTabControl)
public:
  explicit TUcCustomTabControl(TComponent* owner);
  ~TUcCustomTabControl() override;

  // The saved copy while the window is re-created, else the wide tabs.
  TUcStrings* Tabs();
  TUcStrings* GetTabs() { return Tabs(); }
  void SetTabs(TUcStrings* value) { FWideTabs->Assign(value); }
  TStrings* AnsiTabs() const { return TCustomTabControl::Tabs(); }

  UC_WIDE_WINDOW_MEMBERS
  void CreateWnd() override;
  void DestroyWnd() override;
  // The hot key of the wide tab text.
  bool IsTabAccel(WORD key, int tabIndex) override;

  TUcTabStrings* FWideTabs;
  TUcStringList* FSaveTabs = nullptr;
  int FSaveTabIndex = -1;
};

class TUcTabControl : public TUcCustomTabControl {
  CL_CLASS(TUcTabControl, TUcCustomTabControl)
public:
  explicit TUcTabControl(TComponent* owner) : TUcCustomTabControl(owner) {}
};

class TUcTabSheet : public TTabSheet {
  CL_CLASS(TUcTabSheet, TTabSheet)
  CL_DECLARE_MESSAGE_MAP(TUcTabSheet)
public:
  explicit TUcTabSheet(TComponent* owner) : TTabSheet(owner) {}

  UC_WIDE_CAPTION_MEMBERS
  UC_WIDE_WINDOW_MEMBERS
  void WMSetText(TMessage& m);

  bool FSettingText = false;
};

class TUcPageControl : public TPageControl {
  CL_CLASS(TUcPageControl, TPageControl)
  CL_DECLARE_MESSAGE_MAP(TUcPageControl)
public:
  explicit TUcPageControl(TComponent* owner) : TPageControl(owner) {}

  UC_WIDE_WINDOW_MEMBERS
  void WndProc(TMessage& message) override;
  void DoAddDockClient(TControl* client, const TRect& rect) override;
  void CMDockClient(TMessage& m);
  void CMDockNotification(TMessage& m);
  // The hot key of the page's wide caption.
  bool IsTabAccel(WORD key, int tabIndex) override;
};

// The wide caption of a page: a TUcTabSheet's own, else the ANSI one widened.
WideString UcPageCaption(TTabSheet* page);

void UnitInit_UcTabs();
void UnitFini_UcTabs();
