// Menus: the native menus the items build, command ids, shortcuts and their
// texts, pop-up menus and their list window, hints of menu items.
#include "menus.h"

#include "forms.h"
#include "guitest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Clicks;

struct TClickRecorder : TObject {
  void Click(TObject* sender) { Clicks.push_back(static_cast<TComponent*>(sender)->Name().str()); }
  void Throw(TObject*) { throw EConvertError("menu handler failed"); }
};

// The keyboard driver's own name of a key, as the program's texts use it.
std::string DriverKeyName(UINT vk, bool extended = false) {
  char buf[64] = {};
  LONG l = static_cast<LONG>(MapVirtualKeyA(vk, 0)) << 16;
  if (extended) l |= 1 << 24;
  GetKeyNameTextA(l, buf, sizeof buf);
  return buf;
}

std::string NativeText(HMENU menu, UINT command) {
  char buf[256] = {};
  MENUITEMINFOA mii{};
  mii.cbSize = sizeof mii;
  mii.fMask = MIIM_TYPE;
  mii.dwTypeData = buf;
  mii.cch = sizeof buf;
  if (!GetMenuItemInfoA(menu, command, FALSE, &mii)) return "<missing>";
  return buf;
}

UINT NativeState(HMENU menu, UINT command) {
  MENUITEMINFOA mii{};
  mii.cbSize = sizeof mii;
  mii.fMask = MIIM_STATE;
  if (!GetMenuItemInfoA(menu, command, FALSE, &mii)) return 0xFFFFFFFF;
  return mii.fState;
}

TMenuItem* NewItem(TComponent* owner, const char* name, const char* caption, TShortCut sc = 0) {
  auto* item = new TMenuItem(owner);
  item->SetName(name);
  item->SetCaption(caption);
  item->SetShortCut(sc);
  return item;
}


class MenusTest : public GuiTest {
protected:
  void SetUp() override {
    GuiTest::SetUp();
    Clicks.clear();
    form = NewForm<TForm>(nullptr);
    form->SetBounds(50, 50, 300, 200);
    menu = new TMainMenu(form);
    file = NewItem(form, "mmFile", "&File", ShortCut('O', ssCtrl));
    open = NewItem(form, "mmOpen", "&Open", ShortCut('O', ssCtrl));
    line = NewItem(form, "N1", "-");
    quit = NewItem(form, "mmExit", "E&xit", ShortCut(VK_F4, ssAlt));
    file->Add(open);
    file->Add(line);
    file->Add(quit);
    menu->Items()->Add(file);
    for (TMenuItem* i : {file, open, quit}) i->OnClick = MakeEvent<&TClickRecorder::Click>(&rec);
    form->SetMenu(menu);
  }
  void TearDown() override {
    delete form;
    GuiTest::TearDown();
  }
  TForm* form = nullptr;
  TMainMenu* menu = nullptr;
  TMenuItem *file = nullptr, *open = nullptr, *line = nullptr, *quit = nullptr;
  TClickRecorder rec;
};

TEST(ShortCuts, ValuesAndTextsFromTheKeyboardDriver) {
  EXPECT_EQ(ShortCut('O', ssCtrl), 0x404F);
  EXPECT_EQ(ShortCut(VK_F5, ssCtrl | ssShift), 0x6074);
  EXPECT_EQ(ShortCut(VK_F4, ssAlt), 0x8073);
  EXPECT_EQ(ShortCut(0x1FF, ssCtrl), 0) << "not a key of one byte";
  WORD key;
  TShiftState shift;
  ShortCutToKey(0x6074, key, shift);
  EXPECT_EQ(key, VK_F5);
  EXPECT_EQ(shift, ssCtrl | ssShift);
  EXPECT_EQ(ShortCutToText(ShortCut('O', ssCtrl)).str(), "Ctrl+" + DriverKeyName('O'));
  // The modifier words in one order, Ctrl, Alt, Shift, whatever bits are set.
  EXPECT_EQ(ShortCutToText(0x6074).str(), "Ctrl+Shift+" + DriverKeyName(VK_F5));
  EXPECT_EQ(ShortCutToText(ShortCut(VK_F5, ssShift | ssAlt)).str(), "Alt+Shift+" + DriverKeyName(VK_F5));
  EXPECT_EQ(ShortCutToText(ShortCut(VK_F5, ssShift | ssAlt | ssCtrl)).str(), "Ctrl+Alt+Shift+" + DriverKeyName(VK_F5));
  EXPECT_EQ(ShortCutToText(ShortCut(VK_DELETE, 0)).str(), DriverKeyName(VK_DELETE, true));
  EXPECT_EQ(ShortCutToText(0), "");
  // And back, in any case and with "^" for Ctrl.
  EXPECT_EQ(TextToShortCut(ShortCutToText(0x6074)), 0x6074);
  EXPECT_EQ(TextToShortCut(("Shift+Ctrl+" + DriverKeyName(VK_F5)).c_str()), 0x6074) << "any order reads back";
  EXPECT_EQ(TextToShortCut(("^" + DriverKeyName('O')).c_str()), 0x404F);
  EXPECT_EQ(TextToShortCut(("ctrl+" + DriverKeyName('O')).c_str()), 0x404F);
  EXPECT_EQ(TextToShortCut("Ctrl+"), 0);
  EXPECT_EQ(TextToShortCut("Ctrl+NoSuchKey"), 0);
  EXPECT_EQ(TextToShortCut(""), 0);
}

