#include "tabs.h"

#include "filer.h"
#include "forms.h"
#include "sysutils.h"

#include <algorithm>
#include <memory>

CL_DEFINE_CLASS(TTabStrings, TStrings)
CL_DEFINE_COMPONENT(TCustomTabControl, TWinControl)
CL_DEFINE_COMPONENT(TTabControl, TCustomTabControl)
CL_DEFINE_COMPONENT(TTabSheet, TWinControl)
CL_DEFINE_COMPONENT(TPageControl, TCustomTabControl)

namespace {

// The longest tab text the list reads back.
constexpr int kTabTextMax = 4096;

[[noreturn]] void TabListError(const char* fmt, std::initializer_list<TVarRec> args) {
  throw EListError(Format(fmt, args));
}

}  // namespace

// ===========================================================================
// Tab list

AnsiString TTabStrings::Get(int index) {
  char buffer[kTabTextMax];
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  item.pszText = buffer;
  item.cchTextMax = kTabTextMax;
  buffer[0] = 0;
  if (!SendMessageA(FTabControl->Handle(), TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&item)))
    TabListError("Failed to retrieve tab at index %d", {index});
  return AnsiString(item.pszText);
}

int TTabStrings::GetCount() {
  return static_cast<int>(SendMessageA(FTabControl->Handle(), TCM_GETITEMCOUNT, 0, 0));
}

TObject* TTabStrings::GetObject(int index) {
  TCITEMA item{};
  item.mask = TCIF_PARAM;
  if (!SendMessageA(FTabControl->Handle(), TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&item)))
    TabListError("Failed to get object at index %d", {index});
  return reinterpret_cast<TObject*>(item.lParam);
}

void TTabStrings::Put(int index, const AnsiString& s) {
  TCITEMA item{};
  item.mask = TCIF_TEXT | TCIF_IMAGE;
  item.pszText = const_cast<char*>(s.c_str());
  item.iImage = FTabControl->GetImageIndex(index);
  if (!SendMessageA(FTabControl->Handle(), TCM_SETITEMA, index, reinterpret_cast<LPARAM>(&item)))
    TabListError("Failed to set tab \"%s\" at index %d", {s, index});
  FTabControl->TabsChanged();
}

void TTabStrings::PutObject(int index, TObject* obj) {
  TCITEMA item{};
  item.mask = TCIF_PARAM;
  item.lParam = reinterpret_cast<LPARAM>(obj);
  if (!SendMessageA(FTabControl->Handle(), TCM_SETITEMA, index, reinterpret_cast<LPARAM>(&item)))
    TabListError("Failed to set object at index %d", {index});
}

void TTabStrings::Insert(int index, const AnsiString& s) {
  TCITEMA item{};
  item.mask = TCIF_TEXT | TCIF_IMAGE;
  item.pszText = const_cast<char*>(s.c_str());
  item.iImage = FTabControl->GetImageIndex(index);
  if (SendMessageA(FTabControl->Handle(), TCM_INSERTITEMA, index, reinterpret_cast<LPARAM>(&item)) < 0)
    TabListError("Failed to set tab \"%s\" at index %d", {s, index});
  FTabControl->TabsChanged();
}

void TTabStrings::Delete(int index) {
  if (!SendMessageA(FTabControl->Handle(), TCM_DELETEITEM, index, 0))
    TabListError("Failed to delete tab at index %d", {index});
  FTabControl->TabsChanged();
}

void TTabStrings::Clear() {
  if (!SendMessageA(FTabControl->Handle(), TCM_DELETEALLITEMS, 0, 0)) throw EListError("Failed to clear tab control");
  FTabControl->TabsChanged();
}

void TTabStrings::SetUpdateState(bool updating) {
  if (!FTabControl->HandleAllocated()) return;
  SendMessageA(FTabControl->WindowHandle(), WM_SETREDRAW, updating ? 0 : 1, 0);
  if (!updating) {
    FTabControl->Invalidate();
    FTabControl->TabsChanged();
  }
}

int TTabStrings::CompareStrings(const AnsiString& s1, const AnsiString& s2) { return AnsiCompareText(s1, s2); }

// ===========================================================================
// Tab control

CL_BEGIN_MESSAGE_MAP(TCustomTabControl, TWinControl)
  CL_MESSAGE(CN_NOTIFY, CNNotify)
  CL_MESSAGE(CM_DIALOGCHAR, CMDialogChar)
