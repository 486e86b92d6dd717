#include "UcMenus.h"

#include "UcActnList.h"
#include "UcCodePages.h"
#include "UcComponentProps.h"
#include "UcControls.h"
#include "UcForms.h"
#include "UcGraphics.h"
#include "UcSysUtils.h"
#include "UcWindows.h"

#include "filer.h"

#include <string>

CL_DEFINE_COMPONENT(TUcMenuItem, TMenuItem)
CL_DEFINE_COMPONENT(TUcMainMenu, TMainMenu)
CL_DEFINE_COMPONENT(TUcPopupMenu, TPopupMenu)
CL_DEFINE_CLASS(TUcPopupList, TPopupList)

TUcPopupList* UcPopupList = nullptr;
BOOL(WINAPI* UcSetMenuItemInfoW)(HMENU, UINT, BOOL, LPCMENUITEMINFOW) = &SetMenuItemInfoW;

namespace {

// The class library's modifier words, which the text reader accepts.
const wchar_t SmkcShift[] = L"Shift+";
const wchar_t SmkcCtrl[] = L"Ctrl+";
const wchar_t SmkcAlt[] = L"Alt+";

// The type bits that mean "no string": bitmap, owner-drawn, separator.
constexpr UINT kNoStringTypes = MFT_BITMAP | MFT_OWNERDRAW | MFT_SEPARATOR;
static_assert(kNoStringTypes == 0x904);
// MENUITEMINFOW up to and without hbmpItem: the size the older systems know.
constexpr UINT kMenuItemInfoSizeW = 44;
static_assert(offsetof(MENUITEMINFOW, hbmpItem) == kMenuItemInfoSizeW);

bool SameTextUser(const WideString& a, const WideString& b) {
  return Uc_CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), a.Length(), b.c_str(), b.Length()) ==
         CSTR_EQUAL;
}

// A special key's name as the driver gives it, first letter kept and the
// rest lower-cased ("PAGE UP" -> "Page up"), with the letter after a "("
// upper-cased again.
WideString SpecialKeyName(UINT scanCode) {
  wchar_t buf[32] = {};
  int n = GetKeyNameTextW(static_cast<LONG>((scanCode & 0x1FF) << 16), buf, 32);
  if (n <= 0) return WideString();
  WideString name(buf, n);
  WideString result = WideString(name[1]) + Uc_WideLowerCase(name.SubString(2, n - 1));
  int p = result.Pos(L"(");
  if (p > 0 && p < result.Length())
    result = result.SubString(1, p) + Uc_WideUpperCase(result.SubString(p + 1, 1)) +
             result.SubString(p + 2, result.Length() - p - 1);
  return result;
}

WideString PlainKeyName(WORD key) {
  UINT scan = MapVirtualKeyW(key, 0);
  if (!scan) return WideString();
  Assert(Win32PlatformIsUnicode, "Key names need the Unicode platform");
  wchar_t buf[256] = {};
  int n = GetKeyNameTextW(static_cast<LONG>(scan << 16), buf, 256);
  return n > 0 ? WideString(buf, n) : WideString();
}

bool StripPrefix(WideString& text, const wchar_t* prefix) {
  WideString p(prefix);
  if (text.Pos(p) != 1) return false;
  text.Delete(1, p.Length());
  return true;
}

// "(&X)" at position i ("&" at i) in a Far-East locale.
bool IsFarEastHotkeyGroup(const WideString& text, int i) {
  return SysLocale.FarEast && i >= 2 && i + 2 <= text.Length() && text[i - 1] == L'(' && text[i + 2] == L')';
}

bool IsTopItemOfMainMenu(TMenuItem* item, TMenu* parentMenu) {
  return item->Parent() && !item->Parent()->Parent() && parentMenu && parentMenu->Is<TMainMenu>();
}

}  // namespace

// ===========================================================================
// Shortcuts

WideString WideShortCutToText(TShortCut shortCut) {
  WORD key = shortCut & 0xFF;
  WideString name;
  if (key == 8 || key == 9 || key == 13 || key == 27 || (key >= 112 && key <= 135))
    name = SpecialKeyName(MapVirtualKeyW(key, 0));
  else if ((key >= 32 && key <= 40) || key == 45 || key == 46)
    name = SpecialKeyName(MapVirtualKeyW(key, 0) + 256);
  else
    name = PlainKeyName(key);
  // The modifiers in the words of every other shortcut text, not the
  // driver's names of those keys: one menu must not say "Control+N" beside
  // "Ctrl+L", and the words read back.
  return AnsiToWide(ShortCutModifierText(shortCut)) + name;
}