TEST_F(MenusTest, NativeMenuCarriesCaptionsShortcutTextsAndStates) {
  HWND h = form->Handle();
  HMENU bar = GetMenu(h);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar, menu->Handle());
  EXPECT_EQ(GetMenuItemCount(bar), 1);
  EXPECT_EQ(NativeText(bar, file->Command()), "&File") << "a top item of the bar shows no shortcut";
  HMENU sub = file->Handle();
  EXPECT_EQ(GetSubMenu(bar, 0), sub);
  EXPECT_EQ(GetMenuItemCount(sub), 3);
  EXPECT_EQ(NativeText(sub, open->Command()), "&Open\t" + ShortCutToText(open->ShortCut()).str());
  EXPECT_EQ(NativeText(sub, quit->Command()), "E&xit\t" + ShortCutToText(quit->ShortCut()).str());
  MENUITEMINFOA mii{};
  mii.cbSize = sizeof mii;
  mii.fMask = MIIM_TYPE;
  GetMenuItemInfoA(sub, 1, TRUE, &mii);
  EXPECT_TRUE(mii.fType & MFT_SEPARATOR);
  open->SetChecked(true);
  quit->SetEnabled(false);
  EXPECT_TRUE(NativeState(sub, open->Command()) & MFS_CHECKED);
  EXPECT_TRUE(NativeState(sub, quit->Command()) & MFS_GRAYED);
  open->SetCaption("\xCE\xF2\xEA\xF0\xFB\xF2\xFC");  // "Открыть"
  EXPECT_EQ(NativeText(sub, open->Command()).substr(0, 7), "\xCE\xF2\xEA\xF0\xFB\xF2\xFC");
  quit->SetVisible(false);
  EXPECT_EQ(GetMenuItemCount(sub), 2) << "hidden items are not in the native menu";
  EXPECT_EQ(NativeText(sub, quit->Command()), "<missing>");
}

TEST_F(MenusTest, CommandIdsAreUniqueAndReturnToThePool) {
  std::vector<WORD> ids = {file->Command(), open->Command(), line->Command(), quit->Command(),
                           menu->Items()->Command()};
  for (size_t i = 0; i < ids.size(); ++i)
    for (size_t j = i + 1; j < ids.size(); ++j) EXPECT_NE(ids[i], ids[j]);
  for (WORD id : ids) EXPECT_GT(id, IDHELP) << "above the dialog button ids";
  WORD freed = quit->Command();
  delete quit;
  quit = nullptr;
  EXPECT_EQ(file->Count(), 2);
  auto* again = new TMenuItem(form);
  EXPECT_EQ(again->Command(), freed);
  EXPECT_EQ(menu->FindItem(open->Command(), fkCommand), open);
  EXPECT_EQ(menu->FindItem(static_cast<UINT>(reinterpret_cast<uintptr_t>(file->Handle())), fkHandle), file);
  EXPECT_EQ(menu->FindItem(ShortCut('O', ssCtrl), fkShortCut), file) << "the first in order, sub-menus too";
  EXPECT_EQ(file->Find("file"), nullptr);
  EXPECT_EQ(file->Find("OPEN"), open);
  EXPECT_EQ(open->MenuIndex(), 0);
  open->SetMenuIndex(1);
  EXPECT_EQ(file->IndexOf(open), 1);
  EXPECT_EQ(open->GetParentMenu(), menu);
  EXPECT_THROW(file->Add(open), EMenuError);
  EXPECT_THROW(file->Items(9), EMenuError);
}