CL_END_MESSAGE_MAP

TCustomTabControl::TCustomTabControl(TComponent* owner) : TWinControl(owner) {
  FControlStyle = csAcceptsControls | csDoubleClicks;
  FTabStop = true;
  SetBounds(0, 0, 289, 193);
  FTabs = new TTabStrings(this);
  FImageChangeLink = new TChangeLink();
  FImageChangeLink->OnChange = MakeEvent<&TCustomTabControl::ImageListChange>(this);
}

TCustomTabControl::~TCustomTabControl() {
  Destroying();
  if (HandleAllocated()) DestroyHandle();
  if (FImages) FImages->UnRegisterChanges(FImageChangeLink);
  delete FImageChangeLink;
  delete FTabs;
  FTabs = nullptr;
  delete FSaveTabs;
  FSaveTabs = nullptr;
}

void TCustomTabControl::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  CreateSubClass(params, WC_TABCONTROLA);
  params.Style |= WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  if (FMultiLine) params.Style |= TCS_MULTILINE;
  params.WindowClass.style &= ~(CS_HREDRAW | CS_VREDRAW);
}

void TCustomTabControl::CreateWnd() {
  TWinControl::CreateWnd();
  if (FImages && FImages->HandleAllocated())
    SendMessageA(FHandle, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(FImages->Handle()));
  if (FSaveTabs) {
    std::unique_ptr<TStringList> saved(FSaveTabs);
    FSaveTabs = nullptr;
    FTabs->BeginUpdate();
    try {
      for (int i = 0; i < saved->Count(); ++i) FTabs->InsertObject(i, saved->Strings(i), saved->Objects(i));
    } catch (...) {
      FTabs->EndUpdate();
      throw;
    }
    FTabs->EndUpdate();
  }
  // The tab chosen while there was no window.
  if (FSaveTabIndex >= 0) SendMessageA(FHandle, TCM_SETCURSEL, FSaveTabIndex, 0);
}

void TCustomTabControl::DestroyWnd() {
  if (FTabs->Count() > 0) {
    auto* saved = new TStringList();
    try {
      for (int i = 0; i < FTabs->Count(); ++i) saved->AddObject(FTabs->Strings(i), FTabs->Objects(i));
    } catch (...) {
      delete saved;
      throw;
    }
    delete FSaveTabs;
    FSaveTabs = saved;
    FSaveTabIndex = TabIndex();
  }
  TWinControl::DestroyWnd();
}

int TCustomTabControl::TabIndex() {
  if (!HandleAllocated()) return FSaveTabIndex;
  return static_cast<int>(SendMessageA(FHandle, TCM_GETCURSEL, 0, 0));
}

void TCustomTabControl::SetTabIndex(int value) {
  // Kept for the window to come; a window is not made for it.
  FSaveTabIndex = value;
  if (HandleAllocated()) SendMessageA(FHandle, TCM_SETCURSEL, value, 0);
}

void TCustomTabControl::SetMultiLine(bool value) {
  if (FMultiLine == value) return;
  FMultiLine = value;
  RecreateWnd();
}

void TCustomTabControl::SetImages(TCustomImageList* value) {
  if (FImages == value) return;
  ChangeImageList(this, FImages, value, FImageChangeLink);
  ImageListChange(nullptr);
}

void TCustomTabControl::ImageListChange(TObject*) {
  if (!HandleAllocated()) return;
  SendMessageA(FHandle, TCM_SETIMAGELIST, 0, FImages ? reinterpret_cast<LPARAM>(FImages->Handle()) : 0);
  TabsChanged();
}

void TCustomTabControl::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation == opRemove && component == FImages) SetImages(nullptr);
}

TRect TCustomTabControl::DisplayRect() {
  TRect r = TWinControl::GetClientRect();
  if (HandleAllocated()) SendMessageA(FHandle, TCM_ADJUSTRECT, 0, reinterpret_cast<LPARAM>(static_cast<RECT*>(&r)));
  return r;
}

void TCustomTabControl::AdjustClientRect(TRect& rect) {
  rect = DisplayRect();
  TWinControl::AdjustClientRect(rect);
}

