// Wide menus on a real menu bar and pop-up menus, the shortcut texts in both
// directions (the expected key names come from the keyboard driver), and the
// hot-key helpers.
#include "ControlsTestUtil.h"

#include "UcForms.h"
#include "UcMenus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

std::wstring RawKeyName(UINT scan, int size) {
  wchar_t buf[256] = {};
  int n = GetKeyNameTextW(static_cast<LONG>(scan << 16), buf, size);
  return std::wstring(buf, n > 0 ? n : 0);
}

// The driver's name of a special key, re-cased: first letter as it is, the
// rest lower case, the letter after "(" upper case.
std::wstring SpecialName(UINT scan) {
  std::wstring s = RawKeyName(scan & 0x1FF, 32);
  if (s.empty()) return s;
  if (s.size() > 1) CharLowerBuffW(&s[1], static_cast<DWORD>(s.size() - 1));
  size_t p = s.find(L'(');
  if (p != std::wstring::npos && p + 1 < s.size()) CharUpperBuffW(&s[p + 1], 1);
  return s;
}

std::wstring MenuString(HMENU menu, UINT command) {
  wchar_t buf[256] = {};
  int n = GetMenuStringW(menu, command, buf, 256, MF_BYCOMMAND);
  return std::wstring(buf, n > 0 ? n : 0);
}

int Writes = 0;
BOOL WINAPI CountingSetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOW info) {
  ++Writes;
  return SetMenuItemInfoW(menu, item, byPosition, info);
}

class UcMenus : public UcGuiTest {
protected:
  void SetUp() override {
    UcGuiTest::SetUp();
    Menu = new TUcMainMenu(Form);
    File = new TUcMenuItem(Form);
    File->SetCaption(L"&\u0424\u0430\u0439\u043B \u65E5\u672C");
    File->SetShortCut(0x404F);
    Open = new TUcMenuItem(Form);
    Open->SetCaption(L"&\u041E\u0442\u043A\u0440\u044B\u0442\u044C \u4E2D\u6587");
    Open->SetShortCut(0x404F);
    Open->SetHint(L"short|\u0434\u043B\u0438\u043D\u043D\u0430\u044F \u65E5");
    Line = new TUcMenuItem(Form);
    Line->SetCaption(L"-");
    Menu->Items()->Add(File);
    File->Add(Open);
    File->Add(Line);
    Form->SetMenu(Menu);
    UcSetMenuItemInfoW = &CountingSetMenuItemInfoW;
    Writes = 0;
  }
  void TearDown() override {
    UcSetMenuItemInfoW = &SetMenuItemInfoW;
    UcGuiTest::TearDown();
  }
  TUcMainMenu* Menu = nullptr;
  TUcMenuItem* File = nullptr;
  TUcMenuItem* Open = nullptr;
  TUcMenuItem* Line = nullptr;
};

}  // namespace

TEST(UcShortCuts, TextFromTheDriversKeyNames) {
  EXPECT_EQ(WideShortCutToText(0).str(), L"");
  EXPECT_EQ(WideShortCutToText('O').str(), RawKeyName(MapVirtualKeyW('O', 0), 256));
  std::wstring f5 = SpecialName(MapVirtualKeyW(VK_F5, 0));
  // The modifiers in the class library's words, in the order Ctrl, Alt,
  // Shift, whatever the driver calls those keys.
  EXPECT_EQ(WideShortCutToText(0x6074).str(), L"Ctrl+Shift+" + f5);
  EXPECT_EQ(WideShortCutToText(scShift | scAlt | VK_F5).str(), L"Alt+Shift+" + f5);
  EXPECT_EQ(WideShortCutToText(scAlt | VK_F1).str(), L"Alt+" + SpecialName(MapVirtualKeyW(VK_F1, 0)));
  EXPECT_EQ(WideShortCutToText(scShift | scCtrl | scAlt | VK_F1).str(),
            L"Ctrl+Alt+Shift+" + SpecialName(MapVirtualKeyW(VK_F1, 0)));
  // Page Up and the arrows are read with the extended-key bit.
  EXPECT_EQ(WideShortCutToText(VK_PRIOR).str(), SpecialName(MapVirtualKeyW(VK_PRIOR, 0) + 256));
  EXPECT_EQ(WideShortCutToText(VK_DELETE).str(), SpecialName(MapVirtualKeyW(VK_DELETE, 0) + 256));
  // The modifiers stay when the driver has no name for the key.
  EXPECT_EQ(WideShortCutToText(scCtrl | VK_SPACE).str(), L"Ctrl+" + SpecialName(MapVirtualKeyW(VK_SPACE, 0) + 256));
  EXPECT_EQ(WideShortCutToText(scCtrl | 0xFF).str(), L"Ctrl+");
  // Every modifier set reads back, on any display.
  for (TShortCut modifiers : {TShortCut(scShift), TShortCut(scCtrl), TShortCut(scAlt), TShortCut(scShift | scCtrl),
                              TShortCut(scCtrl | scAlt), TShortCut(scShift | scAlt), TShortCut(scShift | scCtrl | scAlt)})
    EXPECT_EQ(WideTextToShortCut(WideShortCutToText(modifiers | VK_F5)), modifiers | VK_F5) << modifiers;
  // The same text as the class library's menus show.
  for (TShortCut s : {TShortCut(scCtrl | 'N'), TShortCut(scCtrl | VK_F1), TShortCut(scAlt | VK_F4), TShortCut(0x6074),
                      TShortCut(scShift | scCtrl | scAlt | 'N')})
    EXPECT_EQ(WideShortCutToText(s), AnsiToWide(ShortCutToText(s))) << s;
}

