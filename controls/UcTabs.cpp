#include "UcTabs.h"

#include "UcActnList.h"
#include "UcCodePages.h"
#include "UcComCtrls.h"
#include "UcComponentProps.h"
#include "UcForms.h"
#include "UcRegister.h"

#include "forms.h"
#include "sysutils.h"

#include <algorithm>
#include <cstring>
#include <vector>

CL_DEFINE_CLASS(TUcTabStrings, TUcStrings)
CL_DEFINE_COMPONENT(TUcCustomTabControl, TCustomTabControl)
CL_DEFINE_COMPONENT(TUcTabControl, TUcCustomTabControl)
CL_DEFINE_COMPONENT(TUcTabSheet, TTabSheet)
CL_DEFINE_COMPONENT(TUcPageControl, TPageControl)

namespace {

// The longest tab text read back, in characters; the record states it.
constexpr int kWideTabTextMax = 4096;

// The text of a window as the window holds it: wide for a Unicode window.
WideString ClientText(TControl* client) {
  if (client->Is<TWinControl>()) {
    auto* w = static_cast<TWinControl*>(client);
    if (w->HandleAllocated() && IsWindowUnicode(w->WindowHandle())) {
      int len = GetWindowTextLengthW(w->WindowHandle());
      std::wstring buf(static_cast<size_t>(std::max(len, 0)) + 1, L'\0');
      int n = GetWindowTextW(w->WindowHandle(), buf.data(), len + 1);
      buf.resize(static_cast<size_t>(std::clamp(n, 0, len)));
      return WideString(std::move(buf));
    }
  }
  return AnsiToWide(client->Caption());
}

// A tab shows one line: the text before its first line break.
WideString FirstLine(const WideString& text) {
  size_t cut = text.str().find_first_of(L"\r\n");
  return cut == std::wstring::npos ? text : WideString(text.str().substr(0, cut));
}

}  // namespace

WideString UcPageCaption(TTabSheet* page) {
  if (page->Is<TUcTabSheet>()) return static_cast<TUcTabSheet*>(page)->Caption();
  return AnsiToWide(page->Caption());
}

// ===========================================================================
// Wide tab list

UINT TUcTabStrings::TextMask(UINT mask) const {
  return FTabControl->UseRightToLeftReading() ? mask | TCIF_RTLREADING : mask;
}

WideString TUcTabStrings::Get(int index) {
  if (!Win32PlatformIsUnicode) return AnsiToWide(FAnsiTabs->Strings(index));
  std::vector<wchar_t> buffer(kWideTabTextMax, L'\0');
  TCITEMW item{};
  item.mask = TextMask(TCIF_TEXT);
  item.pszText = buffer.data();
  item.cchTextMax = kWideTabTextMax;
  if (!SendMessageW(FTabControl->Handle(), TCM_GETITEMW, index, reinterpret_cast<LPARAM>(&item)))
    throw EListError(Format("Failed to retrieve tab at index %d", {index}));
  // The control may answer with its own buffer.
  return WideString(item.pszText ? item.pszText : L"");
}

int TUcTabStrings::GetCount() { return FAnsiTabs->Count(); }
TObject* TUcTabStrings::GetObject(int index) { return FAnsiTabs->Objects(index); }
void TUcTabStrings::PutObject(int index, TObject* obj) { FAnsiTabs->PutObject(index, obj); }
void TUcTabStrings::Delete(int index) { FAnsiTabs->Delete(index); }
void TUcTabStrings::Clear() { FAnsiTabs->Clear(); }
void TUcTabStrings::SetUpdateState(bool updating) {
  if (updating)
    FAnsiTabs->BeginUpdate();
  else
    FAnsiTabs->EndUpdate();
}

LRESULT TUcTabStrings::SendWideItem(UINT msg, int index, const WideString& s) {
  TCITEMW item{};
  item.mask = TextMask(TCIF_TEXT | TCIF_IMAGE);
  item.pszText = const_cast<wchar_t*>(s.c_str());
  item.iImage = FTabControl->GetImageIndex(index);
  return SendMessageW(FTabControl->Handle(), msg, index, reinterpret_cast<LPARAM>(&item));
}

void TUcTabStrings::Put(int index, const WideString& s) {
  if (!Win32PlatformIsUnicode) {
    FAnsiTabs->Put(index, WideToAnsi(s));
    return;
  }
  if (!SendWideItem(TCM_SETITEMW, index, s))
    throw EListError(Format("Failed to set tab \"%s\" at index %d", {WideToAnsi(s), index}));
  FTabControl->TabsChanged();
}

