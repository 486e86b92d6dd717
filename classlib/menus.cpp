#include "menus.h"

#include "filer.h"
#include "forms.h"

#include <algorithm>
#include <cstring>

TPopupList* PopupList = nullptr;
CL_DEFINE_CLASS(EMenuError, Exception)

namespace {

// Command ids of menu items: a process-wide pool. Ids start above the
// dialog-button ids (IDOK..IDHELP) so that a WM_COMMAND from a dialog key
// is never taken for a menu command.
constexpr WORD kFirstCommand = 100;
std::vector<bool>* CommandPool = nullptr;

WORD AllocateCommand() {
  if (!CommandPool) CommandPool = new std::vector<bool>();
  auto& pool = *CommandPool;
  for (size_t i = 0; i < pool.size(); ++i)
    if (!pool[i]) {
      pool[i] = true;
      return static_cast<WORD>(kFirstCommand + i);
    }
  if (kFirstCommand + pool.size() > 0xFFFF) throw EOutOfResources("Out of menu command ids");
  pool.push_back(true);
  return static_cast<WORD>(kFirstCommand + pool.size() - 1);
}

void FreeCommand(WORD id) {
  if (!CommandPool || id < kFirstCommand) return;
  size_t i = id - kFirstCommand;
  if (i < CommandPool->size()) (*CommandPool)[i] = false;
}

const char SMenuIndexError[] = "Menu index out of range";
const char SMenuReinserted[] = "Menu inserted twice";
const char SMenuNotFound[] = "Sub-menu is not in menu";

// The keyboard driver's name of a key (the extended bit for the keys that
// share a scan code with the numeric pad).
AnsiString KeyName(WORD key) {
  UINT scan = MapVirtualKeyA(key, 0);
  if (!scan) return AnsiString();
  LONG lparam = static_cast<LONG>(scan) << 16;
  switch (key) {
    case VK_PRIOR: case VK_NEXT: case VK_END: case VK_HOME: case VK_LEFT: case VK_UP: case VK_RIGHT:
    case VK_DOWN: case VK_INSERT: case VK_DELETE: case VK_DIVIDE: case VK_NUMLOCK:
      lparam |= 1 << 24;
      break;
  }
  char buf[256] = {};
  int n = GetKeyNameTextA(lparam, buf, sizeof buf);
  return n > 0 ? AnsiString(buf, n) : AnsiString();
}

}  // namespace

// ===========================================================================
// Shortcuts

TShortCut ShortCut(WORD key, TShiftState shift) {
  if (key & 0xFF00) return 0;
  TShortCut r = key;
  if (shift & ssShift) r |= scShift;
  if (shift & ssCtrl) r |= scCtrl;
  if (shift & ssAlt) r |= scAlt;
  return r;
}

void ShortCutToKey(TShortCut shortCut, WORD& key, TShiftState& shift) {
  key = shortCut & 0xFF;
  shift = 0;
  if (shortCut & scShift) shift |= ssShift;
  if (shortCut & scCtrl) shift |= ssCtrl;
  if (shortCut & scAlt) shift |= ssAlt;
}

AnsiString ShortCutModifierText(TShortCut shortCut) {
  AnsiString r;
  if (shortCut & scCtrl) r += "Ctrl+";
  if (shortCut & scAlt) r += "Alt+";
  if (shortCut & scShift) r += "Shift+";
  return r;
}

AnsiString ShortCutToText(TShortCut shortCut) {
  AnsiString name = KeyName(shortCut & 0xFF);
  if (name.IsEmpty()) return AnsiString();
  return ShortCutModifierText(shortCut) + name;
}

TShortCut TextToShortCut(const AnsiString& text) {
  AnsiString rest = text;
  TShortCut shift = 0;
  auto front = [&](const char* prefix) {
    int n = static_cast<int>(std::strlen(prefix));
    if (rest.Length() >= n && AnsiSameText(rest.SubString(1, n), prefix)) {
      rest.Delete(1, n);
      return true;
    }
    return false;
  };
  for (;;) {
    if (front("Shift+"))
      shift |= scShift;
    else if (front("^"))
      shift |= scCtrl;
    else if (front("Ctrl+"))
      shift |= scCtrl;
    else if (front("Alt+"))
      shift |= scAlt;
    else
      break;
  }
  if (rest.IsEmpty()) return 0;
  for (WORD key = 0x08; key <= 0xFF; ++key) {
    AnsiString name = KeyName(key);
    if (!name.IsEmpty() && AnsiSameText(rest, name)) return static_cast<TShortCut>(key | shift);
  }
  return 0;
}

TShortCut ShortCutFromMessage(const TMessage& message) {
  return ShortCut(static_cast<WORD>(message.WParam & 0xFFFF), KeyDataToShiftState(message.LParam));
}

// ===========================================================================
// TMenuActionLink

CL_DEFINE_CLASS(TMenuActionLink, TActionLink)

bool TMenuActionLink::IsCaptionLinked() {
  return TActionLink::IsCaptionLinked() && AnsiSameCaption(FClient->Caption(), CustomAction()->Caption());
}
bool TMenuActionLink::IsCheckedLinked() {
  return TActionLink::IsCheckedLinked() && FClient->Checked() == CustomAction()->Checked();
}
bool TMenuActionLink::IsImageIndexLinked() {
  return TActionLink::IsImageIndexLinked() && FClient->ImageIndex() == CustomAction()->ImageIndex();
}
bool TMenuActionLink::IsShortCutLinked() {
  return TActionLink::IsShortCutLinked() && FClient->ShortCut() == CustomAction()->ShortCut();
}
void TMenuActionLink::SetChecked(bool value) {
  if (IsCheckedLinked()) FClient->SetChecked(value);
}
void TMenuActionLink::SetImageIndex(int value) {
  if (IsImageIndexLinked()) FClient->SetImageIndex(value);
}
void TMenuActionLink::SetShortCut(TShortCut value) {
  if (IsShortCutLinked()) FClient->SetShortCut(value);
}