TEST_F(MenusTest, CommandsFromTheWindowRunTheItems) {
  HWND h = form->Handle();
  PostMessageA(h, WM_COMMAND, MAKEWPARAM(open->Command(), 0), 0);
  Pump(0);
  EXPECT_EQ(Clicks, std::vector<std::string>{"mmOpen"});
  // A disabled item does not run.
  open->SetEnabled(false);
  PostMessageA(h, WM_COMMAND, MAKEWPARAM(open->Command(), 0), 0);
  Pump(0);
  EXPECT_EQ(Clicks.size(), 1u);
  // A handler that throws ends at the application's handler.
  open->SetEnabled(true);
  open->OnClick = MakeEvent<&TClickRecorder::Throw>(&rec);
  PostMessageA(h, WM_COMMAND, MAKEWPARAM(open->Command(), 0), 0);
  Pump(0);
  EXPECT_EQ(TakeExceptions(), std::vector<std::string>{"menu handler failed"});
}

TEST_F(MenusTest, ShortcutRunsTheLeafItemOnlyWhileTheMainFormIsEnabled) {
  form->Show();
  Pump(10);
  // Keys as the loop sees them: the key state says Ctrl is down.
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  BYTE saved[256];
  std::memcpy(saved, keys, sizeof keys);
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  HWND h = form->Handle();
  PostMessageA(h, WM_KEYDOWN, 'O', 1);
  Pump(0);
  EXPECT_EQ(Clicks, std::vector<std::string>{"mmOpen"}) << "the File item only shows the shortcut";
  Clicks.clear();
  TMessage key{WM_KEYDOWN, 'O', 1, 0};
  form->SetEnabled(false);
  EXPECT_TRUE(form->IsShortCut(key)) << "not the main form, so it still runs";
  SetKeyboardState(saved);
  form->SetEnabled(true);
}

TEST_F(MenusTest, MainFormShortcutsStopWhileItIsDisabled) {
  delete form;
  form = nullptr;
  Application->CreateForm(&TForm::Class, &form);
  menu = new TMainMenu(form);
  auto* item = NewItem(form, "mmSave", "&Save", ShortCut('S', ssCtrl));
  menu->Items()->Add(item);
  item->OnClick = MakeEvent<&TClickRecorder::Click>(&rec);
  form->SetMenu(menu);
  ASSERT_EQ(Application->MainForm(), form);
  BYTE keys[256] = {}, saved[256];
  GetKeyboardState(keys);
  std::memcpy(saved, keys, sizeof keys);
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  TMessage key{WM_KEYDOWN, 'S', 1, 0};
  form->HandleNeeded();
  form->SetEnabled(false);
  EXPECT_FALSE(form->IsShortCut(key));
  EXPECT_TRUE(Clicks.empty());
  form->SetEnabled(true);
  EXPECT_TRUE(form->IsShortCut(key));
  EXPECT_EQ(Clicks, std::vector<std::string>{"mmSave"});
  SetKeyboardState(saved);
  delete form;
  form = nullptr;
  EXPECT_EQ(Application->MainForm(), nullptr);
}

TEST_F(MenusTest, OpeningASubMenuUpdatesItsItemsAndSelectingShowsTheHint) {
  struct TUpdate : TObject {
    int Updates = 0;
    void Update(TObject*) { ++Updates; }
    AnsiString Hint;
    int HintCalls = 0;
    void OnHint(TObject*) {
      ++HintCalls;
      Hint = Application->Hint();
    }
  } upd;
  auto* action = new TAction(form);
  action->SetCaption("&Open");
  action->OnUpdate = MakeEvent<&TUpdate::Update>(&upd);
  action->OnExecute = MakeEvent<&TClickRecorder::Click>(&rec);
  open->OnClick.Clear();
  open->SetAction(action);
  HWND h = form->Handle();
  SendMessageA(h, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file->Handle()), 0);
  EXPECT_GE(upd.Updates, 1);
  open->SetHint("Open|Opens a list file");
  Application->OnHint = MakeEvent<&TUpdate::OnHint>(&upd);
  SendMessageA(h, WM_MENUSELECT, MAKEWPARAM(open->Command(), MF_HILITE), reinterpret_cast<LPARAM>(file->Handle()));
  EXPECT_EQ(upd.Hint, "Opens a list file");
  SendMessageA(h, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
  EXPECT_EQ(upd.Hint, "");
  Application->OnHint.Clear();
}