int TCustomTabControl::IndexOfTabAt(int x, int y) {
  if (!HandleAllocated()) return -1;
  TCHITTESTINFO info{};
  info.pt = POINT{x, y};
  return static_cast<int>(SendMessageA(FHandle, TCM_HITTEST, 0, reinterpret_cast<LPARAM>(&info)));
}

bool TCustomTabControl::CanShowTab(int) { return true; }

int TCustomTabControl::GetImageIndex(int tabIndex) {
  int image = tabIndex;
  if (OnGetImageIndex) OnGetImageIndex(this, tabIndex, image);
  return image;
}

void TCustomTabControl::TabsChanged() {
  if (!FTabs->UpdateCount() && HandleAllocated()) Realign();
}

bool TCustomTabControl::CanChange() {
  bool allow = true;
  if (OnChanging) OnChanging(this, allow);
  return allow;
}

void TCustomTabControl::Change() {
  if (OnChange) OnChange(this);
}

void TCustomTabControl::CNNotify(TMessage& m) {
  auto* hdr = reinterpret_cast<NMHDR*>(m.LParam);
  switch (hdr->code) {
    case TCN_SELCHANGING:
      m.Result = CanChange() ? 0 : 1;
      break;
    case TCN_SELCHANGE:
      Change();
      break;
    default:
      break;
  }
}

bool TCustomTabControl::IsTabAccel(WORD key, int tabIndex) { return IsAccel(key, FTabs->Strings(tabIndex)); }

void TCustomTabControl::CMDialogChar(TMessage& m) {
  int count = FTabs->Count();
  for (int i = 0; i < count; ++i) {
    if (IsTabAccel(static_cast<WORD>(m.WParam), i) && CanShowTab(i) && CanFocus()) {
      m.Result = 1;
      if (CanChange()) {
        SetTabIndex(i);
        Change();
      }
      return;
    }
  }
  InheritedMsg(&TWinControl::MessageMap, m);
}

// ===========================================================================
// Tab sheet

CL_BEGIN_MESSAGE_MAP(TTabSheet, TWinControl)
  CL_MESSAGE(CM_TEXTCHANGED, CMTextChanged)
  CL_MESSAGE(CM_SHOWINGCHANGED, CMShowingChanged)
CL_END_MESSAGE_MAP

TTabSheet::TTabSheet(TComponent* owner) : TWinControl(owner) {
  FAlign = alClient;
  FControlStyle = FControlStyle | csAcceptsControls;
  FVisible = false;
}

TTabSheet::~TTabSheet() {
  Destroying();
  if (FPageControl) FPageControl->RemovePage(this);
}

void TTabSheet::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WindowClass.style &= ~(CS_HREDRAW | CS_VREDRAW);
}

void TTabSheet::ReadState(TReader* reader) {
  TWinControl::ReadState(reader);
  if (reader->Parent() && reader->Parent()->Is<TPageControl>())
    SetPageControl(static_cast<TPageControl*>(reader->Parent()));
}

void TTabSheet::SetPageControl(TPageControl* value) {
  if (FPageControl == value) return;
  if (FPageControl) FPageControl->RemovePage(this);
  SetParent(value);
  if (value) value->InsertPage(this);
}

int TTabSheet::PageIndex() {
  if (!FPageControl) return -1;
  auto& pages = FPageControl->FPages;
  return static_cast<int>(std::find(pages.begin(), pages.end(), this) - pages.begin());
}

void TTabSheet::SetPageIndex(int value) {
  if (!FPageControl) return;
  int old = PageIndex();
  auto& pages = FPageControl->FPages;
  value = std::clamp(value, 0, static_cast<int>(pages.size()) - 1);
  if (old == value) return;
  int oldTab = TabIndex();
  pages.erase(pages.begin() + old);
  pages.insert(pages.begin() + value, this);
  int newTab = TabIndex();
  if (oldTab >= 0 && newTab >= 0) FPageControl->MoveTab(oldTab, newTab);
}

int TTabSheet::TabIndex() {
  if (!FTabShowing || !FPageControl) return -1;
  int index = 0;
  for (TTabSheet* page : FPageControl->FPages) {
    if (page == this) return index;
    if (page->FTabShowing) ++index;
  }
  return -1;
}