// ===========================================================================
// TMenuItem

CL_DEFINE_COMPONENT(TMenuItem, TComponent)

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) { FCommand = AllocateCommand(); }

TMenuItem::~TMenuItem() {
  Destroying();
  if (FParent) {
    FParent->Remove(this);
    FParent = nullptr;
  }
  // Sub-items go with their item, whoever owns them.
  while (!FItems.empty()) {
    TMenuItem* item = FItems.back();
    FItems.pop_back();
    item->FParent = nullptr;
    delete item;
  }
  if (FHandle) DestroyMenu(FHandle);
  FHandle = nullptr;
  delete FActionLink;
  FActionLink = nullptr;
  delete FBitmap;
  FBitmap = nullptr;
  FreeCommand(FCommand);
}

void TMenuItem::SetCaption(const AnsiString& value) {
  if (FCaption == value) return;
  FCaption = value;
  MenuChanged(true);
}

void TMenuItem::SetHint(const AnsiString& value) { FHint = value; }

void TMenuItem::SetShortCut(TShortCut value) {
  if (FShortCut == value) return;
  FShortCut = value;
  MenuChanged(true);
}

void TMenuItem::SetChecked(bool value) {
  if (FChecked == value) return;
  FChecked = value;
  if (value && FRadioItem && FParent) {
    for (TMenuItem* sibling : FParent->FItems)
      if (sibling != this && sibling->FRadioItem && sibling->FGroupIndex == FGroupIndex) sibling->SetChecked(false);
  }
  MenuChanged(true);
}

void TMenuItem::SetEnabled(bool value) {
  if (FEnabled == value) return;
  FEnabled = value;
  MenuChanged(true);
}

void TMenuItem::SetVisible(bool value) {
  if (FVisible == value) return;
  FVisible = value;
  MenuChanged(true);
}

void TMenuItem::SetDefault(bool value) {
  if (FDefault == value) return;
  if (value && FParent)
    for (TMenuItem* sibling : FParent->FItems)
      if (sibling != this) sibling->FDefault = false;
  FDefault = value;
  MenuChanged(true);
}

void TMenuItem::SetRadioItem(bool value) {
  if (FRadioItem == value) return;
  FRadioItem = value;
  MenuChanged(true);
}

void TMenuItem::SetGroupIndex(int value) {
  if (FGroupIndex == value) return;
  FGroupIndex = value;
  MenuChanged(true);
}

void TMenuItem::SetBreak(TMenuBreak value) {
  if (FBreak == value) return;
  FBreak = value;
  MenuChanged(true);
}

void TMenuItem::SetImageIndex(int value) {
  if (FImageIndex == value) return;
  FImageIndex = value;
  MenuChanged(true);
}

TBitmap* TMenuItem::Bitmap() {
  if (!FBitmap) FBitmap = new TBitmap();
  return FBitmap;
}

void TMenuItem::SetBitmap(TBitmap* value) {
  if (!value) {
    delete FBitmap;
    FBitmap = nullptr;
  } else {
    Bitmap()->Assign(value);
  }
  MenuChanged(true);
}

TCustomImageList* TMenuItem::GetImageList() const {
  TMenu* menu = GetParentMenu();
  return menu ? menu->Images() : nullptr;
}

bool TMenuItem::IsOwnerDrawn() const {
  TMenu* menu = GetParentMenu();
  return menu && (menu->OwnerDraw() || menu->Images());
}

TMenuItem* TMenuItem::Items(int index) const {
  if (index < 0 || index >= Count()) throw EMenuError(SMenuIndexError);
  return FItems[index];
}

HMENU TMenuItem::Handle() {
  if (!FHandle) {
    bool menuBar = !FParent && FMenu && FMenu->Is<TMainMenu>();
    FHandle = menuBar ? CreateMenu() : CreatePopupMenu();
    if (!FHandle) throw EMenuError("Menu handle could not be created");
    for (TMenuItem* item : ShownItems()) item->AppendTo(FHandle);
  }
  return FHandle;
}

std::vector<TMenuItem*> TMenuItem::ShownItems() const {
  // A root merged into another shows nothing of its own: its items are there.
  if (FMergedWith) return {};
  if (!FMerged) return FItems;
  std::vector<TMenuItem*> shown;
  auto taken = [&](int group) {
    return std::any_of(FMerged->FItems.begin(), FMerged->FItems.end(),
                       [&](TMenuItem* m) { return m->FGroupIndex == group; });
  };
  for (TMenuItem* item : FItems)
    if (!taken(item->FGroupIndex)) shown.push_back(item);
  // The merged items after this menu's items of a lower or equal index.
  for (TMenuItem* m : FMerged->FItems) {
    auto at = std::find_if(shown.begin(), shown.end(), [&](TMenuItem* i) { return i->FGroupIndex > m->FGroupIndex; });
    shown.insert(at, m);
  }
  return shown;
}