TEST_F(MenusTest, PopupMenuChoiceArrivesThroughThePopupListWindow) {
  auto* popup = new TPopupMenu(form);
  auto* first = NewItem(form, "pupFirst", "First");
  auto* second = NewItem(form, "pupSecond", "Second");
  popup->Items()->Add(first);
  popup->Items()->Add(second);
  for (TMenuItem* i : {first, second}) i->OnClick = MakeEvent<&TClickRecorder::Click>(&rec);
  struct TPopupEvent : TObject {
    int Count = 0;
    void OnPopup(TObject*) { ++Count; }
  } ev;
  popup->OnPopup = MakeEvent<&TPopupEvent::OnPopup>(&ev);
  ASSERT_NE(PopupList, nullptr);
  EXPECT_GE(PopupList->IndexOf(popup), 0);
  // The command goes to the list's window after the menu loop.
  PostMessageA(PopupList->Window(), WM_COMMAND, MAKEWPARAM(second->Command(), 0), 0);
  Pump(0);
  EXPECT_EQ(Clicks, std::vector<std::string>{"pupSecond"});
  Clicks.clear();
  // A real pop-up; a timer inside its menu loop closes it.
  form->Show();
  Pump(10);
  {
    EndMenuWhen end([&] { return IsWindowVisible(FindWindowA("#32768", nullptr)); }, "the pop-up menu was shown");
    popup->SetPopupComponent(form);
    popup->Popup(100, 100);
    EXPECT_TRUE(end.Result());
  }
  Pump(10);
  EXPECT_EQ(ev.Count, 1);
  EXPECT_EQ(popup->PopupComponent(), form);
  EXPECT_EQ(popup->WindowHandle(), PopupList->Window());
  delete popup;
  EXPECT_LT(PopupList->IndexOf(popup), 0) << "a deleted pop-up leaves the list";
}

TEST_F(MenusTest, ItemsTakeTheActionsValuesAndKeepTheirOwnChanges) {
  auto* action = new TAction(form);
  action->SetCaption("Save");
  action->SetHint("Save the list");
  action->SetShortCut(ShortCut('S', ssCtrl));
  action->SetChecked(true);
  action->OnExecute = MakeEvent<&TClickRecorder::Click>(&rec);
  action->SetName("saveAction");
  auto* item = new TMenuItem(form);
  file->Add(item);
  item->SetAction(action);
  EXPECT_EQ(item->Caption(), "Save");
  EXPECT_EQ(item->Hint(), "Save the list");
  EXPECT_EQ(item->ShortCut(), ShortCut('S', ssCtrl));
  EXPECT_TRUE(item->Checked());
  EXPECT_TRUE(item->OnClick == action->OnExecute);
  EXPECT_EQ(NativeText(file->Handle(), item->Command()), "Save\t" + ShortCutToText(ShortCut('S', ssCtrl)).str());
  // A caption that differs only in hot key and case is still linked.
  item->SetCaption("&save");
  action->SetCaption("Store");
  EXPECT_EQ(item->Caption(), "Store");
  item->SetCaption("Mine");
  action->SetCaption("Keep");
  EXPECT_EQ(item->Caption(), "Mine");
  action->SetEnabled(false);
  EXPECT_FALSE(item->Enabled());
  item->Click();
  EXPECT_TRUE(Clicks.empty()) << "a disabled item does nothing";
  action->SetEnabled(true);
  item->Click();
  EXPECT_EQ(Clicks, std::vector<std::string>{"saveAction"}) << "the action runs with itself as sender";
  delete action;
  EXPECT_EQ(item->Action(), nullptr);
  item->Click();
}

}  // namespace

// ===========================================================================
// Owner-drawn items and the native menu's shape.

namespace {

UINT NativeType(HMENU menu, UINT command) {
  MENUITEMINFOA mii{};
  mii.cbSize = sizeof mii;
  mii.fMask = MIIM_FTYPE;
  if (!GetMenuItemInfoA(menu, command, FALSE, &mii)) return 0xFFFFFFFF;
  return mii.fType;
}

// A bitmap the items are drawn on, read back pixel by pixel.
class TDib {
public:
  TDib(int width, int height) { FBitmap.SetSize(width, height); }
  HDC DC() { return FBitmap.Canvas()->Handle(); }
  COLORREF At(int x, int y) { return static_cast<COLORREF>(FBitmap.Canvas()->Pixels(x, y)); }
  // Pixels inside the rectangle of exactly (or, with other, anything but) the colour.
  int Count(COLORREF color, RECT r, bool other = false) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        if ((At(x, y) == color) != other) ++n;
    return n;
  }

private:
  TBitmap FBitmap;
};

struct TDrawRecorder : TObject {
  int Advanced = 0, Plain = 0, Measured = 0;
  TRect Rect;
  TOwnerDrawState State = 0;
  bool TopLevel = false, Selected = false;
  TObject* Sender = nullptr;
  int SeenWidth = 0;
  void OnAdvanced(TObject* sender, TCanvas* canvas, const TRect& rect, TOwnerDrawState state, bool topLevel) {
    ++Advanced;
    Sender = sender;
    Rect = rect;
    State = state;
    TopLevel = topLevel;
    // The canvas draws on the device context the message brought.
    canvas->Brush()->SetColor(clRed);
    canvas->FillRect(rect);
  }
  void OnPlain(TObject* sender, TCanvas*, const TRect&, bool selected) {
    ++Plain;
    Sender = sender;
    Selected = selected;
  }
  void OnMeasure(TObject* sender, TCanvas*, int& width, int& height) {
    ++Measured;
    Sender = sender;
    SeenWidth = width;
    width += 100;
    height = 40;
  }
  void Throw(TObject*, TCanvas*, const TRect&, TOwnerDrawState, bool) { throw EConvertError("draw handler failed"); }
};