TEST(UcShortCuts, TextBackToShortCut) {
  if (WideShortCutToText('O') != L"O") GTEST_SKIP() << "the driver does not call the O key \"O\"";
  EXPECT_EQ(WideTextToShortCut(L"Ctrl+O"), 0x404F);
  EXPECT_EQ(WideTextToShortCut(L"^O"), 0x404F);
  EXPECT_EQ(WideTextToShortCut(L"Ctrl+Shift+O"), 0x604F);
  EXPECT_EQ(WideTextToShortCut(L"Shift+Ctrl+O"), 0x604F) << "the words read back in any order";
  EXPECT_EQ(WideTextToShortCut(L"Alt+o"), scAlt | 'O');  // the key name ignores case
  EXPECT_EQ(WideTextToShortCut(L"O"), 'O');
  EXPECT_EQ(WideTextToShortCut(L"Ctrl+"), 0);
  EXPECT_EQ(WideTextToShortCut(L""), 0);
  EXPECT_EQ(WideTextToShortCut(L"ctrl+O"), 0);  // the prefixes are case-sensitive
  EXPECT_EQ(WideTextToShortCut(L"xCtrl+O"), 0);
  EXPECT_EQ(WideTextToShortCut(L"Ctrl+NoSuchKey"), 0);
  EXPECT_EQ(WideTextToShortCut(WideShortCutToText(VK_F5)), VK_F5);
}

TEST(UcShortCuts, MessageToShortCut) {
  TMessage m{WM_KEYDOWN, 'O', 0x20000000, 0};  // Alt from the key data
  EXPECT_EQ(MessageToShortCut(m), scAlt | 'O');
}

TEST(UcHotKeys, FindingAndStrippingMarkers) {
  EXPECT_EQ(WideGetHotkey(L"&&a").str(), L"");
  EXPECT_EQ(WideGetHotkey(L"a&b&c").str(), L"c");
  EXPECT_EQ(WideGetHotkey(L"ab&").str(), L"");
  EXPECT_EQ(WideGetHotkey(L"&\u0416\u0451\u043B\u0442\u044B\u0439").str(), L"\u0416");
  EXPECT_EQ(WideStripHotkey(L"a&&b").str(), L"a&b");
  EXPECT_EQ(WideStripHotkey(L"&Open").str(), L"Open");
  EXPECT_EQ(WideStripHotkey(L"Abc(&X)").str(), L"Abc(X)");
  bool farEast = SysLocale.FarEast;
  SysLocale.FarEast = true;
  EXPECT_EQ(WideStripHotkey(L"Abc(&X)").str(), L"Abc");
  EXPECT_EQ(WideStripHotkey(L"(&X)").str(), L"");
  EXPECT_EQ(WideStripHotkey(L"Abc(&X").str(), L"Abc(X");  // no closing parenthesis
  SysLocale.FarEast = farEast;
  EXPECT_TRUE(WideSameCaption(L"&\u0424\u0430\u0439\u043B", L"\u0424\u0410\u0419\u041B"));
  EXPECT_TRUE(WideSameCaption(L"&Open", L"OPEN"));
  EXPECT_FALSE(WideSameCaption(L"&Open", L"Opened"));
}

TEST(UcHotKeys, HotKeyPositionsFollowTheAnsiCaption) {
  WideString dest = L"Fi&le";
  SyncHotKeyPosition(L"&File", dest);
  EXPECT_EQ(dest.str(), L"&File");
  // The wide caption keeps what the code page cannot hold.
  dest = L"\u65E5\u672C&\u8A9E";
  SyncHotKeyPosition(L"&???", dest);
  EXPECT_EQ(dest.str(), L"&\u65E5\u672C\u8A9E");
  // Texts that differ in more than the markers are left alone.
  dest = L"Fi&le";
  SyncHotKeyPosition(L"&Other", dest);
  EXPECT_EQ(dest.str(), L"Fi&le");
  bool farEast = SysLocale.FarEast;
  SysLocale.FarEast = true;
  dest = L"Abc";
  SyncHotKeyPosition(L"Abc(&X)", dest);
  EXPECT_EQ(dest.str(), L"Abc(&X)");
  // A repair that cannot come out right keeps the class library's caption.
  dest = L"A(&X)bc";
  SyncHotKeyPosition(L"Abc(&X)", dest);
  EXPECT_EQ(dest.str(), L"Abc(&X)");
  SysLocale.FarEast = farEast;
}