bool TMenuItem::IsTopOfMainMenu() const { return FParent && !FParent->FParent && FParent->FMenu && FParent->FMenu->Is<TMainMenu>(); }

void TMenuItem::AppendTo(HMENU menu) {
  if (!FVisible) return;
  AnsiString text = FCaption;
  if (FShortCut != 0 && FItems.empty() && !IsTopOfMainMenu()) text += "\t" + ShortCutToText(FShortCut);
  MENUITEMINFOA mii{};
  mii.cbSize = sizeof mii;
  // The type and the string go separately: with MIIM_TYPE an owner-drawn
  // item would take the text pointer for its item data.
  mii.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU;
  if (!IsLine()) mii.fMask |= MIIM_STRING;
  mii.fType = IsLine() ? MFT_SEPARATOR : MFT_STRING;
  if (IsOwnerDrawn()) mii.fType |= MFT_OWNERDRAW;
  if (FRadioItem) mii.fType |= MFT_RADIOCHECK;
  if (FBreak == mbBreak) mii.fType |= MFT_MENUBREAK;
  if (FBreak == mbBarBreak) mii.fType |= MFT_MENUBARBREAK;
  mii.fState = (FChecked ? MFS_CHECKED : 0) | (FEnabled ? 0 : MFS_GRAYED) | (FDefault ? MFS_DEFAULT : 0);
  mii.wID = FCommand;
  mii.hSubMenu = FItems.empty() ? nullptr : Handle();
  mii.dwTypeData = const_cast<char*>(text.c_str());
  mii.cch = static_cast<UINT>(text.Length());
  InsertMenuItemA(menu, static_cast<UINT>(GetMenuItemCount(menu)), TRUE, &mii);
}

void TMenuItem::RebuildHandle() {
  if (FHandle) {
    while (GetMenuItemCount(FHandle) > 0) RemoveMenu(FHandle, 0, MF_BYPOSITION);
    for (TMenuItem* item : ShownItems()) item->AppendTo(FHandle);
  }
  // The items of a merged menu are shown in the bar it is merged into.
  if (FMergedWith) {
    FMergedWith->RebuildHandle();
    if (TMenu* menu = FMergedWith->GetParentMenu()) menu->MenuChanged(nullptr, true);
  }
}

void TMenuItem::ItemsChanged(bool rebuild) {
  if (rebuild) RebuildHandle();
  if (TMenu* menu = GetParentMenu()) menu->MenuChanged(this, rebuild);
}

void TMenuItem::MenuChanged(bool rebuild) {
  if (ComponentState() & csDestroying) return;
  // The item lives in its parent's native menu: that one is rebuilt.
  if (FParent) {
    if (rebuild) FParent->RebuildHandle();
    if (TMenu* menu = GetParentMenu()) menu->MenuChanged(this, rebuild);
  } else if (TMenu* menu = GetParentMenu()) {
    menu->MenuChanged(nullptr, rebuild);
  }
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item) {
  if (!item) return;
  if (item->FParent) throw EMenuError(SMenuReinserted);
  if (index < 0 || index > Count()) throw EMenuError(SMenuIndexError);
  bool wasLeaf = FItems.empty();
  FItems.insert(FItems.begin() + index, item);
  item->FParent = this;
  if (ComponentState() & csDestroying) return;
  ItemsChanged(true);
  if (wasLeaf) KindChanged();
}

void TMenuItem::Delete(int index) {
  TMenuItem* item = Items(index);
  FItems.erase(FItems.begin() + index);
  item->FParent = nullptr;
  if (ComponentState() & csDestroying) return;
  ItemsChanged(true);
  if (FItems.empty()) KindChanged();
}

void TMenuItem::KindChanged() {
  // A native item is made a leaf or a sub-menu when it is inserted; one that
  // changes kind is built anew in its parent's native menu.
  if (!FParent || !FParent->FHandle) return;
  FParent->RebuildHandle();
  if (FItems.empty() && FHandle) {
    DestroyMenu(FHandle);
    FHandle = nullptr;
  }
  if (TMenu* menu = GetParentMenu()) menu->MenuChanged(FParent, true);
}

void TMenuItem::Remove(TMenuItem* item) {
  int i = IndexOf(item);
  if (i < 0) throw EMenuError(SMenuNotFound);
  Delete(i);
}

void TMenuItem::Clear() {
  bool wasLeaf = FItems.empty();
  while (!FItems.empty()) {
    TMenuItem* item = FItems.back();
    FItems.pop_back();
    item->FParent = nullptr;
    delete item;
  }
  ItemsChanged(true);
  if (!wasLeaf) KindChanged();
}

