// The tab control, its tab list, and the page control with its tab sheets.
// The tabs live in the native "SysTabControl32" window; while the window is
// re-created they are kept in a string list. A page control's tabs carry
// their sheet as the tab's object (the item's lParam), so code that only has
// the native tab can find the sheet.
#pragma once

#include "controls.h"
#include "imglist.h"

class TCustomTabControl;
class TPageControl;
class TTabSheet;

// The tabs of a tab control, read from and written to its window (made on
// demand). Each tab keeps an object reference in its item data.
class TTabStrings : public TStrings {
  CL_CLASS(TTabStrings, TStrings)
public:
  explicit TTabStrings(TCustomTabControl* control) : FTabControl(control) {}

  AnsiString Get(int index) override;
  int GetCount() override;
  TObject* GetObject(int index) override;
  void Put(int index, const AnsiString& s) override;
  void PutObject(int index, TObject* obj) override;
  void Insert(int index, const AnsiString& s) override;
  void Delete(int index) override;
  void Clear() override;
  void SetUpdateState(bool updating) override;
  int CompareStrings(const AnsiString& s1, const AnsiString& s2) override;
  TCustomTabControl* TabControl() const { return FTabControl; }

private:
  TCustomTabControl* FTabControl;
};

using TTabChangingEvent = TEvent<void(TObject* sender, bool& allowChange)>;
using TTabGetImageEvent = TEvent<void(TObject* sender, int tabIndex, int& imageIndex)>;

class TCustomTabControl : public TWinControl {
  CL_CLASS(TCustomTabControl, TWinControl)
  CL_DECLARE_MESSAGE_MAP(TCustomTabControl)
public:
  explicit TCustomTabControl(TComponent* owner);
  ~TCustomTabControl() override;

  TStrings* Tabs() const { return FTabs; }
  void SetTabs(TStrings* value) { FTabs->Assign(value); }
  // -1 when no tab is selected.
  int TabIndex();
  void SetTabIndex(int value);
  bool MultiLine() const { return FMultiLine; }
  void SetMultiLine(bool value);
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* value);
  // The area inside the tabs and the border, in client coordinates.
  TRect DisplayRect();
  // The tab under the client point, -1 when none.
  int IndexOfTabAt(int x, int y);

  // Whether a tab may be shown or chosen by its hot key.
  virtual bool CanShowTab(int tabIndex);
  // The image of the tab: the tab's index unless OnGetImageIndex says otherwise.
  virtual int GetImageIndex(int tabIndex);
  // The tab list changed: the display area may have moved.
  virtual void TabsChanged();
  // Whether the typed character is the hot key of the tab's text.
  virtual bool IsTabAccel(WORD key, int tabIndex);

  TNotifyEvent OnChange;
  TTabChangingEvent OnChanging;
  TTabGetImageEvent OnGetImageIndex;

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void AdjustClientRect(TRect& rect) override;
  void Notification(TComponent* component, TOperation operation) override;
  virtual bool CanChange();
  virtual void Change();
  void CNNotify(TMessage& m);
  void CMDialogChar(TMessage& m);
  void ImageListChange(TObject* sender);

  TStrings* FTabs;
  TStringList* FSaveTabs = nullptr;   // while the window is re-created
  int FSaveTabIndex = -1;
  bool FMultiLine = false;
  TCustomImageList* FImages = nullptr;
  TChangeLink* FImageChangeLink;
};

class TTabControl : public TCustomTabControl {
  CL_CLASS(TTabControl, TCustomTabControl)
public:
  explicit TTabControl(TComponent* owner) : TCustomTabControl(owner) {}
};

// ---------------------------------------------------------------------------
// Page control

// One page: a window of the library's own class, shown while it is the
// active page and aligned to the page control's display area.
class TTabSheet : public TWinControl {
  CL_CLASS(TTabSheet, TWinControl)
  CL_DECLARE_MESSAGE_MAP(TTabSheet)
public:
  explicit TTabSheet(TComponent* owner);
  ~TTabSheet() override;

  TPageControl* PageControl() const { return FPageControl; }
  void SetPageControl(TPageControl* value);
  // Index among all pages.
  int PageIndex();
  void SetPageIndex(int value);
  // Index among the visible tabs, -1 when the tab is hidden.
  int TabIndex();
  bool TabVisible() const { return FTabVisible; }
  void SetTabVisible(bool value);
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int value);

  TNotifyEvent OnShow;
  TNotifyEvent OnHide;

protected:
  friend class TPageControl;
  void CreateParams(TCreateParams& params) override;
  void ReadState(TReader* reader) override;
  void CMTextChanged(TMessage& m);
  void CMShowingChanged(TMessage& m);

  TPageControl* FPageControl = nullptr;
  int FImageIndex = 0;
  bool FTabVisible = true;
  bool FTabShowing = false;
};

class TPageControl : public TCustomTabControl {
  CL_CLASS(TPageControl, TCustomTabControl)
  CL_DECLARE_MESSAGE_MAP(TPageControl)
public:
  explicit TPageControl(TComponent* owner);
  ~TPageControl() override;

  int PageCount() const { return static_cast<int>(FPages.size()); }
  TTabSheet* Pages(int index) const;
  TTabSheet* ActivePage() const { return FActivePage; }
  void SetActivePage(TTabSheet* page);
  int ActivePageIndex() const;
  void SetActivePageIndex(int value);
  // The next (or previous) page with a visible tab after current, wrapping.
  TTabSheet* FindNextPage(TTabSheet* current, bool goForward, bool checkTabVisible);
  void SelectNextPage(bool goForward, bool checkTabVisible = true);
  int GetImageIndex(int tabIndex) override;
  bool CanShowTab(int tabIndex) override;

protected:
  friend class TTabSheet;
  void InsertPage(TTabSheet* page);
  void RemovePage(TTabSheet* page);
  void InsertTab(TTabSheet* page);
  void InsertNativeTab(TTabSheet* page);
  void DeleteTab(TTabSheet* page, int index);
  void MoveTab(int curIndex, int newIndex);
  void UpdateTab(TTabSheet* page);
  void ChangeActivePage(TTabSheet* page);
  void Change() override;
  void Loaded() override;
  void CreateWnd() override;
  void ShowControl(TControl* control) override;
  // A docked control gets a sheet of its own (CM_DOCKCLIENT); the sheet is
  // freed when the control leaves it (CM_UNDOCKCLIENT).
  void DoAddDockClient(TControl* client, const TRect& rect) override;
  void DoRemoveDockClient(TControl* client) override;
  TTabSheet* GetPageFromDockClient(TControl* client);
  void CMDockClient(TMessage& m);
  void CMUnDockClient(TMessage& m);
  void CMDockNotification(TMessage& m);
  void CMDialogKey(TMessage& m);

  std::vector<TTabSheet*> FPages;
  TTabSheet* FActivePage = nullptr;
  TTabSheet* FNewDockSheet = nullptr;
  TTabSheet* FUndockingPage = nullptr;
};

void UnitInit_tabs();
void UnitFini_tabs();