TShortCut WideTextToShortCut(WideString text) {
  TShortCut shift = 0;
  for (;;) {
    if (StripPrefix(text, SmkcShift))
      shift |= scShift;
    else if (StripPrefix(text, L"^"))
      shift |= scCtrl;
    else if (StripPrefix(text, SmkcCtrl))
      shift |= scCtrl;
    else if (StripPrefix(text, SmkcAlt))
      shift |= scAlt;
    else
      break;
  }
  if (text.IsEmpty()) return 0;
  for (unsigned key = 8; key <= 597; ++key)
    if (SameTextUser(text, WideShortCutToText(static_cast<TShortCut>(key))))
      return static_cast<TShortCut>(key | shift);
  return 0;
}

TShortCut MessageToShortCut(const TMessage& message) {
  return ShortCut(CharCode(message), KeyDataToShiftState(message.LParam));
}

// ===========================================================================
// Hot keys

WideString WideGetHotkey(const WideString& text) {
  int pos = 0;
  int n = text.Length();
  for (int i = 1; i <= n; ++i) {
    if (text[i] == L'&' && i < n) {
      ++i;
      if (text[i] != L'&') pos = i;
    }
  }
  return pos ? WideString(text[pos]) : WideString();
}

WideString WideStripHotkey(const WideString& text) {
  WideString r = text;
  int i = 1;
  while (i <= r.Length()) {
    if (r[i] != L'&') {
      ++i;
      continue;
    }
    if (IsFarEastHotkeyGroup(r, i)) {
      r.Delete(i - 1, 4);
      --i;
    } else {
      r.Delete(i, 1);
      ++i;
    }
  }
  return r;
}

bool WideSameCaption(const WideString& text1, const WideString& text2) {
  return SameTextUser(WideStripHotkey(text1), WideStripHotkey(text2));
}

void SyncHotKeyPosition(const WideString& source, WideString& dest) {
  if (WideToAnsi(source) == WideToAnsi(dest)) return;
  if (WideToAnsi(WideStripHotkey(source)) != WideToAnsi(WideStripHotkey(dest))) return;
  WideString repaired = WideStripHotkey(dest);
  int i = 1;
  while (i <= source.Length()) {
    if (source[i] != L'&') {
      ++i;
      continue;
    }
    if (IsFarEastHotkeyGroup(source, i)) {
      repaired.Insert(source.SubString(i - 1, 4), i - 1);
      i += 3;
    } else {
      repaired.Insert(L"&", i);
      i += 2;
    }
  }
  // A repair that does not come out right keeps the class library's caption.
  dest = WideToAnsi(repaired) == WideToAnsi(source) ? repaired : source;
}

WideString WideGetMenuItemCaption(TMenuItem* item) {
  if (item->Is<TUcMenuItem>()) return static_cast<TUcMenuItem*>(item)->GetCaption();
  return AnsiToWide(item->Caption());
}

WideString WideGetMenuItemHint(TMenuItem* item) {
  if (item->Is<TUcMenuItem>()) return static_cast<TUcMenuItem*>(item)->GetHint();
  return AnsiToWide(item->Hint());
}

bool MenuItemHasBitmap(TMenuItem* item) { return item && item->HasBitmap(); }

bool ItemHasValidImage(TMenuItem* item) {
  if (!item) throw EUcInternalError("UC Internal Error: ItemHasValidImage: item = nil");
  TCustomImageList* images = item->GetImageList();
  if (images && item->ImageIndex() >= 0 && item->ImageIndex() < images->Count()) return true;
  return MenuItemHasBitmap(item) && !item->Bitmap()->Empty();
}