int TMenuItem::IndexOf(TMenuItem* item) const {
  auto it = std::find(FItems.begin(), FItems.end(), item);
  return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

TMenuItem* TMenuItem::Find(const AnsiString& caption) {
  AnsiString wanted = StripHotkey(caption);
  for (TMenuItem* item : FItems)
    if (AnsiSameText(StripHotkey(item->FCaption), wanted)) return item;
  return nullptr;
}

int TMenuItem::MenuIndex() const { return FParent ? FParent->IndexOf(const_cast<TMenuItem*>(this)) : -1; }

void TMenuItem::SetMenuIndex(int value) {
  if (!FParent) return;
  TMenuItem* parent = FParent;
  int count = parent->Count();
  if (value < 0) value = 0;
  if (value >= count) value = count - 1;
  int cur = MenuIndex();
  if (cur == value) return;
  parent->FItems.erase(parent->FItems.begin() + cur);
  parent->FItems.insert(parent->FItems.begin() + value, this);
  parent->ItemsChanged(true);
}

TMenu* TMenuItem::GetParentMenu() const {
  const TMenuItem* item = this;
  while (item->FParent) item = item->FParent;
  return item->FMenu;
}

TBasicAction* TMenuItem::Action() const { return FActionLink ? FActionLink->Action() : nullptr; }

void TMenuItem::SetAction(TBasicAction* value) {
  if (!value) {
    delete FActionLink;
    FActionLink = nullptr;
    return;
  }
  if (!FActionLink) FActionLink = CreateActionLink(GetActionLinkClass(), this);
  FActionLink->SetAction(value);
  FActionLink->OnChange = MakeEvent<&TMenuItem::DoActionChange>(this);
  ActionChange(value, (value->ComponentState() & csLoading) != 0);
  value->FreeNotification(this);
}

void TMenuItem::DoActionChange(TObject* sender) {
  if (sender == Action()) ActionChange(sender, false);
}

const TMetaClass* TMenuItem::GetActionLinkClass() { return &TMenuActionLink::Class; }

void TMenuItem::ActionChange(TObject* sender, bool checkDefaults) {
  if (!sender || !sender->Is<TCustomAction>()) return;
  auto* a = static_cast<TCustomAction*>(sender);
  if (!checkDefaults || FCaption.IsEmpty()) SetCaption(a->Caption());
  if (!checkDefaults || !FChecked) SetChecked(a->Checked());
  if (!checkDefaults || FEnabled) SetEnabled(a->Enabled());
  if (!checkDefaults || FHelpContext == 0) SetHelpContext(a->HelpContext());
  if (!checkDefaults || FHint.IsEmpty()) SetHint(a->Hint());
  if (!checkDefaults || FImageIndex == -1) SetImageIndex(a->ImageIndex());
  if (!checkDefaults || FShortCut == 0) SetShortCut(a->ShortCut());
  if (!checkDefaults || FVisible) SetVisible(a->Visible());
  if (!checkDefaults || !OnClick) OnClick = a->OnExecute;
}

void TMenuItem::Click() {
  if (!FEnabled) return;
  TBasicAction* action = Action();
  if (OnClick && action && OnClick != action->OnExecute)
    OnClick(this);
  else if (FActionLink)
    FActionLink->Execute(this);
  else if (OnClick)
    OnClick(this);
}

void TMenuItem::InitiateAction() {
  if (FActionLink) FActionLink->Update();
}

TComponent* TMenuItem::GetParentComponent() {
  if (FParent && FParent->FMenu) return FParent->FMenu;
  return FParent;
}

void TMenuItem::SetParentComponent(TComponent* value) {
  if (FParent) FParent->Remove(this);
  if (!value) return;
  if (value->Is<TMenu>())
    static_cast<TMenu*>(value)->Items()->Add(this);
  else if (value->Is<TMenuItem>())
    static_cast<TMenuItem*>(value)->Add(this);
}

void TMenuItem::Loaded() {
  TComponent::Loaded();
  if (FActionLink) ActionChange(FActionLink->Action(), true);
}

void TMenuItem::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && FActionLink && component == FActionLink->Action()) SetAction(nullptr);
}

// ===========================================================================
// Owner drawing

namespace {

// Between the glyph column and the caption, and after the shortcut text.
constexpr int kTextGap = 6;
constexpr int kRightMargin = 10;
// The glyph column of an item without an image list (bitmap or check mark).
constexpr int kCheckColumn = 16;

void AssignMenuFont(TFont* font) {
  NONCLIENTMETRICSA ncm{};
  ncm.cbSize = sizeof ncm;
  if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)) return;
  HFONT handle = CreateFontIndirectA(&ncm.lfMenuFont);
  if (!handle) return;
  font->SetHandle(handle);
  DeleteObject(handle);
}

// A canvas on a device context that the system lends for one message: the
// context goes back with its own objects selected, also when drawing raises.
class TBorrowedCanvas {
public:
  explicit TBorrowedCanvas(HDC dc) : FDC(dc), FSaved(SaveDC(dc)) {
    FCanvas.SetHandle(dc);
    AssignMenuFont(FCanvas.Font());
  }
  ~TBorrowedCanvas() {
    FCanvas.SetHandle(nullptr);
    RestoreDC(FDC, FSaved);
  }
  TBorrowedCanvas(const TBorrowedCanvas&) = delete;
  TBorrowedCanvas& operator=(const TBorrowedCanvas&) = delete;
  TCanvas* Canvas() { return &FCanvas; }

private:
  HDC FDC;
  int FSaved;
  TCanvas FCanvas;
};

void DrawCheckMark(TCanvas* canvas, const TRect& box, bool radio) {
  int cx = (box.left + box.right) / 2;
  int cy = (box.top + box.bottom) / 2;
  canvas->Pen()->SetColor(canvas->Font()->Color());
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(canvas->Font()->Color());
  if (radio) {
    canvas->Ellipse(cx - 3, cy - 3, cx + 3, cy + 3);
    return;
  }
  // A tick three pixels thick, as the system's own check mark.
  for (int d = 0; d < 3; ++d) {
    canvas->MoveTo(cx - 3, cy - 1 + d);
    canvas->LineTo(cx - 1, cy + 1 + d);
    canvas->LineTo(cx + 4, cy - 4 + d);
  }
}

}  // namespace