MEASUREITEMSTRUCT Measure(HWND window, UINT command, LRESULT* result = nullptr) {
  return SendMenuMeasureItem(window, command, result);
}

LRESULT Draw(HWND window, UINT command, HDC dc, RECT rect, UINT state) {
  return SendMenuDrawItem(window, command, dc, rect, state);
}

COLORREF Sys(int index) { return GetSysColor(index); }

}  // namespace

TEST_F(MenusTest, OwnerDrawAndImagesMakeOwnerDrawnNativeItems) {
  HWND h = form->Handle();
  HMENU bar = GetMenu(h);
  ASSERT_EQ(bar, menu->Handle());
  EXPECT_FALSE(NativeType(bar, file->Command()) & MFT_OWNERDRAW);
  menu->SetOwnerDraw(true);
  EXPECT_TRUE(NativeType(bar, file->Command()) & MFT_OWNERDRAW);
  EXPECT_TRUE(NativeType(file->Handle(), open->Command()) & MFT_OWNERDRAW);
  EXPECT_EQ(NativeType(file->Handle(), line->Command()), UINT(MFT_SEPARATOR | MFT_OWNERDRAW));
  EXPECT_EQ(GetSubMenu(bar, 0), file->Handle()) << "the sub-menu survives the rebuild";
  EXPECT_EQ(GetMenuItemCount(file->Handle()), 3);
  menu->SetOwnerDraw(false);
  EXPECT_EQ(NativeType(file->Handle(), open->Command()), UINT(MFT_STRING));
  EXPECT_EQ(NativeText(file->Handle(), open->Command()), "&Open\t" + ShortCutToText(ShortCut('O', ssCtrl)).str());
  // An image list alone makes the items owner-drawn; it going away undoes that.
  auto* images = new TImageList(nullptr);
  menu->SetImages(images);
  EXPECT_TRUE(open->IsOwnerDrawn());
  EXPECT_EQ(open->GetImageList(), images);
  EXPECT_TRUE(NativeType(file->Handle(), quit->Command()) & MFT_OWNERDRAW);
  delete images;
  EXPECT_EQ(menu->Images(), nullptr);
  EXPECT_FALSE(NativeType(file->Handle(), quit->Command()) & MFT_OWNERDRAW);
  EXPECT_EQ(NativeText(file->Handle(), quit->Command()), "E&xit\t" + ShortCutToText(ShortCut(VK_F4, ssAlt)).str());
}

TEST_F(MenusTest, AnItemThatGetsItsFirstSubItemLateBecomesASubMenu) {
  HWND h = form->Handle();
  HMENU bar = GetMenu(h);
  auto* view = NewItem(form, "mmView", "&View");
  menu->Items()->Add(view);
  ASSERT_EQ(GetMenuItemCount(bar), 2);
  EXPECT_EQ(GetSubMenu(bar, 1), nullptr) << "a leaf so far";
  auto* all = NewItem(form, "mmAll", "&All");
  view->Add(all);
  HMENU sub = GetSubMenu(bar, 1);
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(sub, view->Handle());
  EXPECT_EQ(NativeText(sub, all->Command()), "&All");
  EXPECT_EQ(NativeText(bar, view->Command()), "&View") << "still found by its command";
  // A leaf deeper down, too.
  auto* deeper = NewItem(form, "mmDeeper", "Deeper");
  all->Add(deeper);
  ASSERT_NE(GetSubMenu(sub, 0), nullptr);
  EXPECT_EQ(NativeText(GetSubMenu(sub, 0), deeper->Command()), "Deeper");
  // Losing the last sub-item makes it a leaf again, which a command can run.
  delete deeper;
  EXPECT_EQ(GetSubMenu(sub, 0), nullptr);
  all->OnClick = MakeEvent<&TClickRecorder::Click>(&rec);
  SendMessageA(h, WM_COMMAND, MAKEWPARAM(all->Command(), 0), 0);
  EXPECT_EQ(Clicks, std::vector<std::string>{"mmAll"});
  view->Clear();
  EXPECT_EQ(GetSubMenu(bar, 1), nullptr);
  EXPECT_EQ(GetMenuItemCount(bar), 2);
}