TUcMenuItem* WideNewItem(const WideString& caption, TShortCut shortCut, bool checked, bool enabled,
                         TNotifyEvent onClick, int helpContext, const AnsiString& name) {
  auto* item = new TUcMenuItem(nullptr);
  try {
    item->SetCaption(caption);
    item->SetShortCut(shortCut);
    item->OnClick = onClick;
    item->SetHelpContext(helpContext);
    item->SetChecked(checked);
    item->SetEnabled(enabled);
    item->SetName(name);
  } catch (...) {
    delete item;
    throw;
  }
  return item;
}

TUcMenuItem* WideNewSubMenu(const WideString& caption, int helpContext, const AnsiString& name,
                            std::initializer_list<TMenuItem*> items, bool enabled) {
  auto* item = new TUcMenuItem(nullptr);
  try {
    for (TMenuItem* child : items) item->Add(child);
    item->SetCaption(caption);
    item->SetHelpContext(helpContext);
    item->SetName(name);
    item->SetEnabled(enabled);
  } catch (...) {
    delete item;
    throw;
  }
  return item;
}

void FixMenuBiDiProblem(TMenu* menu) {
  if (!SysLocale.MiddleEast || !menu || menu->Items()->Count() == 0) return;
  for (int i = 0; i < menu->Items()->Count(); ++i) {
    TMenuItem* item = menu->Items()->Items(i);
    if (!item->Visible()) continue;
    if (item->Is<TUcMenuItem>()) static_cast<TUcMenuItem*>(item)->UpdateMenuString(menu);
    return;
  }
}

void NoOwnerDrawTopLevelItems(TMainMenu* menu) {
  // Top-level owner-drawn items exist from Windows 98 / 2000 on.
  if (!menu || !((Win32MajorVersion > 4) || (Win32MajorVersion == 4 && Win32MinorVersion >= 10))) return;
  HMENU handle = menu->Handle();
  for (int pos = 0;; ++pos) {
    MENUITEMINFOA mii{};
    mii.cbSize = sizeof(MENUITEMINFOA);
    mii.fMask = MIIM_FTYPE | MIIM_ID;
    if (!GetMenuItemInfoA(handle, static_cast<UINT>(pos), TRUE, &mii)) break;
    if (!(mii.fType & MFT_OWNERDRAW)) continue;
    TMenuItem* item = menu->FindItem(mii.wID, fkCommand);
    // An item with its own drawer or a glyph to show stays owner-drawn.
    if (!item || item->OnDrawItem || item->OnAdvancedDrawItem || ItemHasValidImage(item)) continue;
    if (item->Is<TUcMenuItem>() && Win32PlatformIsUnicode) {
      WideString text = static_cast<TUcMenuItem*>(item)->GetCaption();
      MENUITEMINFOW w{};
      w.cbSize = kMenuItemInfoSizeW;
      w.fMask = MIIM_FTYPE | MIIM_STRING;
      w.fType = mii.fType & ~static_cast<UINT>(MFT_OWNERDRAW);
      w.dwTypeData = const_cast<wchar_t*>(text.c_str());
      w.cch = static_cast<UINT>(text.Length());
      UcSetMenuItemInfoW(handle, static_cast<UINT>(pos), TRUE, &w);
    } else {
      AnsiString text = item->Caption();
      MENUITEMINFOA a{};
      a.cbSize = sizeof(MENUITEMINFOA);
      a.fMask = MIIM_FTYPE | MIIM_STRING;
      a.fType = mii.fType & ~static_cast<UINT>(MFT_OWNERDRAW);
      a.dwTypeData = const_cast<char*>(text.c_str());
      a.cch = static_cast<UINT>(text.Length());
      SetMenuItemInfoA(handle, static_cast<UINT>(pos), TRUE, &a);
    }
  }
}

void UcMenuRefreshWalk(TMenuItem* item, TMenu* parentMenu) {
  if (!item || (item->ComponentState() & (csReading | csDestroying))) return;
  for (int i = item->Count() - 1; i >= 0; --i) UcMenuRefreshWalk(item->Items(i), parentMenu);
  if (item->Is<TUcMenuItem>()) static_cast<TUcMenuItem*>(item)->UpdateMenuString(parentMenu);
}

// ===========================================================================
// TUcMenuItem

TUcMenuItem::TUcMenuItem(TComponent* owner) : TMenuItem(owner) {}

