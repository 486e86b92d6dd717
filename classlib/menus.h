// Menus: items that build native menus (main menus and pop-up menus), their
// command ids, shortcuts and their texts, and the list of live pop-up menus
// with the utility window that receives their commands.
#pragma once

#include "controls.h"
#include "imglist.h"
#include "stdctrls.h"

CL_EXCEPTION(EMenuError, Exception)

enum : TShortCut { scNone = 0, scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000 };

TShortCut ShortCut(WORD key, TShiftState shift);
void ShortCutToKey(TShortCut shortCut, WORD& key, TShiftState& shift);
// The modifier words in front of a shortcut's key name ("Ctrl+Alt+Shift+",
// each only when set, always in that order). Every shortcut text of every
// menu starts with them: the keyboard driver's own names of these keys
// differ between systems and displays (Wine under Xvfb calls Ctrl
// "Control"), these words do not, and the text readers take them back.
AnsiString ShortCutModifierText(TShortCut shortCut);
// "Ctrl+Shift+F5": the modifier words, then the keyboard driver's key name.
AnsiString ShortCutToText(TShortCut shortCut);
// The reverse of ShortCutToText (modifier words in any order, "^" for Ctrl);
// 0 for text it cannot match.
TShortCut TextToShortCut(const AnsiString& text);
// The shortcut a key message stands for.
TShortCut ShortCutFromMessage(const TMessage& message);

class TMenu;
class TMenuItem;

enum TMenuBreak : uint8_t { mbNone, mbBreak, mbBarBreak };
enum TFindItemKind : uint8_t { fkCommand, fkHandle, fkShortCut };
enum TPopupAlignment : uint8_t { paLeft, paRight, paCenter };

// Owner-drawn items: OnDrawItem knows only whether the item is selected;
// OnAdvancedDrawItem gets the whole owner-draw state and whether the item
// sits on the menu bar; OnMeasureItem may change the size the item asks for.
using TMenuDrawItemEvent = TEvent<void(TObject* sender, TCanvas* canvas, const TRect& rect, bool selected)>;
using TAdvancedMenuDrawItemEvent =
    TEvent<void(TObject* sender, TCanvas* canvas, const TRect& rect, TOwnerDrawState state, bool topLevel)>;
using TMenuMeasureItemEvent = TEvent<void(TObject* sender, TCanvas* canvas, int& width, int& height)>;

// One item. Every item has a command id from a process-wide pool (also an
// item with sub-items); an item with sub-items has its own native menu.
class TMenuItem : public TComponent {
  CL_CLASS(TMenuItem, TComponent)
public:
  explicit TMenuItem(TComponent* owner);
  ~TMenuItem() override;