void TMenuItem::DoDrawText(TCanvas* canvas, const AnsiString& caption, TRect& rect, bool selected, int flags) {
  AnsiString text = caption;
  // An empty caption still gets the height of a line.
  if ((flags & DT_CALCRECT) && (text.IsEmpty() || text == "&")) text += " ";
  canvas->Brush()->SetStyle(bsClear);
  if (FDefault) canvas->Font()->SetStyle(static_cast<TFontStyles>(canvas->Font()->Style() | fsBold));
  if (!FEnabled && !(flags & DT_CALCRECT)) {
    if (!selected) {
      TRect shifted = rect;
      OffsetRect(&shifted, 1, 1);
      canvas->Font()->SetColor(clBtnHighlight);
      canvas->RequiredState(csHandleValid | csFontValid | csBrushValid);
      DrawTextA(canvas->Handle(), text.c_str(), text.Length(), &shifted, static_cast<UINT>(flags));
    }
    canvas->Font()->SetColor(selected && ColorToRGB(clHighlight) == ColorToRGB(clBtnShadow) ? clBtnHighlight
                                                                                            : clBtnShadow);
  }
  canvas->RequiredState(csHandleValid | csFontValid | csBrushValid);
  DrawTextA(canvas->Handle(), text.c_str(), text.Length(), &rect, static_cast<UINT>(flags));
}

void TMenuItem::AdvancedDrawItem(TCanvas* canvas, const TRect& rect, TOwnerDrawState state, bool topLevel) {
  if (IsOwnerDrawn()) {
    if (OnAdvancedDrawItem) {
      OnAdvancedDrawItem(this, canvas, rect, state, topLevel);
      return;
    }
    if (OnDrawItem) {
      OnDrawItem(this, canvas, rect, (state & odSelected) != 0);
      return;
    }
  }
  bool selected = (state & (odSelected | odHotLight)) != 0;
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(selected ? clHighlight : clMenu);
  canvas->FillRect(rect);
  canvas->Font()->SetColor(selected ? clHighlightText : clMenuText);
  if (IsLine()) {
    TRect line = rect;
    line.top = (rect.top + rect.bottom) / 2 - 1;
    line.bottom = line.top + 2;
    DrawEdge(canvas->Handle(), &line, EDGE_ETCHED, BF_TOP);
    return;
  }
  TCustomImageList* images = GetImageList();
  TRect textRect = rect;
  if (!topLevel) {
    int column = images ? images->Width() : kCheckColumn;
    TRect glyph(rect.left + 2, rect.top, rect.left + 2 + column, rect.bottom);
    bool hasImage = images && FImageIndex >= 0 && FImageIndex < images->Count();
    bool hasBitmap = FBitmap && !FBitmap->Empty();
    if (hasImage) {
      int y = glyph.top + (glyph.Height() - images->Height()) / 2;
      if (FChecked) {
        TRect frame(glyph.left - 1, y - 1, glyph.right + 1, y + images->Height() + 1);
        DrawEdge(canvas->Handle(), &frame, BDR_SUNKENOUTER, BF_RECT);
      }
      images->Draw(canvas, glyph.left, y, FImageIndex, FEnabled);
    } else if (hasBitmap) {
      canvas->Draw(glyph.left + (glyph.Width() - FBitmap->Width()) / 2,
                   glyph.top + (glyph.Height() - FBitmap->Height()) / 2, FBitmap);
    } else if (FChecked) {
      DrawCheckMark(canvas, glyph, FRadioItem);
    }
    textRect.left = glyph.right + kTextGap;
    textRect.right -= kRightMargin;
  }
  int flags = DT_EXPANDTABS | DT_SINGLELINE | DT_VCENTER | (topLevel ? DT_CENTER : DT_LEFT);
  if (state & odNoAccel) flags |= DT_HIDEPREFIX;
  canvas->Font()->SetColor(selected ? clHighlightText : clMenuText);
  TRect captionRect = textRect;
  DoDrawText(canvas, FCaption, captionRect, selected, flags);
  if (!topLevel && FShortCut != 0 && FItems.empty()) {
    canvas->Font()->SetColor(selected ? clHighlightText : clMenuText);
    TRect shortCutRect = textRect;
    DoDrawText(canvas, ShortCutToText(FShortCut), shortCutRect, selected,
               DT_RIGHT | DT_EXPANDTABS | DT_SINGLELINE | DT_VCENTER);
  }
}

void TMenuItem::DrawItem(TCanvas* canvas, const TRect& rect, bool selected) {
  TOwnerDrawState state = (selected ? odSelected : 0) | (FChecked ? odChecked : 0) |
                          (FEnabled ? 0 : odDisabled | odGrayed) | (FDefault ? odDefault : 0);
  AdvancedDrawItem(canvas, rect, state, IsTopOfMainMenu());
}

void TMenuItem::MeasureItem(TCanvas* canvas, int& width, int& height) {
  int barHeight = GetSystemMetrics(SM_CYMENU);
  if (IsLine()) {
    width = 0;
    height = barHeight / 2;
  } else {
    TRect r(0, 0, 0, 0);
    DoDrawText(canvas, FCaption, r, false, DT_CALCRECT | DT_NOCLIP | DT_EXPANDTABS | DT_SINGLELINE);
    width = r.Width();
    height = std::max<int>(r.Height() + 4, barHeight);
    if (IsTopOfMainMenu()) {
      width += 2 * kTextGap;
    } else {
      TCustomImageList* images = GetImageList();
      width += 2 + (images ? images->Width() : kCheckColumn) + kTextGap + kRightMargin;
      if (images) height = std::max(height, images->Height() + 4);
      if (FShortCut != 0 && FItems.empty()) {
        TRect s(0, 0, 0, 0);
        DoDrawText(canvas, ShortCutToText(FShortCut), s, false, DT_CALCRECT | DT_NOCLIP | DT_EXPANDTABS | DT_SINGLELINE);
        width += 2 * kTextGap + s.Width();
      }
    }
  }
  if (OnMeasureItem) OnMeasureItem(this, canvas, width, height);
}