TEST_F(UcMenus, WideCaptionsReachTheMenuBarAndItsItems) {
  HMENU bar = GetMenu(Form->WindowHandle());
  ASSERT_NE(bar, nullptr);
  // A top-level item shows no shortcut; a leaf shows caption, TAB, shortcut.
  EXPECT_EQ(MenuString(bar, File->Command()), File->GetCaption().str());
  EXPECT_EQ(MenuString(File->Handle(), Open->Command()),
            Open->GetCaption().str() + L"\t" + WideShortCutToText(0x404F).str());
  // The class library rebuilds the native menu in ANSI; the wide text follows.
  Open->SetChecked(true);
  EXPECT_EQ(MenuString(File->Handle(), Open->Command()),
            Open->GetCaption().str() + L"\t" + WideShortCutToText(0x404F).str());
  Open->SetCaption(kMixedText);
  EXPECT_EQ(MenuString(File->Handle(), Open->Command()), std::wstring(kMixedText) + L"\t" +
                                                             WideShortCutToText(0x404F).str());
  EXPECT_EQ(Open->TMenuItem::Caption(), WideToAnsi(kMixedText));
}

TEST_F(UcMenus, NativeStringsAreWrittenOnlyWhenTheyDiffer) {
  Writes = 0;
  Open->UpdateMenuString(Menu);
  File->UpdateMenuString(Menu);
  EXPECT_EQ(Writes, 0);
  // Someone else changed the native text: it is put right, once.
  MENUITEMINFOA mii{};
  mii.cbSize = sizeof mii;
  mii.fMask = MIIM_STRING;
  char other[] = "other";
  mii.dwTypeData = other;
  SetMenuItemInfoA(File->Handle(), Open->Command(), FALSE, &mii);
  Open->UpdateMenuString(Menu);
  EXPECT_EQ(Writes, 1);
  Open->UpdateMenuString(Menu);
  EXPECT_EQ(Writes, 1);
  // A separator is never given a string; no parent menu, nothing.
  Line->UpdateMenuString(Menu);
  Open->UpdateMenuString(nullptr);
  EXPECT_EQ(Writes, 1);
  // An invisible item is not in the native menu at all.
  Open->SetVisible(false);
  Writes = 0;
  Open->UpdateMenuString(Menu);
  EXPECT_EQ(Writes, 0);
}

TEST_F(UcMenus, AnsiChangesAndHotKeyMovesAreSeen) {
  Open->TMenuItem::SetCaption("plain");
  EXPECT_EQ(Open->GetCaption().str(), L"plain");
  Open->SetCaption(L"\u65E5\u672C&\u8A9E");
  Open->TMenuItem::SetCaption("&???");  // the class library moved the marker
  EXPECT_EQ(Open->GetCaption().str(), L"&\u65E5\u672C\u8A9E");
  Open->TMenuItem::SetHint("ansi hint");
  EXPECT_EQ(Open->GetHint().str(), L"ansi hint");
}

TEST_F(UcMenus, FindStripsHotKeysAndIgnoresCase) {
  EXPECT_EQ(File->Find(WideString(L"\u041E\u0422\u041A\u0420\u042B\u0422\u042C \u4E2D\u6587")), Open);
  EXPECT_EQ(File->Find(WideString(L"&\u043E\u0442\u043A\u0440\u044B\u0442\u044C \u4E2D\u6587")), Open);
  EXPECT_EQ(File->Find(WideString(L"missing")), nullptr);
  EXPECT_EQ(File->Find(AnsiString("-")), Line);
}

TEST_F(UcMenus, InitiateActionRemakesTheTextsForANewKeyboardLayout) {
  Open->SetKeyboardLayout(reinterpret_cast<HKL>(0x12345));
  Open->InitiateAction();
  EXPECT_EQ(Open->KeyboardLayout(), GetKeyboardLayout(0));
}