TEST_F(MenusTest, MeasureItemFromTheFormReachesTheItem) {
  menu->SetOwnerDraw(true);
  HWND h = form->Handle();
  LRESULT r = 0;
  MEASUREITEMSTRUCT shortOne = Measure(h, open->Command(), &r);
  EXPECT_EQ(r, TRUE);
  EXPECT_GT(shortOne.itemWidth, 0u);
  EXPECT_GE(static_cast<int>(shortOne.itemHeight), GetSystemMetrics(SM_CYMENU));
  open->SetCaption("&Open a much longer caption than before");
  MEASUREITEMSTRUCT longOne = Measure(h, open->Command());
  EXPECT_GT(longOne.itemWidth, shortOne.itemWidth);
  // The shortcut text takes room at the right.
  open->SetShortCut(0);
  EXPECT_LT(Measure(h, open->Command()).itemWidth, longOne.itemWidth);
  // A separator is a thin line.
  EXPECT_LT(Measure(h, line->Command()).itemHeight, shortOne.itemHeight);
  // The handler sees the measured size and may change it.
  TDrawRecorder d;
  open->OnMeasureItem = MakeEvent<&TDrawRecorder::OnMeasure>(&d);
  MEASUREITEMSTRUCT handled = Measure(h, open->Command());
  EXPECT_EQ(d.Measured, 1);
  EXPECT_EQ(d.Sender, open);
  EXPECT_EQ(static_cast<int>(handled.itemWidth), d.SeenWidth + 100);
  EXPECT_EQ(handled.itemHeight, 40u);
  // No item of the menu has the command (or it is the root): not handled.
  Measure(h, 0xFFF0, &r);
  EXPECT_EQ(r, 0);
  Measure(h, menu->Items()->Command(), &r);
  EXPECT_EQ(r, 0);
}

TEST_F(MenusTest, DrawItemGoesToTheHandlersOfAnOwnerDrawnMenu) {
  HWND h = form->Handle();
  TDrawRecorder d;
  open->OnAdvancedDrawItem = MakeEvent<&TDrawRecorder::OnAdvanced>(&d);
  file->OnAdvancedDrawItem = MakeEvent<&TDrawRecorder::OnAdvanced>(&d);
  quit->OnDrawItem = MakeEvent<&TDrawRecorder::OnPlain>(&d);
  TDib dib(300, 30);
  RECT rect{0, 0, 300, 30};
  // Not owner-drawn: the handlers are not asked, the item is drawn as usual.
  EXPECT_EQ(Draw(h, open->Command(), dib.DC(), rect, ODS_SELECTED), TRUE);
  EXPECT_EQ(d.Advanced, 0);
  menu->SetOwnerDraw(true);
  Draw(h, open->Command(), dib.DC(), RECT{5, 2, 250, 25}, ODS_SELECTED | ODS_CHECKED | ODS_NOACCEL);
  EXPECT_EQ(d.Advanced, 1);
  EXPECT_EQ(d.Sender, open);
  EXPECT_EQ(d.Rect, TRect(5, 2, 250, 25));
  EXPECT_EQ(d.State, odSelected | odChecked | odNoAccel);
  EXPECT_FALSE(d.TopLevel);
  EXPECT_EQ(dib.At(10, 10), RGB(255, 0, 0)) << "the handler drew on the message's device context";
  Draw(h, file->Command(), dib.DC(), rect, 0);
  EXPECT_EQ(d.Advanced, 2);
  EXPECT_TRUE(d.TopLevel) << "an item of the menu bar";
  Draw(h, quit->Command(), dib.DC(), rect, ODS_SELECTED);
  EXPECT_EQ(d.Plain, 1);
  EXPECT_TRUE(d.Selected);
  // Not an item of this menu, or not a menu's item: passed on.
  EXPECT_EQ(Draw(h, 0xFFF0, dib.DC(), rect, 0), 0);
  DRAWITEMSTRUCT button{};
  button.CtlType = ODT_BUTTON;
  button.hDC = dib.DC();
  button.itemID = open->Command();
  EXPECT_EQ(SendMessageA(h, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&button)), 0);
  EXPECT_EQ(d.Advanced, 2);
}

TEST_F(MenusTest, AFailingDrawHandlerReachesTheApplicationAndTheContextComesBackWhole) {
  menu->SetOwnerDraw(true);
  TDrawRecorder d;
  open->OnAdvancedDrawItem = MakeEvent<&TDrawRecorder::Throw>(&d);
  TDib dib(100, 20);
  HGDIOBJ font = GetCurrentObject(dib.DC(), OBJ_FONT);
  HGDIOBJ brush = GetCurrentObject(dib.DC(), OBJ_BRUSH);
  Draw(form->Handle(), open->Command(), dib.DC(), RECT{0, 0, 100, 20}, 0);
  EXPECT_EQ(TakeExceptions(), std::vector<std::string>{"draw handler failed"});
  EXPECT_EQ(GetCurrentObject(dib.DC(), OBJ_FONT), font);
  EXPECT_EQ(GetCurrentObject(dib.DC(), OBJ_BRUSH), brush);
}