void TUcTabStrings::Insert(int index, const WideString& s) {
  if (!Win32PlatformIsUnicode) {
    FAnsiTabs->Insert(index, WideToAnsi(s));
    return;
  }
  if (SendWideItem(TCM_INSERTITEMW, index, s) < 0)
    throw EListError(Format("Failed to set tab \"%s\" at index %d", {WideToAnsi(s), index}));
  FTabControl->TabsChanged();
}

// ===========================================================================
// Tab control

UC_STANDARD_OVERRIDES_BODY(TUcCustomTabControl, TCustomTabControl)

TUcCustomTabControl::TUcCustomTabControl(TComponent* owner) : TCustomTabControl(owner) {
  FWideTabs = new TUcTabStrings(this, TCustomTabControl::Tabs());
}

TUcCustomTabControl::~TUcCustomTabControl() {
  FWideTabs->Unbind();
  delete FWideTabs;
  FWideTabs = nullptr;
  delete FSaveTabs;
  FSaveTabs = nullptr;
}

TUcStrings* TUcCustomTabControl::Tabs() {
  if (FSaveTabs) return FSaveTabs;
  return FWideTabs;
}

void TUcCustomTabControl::CreateWindowHandle(const TCreateParams& params) {
  CreateUnicodeHandle_ComCtl(this, params, WC_TABCONTROLW);
}

void TUcCustomTabControl::DestroyWnd() {
  if (FWideTabs->Count() > 0) {
    auto* saved = new TUcStringList();
    try {
      saved->Assign(FWideTabs);
    } catch (...) {
      delete saved;
      throw;
    }
    delete FSaveTabs;
    FSaveTabs = saved;
    FSaveTabIndex = TabIndex();
  }
  TCustomTabControl::DestroyWnd();
}

void TUcCustomTabControl::CreateWnd() {
  TCustomTabControl::CreateWnd();
  if (!FSaveTabs) return;
  TUcStringList* saved = FSaveTabs;
  FSaveTabs = nullptr;
  try {
    // The class library put the ANSI texts back; the wide ones replace them.
    FWideTabs->BeginUpdate();
    for (int i = 0; i < saved->Count() && i < FWideTabs->Count(); ++i) FWideTabs->Put(i, saved->Strings(i));
    for (int i = FWideTabs->Count(); i < saved->Count(); ++i) FWideTabs->AddObject(saved->Strings(i), saved->Objects(i));
    FWideTabs->EndUpdate();
  } catch (...) {
    delete saved;
    throw;
  }
  delete saved;
  SetTabIndex(FSaveTabIndex);
}

bool TUcCustomTabControl::IsTabAccel(WORD key, int tabIndex) {
  return IsWideCharAccel(key, FWideTabs->Strings(tabIndex));
}

// ===========================================================================
// Tab sheet

CL_BEGIN_MESSAGE_MAP(TUcTabSheet, TTabSheet)
  CL_MESSAGE(WM_SETTEXT, WMSetText)
CL_END_MESSAGE_MAP

UC_STANDARD_OVERRIDES_BODY(TUcTabSheet, TTabSheet)

void TUcTabSheet::CreateWindowHandle(const TCreateParams& params) { CreateUnicodeHandle(this, params, L""); }

void TUcTabSheet::WMSetText(TMessage& m) {
  if (Win32PlatformIsUnicode && !HandleAllocated() && !FSettingText && m.LParam) {
    AnsiString text(reinterpret_cast<const char*>(m.LParam));
    // A caption set the ANSI way (by the class library) reaches the wide
    // caption; one that is only the ANSI form of the wide caption does not.
    if (text != WideToAnsi(UcControl_GetStoredText(this, AnsiToWide(text)))) {
      FSettingText = true;
      try {
        SetCaption(AnsiToWide(text));
      } catch (...) {
        FSettingText = false;
        throw;
      }
      FSettingText = false;
      m.Result = 1;
      return;
    }
  }
  InheritedMsg(&TTabSheet::MessageMap, m);
}

// ===========================================================================
// Page control

CL_BEGIN_MESSAGE_MAP(TUcPageControl, TPageControl)
  CL_MESSAGE(CM_DOCKCLIENT, CMDockClient)
  CL_MESSAGE(CM_DOCKNOTIFICATION, CMDockNotification)