  // "-" is a separator line.
  const AnsiString& Caption() const { return FCaption; }
  void SetCaption(const AnsiString& value);
  const AnsiString& Hint() const { return FHint; }
  void SetHint(const AnsiString& value);
  TShortCut ShortCut() const { return FShortCut; }
  void SetShortCut(TShortCut value);
  bool Checked() const { return FChecked; }
  void SetChecked(bool value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);
  bool Visible() const { return FVisible; }
  void SetVisible(bool value);
  bool Default() const { return FDefault; }
  void SetDefault(bool value);
  bool RadioItem() const { return FRadioItem; }
  void SetRadioItem(bool value);
  int GroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(int value);
  TMenuBreak Break() const { return FBreak; }
  void SetBreak(TMenuBreak value);
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int value);
  // The item's own glyph, made on first use; shown when the menu's image
  // list has no image for the item.
  TBitmap* Bitmap();
  void SetBitmap(TBitmap* value);
  bool HasBitmap() const { return FBitmap != nullptr; }
  // The image list of the item's menu; null when it has none.
  TCustomImageList* GetImageList() const;
  int HelpContext() const { return FHelpContext; }
  void SetHelpContext(int value) { FHelpContext = value; }
  bool IsLine() const { return FCaption == "-"; }

  WORD Command() const { return FCommand; }
  // The item's native menu (made on demand; only items with sub-items use one).
  HMENU Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  TMenuItem* Parent() const { return FParent; }
  int Count() const { return static_cast<int>(FItems.size()); }
  TMenuItem* Items(int index) const;
  TMenuItem* operator[](int index) const { return Items(index); }
  void Add(TMenuItem* item);
  void Insert(int index, TMenuItem* item);
  void Delete(int index);
  void Remove(TMenuItem* item);
  // Deletes the sub-items.
  void Clear();
  int IndexOf(TMenuItem* item) const;
  // The first sub-item whose caption equals caption without hot-key markers
  // and case; null when none.
  virtual TMenuItem* Find(const AnsiString& caption);
  int MenuIndex() const;
  void SetMenuIndex(int value);
  TMenu* GetParentMenu() const;
  // Menu merging (root items of main menus only): the root merged into this
  // one, and the root this one is merged into.
  TMenuItem* Merged() const { return FMerged; }
  TMenuItem* MergedWith() const { return FMergedWith; }

  TBasicAction* Action() const;
  void SetAction(TBasicAction* value);
  TBasicActionLink* ActionLink() const { return FActionLink; }
  // The action link's Click when OnClick is the action's OnExecute, else OnClick.
  virtual void Click();
  virtual void InitiateAction();

  bool HasParent() override { return true; }
  TComponent* GetParentComponent() override;
  void SetParentComponent(TComponent* value) override;
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

  // Owner drawing (the menu is OwnerDraw or has Images). WM_DRAWITEM reaches
  // AdvancedDrawItem, WM_MEASUREITEM MeasureItem; a derived item overrides
  // them, and each calls the item's handler when it has one, else draws or
  // measures the item the platform's way.
  virtual void AdvancedDrawItem(TCanvas* canvas, const TRect& rect, TOwnerDrawState state, bool topLevel);
  virtual void DrawItem(TCanvas* canvas, const TRect& rect, bool selected);
  virtual void MeasureItem(TCanvas* canvas, int& width, int& height);
  // The menu draws this item itself (its menu is owner-drawn).
  bool IsOwnerDrawn() const;

  TNotifyEvent OnClick;
  TNotifyEvent GetOnClick() const { return OnClick; }
  void SetOnClick(TNotifyEvent value) { OnClick = value; }
  TMenuDrawItemEvent OnDrawItem;
  TAdvancedMenuDrawItemEvent OnAdvancedDrawItem;
  TMenuMeasureItemEvent OnMeasureItem;

protected:
  friend class TMenu;
  friend class TMainMenu;
  friend class TMenuActionLink;
  // Tells the menu (rebuild = the native menu must be made anew).
  virtual void MenuChanged(bool rebuild);
  virtual void ActionChange(TObject* sender, bool checkDefaults);
  virtual const TMetaClass* GetActionLinkClass();
  // The native item: "Caption<TAB>shortcut text" for a leaf with a shortcut
  // that is not a top item of a main menu.
  void AppendTo(HMENU menu);
  void RebuildHandle();
  void DoActionChange(TObject* sender);
  bool IsTopOfMainMenu() const;
  // Draws caption on the canvas as menus show item texts: a disabled item
  // embossed, a default one bold. With DT_CALCRECT it only measures into rect.
  virtual void DoDrawText(TCanvas* canvas, const AnsiString& caption, TRect& rect, bool selected, int flags);

private:
  void SetParentItem(TMenuItem* parent) { FParent = parent; }
  void ItemsChanged(bool rebuild);
  void KindChanged();
  AnsiString FCaption;
  AnsiString FHint;
  TShortCut FShortCut = 0;
  bool FChecked = false;
  bool FEnabled = true;
  bool FVisible = true;
  bool FDefault = false;
  bool FRadioItem = false;
  TMenuBreak FBreak = mbNone;
  int FGroupIndex = 0;
  int FImageIndex = -1;
  int FHelpContext = 0;
  WORD FCommand = 0;
  HMENU FHandle = nullptr;
  TMenuItem* FParent = nullptr;
  TMenu* FMenu = nullptr;  // set on a menu's root item
  TMenuItem* FMerged = nullptr;
  TMenuItem* FMergedWith = nullptr;
  // The items the native menu shows: with a menu merged in, its items take
  // the places of this menu's items of the same group index.
  std::vector<TMenuItem*> ShownItems() const;
  std::vector<TMenuItem*> FItems;
  TBasicActionLink* FActionLink = nullptr;
  TBitmap* FBitmap = nullptr;
};

// The link of a menu item: a caption counts as linked when it differs from
// the action's only in hot-key markers and case.
class TMenuActionLink : public TClientActionLink<TMenuItem> {
  CL_CLASS(TMenuActionLink, TActionLink)
public:
  using TClientActionLink<TMenuItem>::TClientActionLink;

  bool IsCaptionLinked() override;
  bool IsCheckedLinked() override;
  bool IsImageIndexLinked() override;
  bool IsShortCutLinked() override;
  void SetChecked(bool value) override;
  void SetImageIndex(int value) override;
  void SetShortCut(TShortCut value) override;
};