TEST_F(UcMenus, PopupListGivesTheWideHintOfTheItemUnderTheCursor) {
  auto* popup = new TUcPopupMenu(Form);
  auto* item = new TUcMenuItem(Form);
  item->SetCaption(kCjkText);
  item->SetHint(L"short|\u0434\u043B\u0438\u043D\u043D\u0430\u044F \u65E5");
  auto* sub = new TUcMenuItem(Form);
  sub->SetCaption(L"sub");
  sub->SetHint(L"\u0395\u03BB\u03BB\u03AC\u03B4\u03B1");
  auto* leaf = new TUcMenuItem(Form);
  leaf->SetCaption(L"leaf");
  sub->Add(leaf);
  popup->Items()->Add(item);
  popup->Items()->Add(sub);
  EXPECT_GE(UcPopupList->IndexOf(popup), 0);
  EXPECT_LT(PopupList->IndexOf(popup), 0);
  HMENU handle = popup->Handle();
  SendMessageW(UcPopupList->Window(), WM_MENUSELECT, MAKEWPARAM(item->Command(), 0), reinterpret_cast<LPARAM>(handle));
  EXPECT_EQ(UcApplication->GetHint().str(), L"\u0434\u043B\u0438\u043D\u043D\u0430\u044F \u65E5");
  ASSERT_EQ(GetSubMenu(handle, 1), sub->Handle());
  SendMessageW(UcPopupList->Window(), WM_MENUSELECT, MAKEWPARAM(1, MF_POPUP), reinterpret_cast<LPARAM>(handle));
  EXPECT_EQ(UcApplication->GetHint().str(), L"\u0395\u03BB\u03BB\u03AC\u03B4\u03B1");
  SendMessageW(UcPopupList->Window(), WM_MENUSELECT, MAKEWPARAM(0xFFFF, 0xFFFF), 0);
  EXPECT_EQ(UcApplication->GetHint().str(), L"");
  EXPECT_EQ(MenuString(handle, item->Command()), kCjkText);
  delete popup;
  EXPECT_LT(UcPopupList->IndexOf(popup), 0);
  EXPECT_LT(PopupList->IndexOf(popup), 0);
}

namespace {
bool PopupListWasSavedDuringTheLoop = false;
// Inside the menu loop, once the menu shows: what the pop-up list is then.
bool MenuShownNotingThePopupList() {
  if (!IsWindowVisible(FindWindowA("#32768", nullptr))) return false;
  PopupListWasSavedDuringTheLoop = UcPopupList && PopupList == UcPopupList->SavedPopupList;
  return true;
}
}  // namespace

TEST_F(UcMenus, PopupPutsThePopupListBackAlsoOnAnException) {
  auto* popup = new TUcPopupMenu(Form);
  auto* item = new TUcMenuItem(Form);
  item->SetCaption(kMixedText);
  popup->Items()->Add(item);
  TPopupList* saved = PopupList;
  EXPECT_EQ(UcPopupList->SavedPopupList, saved);

  popup->OnPopup = TNotifyEvent::Free([](TObject*) { throw EConvertError("thrown in OnPopup"); });
  EXPECT_THROW(popup->Popup(200, 200), EConvertError);
  EXPECT_EQ(PopupList, saved);

  popup->OnPopup.Clear();
  PopupListWasSavedDuringTheLoop = false;
  {
    EndMenuWhen end(&MenuShownNotingThePopupList, "the pop-up menu was shown");
    popup->Popup(200, 200);
    EXPECT_TRUE(end.Result());
  }
  EXPECT_TRUE(PopupListWasSavedDuringTheLoop);
  EXPECT_EQ(PopupList, saved);
}

TEST_F(UcMenus, ActionsGiveItemsTheirWideTexts) {
  auto* action = new TUcAction(Form);
  action->SetCaption(L"&\u0421\u043E\u0445\u0440\u0430\u043D\u0438\u0442\u044C \u65E5");
  action->SetHint(L"\u0395|\u03BB");
  action->SetShortCut(0x4053);
  auto* save = new TUcMenuItem(Form);
  File->Add(save);
  save->SetAction(action);
  EXPECT_EQ(save->GetCaption(), action->Caption());
  EXPECT_EQ(save->GetHint().str(), L"\u0395|\u03BB");
  EXPECT_EQ(MenuString(File->Handle(), save->Command()),
            action->Caption().str() + L"\t" + WideShortCutToText(0x4053).str());
  // Menu rule: the item's caption differs only in markers and case: still linked.
  save->SetCaption(L"\u0421\u041E\u0425\u0420\u0410\u041D\u0418\u0422\u042C \u65E5");
  action->SetCaption(kMixedText);
  EXPECT_EQ(save->GetCaption().str(), kMixedText);
  // A caption of its own is kept.
  save->SetCaption(L"own");
  action->SetCaption(kCjkText);
  EXPECT_EQ(save->GetCaption().str(), L"own");
}

TEST_F(UcMenus, HelpersAndConstruction) {
  EXPECT_THROW(ItemHasValidImage(nullptr), EUcInternalError);
  try {
    ItemHasValidImage(nullptr);
  } catch (EUcInternalError& e) {
    EXPECT_EQ(e.Message(), "UC Internal Error: ItemHasValidImage: item = nil");
  }
  EXPECT_FALSE(ItemHasValidImage(Open));
  EXPECT_EQ(WideGetMenuItemCaption(Open), Open->GetCaption());
  auto* plain = new TMenuItem(Form);
  plain->SetCaption(WideToAnsi(kCyrillicText));
  plain->SetHint("h");
  EXPECT_EQ(WideGetMenuItemCaption(plain).str(), kCyrillicText);
  EXPECT_EQ(WideGetMenuItemHint(plain).str(), L"h");
  delete plain;

  TUcMenuItem* a = WideNewItem(kCjkText, 0x4041, true, false, TNotifyEvent(), 7, "mnA");
  TUcMenuItem* sub = WideNewSubMenu(kCyrillicText, 9, "mnSub", {a}, true);
  EXPECT_EQ(a->GetCaption().str(), kCjkText);
  EXPECT_EQ(a->ShortCut(), 0x4041);
  EXPECT_TRUE(a->Checked());
  EXPECT_FALSE(a->Enabled());
  EXPECT_EQ(a->HelpContext(), 7);
  EXPECT_EQ(a->Name(), "mnA");
  EXPECT_EQ(sub->Count(), 1);
  EXPECT_EQ(sub->Items(0), a);
  EXPECT_EQ(sub->GetCaption().str(), kCyrillicText);
  EXPECT_EQ(sub->Name(), "mnSub");
  delete sub;
}