// ===========================================================================
// TMenu

CL_DEFINE_CLASS(TMenu, TComponent)
CL_DEFINE_COMPONENT(TMainMenu, TMenu)
CL_DEFINE_COMPONENT(TPopupMenu, TMenu)

TMenu::TMenu(TComponent* owner) : TComponent(owner) {
  FItems = new TMenuItem(nullptr);
  FItems->FMenu = this;
}

TMenu::~TMenu() {
  Destroying();
  // The bar must not take the other menu's sub-menus down with it.
  if (FItems->FMergedWith && FItems->FMergedWith->FMenu)
    static_cast<TMainMenu*>(FItems->FMergedWith->FMenu)->Unmerge(static_cast<TMainMenu*>(this));
  if (FItems->FMerged && FItems->FMerged->FMenu)
    static_cast<TMainMenu*>(this)->Unmerge(static_cast<TMainMenu*>(FItems->FMerged->FMenu));
  if (FImages) FImages->RemoveFreeNotification(this);
  FItems->FMenu = nullptr;
  delete FItems;
  FItems = nullptr;
}

HMENU TMenu::GetHandle() { return FItems->Handle(); }

void TMenu::RebuildAll() {
  auto rebuild = [](auto&& self, TMenuItem* item) -> void {
    item->RebuildHandle();
    for (TMenuItem* child : item->FItems) self(self, child);
  };
  rebuild(rebuild, FItems);
  MenuChanged(nullptr, true);
}

void TMenu::SetOwnerDraw(bool value) {
  if (FOwnerDraw == value) return;
  FOwnerDraw = value;
  RebuildAll();
}

void TMenu::SetImages(TCustomImageList* value) {
  if (FImages == value) return;
  if (FImages) FImages->RemoveFreeNotification(this);
  FImages = value;
  if (value) value->FreeNotification(this);
  RebuildAll();
}

void TMenu::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == FImages) {
    FImages = nullptr;
    if (!(ComponentState() & csDestroying)) RebuildAll();
  }
}

bool TMenu::DispatchDrawItem(const DRAWITEMSTRUCT& draw) {
  if (draw.CtlType != ODT_MENU) return false;
  TMenuItem* item = FindItem(draw.itemID, fkCommand);
  if (!item || item == FItems) return false;
  TBorrowedCanvas canvas(draw.hDC);
  item->AdvancedDrawItem(canvas.Canvas(), TRect(draw.rcItem), static_cast<TOwnerDrawState>(LOWORD(draw.itemState)),
                         item->IsTopOfMainMenu());
  return true;
}

bool TMenu::DispatchMeasureItem(MEASUREITEMSTRUCT& measure) {
  if (measure.CtlType != ODT_MENU) return false;
  TMenuItem* item = FindItem(measure.itemID, fkCommand);
  if (!item || item == FItems) return false;
  HDC dc = GetDC(nullptr);
  int width = static_cast<int>(measure.itemWidth);
  int height = static_cast<int>(measure.itemHeight);
  try {
    TBorrowedCanvas canvas(dc);
    item->MeasureItem(canvas.Canvas(), width, height);
  } catch (...) {
    ReleaseDC(nullptr, dc);
    throw;
  }
  ReleaseDC(nullptr, dc);
  measure.itemWidth = static_cast<UINT>(std::max(width, 0));
  measure.itemHeight = static_cast<UINT>(std::max(height, 0));
  return true;
}

void TMenu::SetWindowHandle(HWND value) { FWindowHandle = value; }

TMenuItem* TMenu::FindItem(UINT value, TFindItemKind kind) {
  TMenuItem* found = nullptr;
  auto find = [&](auto&& self, TMenuItem* item) -> bool {
    bool hit = (kind == fkCommand && value == item->FCommand) ||
               (kind == fkHandle && item->FHandle && value == static_cast<UINT>(reinterpret_cast<uintptr_t>(item->FHandle))) ||
               (kind == fkShortCut && item->FShortCut != 0 && value == item->FShortCut);
    if (hit) {
      found = item;
      return true;
    }
    for (TMenuItem* child : item->FItems)
      if (self(self, child)) return true;
    return false;
  };
  // A merged menu's items answer in the bar they are shown in.
  if (!find(find, FItems) && FItems->FMerged) find(find, FItems->FMerged);
  return found;
}

bool TMenu::DispatchCommand(WORD command) {
  TMenuItem* item = FindItem(command, fkCommand);
  if (!item || item == FItems) return false;
  item->Click();
  return true;
}

bool TMenu::DispatchPopup(HMENU menu) {
  TMenuItem* item = FindItem(static_cast<UINT>(reinterpret_cast<uintptr_t>(menu)), fkHandle);
  if (!item) return false;
  for (TMenuItem* child : std::vector<TMenuItem*>(item->FItems)) child->InitiateAction();
  if (item != FItems) item->Click();
  return true;
}