void TTabSheet::SetTabVisible(bool value) {
  if (FTabVisible == value) return;
  FTabVisible = value;
  if (!FPageControl) return;
  if (value)
    FPageControl->InsertTab(this);
  else
    FPageControl->DeleteTab(this, TabIndex());
}

void TTabSheet::SetImageIndex(int value) {
  if (FImageIndex == value) return;
  FImageIndex = value;
  if (FPageControl && FTabShowing) FPageControl->UpdateTab(this);
}

void TTabSheet::CMTextChanged(TMessage&) {
  if (FPageControl && FTabShowing) FPageControl->UpdateTab(this);
}

void TTabSheet::CMShowingChanged(TMessage& m) {
  InheritedMsg(&TWinControl::MessageMap, m);
  if (Showing()) {
    if (OnShow) OnShow(this);
  } else if (OnHide) {
    OnHide(this);
  }
}

// ===========================================================================
// Page control

CL_BEGIN_MESSAGE_MAP(TPageControl, TCustomTabControl)
  CL_MESSAGE(CM_DOCKCLIENT, CMDockClient)
  CL_MESSAGE(CM_UNDOCKCLIENT, CMUnDockClient)
  CL_MESSAGE(CM_DOCKNOTIFICATION, CMDockNotification)
  CL_MESSAGE(CM_DIALOGKEY, CMDialogKey)
CL_END_MESSAGE_MAP

TPageControl::TPageControl(TComponent* owner) : TCustomTabControl(owner) {
  FControlStyle = csDoubleClicks;  // pages, not arbitrary controls
}

TPageControl::~TPageControl() {
  Destroying();
  for (TTabSheet* page : FPages) page->FPageControl = nullptr;
  FPages.clear();
}

TTabSheet* TPageControl::Pages(int index) const {
  if (index < 0 || index >= PageCount()) throw EListError(Format("List index out of bounds (%d)", {index}));
  return FPages[index];
}

int TPageControl::ActivePageIndex() const {
  if (!FActivePage) return -1;
  return static_cast<int>(std::find(FPages.begin(), FPages.end(), FActivePage) - FPages.begin());
}

void TPageControl::SetActivePageIndex(int value) {
  SetActivePage(value >= 0 && value < PageCount() ? FPages[value] : nullptr);
}

void TPageControl::InsertPage(TTabSheet* page) {
  FPages.push_back(page);
  page->FPageControl = this;
  InsertTab(page);
}

void TPageControl::RemovePage(TTabSheet* page) {
  TTabSheet* next = FindNextPage(page, true, !(ComponentState() & csDesigning));
  if (next == page) next = nullptr;
  if (FActivePage == page) {
    // The sheet goes: the neighbour (or nothing) becomes active.
    FActivePage = nullptr;
    if (!(ComponentState() & csDestroying)) ChangeActivePage(next);
  }
  if (page->FTabShowing) DeleteTab(page, page->TabIndex());
  std::erase(FPages, page);
  page->FPageControl = nullptr;
}

void TPageControl::InsertTab(TTabSheet* page) {
  if (!page->FTabVisible || page->FTabShowing) return;
  page->FTabShowing = true;
  // Without a window the tab is made with the window (CreateWnd).
  if (HandleAllocated()) InsertNativeTab(page);
  if (!FActivePage && !(ComponentState() & csLoading)) SetActivePage(page);
}

void TPageControl::InsertNativeTab(TTabSheet* page) {
  // The text first, the sheet as the tab's object after it: code that knows
  // only the native tab finds the sheet there.
  FTabs->InsertObject(page->TabIndex(), page->Caption(), page);
  UpdateTab(page);
}

void TPageControl::CreateWnd() {
  TCustomTabControl::CreateWnd();
  int showing = 0;
  for (TTabSheet* page : FPages) showing += page->FTabShowing ? 1 : 0;
  if (FTabs->Count() == showing) return;
  // A first window (or one that lost its tabs): the tabs of the pages.
  FTabs->BeginUpdate();
  try {
    FTabs->Clear();
    for (TTabSheet* page : FPages)
      if (page->FTabShowing) InsertNativeTab(page);
  } catch (...) {
    FTabs->EndUpdate();
    throw;
  }
  FTabs->EndUpdate();
  if (FActivePage) SetTabIndex(FActivePage->TabIndex());
}