class TMenu : public TComponent {
  CL_CLASS(TMenu, TComponent)
public:
  explicit TMenu(TComponent* owner);
  ~TMenu() override;

  TMenuItem* Items() const { return FItems; }
  HMENU Handle() { return GetHandle(); }
  virtual HMENU GetHandle();
  // The window that shows the menu (a form's, or the pop-up list's).
  HWND WindowHandle() const { return FWindowHandle; }
  void SetWindowHandle(HWND value);
  TMenuItem* FindItem(UINT value, TFindItemKind kind);
  // Runs the item of the command; false when no item has it.
  bool DispatchCommand(WORD command);
  // Before a sub-menu opens: its items update their actions.
  bool DispatchPopup(HMENU menu);
  // Runs the enabled item with the key's shortcut; true when one had it.
  virtual bool IsShortCut(TMessage& message);
  bool IsRightToLeft() const { return false; }
  // Owner-drawn menus (also every menu with images) are built with owner-drawn
  // native items; a change rebuilds the native menus.
  bool OwnerDraw() const { return FOwnerDraw; }
  void SetOwnerDraw(bool value);
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* value);
  // WM_DRAWITEM / WM_MEASUREITEM of an owner-drawn item of this menu; false
  // when the message is about no item of it.
  bool DispatchDrawItem(const DRAWITEMSTRUCT& draw);
  bool DispatchMeasureItem(MEASUREITEMSTRUCT& measure);

  void GetChildren(std::vector<TComponent*>& list);
  void Notification(TComponent* component, TOperation operation) override;

protected:
  friend class TMenuItem;
  // The native menu must follow a change of an item.
  virtual void DoChange(TMenuItem* source, bool rebuild);
  void MenuChanged(TMenuItem* source, bool rebuild);
  TMenuItem* FItems;
  HWND FWindowHandle = nullptr;

private:
  void RebuildAll();
  bool FOwnerDraw = false;
  TCustomImageList* FImages = nullptr;
};

class TMainMenu : public TMenu {
  CL_CLASS(TMainMenu, TMenu)
public:
  explicit TMainMenu(TComponent* owner) : TMenu(owner) {}
  HMENU GetHandle() override;
  // Shows menu's items in this menu's bar: each of menu's group indexes
  // replaces this menu's items of that index, the others join in order of
  // their group index. One menu is merged at a time; null only unmerges.
  void Merge(TMainMenu* menu);
  void Unmerge(TMainMenu* menu);
  // A form showing this menu merges it into the main form's menu instead.
  bool AutoMerge() const { return FAutoMerge; }
  void SetAutoMerge(bool value) { FAutoMerge = value; }

protected:
  void DoChange(TMenuItem* source, bool rebuild) override;
  bool FAutoMerge = false;
};

class TPopupMenu : public TMenu {
  CL_CLASS(TPopupMenu, TMenu)
public:
  explicit TPopupMenu(TComponent* owner);
  ~TPopupMenu() override;

  // OnPopup, the items' action updates, then the native pop-up at the screen
  // point. The chosen command arrives later through the message loop.
  virtual void Popup(int x, int y);
  TComponent* PopupComponent() const { return FPopupComponent; }
  void SetPopupComponent(TComponent* value);
  TPopupAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TPopupAlignment value) { FAlignment = value; }
  bool AutoPopup() const { return FAutoPopup; }
  void SetAutoPopup(bool value) { FAutoPopup = value; }
  HMENU GetHandle() override;
  void Notification(TComponent* component, TOperation operation) override;

  TNotifyEvent OnPopup;

protected:
  virtual void DoPopup(TObject* sender);

private:
  TComponent* FPopupComponent = nullptr;
  TPopupAlignment FAlignment = paLeft;
  bool FAutoPopup = true;
};

// The live pop-up menus and the window that receives their commands.
class TPopupList : public TList {
  CL_CLASS(TPopupList, TList)
public:
  TPopupList();
  ~TPopupList() override;
  HWND Window() const { return FWindow; }
  void Add(TPopupMenu* popup) { TList::Add(popup); }
  void Remove(TPopupMenu* popup) { TList::Remove(popup); }

protected:
  // WM_COMMAND to the owning pop-up menu, WM_INITMENUPOPUP to its items,
  // WM_MENUSELECT to the application's hint; else the default procedure.
  virtual void WndProc(TMessage& message);
  void MainWndProc(TMessage& message);
  HWND FWindow = nullptr;
};

// The current pop-up list; the Unicode layer puts its own in while a pop-up runs.
extern TPopupList* PopupList;

void UnitInit_menus();
void UnitFini_menus();