TEST_F(MenusTest, DefaultDrawingShowsStatesGlyphsAndShortcutText) {
  menu->SetOwnerDraw(true);
  HWND h = form->Handle();
  const int W = 300, H = 24;
  RECT all{0, 0, W, H};
  // Selected: the highlight colour behind the text.
  {
    TDib dib(W, H);
    Draw(h, open->Command(), dib.DC(), all, ODS_SELECTED);
    EXPECT_EQ(dib.At(1, 1), Sys(COLOR_HIGHLIGHT));
    EXPECT_EQ(dib.At(W - 2, H - 2), Sys(COLOR_HIGHLIGHT));
    EXPECT_GT(dib.Count(Sys(COLOR_HIGHLIGHT), RECT{20, 0, 120, H}, true), 0) << "the caption";
  }
  // Unselected: the menu colour; the caption after the glyph column, the
  // shortcut text at the right end, nothing in between.
  TDib plain(W, H);
  Draw(h, open->Command(), plain.DC(), all, 0);
  COLORREF back = Sys(COLOR_MENU);
  EXPECT_EQ(plain.At(1, 1), back);
  EXPECT_EQ(plain.Count(back, RECT{0, 0, 16, H}, true), 0) << "no glyph, no check mark";
  EXPECT_GT(plain.Count(back, RECT{20, 0, 80, H}, true), 0);
  EXPECT_EQ(plain.Count(back, RECT{120, 0, 180, H}, true), 0);
  EXPECT_GT(plain.Count(back, RECT{W - 90, 0, W - 10, H}, true), 0) << "the shortcut text";
  EXPECT_EQ(plain.Count(back, RECT{W - 9, 0, W, H}, true), 0) << "a margin after it";
  // Checked: a mark in the glyph column.
  open->SetChecked(true);
  {
    TDib dib(W, H);
    Draw(h, open->Command(), dib.DC(), all, ODS_CHECKED);
    EXPECT_GT(dib.Count(back, RECT{0, 0, 18, H}, true), 0);
  }
  // A glyph from the menu's image list: red pixels in the column.
  auto* images = new TImageList(form);
  TBitmap red;
  red.SetSize(16, 16);
  red.Canvas()->Brush()->SetColor(clRed);
  red.Canvas()->FillRect(TRect(0, 0, 16, 16));
  ASSERT_EQ(images->Add(&red, nullptr), 0);
  menu->SetImages(images);
  open->SetImageIndex(0);
  {
    TDib dib(W, H);
    Draw(h, open->Command(), dib.DC(), all, 0);
    EXPECT_GT(dib.Count(RGB(255, 0, 0), RECT{0, 0, 24, H}), 100);
  }
  // Disabled: embossed in the shadow colour.
  open->SetEnabled(false);
  open->SetImageIndex(-1);
  if (Sys(COLOR_BTNSHADOW) != back) {
    TDib dib(W, H);
    Draw(h, open->Command(), dib.DC(), all, ODS_DISABLED | ODS_GRAYED);
    EXPECT_GT(dib.Count(Sys(COLOR_BTNSHADOW), RECT{20, 0, 120, H}), 0);
  }
}

TEST_F(MenusTest, APopupMenuIsMeasuredAndDrawnThroughThePopupListWindow) {
  auto* popup = new TPopupMenu(form);
  auto* first = NewItem(form, "pupFirst", "First");
  popup->Items()->Add(first);
  popup->SetOwnerDraw(true);
  TDrawRecorder d;
  first->OnMeasureItem = MakeEvent<&TDrawRecorder::OnMeasure>(&d);
  first->OnAdvancedDrawItem = MakeEvent<&TDrawRecorder::OnAdvanced>(&d);
  MEASUREITEMSTRUCT mis = Measure(PopupList->Window(), first->Command());
  EXPECT_EQ(d.Measured, 1);
  EXPECT_EQ(mis.itemHeight, 40u);
  TDib dib(100, 20);
  EXPECT_EQ(Draw(PopupList->Window(), first->Command(), dib.DC(), RECT{0, 0, 100, 20}, 0), TRUE);
  EXPECT_EQ(d.Advanced, 1);
  EXPECT_FALSE(d.TopLevel);
  // The system asks the same when the pop-up really opens.
  form->Show();
  Pump(10);
  {
    EndMenuWhen end([&] { return d.Measured >= 2 && d.Advanced >= 2; }, "the open pop-up's item measured and drawn");
    popup->Popup(100, 100);
    EXPECT_TRUE(end.Result());
  }
  Pump(10);
  EXPECT_GE(d.Measured, 2);
  EXPECT_GE(d.Advanced, 2);
  delete popup;
}