void TPageControl::DeleteTab(TTabSheet* page, int index) {
  if (!page->FTabShowing) return;
  if (index >= 0 && HandleAllocated() && !(ComponentState() & csDestroying)) FTabs->Delete(index);
  else if (index >= 0 && FSaveTabs && index < FSaveTabs->Count()) FSaveTabs->Delete(index);
  page->FTabShowing = false;
  // The page whose tab went is not left showing under another page's tab.
  if (page == FActivePage && !(ComponentState() & csDestroying)) {
    TTabSheet* next = FindNextPage(page, true, true);
    ChangeActivePage(next == page ? nullptr : next);
  }
  if (FActivePage) SetTabIndex(FActivePage->TabIndex());
}

void TPageControl::MoveTab(int curIndex, int newIndex) {
  if (HandleAllocated()) FTabs->Move(curIndex, newIndex);
}

void TPageControl::UpdateTab(TTabSheet* page) {
  int index = page->TabIndex();
  if (index < 0 || !HandleAllocated()) return;
  FTabs->Put(index, page->Caption());
}

void TPageControl::ChangeActivePage(TTabSheet* page) {
  if (FActivePage == page) return;
  TCustomForm* form = GetParentForm(this);
  if (form && FActivePage && FActivePage->ContainsControl(form->ActiveControl())) form->SetActiveControl(this);
  if (page) {
    page->BringToFront();
    page->SetVisible(true);
  }
  if (FActivePage) FActivePage->SetVisible(false);
  FActivePage = page;
}

void TPageControl::SetActivePage(TTabSheet* page) {
  if (page && page->FPageControl != this) return;
  ChangeActivePage(page);
  if (!page)
    SetTabIndex(-1);
  else if (page == FActivePage)
    SetTabIndex(page->TabIndex());
}

TTabSheet* TPageControl::FindNextPage(TTabSheet* current, bool goForward, bool checkTabVisible) {
  int count = PageCount();
  if (count == 0) return nullptr;
  auto it = std::find(FPages.begin(), FPages.end(), current);
  int start = it == FPages.end() ? (goForward ? count - 1 : 0) : static_cast<int>(it - FPages.begin());
  int i = start;
  do {
    i = goForward ? (i + 1) % count : (i + count - 1) % count;
    TTabSheet* page = FPages[i];
    if (!checkTabVisible || page->FTabVisible) return page;
  } while (i != start);
  return nullptr;
}

void TPageControl::SelectNextPage(bool goForward, bool checkTabVisible) {
  TTabSheet* page = FindNextPage(FActivePage, goForward, checkTabVisible);
  if (page && page != FActivePage && CanChange()) {
    SetActivePage(page);
    Change();
  }
}

int TPageControl::GetImageIndex(int tabIndex) {
  int visible = -1;
  for (TTabSheet* page : FPages) {
    if (page->FTabShowing && ++visible == tabIndex) {
      int image = page->FImageIndex;
      if (OnGetImageIndex) OnGetImageIndex(this, tabIndex, image);
      return image;
    }
  }
  return TCustomTabControl::GetImageIndex(tabIndex);
}

bool TPageControl::CanShowTab(int tabIndex) {
  int visible = -1;
  for (TTabSheet* page : FPages)
    if (page->FTabShowing && ++visible == tabIndex) return page->Enabled();
  return false;
}

void TPageControl::Change() {
  if (HandleAllocated()) {
    int tab = TabIndex();
    int visible = -1;
    for (TTabSheet* page : FPages)
      if (page->FTabShowing && ++visible == tab) {
        ChangeActivePage(page);
        break;
      }
  }
  TCustomTabControl::Change();
}

void TPageControl::Loaded() {
  TCustomTabControl::Loaded();
  if (!FActivePage)
    for (TTabSheet* page : FPages)
      if (page->FTabShowing) {
        SetActivePage(page);
        break;
      }
}

void TPageControl::ShowControl(TControl* control) {
  for (TTabSheet* page : FPages)
    if (page == control && page->FTabVisible) {
      SetActivePage(page);
      break;
    }
  TCustomTabControl::ShowControl(control);
}

void TPageControl::CMDialogKey(TMessage& m) {
  // Ctrl+Tab and Ctrl+Shift+Tab step through the pages while focus is inside.
  if (m.WParam == VK_TAB && (GetKeyState(VK_CONTROL) < 0) && Focused()) {
    SelectNextPage(GetKeyState(VK_SHIFT) >= 0);
    m.Result = 1;
    return;
  }
  InheritedMsg(&TCustomTabControl::MessageMap, m);
}