CL_END_MESSAGE_MAP

UC_STANDARD_OVERRIDES_BODY(TUcPageControl, TPageControl)

void TUcPageControl::CreateWindowHandle(const TCreateParams& params) {
  CreateUnicodeHandle_ComCtl(this, params, WC_TABCONTROLW);
}

void TUcPageControl::WndProc(TMessage& message) {
  if (Win32PlatformIsUnicode && message.Msg == TCM_SETITEMA && message.LParam) {
    auto* item = reinterpret_cast<TCITEMA*>(message.LParam);
    TTabSheet* sheet = nullptr;
    if (item->mask & TCIF_PARAM)
      sheet = reinterpret_cast<TTabSheet*>(item->lParam);
    else if ((item->mask & TCIF_TEXT) && static_cast<int>(message.WParam) < FTabs->Count())
      sheet = static_cast<TTabSheet*>(FTabs->Objects(static_cast<int>(message.WParam)));
    if (sheet) {
      // The same record, sent the wide way with the sheet's wide caption.
      WideString caption = UcPageCaption(sheet);
      TCITEMW wide{};
      std::memcpy(&wide, item, sizeof wide);
      wide.mask |= TCIF_TEXT;
      if (UseRightToLeftReading()) wide.mask |= TCIF_RTLREADING;
      wide.pszText = const_cast<wchar_t*>(caption.c_str());
      message.Result = SendMessageW(FHandle, TCM_SETITEMW, message.WParam, reinterpret_cast<LPARAM>(&wide));
      return;
    }
    item->mask &= ~TCIF_TEXT;
  } else if (Win32PlatformIsUnicode && message.Msg == TCM_INSERTITEMA && message.LParam) {
    // The text follows with TCM_SETITEMA once the sheet is the tab's object.
    reinterpret_cast<TCITEMA*>(message.LParam)->mask &= ~TCIF_TEXT;
  }
  TPageControl::WndProc(message);
}

bool TUcPageControl::IsTabAccel(WORD key, int tabIndex) {
  for (TTabSheet* page : FPages)
    if (page->TabIndex() == tabIndex) return IsWideCharAccel(key, UcPageCaption(page));
  return false;
}

void TUcPageControl::DoAddDockClient(TControl* client, const TRect& rect) {
  if (FNewDockSheet) client->SetParent(FNewDockSheet);
  else TPageControl::DoAddDockClient(client, rect);
}

void TUcPageControl::CMDockClient(TMessage& m) {
  auto* dock = reinterpret_cast<TDragDockObject*>(m.LParam);
  TControl* client = dock->Control;
  m.Result = 0;
  auto* sheet = new TUcTabSheet(this);
  FNewDockSheet = sheet;
  try {
    if (client->Is<TCustomForm>()) sheet->SetCaption(UcControl_GetText(client));
    sheet->SetPageControl(this);
    // The client joins the sheet the way any dock site takes a client.
    InheritedMsg(&TCustomTabControl::MessageMap, m);
    sheet->SetTabVisible(client->Visible());
    if (client->Visible()) SetActivePage(sheet);
    client->SetAlign(alClient);
  } catch (...) {
    FNewDockSheet = nullptr;
    delete sheet;
    throw;
  }
  FNewDockSheet = nullptr;
}

void TUcPageControl::CMDockNotification(TMessage& m) {
  auto* client = reinterpret_cast<TControl*>(m.WParam);
  auto* rec = reinterpret_cast<TDockNotifyRec*>(m.LParam);
  TTabSheet* page = GetPageFromDockClient(client);
  if (rec->ClientMsg == WM_SETTEXT && page && page->Is<TUcTabSheet>()) {
    static_cast<TUcTabSheet*>(page)->SetCaption(FirstLine(ClientText(client)));
    return;
  }
  InheritedMsg(&TPageControl::MessageMap, m);
}

// ===========================================================================

void UnitInit_UcTabs() {
  RegisterClasses({&TUcTabControl::Class, &TUcTabSheet::Class, &TUcPageControl::Class});
  RegisterUcWideHint<TUcCustomTabControl>();
  RegisterUcWideHint<TUcTabSheet>();
  RegisterUcWideCaption<TUcTabSheet>();
  RegisterUcWideHint<TUcPageControl>();
  RegisterProperty(&TUcCustomTabControl::Class, "Tabs", pkStrings, nullptr, &TUcCustomTabControl::GetTabs);
}

void UnitFini_UcTabs() {}