TEST_F(UcMenus, OwnerDrawnTopItemsWithoutADrawerGetTheirText) {
  HMENU bar = GetMenu(Form->WindowHandle());
  MENUITEMINFOA mii{};
  mii.cbSize = sizeof mii;
  mii.fMask = MIIM_FTYPE;
  mii.fType = MFT_OWNERDRAW;
  SetMenuItemInfoA(bar, 0, TRUE, &mii);
  NoOwnerDrawTopLevelItems(Menu);
  MENUITEMINFOW w{};
  w.cbSize = sizeof w;
  w.fMask = MIIM_FTYPE;
  GetMenuItemInfoW(bar, 0, TRUE, &w);
  EXPECT_FALSE(w.fType & MFT_OWNERDRAW);
  EXPECT_EQ(MenuString(bar, File->Command()), File->GetCaption().str());
}

TEST_F(UcMenus, AnsiPlatformLeavesTheNativeStringsToTheClassLibrary) {
  TPlatformSwitch ansi(false);
  Writes = 0;
  Open->SetCaption(kMixedText);
  EXPECT_EQ(Writes, 0);
  EXPECT_EQ(Open->TMenuItem::Caption(), WideToAnsi(kMixedText));
  EXPECT_EQ(MenuString(File->Handle(), Open->Command()).substr(0, wcslen(kMixedText)), Narrowed(kMixedText));
}

TEST_F(UcMenus, MeasuringItemTextsAsMenusDrawThem) {
  TCanvas canvas;
  HDC dc = CreateCompatibleDC(nullptr);
  canvas.SetHandle(dc);
  canvas.RequiredState(csHandleValid | csFontValid);
  RECT r{0, 0, 0, 0};
  DrawTextW(dc, L"\u65E5\u672C\u0416", -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS | DT_NOCLIP);
  EXPECT_EQ(Open->MeasureItemTextWidth(&canvas, L"\u65E5\u672C\u0416"), r.right);
  // An empty caption is measured as a blank, so the item keeps a width.
  RECT blank{0, 0, 0, 0};
  DrawTextW(dc, L" ", -1, &blank, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS | DT_NOCLIP);
  EXPECT_EQ(Open->MeasureItemTextWidth(&canvas, L""), blank.right);
  EXPECT_EQ(Open->GetAlignmentDrawStyle(), DT_LEFT);
  auto* popup = new TUcPopupMenu(Form);
  auto* item = new TUcMenuItem(Form);
  popup->Items()->Add(item);
  popup->SetAlignment(paRight);
  EXPECT_EQ(item->GetAlignmentDrawStyle(), DT_RIGHT);
  popup->SetAlignment(paCenter);
  EXPECT_EQ(item->GetAlignmentDrawStyle(), DT_CENTER);
  canvas.SetHandle(nullptr);
  DeleteDC(dc);
}

// ===========================================================================
// Owner drawing.

namespace {

// Records the texts the item's drawing steps hand over; the ANSI step can be
// made to fail.
class TRecordingItem : public TUcMenuItem {
public:
  explicit TRecordingItem(TComponent* owner) : TUcMenuItem(owner) {}
  std::vector<std::wstring> WideTexts;
  std::vector<std::string> AnsiTexts;
  std::vector<AnsiString> AnsiCaptionsWhileDrawing;
  bool FailInAnsiStep = false;
  void DoDrawText(TCanvas* canvas, const WideString& caption, TRect& rect, bool selected, int flags) override {
    if (!(flags & DT_CALCRECT)) WideTexts.push_back(caption.str());
    TUcMenuItem::DoDrawText(canvas, caption, rect, selected, flags);
  }

protected:
  void DoDrawText(TCanvas* canvas, const AnsiString& caption, TRect& rect, bool selected, int flags) override {
    if (FailInAnsiStep) throw EConvertError("ansi step failed");
    if (!(flags & DT_CALCRECT)) {
      AnsiTexts.push_back(caption.str());
      AnsiCaptionsWhileDrawing.push_back(TMenuItem::Caption());
    }
    TMenuItem::DoDrawText(canvas, caption, rect, selected, flags);
  }
};

// Items are drawn on a bitmap and compared by their pixels.
class TDibDC {
public:
  TDibDC(int width, int height) { FBitmap.SetSize(width, height); DC = FBitmap.Canvas()->Handle(); }
  std::vector<TColor> Pixels(RECT r) {
    std::vector<TColor> v;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) v.push_back(FBitmap.Canvas()->Pixels(x, y));
    return v;
  }
  HDC DC;

private:
  TBitmap FBitmap;
};