// --- docking

TTabSheet* TPageControl::GetPageFromDockClient(TControl* client) {
  for (TTabSheet* page : FPages)
    if (client->Parent() == page && client->HostDockSite() == this) return page;
  return nullptr;
}

void TPageControl::DoAddDockClient(TControl* client, const TRect&) {
  if (FNewDockSheet) client->SetParent(FNewDockSheet);
}

void TPageControl::DoRemoveDockClient(TControl* client) {
  if (FUndockingPage && !(ComponentState() & csDestroying)) {
    TTabSheet* page = FUndockingPage;
    FUndockingPage = nullptr;
    if (client->Parent() == page) client->SetParent(nullptr);
    delete page;
  }
}

void TPageControl::CMDockClient(TMessage& m) {
  auto* dock = reinterpret_cast<TDragDockObject*>(m.LParam);
  TControl* client = dock->Control;
  m.Result = 0;
  FNewDockSheet = new TTabSheet(this);
  try {
    FNewDockSheet->SetPageControl(this);
    if (client->Is<TCustomForm>()) FNewDockSheet->SetCaption(client->Caption());
    InheritedMsg(&TCustomTabControl::MessageMap, m);  // DoAddDockClient parents the client
    FNewDockSheet->SetTabVisible(client->Visible());
    if (client->Visible()) SetActivePage(FNewDockSheet);
    client->SetAlign(alClient);
  } catch (...) {
    delete FNewDockSheet;
    FNewDockSheet = nullptr;
    throw;
  }
  FNewDockSheet = nullptr;
}

void TPageControl::CMUnDockClient(TMessage& m) {
  auto* client = reinterpret_cast<TControl*>(m.LParam);
  FUndockingPage = GetPageFromDockClient(client);
  InheritedMsg(&TCustomTabControl::MessageMap, m);
  FUndockingPage = nullptr;
}

void TPageControl::CMDockNotification(TMessage& m) {
  auto* client = reinterpret_cast<TControl*>(m.WParam);
  auto* rec = reinterpret_cast<TDockNotifyRec*>(m.LParam);
  TTabSheet* page = GetPageFromDockClient(client);
  if (!page) return;
  switch (rec->ClientMsg) {
    case WM_SETTEXT: {
      // A tab shows one line: the text up to its first line break.
      AnsiString text = client->Caption();
      size_t cut = text.str().find_first_of("\r\n");
      page->SetCaption(cut == std::string::npos ? text : AnsiString(text.str().substr(0, cut)));
      break;
    }
    case CM_VISIBLECHANGED:
      page->SetTabVisible(client->Visible());
      break;
    default:
      break;
  }
}

// ===========================================================================

namespace {
void RegisterTabProperties() {
  using C = TCustomTabControl;
  const TMetaClass* c = &C::Class;
  RegisterProperty(c, "Images", pkComponent, &C::SetImages, &C::Images);
  RegisterProperty(c, "MultiLine", pkBool, &C::SetMultiLine, &C::MultiLine);
  RegisterProperty(c, "TabIndex", pkInteger, &C::SetTabIndex, &C::TabIndex, -1);
  RegisterProperty(c, "Tabs", pkStrings, nullptr, &C::Tabs);
  c = &TTabSheet::Class;
  RegisterProperty(c, "ImageIndex", pkInteger, &TTabSheet::SetImageIndex, &TTabSheet::ImageIndex, 0);
  RegisterProperty(c, "PageIndex", pkInteger, &TTabSheet::SetPageIndex, &TTabSheet::PageIndex);
  RegisterProperty(c, "TabVisible", pkBool, &TTabSheet::SetTabVisible, &TTabSheet::TabVisible, true);
  c = &TPageControl::Class;
  RegisterProperty(c, "ActivePage", pkComponent, &TPageControl::SetActivePage, &TPageControl::ActivePage);
}
}  // namespace

void UnitInit_tabs() {
  RegisterClasses({&TTabControl::Class, &TTabSheet::Class, &TPageControl::Class});
  RegisterTabProperties();
}

void UnitFini_tabs() {}