WideString TUcMenuItem::GetCaption() {
  const AnsiString& ansi = TMenuItem::Caption();
  if (WideToAnsi(FCaption) != ansi &&
      WideToAnsi(WideStripHotkey(FCaption)) == WideToAnsi(WideStripHotkey(AnsiToWide(ansi))))
    SyncHotKeyPosition(AnsiToWide(ansi), FCaption);
  return GetSyncedWideString(FCaption, ansi);
}

void TUcMenuItem::SetCaption(const WideString& value) {
  SetSyncedWideString(value, FCaption, TMenuItem::Caption(),
                      [this](const AnsiString& a) { TMenuItem::SetCaption(a); });
}

WideString TUcMenuItem::GetHint() { return GetSyncedWideString(FHint, TMenuItem::Hint()); }

void TUcMenuItem::SetHint(const WideString& value) {
  // The class library stores an item's hint without telling anyone.
  SetSyncedWideString(value, FHint, TMenuItem::Hint(), [this](const AnsiString& a) { TMenuItem::SetHint(a); });
}

bool TUcMenuItem::IsCaptionStored() {
  auto* link = static_cast<TActionLink*>(ActionLink());
  return !link || !link->IsCaptionLinked();
}

bool TUcMenuItem::IsHintStored() {
  auto* link = static_cast<TActionLink*>(ActionLink());
  return !link || !link->IsHintLinked();
}

TMenuItem* TUcMenuItem::Find(const WideString& caption) {
  WideString wanted = WideStripHotkey(caption);
  for (int i = 0; i < Count(); ++i) {
    TMenuItem* item = Items(i);
    if (SameTextUser(WideStripHotkey(WideGetMenuItemCaption(item)), wanted)) return item;
  }
  return nullptr;
}

void TUcMenuItem::UpdateMenuString(TMenu* parentMenu) {
  FKeyboardLayout = GetKeyboardLayout(0);
  TMenuItem* parent = Parent();
  if (!Win32PlatformIsUnicode || !parent || !parentMenu || (ComponentState() & (csReading | csDestroying)) ||
      !Visible())
    return;
  HMENU parentHandle = parent->MergedWith() ? parent->MergedWith()->Handle() : parent->Handle();
  MENUITEMINFOW mii{};
  mii.cbSize = kMenuItemInfoSizeW;
  mii.fMask = MIIM_TYPE;
  if (!GetMenuItemInfoW(parentHandle, Command(), FALSE, &mii) || (mii.fType & kNoStringTypes)) return;
  WideString text = GetCaption();
  if (Count() == 0 && ShortCut() != 0 && !IsTopItemOfMainMenu(this, parentMenu))
    text += L"\t" + WideShortCutToText(ShortCut());
  int len = GetMenuStringW(parentHandle, Command(), nullptr, 0, MF_BYCOMMAND);
  std::wstring buf(static_cast<size_t>(len > 0 ? len : 0) + 1, L'\0');
  int got = GetMenuStringW(parentHandle, Command(), buf.data(), len + 1, MF_BYCOMMAND);
  buf.resize(static_cast<size_t>(got > 0 ? got : 0));
  if (WideString(std::move(buf)) == text) return;
  mii = MENUITEMINFOW{};
  mii.cbSize = kMenuItemInfoSizeW;
  mii.fMask = MIIM_TYPE;
  if (!GetMenuItemInfoW(parentHandle, Command(), FALSE, &mii) || (mii.fType & kNoStringTypes)) return;
  mii.fMask = MIIM_TYPE;
  mii.dwTypeData = const_cast<wchar_t*>(text.c_str());
  mii.cch = static_cast<UINT>(text.Length());
  UcSetMenuItemInfoW(parentHandle, Command(), FALSE, &mii);
  if ((parent == parentMenu->Items() || parent->MergedWith()) && parentMenu->Is<TMainMenu>() &&
      parentMenu->WindowHandle())
    DrawMenuBar(parentMenu->WindowHandle());
}

int TUcMenuItem::GetAlignmentDrawStyle() {
  TMenu* menu = GetParentMenu();
  if (!menu || !menu->Is<TPopupMenu>()) return DT_LEFT;
  switch (static_cast<TPopupMenu*>(menu)->Alignment()) {
    case paRight: return DT_RIGHT;
    case paCenter: return DT_CENTER;
    default: return DT_LEFT;
  }
}