namespace {

// The captions of a native menu's items, in order.
std::vector<std::string> NativeTexts(HMENU menu) {
  std::vector<std::string> out;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    char buf[128] = {};
    GetMenuStringA(menu, static_cast<UINT>(i), buf, sizeof buf, MF_BYPOSITION);
    out.push_back(buf);
  }
  return out;
}

// A top-level item with one sub-item, in a group.
TMenuItem* TopItem(TMainMenu* menu, const char* caption, int group, const char* sub) {
  auto* item = NewItem(menu, (std::string("top") + caption).c_str(), caption);
  item->SetGroupIndex(group);
  item->Add(NewItem(menu, sub, sub));
  menu->Items()->Add(item);
  return item;
}

}  // namespace

TEST_F(MenusTest, MergedItemsTakeTheirGroupsPlaceInTheBar) {
  // The form's bar: File (group 0), then Window (5) and Help (9).
  TopItem(menu, "Window", 5, "Tile");
  TopItem(menu, "Help", 9, "About");
  auto* other = new TMainMenu(form);
  TopItem(other, "Edit", 1, "Copy");
  TopItem(other, "Tools", 5, "Options");  // replaces Window
  TopItem(other, "Last", 12, "Bye");
  form->HandleNeeded();
  HMENU bar = GetMenu(form->WindowHandle());
  ASSERT_EQ(bar, menu->Handle());
  EXPECT_EQ(NativeTexts(bar), (std::vector<std::string>{"&File", "Window", "Help"}));

  menu->Merge(other);
  EXPECT_EQ(menu->Items()->Merged(), other->Items());
  EXPECT_EQ(other->Items()->MergedWith(), menu->Items());
  EXPECT_EQ(NativeTexts(bar), (std::vector<std::string>{"&File", "Edit", "Tools", "Help", "Last"}));
  // A merged item runs from the bar it is shown in.
  TMenuItem* copy = other->Items()->Items(0)->Items(0);
  copy->OnClick = MakeEvent<&TClickRecorder::Click>(&rec);
  SendMessageA(form->WindowHandle(), WM_COMMAND, copy->Command(), 0);
  EXPECT_EQ(Clicks, std::vector<std::string>{"Copy"});
  // A change to a merged item shows in the bar.
  other->Items()->Items(0)->SetCaption("Edit2");
  EXPECT_EQ(NativeTexts(bar)[1], "Edit2");

  menu->Unmerge(other);
  EXPECT_EQ(menu->Items()->Merged(), nullptr);
  EXPECT_EQ(NativeTexts(bar), (std::vector<std::string>{"&File", "Window", "Help"}));
  // The other menu's own bar has its items back.
  EXPECT_EQ(NativeTexts(other->Handle()), (std::vector<std::string>{"Edit2", "Tools", "Last"}));

  // A merged menu that goes takes its items out of the bar first.
  menu->Merge(other);
  delete other;
  EXPECT_EQ(menu->Items()->Merged(), nullptr);
  EXPECT_EQ(NativeTexts(bar), (std::vector<std::string>{"&File", "Window", "Help"}));
}

TEST_F(MenusTest, AnAutoMergeFormShowsItsMenuInTheMainFormsBar) {
  TForm* main = nullptr;
  Application->CreateForm(&main);
  auto* mainMenu = new TMainMenu(main);
  TopItem(mainMenu, "Main", 0, "x");
  main->SetMenu(mainMenu);
  main->HandleNeeded();
  menu->SetAutoMerge(true);
  for (TMenuItem* i : {file}) i->SetGroupIndex(3);
  form->Show();
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(form->WindowHandle()) && GetMenuItemCount(mainMenu->Handle()) == 2; },
                      "the shown form's items merged into the main menu"));
  EXPECT_EQ(GetMenu(form->WindowHandle()), nullptr) << "no bar of its own";
  EXPECT_EQ(NativeTexts(mainMenu->Handle()), (std::vector<std::string>{"Main", "&File"}));
  form->Hide();
  EXPECT_EQ(NativeTexts(mainMenu->Handle()), (std::vector<std::string>{"Main"}));
  form->Show();
  delete form;
  form = nullptr;
  EXPECT_EQ(NativeTexts(mainMenu->Handle()), (std::vector<std::string>{"Main"}));
  delete main;
}