bool TMenu::IsShortCut(TMessage& message) {
  TShortCut sc = ShortCutFromMessage(message);
  if (sc == 0) return false;
  // An item with sub-items cannot be chosen, so its shortcut is only shown,
  // never run: the search looks at the items that can run.
  TMenuItem* found = nullptr;
  auto find = [&](auto&& self, TMenuItem* item) -> bool {
    for (TMenuItem* child : item->FItems) {
      if (child->FItems.empty()) {
        if (child->FShortCut == sc) {
          found = child;
          return true;
        }
      } else if (self(self, child)) {
        return true;
      }
    }
    return false;
  };
  find(find, FItems);
  if (!found) return false;
  std::vector<TMenuItem*> path;
  for (TMenuItem* p = found; p && p != FItems; p = p->FParent) path.insert(path.begin(), p);
  for (TMenuItem* p : path) {
    p->InitiateAction();
    if (!p->Enabled()) return true;
  }
  found->Click();
  return true;
}

void TMenu::DoChange(TMenuItem* source, bool rebuild) {
  (void)source;
  (void)rebuild;
}

void TMenu::MenuChanged(TMenuItem* source, bool rebuild) {
  if (ComponentState() & csDestroying) return;
  DoChange(source, rebuild);
}

void TMenu::GetChildren(std::vector<TComponent*>& list) {
  for (TMenuItem* item : FItems->FItems) list.push_back(item);
}

HMENU TMainMenu::GetHandle() { return FItems->Handle(); }

void TMainMenu::Merge(TMainMenu* menu) {
  if (menu == this) return;
  if (FItems->FMerged) Unmerge(static_cast<TMainMenu*>(FItems->FMerged->FMenu));
  if (!menu) return;
  if (menu->FItems->FMergedWith) static_cast<TMainMenu*>(menu->FItems->FMergedWith->FMenu)->Unmerge(menu);
  FItems->FMerged = menu->FItems;
  menu->FItems->FMergedWith = FItems;
  // The merged menu's own bar lets go of the sub-menus the items bring.
  menu->FItems->RebuildHandle();
}

void TMainMenu::Unmerge(TMainMenu* menu) {
  if (!menu || FItems->FMerged != menu->FItems) return;
  // Out of this bar first, so that no sub-menu sits in two bars.
  FItems->FMerged = nullptr;
  FItems->RebuildHandle();
  MenuChanged(nullptr, true);
  menu->FItems->FMergedWith = nullptr;
  menu->FItems->RebuildHandle();
}

void TMainMenu::DoChange(TMenuItem* source, bool rebuild) {
  TMenu::DoChange(source, rebuild);
  if (FWindowHandle && IsWindow(FWindowHandle) && FItems->HandleAllocated() && GetMenu(FWindowHandle) == FItems->Handle())
    DrawMenuBar(FWindowHandle);
}

// ===========================================================================
// TPopupMenu

TPopupMenu::TPopupMenu(TComponent* owner) : TMenu(owner) {
  if (PopupList) PopupList->Add(this);
}

TPopupMenu::~TPopupMenu() {
  if (PopupList) PopupList->Remove(this);
}

HMENU TPopupMenu::GetHandle() { return FItems->Handle(); }

void TPopupMenu::SetPopupComponent(TComponent* value) {
  if (FPopupComponent == value) return;
  if (FPopupComponent) FPopupComponent->RemoveFreeNotification(this);
  FPopupComponent = value;
  if (value) value->FreeNotification(this);
}

void TPopupMenu::Notification(TComponent* component, TOperation operation) {
  TMenu::Notification(component, operation);
  if (operation == opRemove && component == FPopupComponent) FPopupComponent = nullptr;
}

void TPopupMenu::DoPopup(TObject* sender) {
  if (OnPopup) OnPopup(sender);
}

void TPopupMenu::Popup(int x, int y) {
  DoPopup(this);
  for (int i = 0; i < FItems->Count(); ++i) FItems->Items(i)->InitiateAction();
  HWND window = PopupList ? PopupList->Window() : nullptr;
  SetWindowHandle(window);
  UINT flags = TPM_RIGHTBUTTON;
  switch (FAlignment) {
    case paLeft: flags |= TPM_LEFTALIGN; break;
    case paRight: flags |= TPM_RIGHTALIGN; break;
    case paCenter: flags |= TPM_CENTERALIGN; break;
  }
  TrackPopupMenu(FItems->Handle(), flags, x, y, 0, window, nullptr);
}

// ===========================================================================
// TPopupList

CL_DEFINE_CLASS(TPopupList, TList)

TPopupList::TPopupList() { FWindow = AllocateHWnd(MakeEvent<&TPopupList::MainWndProc>(this)); }

TPopupList::~TPopupList() {
  DeallocateHWnd(FWindow);
  FWindow = nullptr;
}

void TPopupList::MainWndProc(TMessage& message) {
  GuardedCall(this, [&] { WndProc(message); });
}