LRESULT SendDraw(HWND window, UINT command, HDC dc, RECT rect, UINT state) {
  return SendMenuDrawItem(window, command, dc, rect, state, true);
}

int SendMeasure(HWND window, UINT command) {
  return static_cast<int>(SendMenuMeasureItem(window, command, nullptr, true).itemWidth);
}

// The width DrawTextW gives the text in the system's menu font (a blank for
// an empty text, as menus measure it).
int MenuFontWidth(const std::wstring& text) {
  NONCLIENTMETRICSW ncm{};
  ncm.cbSize = sizeof ncm;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0);
  HFONT font = CreateFontIndirectW(&ncm.lfMenuFont);
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  std::wstring t = text.empty() ? L" " : text;
  RECT r{0, 0, 0, 0};
  DrawTextW(dc, t.c_str(), static_cast<int>(t.size()), &r, DT_CALCRECT | DT_NOCLIP | DT_EXPANDTABS | DT_SINGLELINE);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  DeleteObject(font);
  return r.right - r.left;
}

struct TMeasureSeen : TObject {
  int Calls = 0, Width = 0;
  void OnMeasure(TObject*, TCanvas*, int& width, int&) {
    ++Calls;
    Width = width;
  }
  int Draws = 0;
  void OnDraw(TObject*, TCanvas*, const TRect&, TOwnerDrawState, bool) { ++Draws; }
};

TBitmap* RedBitmap() {
  auto* b = new TBitmap();
  b->SetSize(16, 16);
  b->Canvas()->Brush()->SetColor(clRed);
  b->Canvas()->FillRect(TRect(0, 0, 16, 16));
  return b;
}

}  // namespace

TEST_F(UcMenus, OwnerDrawnItemsAreMeasuredWithTheirWideTexts) {
  // A twin of the class library with the same ANSI caption and shortcut.
  auto* twin = new TMenuItem(Form);
  File->Add(twin);
  Menu->SetOwnerDraw(true);
  HWND h = Form->WindowHandle();
  for (const wchar_t* caption : {L"\u65E5\u672C", L"\u65E5\u672C\u8A9E\u65E5\u672C\u8A9E\u65E5\u672C\u8A9E\u3042"}) {
    Open->SetCaption(caption);
    twin->SetCaption(Open->TMenuItem::Caption());
    twin->SetShortCut(Open->ShortCut());
    int expected = MenuFontWidth(caption) - MenuFontWidth(AnsiToWide(Open->TMenuItem::Caption()).str()) +
                   MenuFontWidth(WideShortCutToText(Open->ShortCut()).str()) -
                   MenuFontWidth(AnsiToWide(ShortCutToText(Open->ShortCut())).str());
    EXPECT_EQ(SendMeasure(h, Open->Command()) - SendMeasure(h, twin->Command()), expected) << caption;
  }
  int longer = SendMeasure(h, Open->Command());
  Open->SetCaption(L"\u65E5");
  EXPECT_LT(SendMeasure(h, Open->Command()), longer);
  // The item's own handler is asked once, with the corrected width.
  TMeasureSeen seen;
  Open->OnMeasureItem = MakeEvent<&TMeasureSeen::OnMeasure>(&seen);
  int width = SendMeasure(h, Open->Command());
  EXPECT_EQ(seen.Calls, 1);
  EXPECT_EQ(seen.Width, width);
  EXPECT_TRUE(Open->OnMeasureItem == MakeEvent<&TMeasureSeen::OnMeasure>(&seen)) << "put back";
}

