// Menus with wide captions and hints: the items keep a wide shadow of the
// class library's ANSI caption and hint and write the wide text into the
// native menu whenever the class library rebuilds it; pop-up menus report the
// wide hint of the item under the cursor. Also the shortcut texts in both
// directions, made from the keyboard driver's key names, and the hot-key
// helpers of the accelerator tests.
#pragma once

#include "menus.h"

#include <initializer_list>

class TUcMenuItem;

// ---------------------------------------------------------------------------
// Shortcuts and hot keys.

// Ctrl, Alt, Shift (as the driver names those keys) and the key's name,
// joined by "+"; "" for 0. The modifiers stay when the driver has no name for
// the key.
WideString WideShortCutToText(TShortCut shortCut);
// The reverse: the class library's words "Shift+", "Ctrl+", "Alt+" (or "^")
// in front, then a key name as WideShortCutToText makes it; 0 when no key
// matches. Tries up to 590 keys: for occasional use only.
TShortCut WideTextToShortCut(WideString text);
// The shortcut of a key message (character code and the shift state of its
// key data).
TShortCut MessageToShortCut(const TMessage& message);

// The character after the last single "&" (as a one-character text), or "".
WideString WideGetHotkey(const WideString& text);
// The text without hot-key markers ("&&" becomes "&"; in a Far-East locale a
// trailing "(&X)" goes altogether).
WideString WideStripHotkey(const WideString& text);
// Equal without hot-key markers, ignoring case the user locale's way.
bool WideSameCaption(const WideString& text1, const WideString& text2);
// Copies the hot-key marker positions of source (the ANSI caption widened)
// into dest (the wide caption) when the two differ only there. When the
// repair cannot make their ANSI forms equal, dest becomes source: a caption
// getter must not raise in the middle of a menu rebuild.
void SyncHotKeyPosition(const WideString& source, WideString& dest);

WideString WideGetMenuItemCaption(TMenuItem* item);
WideString WideGetMenuItemHint(TMenuItem* item);
// The item's own bitmap object exists (it may still be empty).
bool MenuItemHasBitmap(TMenuItem* item);
// An image of the menu's image list for the item's ImageIndex, or a bitmap
// that is not empty. Raises EUcInternalError "UC Internal Error:
// ItemHasValidImage: item = nil" for a null item.
bool ItemHasValidImage(TMenuItem* item);

TUcMenuItem* WideNewItem(const WideString& caption, TShortCut shortCut, bool checked, bool enabled,
                         TNotifyEvent onClick, int helpContext, const AnsiString& name);
TUcMenuItem* WideNewSubMenu(const WideString& caption, int helpContext, const AnsiString& name,
                            std::initializer_list<TMenuItem*> items, bool enabled);

// In a Middle-East locale: rewrites the first visible top-level item's string.
void FixMenuBiDiProblem(TMenu* menu);
// Clears the owner-draw flag of top-level items of the menu bar that have no
// draw handler and no image, and gives them their (wide) text.
void NoOwnerDrawTopLevelItems(TMainMenu* menu);

// The call that writes a native item's string (tests count the writes).
extern BOOL(WINAPI* UcSetMenuItemInfoW)(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOW info);

// ---------------------------------------------------------------------------

class TUcMenuItem : public TMenuItem {
  CL_CLASS(TUcMenuItem, TMenuItem)
public:
  explicit TUcMenuItem(TComponent* owner);

  // The wide shadows of the ANSI Caption and Hint.
  WideString GetCaption();
  void SetCaption(const WideString& value);
  WideString GetHint();
  void SetHint(const WideString& value);
  bool IsCaptionStored();
  bool IsHintStored();

  // The first direct child whose caption equals caption (hot keys stripped,
  // case ignored); null when none.
  TMenuItem* Find(const WideString& caption);
  TMenuItem* Find(const AnsiString& caption) override { return Find(AnsiToWide(caption)); }

  // Writes the wide caption (and shortcut text) into the native item when
  // it differs from what the menu shows.
  void UpdateMenuString(TMenu* parentMenu);

  // DT_LEFT, DT_RIGHT or DT_CENTER by the pop-up menu's alignment.
  int GetAlignmentDrawStyle();
  // The wide caption on a canvas as menus draw it (bold default item,
  // embossed when disabled); with DT_CALCRECT only measures into rect.
  virtual void DoDrawText(TCanvas* canvas, const WideString& caption, TRect& rect, bool selected, int flags);
  int MeasureItemTextWidth(TCanvas* canvas, const WideString& text);

  // Owner drawing: the class library draws background, check mark and
  // glyph, then the wide caption and shortcut text are drawn over them. An
  // owner-drawn menu's item with its own handler is left to the handler.
  void AdvancedDrawItem(TCanvas* canvas, const TRect& rect, TOwnerDrawState state, bool topLevel) override;
  // The class library's size, corrected by the widths of the wide texts,
  // then the item's OnMeasureItem.
  void MeasureItem(TCanvas* canvas, int& width, int& height) override;

  // The keyboard layout whose key names the native string was written with.
  HKL KeyboardLayout() const { return FKeyboardLayout; }
  void SetKeyboardLayout(HKL value) { FKeyboardLayout = value; }

  void DefineProperties(TFiler* filer) override;
  void Loaded() override;
  void InitiateAction() override;

protected:
  void MenuChanged(bool rebuild) override;
  void ActionChange(TObject* sender, bool checkDefaults) override;
  const TMetaClass* GetActionLinkClass() override;

private:
  // Puts caption and shortCut on the item and hands back the old ones,
  // without rebuilding the native menu.
  void SwapTexts(WideString& caption, TShortCut& shortCut);
  bool FIgnoreMenuChanged = false;
  WideString FCaption;
  WideString FHint;
  HKL FKeyboardLayout = nullptr;
};

class TUcMainMenu : public TMainMenu {
  CL_CLASS(TUcMainMenu, TMainMenu)
public:
  explicit TUcMainMenu(TComponent* owner) : TMainMenu(owner) {}

protected:
  void DoChange(TMenuItem* source, bool rebuild) override;
};

class TUcPopupMenu : public TPopupMenu {
  CL_CLASS(TUcPopupMenu, TPopupMenu)
public:
  // Lives in UcPopupList instead of the class library's PopupList.
  explicit TUcPopupMenu(TComponent* owner);
  ~TUcPopupMenu() override;
  // UcPopupList receives the menu's messages while it shows.
  void Popup(int x, int y) override;

protected:
  void DoChange(TMenuItem* source, bool rebuild) override;
};

class TUcPopupList : public TPopupList {
  CL_CLASS(TUcPopupList, TPopupList)
public:
  TUcPopupList() = default;
  // The class library's own pop-up list of the moment the unit started.
  TPopupList* SavedPopupList = nullptr;

protected:
  void WndProc(TMessage& message) override;
};

extern TUcPopupList* UcPopupList;

// Rewrites the native strings of item and all its descendants.
void UcMenuRefreshWalk(TMenuItem* item, TMenu* parentMenu);

void UnitInit_UcMenus();
void UnitFini_UcMenus();