void TUcMenuItem::DoDrawText(TCanvas* canvas, const WideString& caption, TRect& rect, bool selected, int flags) {
  if (!Win32PlatformIsUnicode || IsLine()) {
    TMenuItem::DoDrawText(canvas, WideToAnsi(caption), rect, selected, flags);
    return;
  }
  TMenu* menu = GetParentMenu();
  if (menu && menu->IsRightToLeft()) flags |= DT_RIGHT | DT_RTLREADING;
  WideString text = caption;
  if ((flags & DT_CALCRECT) && (text.IsEmpty() || text == L"&")) text += L" ";
  canvas->Brush()->SetStyle(bsClear);
  if (Default()) canvas->Font()->SetStyle(static_cast<TFontStyles>(canvas->Font()->Style() | fsBold));
  canvas->RequiredState(csHandleValid | csFontValid | csBrushValid);
  if (!Enabled()) {
    if (!selected) {
      TRect shifted = rect;
      OffsetRect(&shifted, 1, 1);
      canvas->Font()->SetColor(clBtnHighlight);
      canvas->RequiredState(csHandleValid | csFontValid);
      Uc_DrawTextW(canvas->Handle(), text.c_str(), text.Length(), &shifted, static_cast<UINT>(flags));
    }
    if (selected && ColorToRGB(clHighlight) == ColorToRGB(clBtnShadow))
      canvas->Font()->SetColor(clBtnHighlight);
    else
      canvas->Font()->SetColor(clBtnShadow);
  }
  canvas->RequiredState(csHandleValid | csFontValid);
  Uc_DrawTextW(canvas->Handle(), text.c_str(), text.Length(), &rect, static_cast<UINT>(flags));
}

int TUcMenuItem::MeasureItemTextWidth(TCanvas* canvas, const WideString& text) {
  TRect r(0, 0, 0, 0);
  DoDrawText(canvas, text, r, false, GetAlignmentDrawStyle() | DT_CALCRECT | DT_NOCLIP | DT_EXPANDTABS | DT_SINGLELINE);
  return r.Width();
}

void TUcMenuItem::SwapTexts(WideString& caption, TShortCut& shortCut) {
  WideString oldCaption = GetCaption();
  TShortCut oldShortCut = ShortCut();
  // Without a rebuild of the native menu while it is being drawn.
  FIgnoreMenuChanged = true;
  try {
    SetCaption(caption);
    SetShortCut(shortCut);
  } catch (...) {
    FIgnoreMenuChanged = false;
    throw;
  }
  FIgnoreMenuChanged = false;
  caption = oldCaption;
  shortCut = oldShortCut;
}