TEST_F(UcMenus, OwnerDrawnItemsDrawTheWideCaptionOverTheClassLibrarysItem) {
  auto* item = new TRecordingItem(Form);
  item->SetCaption(kCjkText);
  item->SetShortCut(0x4053);
  File->Add(item);
  Menu->SetOwnerDraw(true);
  HWND h = Form->WindowHandle();
  TDibDC wide(320, 24);
  RECT all{0, 0, 320, 24};
  // A mark on the native item that a rebuild of the menu would lose.
  MENUITEMINFOW mark{};
  mark.cbSize = sizeof mark;
  mark.fMask = MIIM_DATA;
  mark.dwItemData = 0x5A5A;
  ASSERT_TRUE(SetMenuItemInfoW(File->Handle(), item->Command(), FALSE, &mark));
  EXPECT_EQ(SendDraw(h, item->Command(), wide.DC, all, 0), TRUE);
  // The class library drew without texts; the wide caption and shortcut text
  // came after.
  EXPECT_EQ(item->AnsiTexts, std::vector<std::string>{""});
  EXPECT_EQ(item->AnsiCaptionsWhileDrawing, std::vector<AnsiString>{AnsiString()});
  ASSERT_EQ(item->WideTexts.size(), 2u);
  EXPECT_EQ(item->WideTexts[0], kCjkText);
  EXPECT_EQ(item->WideTexts[1], WideShortCutToText(0x4053).str());
  // Caption and shortcut are back, and the native menu was not rebuilt.
  EXPECT_EQ(item->GetCaption().str(), kCjkText);
  EXPECT_EQ(item->TMenuItem::Caption(), WideToAnsi(kCjkText));
  EXPECT_EQ(item->ShortCut(), 0x4053);
  mark.dwItemData = 0;
  GetMenuItemInfoW(File->Handle(), item->Command(), FALSE, &mark);
  EXPECT_EQ(mark.dwItemData, 0x5A5Au);

  // The pixels of the caption are those of the wide text, not of its ANSI form.
  auto* twin = new TMenuItem(Form);
  twin->SetCaption(item->TMenuItem::Caption());
  twin->SetShortCut(0x4053);
  File->Add(twin);
  TDibDC ansi(320, 24);
  SendDraw(h, twin->Command(), ansi.DC, all, 0);
  RECT caption{36, 0, 200, 24};
  std::vector<TColor> widePixels = wide.Pixels(caption);
  TColor back = widePixels.front();
  EXPECT_GT(std::count_if(widePixels.begin(), widePixels.end(), [&](TColor p) { return p != back; }), 0);
  EXPECT_NE(widePixels, ansi.Pixels(caption));
}

TEST_F(UcMenus, TheCaptionComesBackWhenTheClassLibrarysDrawingFails) {
  auto* item = new TRecordingItem(Form);
  item->SetCaption(kMixedText);
  item->SetShortCut(0x4053);
  File->Add(item);
  Menu->SetOwnerDraw(true);
  item->FailInAnsiStep = true;
  TDibDC dc(200, 20);
  SendDraw(Form->WindowHandle(), item->Command(), dc.DC, RECT{0, 0, 200, 20}, ODS_SELECTED);
  EXPECT_EQ(TakeExceptions(), std::vector<std::string>{"ansi step failed"});
  EXPECT_EQ(item->GetCaption().str(), kMixedText);
  EXPECT_EQ(item->ShortCut(), 0x4053);
  EXPECT_TRUE(item->WideTexts.empty());
}

TEST_F(UcMenus, HandlersSeparatorsAndTheAnsiPlatformKeepTheClassLibrarysDrawing) {
  auto* item = new TRecordingItem(Form);
  item->SetCaption(kCyrillicText);
  File->Add(item);
  HWND h = Form->WindowHandle();
  TDibDC dc(200, 20);
  RECT all{0, 0, 200, 20};
  // An owner-drawn menu's item with its own handler: only the handler draws.
  Menu->SetOwnerDraw(true);
  TMeasureSeen seen;
  item->OnAdvancedDrawItem = MakeEvent<&TMeasureSeen::OnDraw>(&seen);
  SendDraw(h, item->Command(), dc.DC, all, 0);
  EXPECT_EQ(seen.Draws, 1);
  EXPECT_TRUE(item->WideTexts.empty());
  EXPECT_TRUE(item->AnsiTexts.empty());
  item->OnAdvancedDrawItem.Clear();
  // The ANSI platform: the class library draws the ANSI caption.
  {
    TPlatformSwitch ansi(false);
    SendDraw(h, item->Command(), dc.DC, all, 0);
  }
  EXPECT_EQ(item->AnsiTexts, std::vector<std::string>{WideToAnsi(kCyrillicText).str()});
  EXPECT_TRUE(item->WideTexts.empty());
  // A separator is the class library's line.
  item->AnsiTexts.clear();
  item->SetCaption(L"-");
  SendDraw(h, item->Command(), dc.DC, all, 0);
  EXPECT_TRUE(item->WideTexts.empty());
  EXPECT_TRUE(item->AnsiTexts.empty());
}

TEST_F(UcMenus, AnOwnerDrawnPopupShowsTheWideCaption) {
  auto* popup = new TUcPopupMenu(Form);
  auto* item = new TRecordingItem(Form);
  item->SetCaption(kCjkText);
  popup->Items()->Add(item);
  popup->SetOwnerDraw(true);
  Form->Show();
  Pump(10);
  {
    EndMenuWhen end([&] { return !item->WideTexts.empty(); }, "the open pop-up's item drawn");
    popup->Popup(100, 100);
    EXPECT_TRUE(end.Result());
  }
  ASSERT_FALSE(item->WideTexts.empty()) << "the system asked the pop-up list window to draw the item";
  EXPECT_EQ(item->WideTexts[0], kCjkText);
}