void TPopupList::WndProc(TMessage& message) {
  switch (message.Msg) {
    case WM_COMMAND:
      for (int i = 0; i < Count(); ++i)
        if (static_cast<TPopupMenu*>(Items(i))->DispatchCommand(LOWORD(message.WParam))) return;
      break;
    case WM_INITMENUPOPUP:
      for (int i = 0; i < Count(); ++i)
        if (static_cast<TPopupMenu*>(Items(i))->DispatchPopup(reinterpret_cast<HMENU>(message.WParam))) return;
      break;
    case WM_DRAWITEM:
      for (int i = 0; i < Count(); ++i)
        if (static_cast<TPopupMenu*>(Items(i))->DispatchDrawItem(*reinterpret_cast<DRAWITEMSTRUCT*>(message.LParam))) {
          message.Result = TRUE;
          return;
        }
      break;
    case WM_MEASUREITEM:
      for (int i = 0; i < Count(); ++i)
        if (static_cast<TPopupMenu*>(Items(i))->DispatchMeasureItem(
                *reinterpret_cast<MEASUREITEMSTRUCT*>(message.LParam))) {
          message.Result = TRUE;
          return;
        }
      break;
    case WM_MENUSELECT: {
      UINT flags = HIWORD(message.WParam);
      UINT id = LOWORD(message.WParam);
      HMENU menu = reinterpret_cast<HMENU>(message.LParam);
      TFindItemKind kind = fkCommand;
      UINT value = id;
      if (flags & MF_POPUP) {
        kind = fkHandle;
        value = static_cast<UINT>(reinterpret_cast<uintptr_t>(menu ? GetSubMenu(menu, static_cast<int>(id)) : nullptr));
      }
      if (!(flags == 0xFFFF && !menu)) {
        for (int i = 0; i < Count(); ++i) {
          TMenuItem* item = static_cast<TPopupMenu*>(Items(i))->FindItem(value, kind);
          if (item) {
            if (Application) Application->SetHint(GetLongHint(item->Hint()));
            return;
          }
        }
      }
      if (Application) Application->SetHint(AnsiString());
      return;
    }
  }
  message.Result = DefWindowProcA(FWindow, message.Msg, message.WParam, message.LParam);
}

namespace {

const char* const MenuBreakNames[] = {"mbNone", "mbBreak", "mbBarBreak"};
const char* const PopupAlignmentNames[] = {"paLeft", "paRight", "paCenter"};

void RegisterMenuProperties() {
  const TMetaClass* c = &TMenuItem::Class;
  RegisterProperty(c, "Caption", pkString, &TMenuItem::SetCaption, &TMenuItem::Caption);
  RegisterProperty(c, "Hint", pkString, &TMenuItem::SetHint, &TMenuItem::Hint);
  RegisterProperty(c, "ShortCut", pkInteger, &TMenuItem::SetShortCut, &TMenuItem::ShortCut, 0);
  RegisterProperty(c, "Checked", pkBool, &TMenuItem::SetChecked, &TMenuItem::Checked, 0);
  RegisterProperty(c, "Enabled", pkBool, &TMenuItem::SetEnabled, &TMenuItem::Enabled, 1);
  RegisterProperty(c, "Visible", pkBool, &TMenuItem::SetVisible, &TMenuItem::Visible, 1);
  RegisterProperty(c, "Default", pkBool, &TMenuItem::SetDefault, &TMenuItem::Default, 0);
  RegisterProperty(c, "RadioItem", pkBool, &TMenuItem::SetRadioItem, &TMenuItem::RadioItem, 0);
  RegisterProperty(c, "GroupIndex", pkInteger, &TMenuItem::SetGroupIndex, &TMenuItem::GroupIndex, 0);
  RegisterProperty(c, "Break", TPropType::Enum(MenuBreakNames), &TMenuItem::SetBreak, &TMenuItem::Break, mbNone);
  RegisterProperty(c, "ImageIndex", pkInteger, &TMenuItem::SetImageIndex, &TMenuItem::ImageIndex, -1);
  RegisterProperty(c, "HelpContext", pkInteger, &TMenuItem::SetHelpContext, &TMenuItem::HelpContext, 0);
  RegisterProperty(c, "Action", pkComponent, &TMenuItem::SetAction, &TMenuItem::Action);
  RegisterEventField(c, "OnClick", &TMenuItem::OnClick);
  RegisterEventField(c, "OnDrawItem", &TMenuItem::OnDrawItem);
  RegisterEventField(c, "OnAdvancedDrawItem", &TMenuItem::OnAdvancedDrawItem);
  RegisterEventField(c, "OnMeasureItem", &TMenuItem::OnMeasureItem);
  c = &TMenu::Class;
  RegisterProperty(c, "OwnerDraw", pkBool, &TMenu::SetOwnerDraw, &TMenu::OwnerDraw, 0);
  RegisterProperty(c, "Images", pkComponent, &TMenu::SetImages, &TMenu::Images);
  RegisterProperty(&TMainMenu::Class, "AutoMerge", pkBool, &TMainMenu::SetAutoMerge, &TMainMenu::AutoMerge, 0);
  c = &TPopupMenu::Class;
  RegisterProperty(c, "Alignment", TPropType::Enum(PopupAlignmentNames), &TPopupMenu::SetAlignment,
                   &TPopupMenu::Alignment, paLeft);
  RegisterProperty(c, "AutoPopup", pkBool, &TPopupMenu::SetAutoPopup, &TPopupMenu::AutoPopup, 1);
  RegisterEventField(c, "OnPopup", &TPopupMenu::OnPopup);
}

}  // namespace

void UnitInit_menus() {
  if (!CommandPool) CommandPool = new std::vector<bool>();
  PopupList = new TPopupList();
  RegisterActionLinkClass(&TMenuActionLink::Class, &NewActionLink<TMenuActionLink>);
  RegisterClasses({&TMainMenu::Class, &TPopupMenu::Class, &TMenuItem::Class});
  RegisterMenuProperties();
}

void UnitFini_menus() {
  delete PopupList;
  PopupList = nullptr;
  delete CommandPool;
  CommandPool = nullptr;
}