void TUcMenuItem::AdvancedDrawItem(TCanvas* canvas, const TRect& rect, TOwnerDrawState state, bool topLevel) {
  if (!Win32PlatformIsUnicode || IsLine() || (IsOwnerDrawn() && (OnAdvancedDrawItem || OnDrawItem))) {
    TMenuItem::AdvancedDrawItem(canvas, rect, state, topLevel);
    return;
  }
  // The class library draws background, check mark and glyph; the text is
  // drawn wide over them.
  WideString swapped;
  TShortCut swappedShortCut = 0;
  SwapTexts(swapped, swappedShortCut);
  const WideString caption = swapped;
  const TShortCut shortCut = swappedShortCut;
  try {
    TMenuItem::AdvancedDrawItem(canvas, rect, state, topLevel);
  } catch (...) {
    SwapTexts(swapped, swappedShortCut);
    throw;
  }
  SwapTexts(swapped, swappedShortCut);

  TMenu* menu = GetParentMenu();
  bool rightToLeft = menu && menu->IsRightToLeft();
  bool selected = (state & odSelected) != 0;
  TCustomImageList* images = GetImageList();
  bool bitmap = HasBitmap() && !Bitmap()->Empty();
  bool validIndex = images && ImageIndex() >= 0 && ImageIndex() < images->Count();
  bool glyphShown = images && (validIndex || (Checked() && !bitmap));
  int glyphWidth = 0;
  if (glyphShown)
    glyphWidth = images->Width();
  else if (bitmap)
    glyphWidth = 16;
  else if (images && !topLevel)
    glyphWidth = images->Width();

  TRect textRect = rect;
  if (!rightToLeft) {
    textRect.left += glyphWidth + 6;
    textRect.right -= 1;
  } else {
    textRect.right -= glyphWidth + 6;
    textRect.left += 1;
  }
  // From Vista on the system's drop-down menus keep a fixed column for check
  // marks and glyphs. It is measured from the item's own edge, and the menu
  // bar has no such column: its items do not start at x = 0 and are only as
  // wide as their text.
  if (Win32MajorVersion >= 6 && !topLevel) {
    if (!rightToLeft)
      textRect.left = rect.left + 32;
    else
      textRect.right = rect.right - 32;
  }
  if (topLevel && (Win32MajorVersion > 4 || (Win32MajorVersion == 4 && Win32MinorVersion >= 10))) {
    if (selected)
      OffsetRect(&textRect, 1, 0);
    else
      OffsetRect(&textRect, 0, -1);
  }
  int flags = GetAlignmentDrawStyle() | DT_EXPANDTABS | DT_SINGLELINE;
  if (Win32Platform == VER_PLATFORM_WIN32_NT && Win32MajorVersion > 4 && (state & odNoAccel)) flags |= DT_HIDEPREFIX;
  if (state & odDefault) canvas->Font()->SetStyle(static_cast<TFontStyles>(canvas->Font()->Style() | fsBold));
  TRect captionRect = textRect;
  DoDrawText(canvas, caption, captionRect, selected, flags | DT_CALCRECT | DT_NOCLIP);
  OffsetRect(&captionRect, 0, (textRect.Height() - captionRect.Height()) / 2);
  DoDrawText(canvas, caption, captionRect, selected, flags);
  if (!topLevel && shortCut != 0) {
    WideString text = WideShortCutToText(shortCut);
    TRect shortCutRect = captionRect;
    if (!rightToLeft) {
      shortCutRect.left = captionRect.right;
      shortCutRect.right = rect.right - 10;
    } else {
      shortCutRect.left = rect.left + 10;
      shortCutRect.right = shortCutRect.left + MeasureItemTextWidth(canvas, text);
    }
    DoDrawText(canvas, text, shortCutRect, selected, DT_RIGHT);
  }
}

void TUcMenuItem::MeasureItem(TCanvas* canvas, int& width, int& height) {
  if (!Win32PlatformIsUnicode || IsLine()) {
    TMenuItem::MeasureItem(canvas, width, height);
    return;
  }
  // The class library measures the ANSI texts; the difference to the wide
  // ones is added before the item's own handler sees the size.
  TMenuMeasureItemEvent handler = OnMeasureItem;
  OnMeasureItem.Clear();
  try {
    TMenuItem::MeasureItem(canvas, width, height);
    width += MeasureItemTextWidth(canvas, GetCaption()) - MeasureItemTextWidth(canvas, AnsiToWide(TMenuItem::Caption()));
    if (ShortCut() != 0)
      width += MeasureItemTextWidth(canvas, WideShortCutToText(ShortCut())) -
               MeasureItemTextWidth(canvas, AnsiToWide(ShortCutToText(ShortCut())));
  } catch (...) {
    OnMeasureItem = handler;
    throw;
  }
  OnMeasureItem = handler;
  if (handler) handler(this, canvas, width, height);
}

void TUcMenuItem::DefineProperties(TFiler* filer) {
  TMenuItem::DefineProperties(filer);
  UcPersistent_AfterInherited_DefineProperties(filer, this);
}

void TUcMenuItem::Loaded() {
  TMenuItem::Loaded();
  UpdateMenuString(GetParentMenu());
}

void TUcMenuItem::InitiateAction() {
  // Shortcut texts are made of the layout's key names.
  if (GetKeyboardLayout(0) != FKeyboardLayout) MenuChanged(false);
  TMenuItem::InitiateAction();
}

void TUcMenuItem::MenuChanged(bool rebuild) {
  if (FIgnoreMenuChanged) return;
  TMenuItem::MenuChanged(rebuild);
  TMenu* menu = GetParentMenu();
  UcMenuRefreshWalk(this, menu);
  FixMenuBiDiProblem(menu);
}