TEST_F(UcMenus, TopLevelItemsThatNobodyDrawsLoseTheOwnerDrawFlag) {
  auto* edit = new TUcMenuItem(Form);
  edit->SetCaption(L"\u041F\u0440\u0430\u0432\u043A\u0430");
  auto* tools = new TUcMenuItem(Form);
  tools->SetCaption(kCjkText);
  auto* plain = new TMenuItem(Form);
  plain->SetCaption(WideToAnsi(kCyrillicText));
  Menu->Items()->Add(edit);
  Menu->Items()->Add(tools);
  Menu->Items()->Add(plain);
  TMeasureSeen seen;
  edit->OnAdvancedDrawItem = MakeEvent<&TMeasureSeen::OnDraw>(&seen);
  auto* images = new TImageList(Form);
  std::unique_ptr<TBitmap> red(RedBitmap());
  images->Add(red.get(), nullptr);
  Menu->SetImages(images);
  tools->SetImageIndex(0);
  HMENU bar = GetMenu(Form->WindowHandle());
  for (TMenuItem* i : std::vector<TMenuItem*>{File, edit, tools, plain}) {
    MENUITEMINFOW w{};
    w.cbSize = sizeof w;
    w.fMask = MIIM_FTYPE;
    ASSERT_TRUE(GetMenuItemInfoW(bar, i->Command(), FALSE, &w));
    ASSERT_TRUE(w.fType & MFT_OWNERDRAW);
  }
  NoOwnerDrawTopLevelItems(Menu);
  auto ownerDrawn = [&](TMenuItem* i) {
    MENUITEMINFOW w{};
    w.cbSize = sizeof w;
    w.fMask = MIIM_FTYPE;
    GetMenuItemInfoW(bar, i->Command(), FALSE, &w);
    return (w.fType & MFT_OWNERDRAW) != 0;
  };
  EXPECT_FALSE(ownerDrawn(File));
  EXPECT_EQ(MenuString(bar, File->Command()), File->GetCaption().str());
  EXPECT_TRUE(ownerDrawn(edit)) << "it has a draw handler";
  EXPECT_TRUE(ownerDrawn(tools)) << "it has an image";
  EXPECT_FALSE(ownerDrawn(plain));
  EXPECT_EQ(MenuString(bar, plain->Command()), Narrowed(kCyrillicText)) << "the class library's ANSI caption";
  // The sub-menu's items are not top-level: still owner-drawn.
  MENUITEMINFOW w{};
  w.cbSize = sizeof w;
  w.fMask = MIIM_FTYPE;
  GetMenuItemInfoW(File->Handle(), Open->Command(), FALSE, &w);
  EXPECT_TRUE(w.fType & MFT_OWNERDRAW);
}

TEST_F(UcMenus, ValidImagesComeFromTheImageListOrABitmap) {
  EXPECT_FALSE(MenuItemHasBitmap(Open));
  EXPECT_FALSE(ItemHasValidImage(Open));
  Open->Bitmap();
  EXPECT_TRUE(MenuItemHasBitmap(Open));
  EXPECT_FALSE(ItemHasValidImage(Open)) << "an empty bitmap";
  std::unique_ptr<TBitmap> red(RedBitmap());
  Open->SetBitmap(red.get());
  EXPECT_TRUE(ItemHasValidImage(Open));
  Open->SetBitmap(nullptr);
  EXPECT_FALSE(MenuItemHasBitmap(Open));
  auto* images = new TImageList(Form);
  images->Add(red.get(), nullptr);
  images->Add(red.get(), nullptr);
  Menu->SetImages(images);
  for (int index : {-1, 0, 1, 2}) {
    Open->SetImageIndex(index);
    EXPECT_EQ(ItemHasValidImage(Open), index == 0 || index == 1) << index;
  }
}

TEST_F(UcMenus, AnOwnerDrawnItemOfTheMenuBarKeepsItsTextInsideItsRectangle) {
  Menu->SetOwnerDraw(true);
  File->SetCaption(L"\u65E5\u672C\u8A9E");
  HWND h = Form->WindowHandle();
  int width = SendMeasure(h, File->Command());
  ASSERT_GT(width, 0);
  // A bar item well to the right of x = 0, on a white bitmap.
  TDibDC dc(400, 24);
  RECT item{150, 2, 150 + width, 22};
  SendDraw(h, File->Command(), dc.DC, item, 0);
  std::vector<TColor> inside = dc.Pixels(RECT{item.left + 2, item.top, item.right, item.bottom});
  TColor back = inside.front();
  EXPECT_GT(std::count_if(inside.begin(), inside.end(), [&](TColor p) { return p != back; }), 0) << "the caption";
  for (RECT outside : {RECT{0, 0, item.left, 24}, RECT{item.right, 0, 400, 24}}) {
    std::vector<TColor> px = dc.Pixels(outside);
    EXPECT_EQ(std::count_if(px.begin(), px.end(), [](TColor p) { return p != clWhite; }), 0);
  }
}
