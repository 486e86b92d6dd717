#include "UcStatusBar.h"

#include "UcActnList.h"
#include "UcCodePages.h"
#include "UcComCtrls.h"
#include "UcComponentProps.h"
#include "UcRegister.h"
#include "UcStdActns.h"

#include "filer.h"

CL_DEFINE_CLASS(TUcStatusPanel, TStatusPanel)
CL_DEFINE_CLASS(TUcStatusPanels, TStatusPanels)
CL_DEFINE_COMPONENT(TUcCustomStatusBar, TStatusBar)
CL_DEFINE_COMPONENT(TUcStatusBar, TUcCustomStatusBar)

namespace {

int LeadingTabs(const char* s) {
  int n = 0;
  while (s[n] == '\t') ++n;
  return n;
}

}  // namespace

WideString SyncLeadingTabs(const WideString& wideText, const AnsiString& ansiText) {
  const std::wstring& w = wideText.str();
  size_t want = static_cast<size_t>(LeadingTabs(ansiText.c_str()));
  size_t have = 0;
  while (have < w.size() && w[have] == L'\t') ++have;
  if (have == want) return wideText;
  if (have < want) return WideString(std::wstring(want - have, L'\t') + w);
  return WideString(w.substr(have - want));
}

// ===========================================================================
// Panels

WideString TUcStatusPanel::Text() const { return GetSyncedWideString(FText, TStatusPanel::Text()); }

void TUcStatusPanel::SetText(const WideString& value) {
  SetSyncedWideString(value, FText, TStatusPanel::Text(), [this](const AnsiString& a) { TStatusPanel::SetText(a); });
  // A change only outside the code page leaves the ANSI text alone: the
  // panel shows the new wide text all the same.
  Changed(false);
}

void TUcStatusPanel::Assign(TPersistent* source) {
  TStatusPanel::Assign(source);
  if (source && source->Is<TUcStatusPanel>()) SetText(static_cast<TUcStatusPanel*>(source)->Text());
}

TUcStatusPanels::TUcStatusPanels(TStatusBar* owner)
    : TStatusPanels(owner, &TUcStatusPanel::Class, &NewCollectionItem<TUcStatusPanel>) {}

TUcStatusPanel* TUcStatusPanels::Add() { return TCollection::Add()->As<TUcStatusPanel>(); }
TUcStatusPanel* TUcStatusPanels::Insert(int index) { return TCollection::Insert(index)->As<TUcStatusPanel>(); }
TUcStatusPanel* TUcStatusPanels::Items(int index) const { return TCollection::Items(index)->As<TUcStatusPanel>(); }

TUcStatusPanel* TUcStatusPanels::AddItem(TUcStatusPanel* item, int index) {
  if (!item) item = Add();
  if (index >= 0 && index < Count()) item->SetIndex(index);
  return item;
}

// ===========================================================================
// Status bar

CL_BEGIN_MESSAGE_MAP(TUcCustomStatusBar, TStatusBar)
  CL_MESSAGE(WM_GETTEXTLENGTH, WMGetTextLength)
CL_END_MESSAGE_MAP

UC_STANDARD_OVERRIDES_BODY(TUcCustomStatusBar, TStatusBar)

TUcCustomStatusBar::TUcCustomStatusBar(TComponent* owner) : TStatusBar(owner) {
  delete FPanels;
  FPanels = CreatePanels();
}

TStatusPanels* TUcCustomStatusBar::CreatePanels() { return new TUcStatusPanels(this); }
const TMetaClass* TUcCustomStatusBar::GetPanelClass() { return &TUcStatusPanel::Class; }

void TUcCustomStatusBar::CreateWindowHandle(const TCreateParams& params) {
  CreateUnicodeHandle_ComCtl(this, params, STATUSCLASSNAMEW);
}

WideString TUcCustomStatusBar::SimpleText() const {
  FSimpleText = SyncLeadingTabs(FSimpleText, TStatusBar::SimpleText());
  return GetSyncedWideString(FSimpleText, TStatusBar::SimpleText());
}

void TUcCustomStatusBar::SetSimpleText(const WideString& value) {
  const AnsiString before = TStatusBar::SimpleText();
  SetSyncedWideString(value, FSimpleText, before, [this](const AnsiString& a) { TStatusBar::SetSimpleText(a); });
  // The ANSI text did not change (only characters outside the code page
  // did): the window still needs the wide one.
  if (TStatusBar::SimpleText() == before && HandleAllocated())
    SendMessageA(FHandle, SB_SETTEXTA, 255, reinterpret_cast<LPARAM>(before.c_str()));
}

void TUcCustomStatusBar::WMGetTextLength(TMessage& m) { m.Result = SimpleText().Length(); }

void TUcCustomStatusBar::WndProc(TMessage& message) {
  if (Win32PlatformIsUnicode && message.Msg == SB_SETTEXTA && !(message.WParam & SBT_OWNERDRAW)) {
    int part = static_cast<int>(message.WParam & 0xFF);
    AnsiString ansi(message.LParam ? reinterpret_cast<const char*>(message.LParam) : "");
    WideString text;
    if (part >= 255)
      text = SimpleText();
    else if (FPanels->Count() > part)
      text = Panels()->Items(part)->Text();
    else
      text = AnsiToWide(ansi);
    text = SyncLeadingTabs(text, ansi);
    message.Result = SendMessageW(FHandle, SB_SETTEXTW, message.WParam, reinterpret_cast<LPARAM>(text.c_str()));
    return;
  }
  TStatusBar::WndProc(message);
}

bool TUcCustomStatusBar::ExecuteAction(TBasicAction* action) {
  if (AutoHint() && action && action->Is<TUcHintAction>()) {
    WideString hint = static_cast<TUcHintAction*>(action)->Hint();
    if (!SimplePanel() && FPanels->Count() > 0)
      Panels()->Items(0)->SetText(hint);
    else
      SetSimpleText(hint);
    return true;
  }
  return TStatusBar::ExecuteAction(action);
}

// ===========================================================================

void UnitInit_UcStatusBar() {
  RegisterClasses({&TUcStatusBar::Class});
  RegisterUcWideHint<TUcCustomStatusBar>();
  RegisterProperty(&TUcCustomStatusBar::Class, "SimpleText", pkWideString, &TUcCustomStatusBar::SetSimpleText,
                   &TUcCustomStatusBar::GetSimpleText);
  RegisterProperty(&TUcStatusPanel::Class, "Text", pkWideString, &TUcStatusPanel::SetText, &TUcStatusPanel::GetText);
}

void UnitFini_UcStatusBar() {}