void TUcMenuItem::ActionChange(TObject* sender, bool checkDefaults) {
  if (sender && sender->Is<TCustomAction>() && IsWideAction(sender)) {
    auto* action = static_cast<TCustomAction*>(sender);
    if (!checkDefaults || GetCaption().IsEmpty()) SetCaption(UcAction_GetCaption(action));
    if (!checkDefaults || GetHint().IsEmpty()) SetHint(UcAction_GetHint(action));
  }
  TMenuItem::ActionChange(sender, checkDefaults);
}

const TMetaClass* TUcMenuItem::GetActionLinkClass() { return &TUcMenuActionLink::Class; }

// ===========================================================================
// Menus

void TUcMainMenu::DoChange(TMenuItem* source, bool rebuild) {
  TMainMenu::DoChange(source, rebuild);
  UcMenuRefreshWalk(Items(), this);
  if (Items()->Merged()) UcMenuRefreshWalk(Items()->Merged(), this);
}

TUcPopupMenu::TUcPopupMenu(TComponent* owner) : TPopupMenu(owner) {
  if (PopupList) PopupList->Remove(this);
  if (UcPopupList) UcPopupList->Add(this);
}

TUcPopupMenu::~TUcPopupMenu() {
  if (UcPopupList) UcPopupList->Remove(this);
  // The class library's destructor takes the menu out of its own list.
  if (PopupList && PopupList->IndexOf(this) < 0) PopupList->Add(this);
}

void TUcPopupMenu::DoChange(TMenuItem* source, bool rebuild) {
  TPopupMenu::DoChange(source, rebuild);
  UcMenuRefreshWalk(Items(), this);
}

void TUcPopupMenu::Popup(int x, int y) {
  if (!UcPopupList) {
    TPopupMenu::Popup(x, y);
    return;
  }
  PopupList = UcPopupList;
  try {
    TPopupMenu::Popup(x, y);
  } catch (...) {
    PopupList = UcPopupList->SavedPopupList;
    throw;
  }
  PopupList = UcPopupList->SavedPopupList;
}

void TUcPopupList::WndProc(TMessage& message) {
  switch (message.Msg) {
    case WM_MENUSELECT: {
      UINT flags = HIWORD(message.WParam);
      UINT id = LOWORD(message.WParam);
      HMENU menu = reinterpret_cast<HMENU>(message.LParam);
      bool byHandle = (flags & MF_POPUP) != 0;
      for (int i = 0; i < Count(); ++i) {
        auto* popup = static_cast<TPopupMenu*>(Items(i));
        UINT value = id;
        if (byHandle)
          value = menu ? static_cast<UINT>(reinterpret_cast<uintptr_t>(GetSubMenu(menu, static_cast<int>(id))))
                       : static_cast<UINT>(-1);
        if (TMenuItem* item = popup->FindItem(value, byHandle ? fkHandle : fkCommand)) {
          if (UcApplication) UcApplication->SetHint(WideGetLongHint(WideGetMenuItemHint(item)));
          return;
        }
      }
      if (UcApplication) UcApplication->SetHint(WideString());
      break;
    }
    case WM_ENTERMENULOOP:
      PopupList = SavedPopupList;
      for (int i = 0; i < Count(); ++i) FixMenuBiDiProblem(static_cast<TPopupMenu*>(Items(i)));
      break;
  }
  TPopupList::WndProc(message);
}

// ===========================================================================
// Unit

void UnitInit_UcMenus() {
  UcPopupList = new TUcPopupList();
  UcPopupList->SavedPopupList = PopupList;
  RegisterClasses({&TUcMenuItem::Class, &TUcMainMenu::Class, &TUcPopupMenu::Class});
  RegisterProperty(&TUcMenuItem::Class, "Caption", pkWideString, &TUcMenuItem::SetCaption, &TUcMenuItem::GetCaption,
                   TPropDefault(), &TUcMenuItem::IsCaptionStored);
  RegisterProperty(&TUcMenuItem::Class, "Hint", pkWideString, &TUcMenuItem::SetHint, &TUcMenuItem::GetHint,
                   TPropDefault(), &TUcMenuItem::IsHintStored);
}

void UnitFini_UcMenus() {
  if (UcPopupList && PopupList == UcPopupList) PopupList = UcPopupList->SavedPopupList;
  delete UcPopupList;
  UcPopupList = nullptr;
}
