// Combo boxes and list boxes with wide items on real windows: items outside
// the code page, type-ahead with its time-out (the tick source is the
// test's), completion only at the end of the text, a new window keeping
// items, choice and text, the virtual list box's wide texts, and the ANSI road.
#include "ControlsTestUtil.h"

#include "UcStdCtrlsLists.h"
#include "comboex.h"
#include "layout.h"

#include "UcMask.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using UcStdCtrlsLists = UcGuiTest;

// Greek and Cyrillic items; "Αβγ" and "Αλφα" share their first letter, and so
// do "Берёза" and "Бета".
const wchar_t* const kItems[] = {L"\u0391\u03B2\u03B3", L"\u0391\u03BB\u03C6\u03B1", L"Beta",
                                 L"\u0411\u0435\u0440\u0451\u0437\u0430", L"\u0411\u0435\u0442\u0430"};

DWORD TestTicks = 0;
DWORD TestTickCount() { return TestTicks; }

// The tick source of the type-ahead, the test's while the object lives.
class TTickSwitch {
public:
  TTickSwitch() : FOld(ComboTickCount) { ComboTickCount = &TestTickCount; }
  ~TTickSwitch() { ComboTickCount = FOld; }

private:
  DWORD (*FOld)();
};

template <class T> void FillItems(T* control) {
  for (const wchar_t* item : kItems) control->Items()->Add(item);
}

struct TComboEvents {
  int Selects = 0;
  std::vector<char> Keys;
  void Select(TObject*) { ++Selects; }
  void KeyPress(TObject*, char& key) { Keys.push_back(key); }
};

// Types one character into a window the way the keyboard does (WM_CHAR of a
// Unicode window) at a given time.
void TypeAt(HWND wnd, wchar_t c, DWORD time) {
  TestTicks = time;
  SendMessageW(wnd, WM_CHAR, c, 1);
}

}  // namespace

TEST_F(UcStdCtrlsLists, ComboItemsOutsideTheCodePageRoundTrip) {
  auto* combo = PlaceOn<TUcComboBox>(Form, 10, 10, 200, 24);
  FillItems(combo);
  combo->Items()->Insert(0, kCjkText);
  ASSERT_TRUE(IsWindowUnicode(combo->Handle()));
  ASSERT_NE(combo->EditHandle(), nullptr);
  EXPECT_TRUE(IsWindowUnicode(combo->EditHandle()));
  ASSERT_EQ(combo->Items()->GetCount(), 6);
  EXPECT_EQ(combo->Items()->Get(0).str(), kCjkText);
  EXPECT_EQ(combo->Items()->Get(2).str(), kItems[1]);
  EXPECT_EQ(combo->Items()->IndexOf(L"\u0431\u0415\u0422\u0410"), 5);  // whole item, any case
  EXPECT_EQ(combo->Items()->IndexOf(L"\u0411\u0435"), -1);
  // An index outside the list reads as empty (the list box raises instead).
  EXPECT_EQ(combo->Items()->Get(-1).str(), L"");
  EXPECT_EQ(combo->Items()->Get(6).str(), L"");
  combo->SetText(kMixedText);
  EXPECT_EQ(WindowTextW(combo->EditHandle()), kMixedText);
  combo->Items()->Clear();
  EXPECT_EQ(combo->Items()->GetCount(), 0);
  EXPECT_EQ(combo->Text().str(), kMixedText);
}

TEST_F(UcStdCtrlsLists, ANewWindowKeepsItemsChoiceAndText) {
  const TComboBoxStyle styles[] = {csDropDown, csSimple, csDropDownList};
  for (TComboBoxStyle style : styles) {
    SCOPED_TRACE(static_cast<int>(style));
    auto* combo = PlaceOn<TUcComboBox>(Form, 10, 10, 200, style == csSimple ? 120 : 24);
    combo->SetStyle(style);
    FillItems(combo);
    combo->SetItemIndex(3);
    if (style != csDropDownList) combo->SetText(kMixedText);
    WideString text = combo->Text();
    combo->RecreateWnd();
    ASSERT_TRUE(combo->HandleAllocated());
    ASSERT_EQ(combo->Items()->GetCount(), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(combo->Items()->Get(i).str(), kItems[i]);
    EXPECT_EQ(combo->ItemIndex(), 3);
    EXPECT_EQ(combo->Text().str(), text.str());
    if (combo->EditHandle()) {
      EXPECT_TRUE(IsWindowUnicode(combo->EditHandle()));
    }
    delete combo;
  }
}

TEST_F(UcStdCtrlsLists, TypeAheadFollowsTheKeysWithinTheTimeOut) {
  struct TCase {
    const char* Name;
    std::vector<std::pair<wchar_t, DWORD>> Keys;
    int Expected;
  };
  const TCase cases[] = {
      {"one letter", {{L'\u0391', 0}}, 0},
      {"two letters in time", {{L'\u0391', 0}, {L'\u03BB', 100}}, 1},
      {"last moment still counts", {{L'\u0391', 0}, {L'\u03BB', 1249}}, 1},
      {"a pause starts anew", {{L'\u0391', 0}, {L'\u03BB', 1250}}, 0},
      {"a pause then a new word", {{L'\u0411', 0}, {L'b', 2000}}, 2},
      {"three letters", {{L'\u0411', 0}, {L'\u0435', 10}, {L'\u0442', 20}}, 4},
      {"backspace takes one back", {{L'\u0411', 0}, {L'\u0435', 10}, {L'\u0442', 20}, {8, 30}, {L'\u0440', 40}}, 3},
      {"case does not matter", {{L'B', 0}, {L'E', 5}}, 2},
  };
  TTickSwitch ticks;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    auto* combo = PlaceOn<TUcComboBox>(Form, 10, 10, 200, 24);
    combo->SetStyle(csDropDownList);
    FillItems(combo);
    TComboEvents ev;
    combo->OnSelect = MakeEvent<&TComboEvents::Select>(&ev);
    for (auto [key, time] : c.Keys) TypeAt(combo->Handle(), key, time + 100000);
    EXPECT_EQ(combo->ItemIndex(), c.Expected);
    EXPECT_EQ(combo->Text().str(), kItems[c.Expected]);
    EXPECT_GE(ev.Selects, 1);
    delete combo;
  }
}

TEST_F(UcStdCtrlsLists, AKeyWithoutMatchGoesOnToTheWindow) {
  TTickSwitch ticks;
  auto* combo = PlaceOn<TUcComboBox>(Form, 10, 10, 200, 24);
  combo->SetStyle(csDropDownList);
  FillItems(combo);
  TComboEvents ev;
  combo->OnKeyPress = MakeEvent<&TComboEvents::KeyPress>(&ev);
  TypeAt(combo->Handle(), L'\u0411', 0);  // chosen: swallowed
  EXPECT_TRUE(ev.Keys.empty());
  TypeAt(combo->Handle(), L'z', 10);  // "Бz" fits nothing
  ASSERT_EQ(ev.Keys.size(), 1u);
  EXPECT_EQ(ev.Keys[0], 'z');
  EXPECT_EQ(combo->ItemIndex(), 3);
}

TEST_F(UcStdCtrlsLists, CompletionOnlyAtTheEndOfTheText) {
  auto* combo = PlaceOn<TUcComboBox>(Form, 10, 10, 200, 24);
  FillItems(combo);
  HWND edit = combo->EditHandle();
  ASSERT_NE(edit, nullptr);
  // At the end: "Бет" completes to "Бета" with "а" selected.
  combo->SetText(L"\u0411\u0435");
  combo->SetSelStart(2);
  SendMessageW(edit, WM_CHAR, L'\u0442', 1);
  EXPECT_EQ(combo->Text().str(), kItems[4]);
  EXPECT_EQ(combo->SelStart(), 3);
  EXPECT_EQ(combo->SelLength(), 1);
  EXPECT_EQ(combo->ItemIndex(), 4);
  // Typed case is kept: "bet" gives "beta", not "Beta".
  combo->SetText(L"be");
  combo->SetSelStart(2);
  SendMessageW(edit, WM_CHAR, L't', 1);
  EXPECT_EQ(combo->Text().str(), L"beta");
  EXPECT_EQ(combo->SelText().str(), L"a");
  EXPECT_EQ(combo->ItemIndex(), 2);
  // In the middle of the text: the edit just takes the character.
  combo->SetText(L"\u0411\u0435");
  combo->SetSelStart(1);
  SendMessageW(edit, WM_CHAR, L'\u0442', 1);
  EXPECT_EQ(combo->Text().str(), L"\u0411\u0442\u0435");
  // No item: the character goes in as typed.
  combo->SetText(L"");
  SendMessageW(edit, WM_CHAR, L'\u4E2D', 1);
  EXPECT_EQ(combo->Text().str(), L"\u4E2D");
}

TEST_F(UcStdCtrlsLists, UniqueSearchAndAFindOfTheComboBoxOwn) {
  auto* combo = PlaceOn<TUcComboBox>(Form, 10, 10, 200, 24);
  FillItems(combo);
  const std::pair<const wchar_t*, int> cases[] = {
      {L"\u0411", -1}, {L"\u0411\u0435\u0442", 4}, {L"\u0391\u03BB", 1}, {L"x", -1}, {L"beta", 2}};
  for (auto [text, expected] : cases) EXPECT_EQ(combo->FindUniqueString(text), expected) << Narrowed(text);
  // Completion belongs to the edit styles.
  combo->SetStyle(csDropDownList);
  TMessage m{};
  m.Msg = WM_CHAR;
  m.WParam = 'a';
  EXPECT_THROW(combo->DoEditCharMsg(m), EUcInternalError);
}

TEST_F(UcStdCtrlsLists, SelectionChangeShowsTheWideItem) {
  auto* combo = PlaceOn<TUcComboBox>(Form, 10, 10, 200, 24);
  combo->SetStyle(csDropDownList);
  FillItems(combo);
  TComboEvents ev;
  combo->OnSelect = MakeEvent<&TComboEvents::Select>(&ev);
  combo->SetItemIndex(0);
  SendMessageW(combo->Handle(), WM_KEYDOWN, VK_DOWN, 1);
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_EQ(combo->Text().str(), kItems[1]);
  EXPECT_EQ(ev.Selects, 1);
}

TEST_F(UcStdCtrlsLists, TheAnsiComboBoxRoad) {
  TPlatformSwitch ansi(false);
  auto* combo = PlaceOn<TUcComboBox>(Form, 10, 10, 200, 24);
  combo->Items()->Add(kCyrillicText);
  combo->Items()->Add(kCjkText);
  ASSERT_FALSE(IsWindowUnicode(combo->Handle()));
  EXPECT_EQ(combo->Items()->Get(0).str(), kCyrillicText);
  EXPECT_EQ(combo->Items()->Get(1).str(), Narrowed(kCjkText));
  EXPECT_EQ(combo->Items()->IndexOf(kCyrillicText), 0);
  combo->SetText(L"\u0416\u0451\u043B\u0442");
  combo->SetSelStart(1);
  combo->SetSelLength(2);
  EXPECT_EQ(combo->SelText().str(), L"\u0451\u043B");
  combo->RecreateWnd();
  EXPECT_EQ(combo->Items()->GetCount(), 2);
  EXPECT_EQ(combo->Text().str(), L"\u0416\u0451\u043B\u0442");
}

TEST_F(UcStdCtrlsLists, ListBoxItemsKeepDataAndChoiceWhenMoved) {
  auto* list = PlaceOn<TUcListBox>(Form, 10, 10, 200, 120);
  TObject a, b, c;
  list->AddItem(kItems[0], &a);
  list->AddItem(kItems[1], &b);
  list->AddItem(kCjkText, &c);
  ASSERT_TRUE(IsWindowUnicode(list->Handle()));
  EXPECT_EQ(list->Items()->Get(2).str(), kCjkText);
  EXPECT_THROW(list->Items()->Get(3), EStringListError);
  EXPECT_THROW(list->Items()->Get(-1), EStringListError);
  list->SetItemIndex(1);
  list->Items()->Put(1, kItems[4]);
  EXPECT_EQ(list->Items()->Get(1).str(), kItems[4]);
  EXPECT_EQ(list->Items()->GetObject(1), &b);
  EXPECT_EQ(list->ItemIndex(), 1);
  list->Items()->Exchange(1, 2);
  EXPECT_EQ(list->Items()->Get(1).str(), kCjkText);
  EXPECT_EQ(list->Items()->GetObject(1), &c);
  EXPECT_EQ(list->Items()->GetObject(2), &b);
  EXPECT_EQ(list->ItemIndex(), 2);  // follows its item
  list->Items()->Move(0, 2);
  EXPECT_EQ(list->Items()->Get(2).str(), kItems[0]);
  EXPECT_EQ(list->Items()->GetObject(2), &a);
  EXPECT_EQ(list->Items()->IndexOf(kItems[0]), 2);
  EXPECT_FALSE(list->Moving());
}

TEST_F(UcStdCtrlsLists, ListBoxNewWindowKeepsItemsTopAndChoice) {
  auto* list = PlaceOn<TUcListBox>(Form, 10, 10, 200, 60);
  for (int i = 0; i < 30; ++i) list->Items()->Add(WideString(kCjkText) + WideString(L'0' + i % 10));
  list->SetTopIndex(12);
  list->SetItemIndex(14);
  list->RecreateWnd();
  ASSERT_EQ(list->Items()->GetCount(), 30);
  EXPECT_EQ(list->Items()->Get(29).str(), std::wstring(kCjkText) + L"9");
  EXPECT_EQ(list->TopIndex(), 12);
  EXPECT_EQ(list->ItemIndex(), 14);
}

TEST_F(UcStdCtrlsLists, VirtualListBoxTextsComeFromOnData) {
  struct TData {
    int Asked = 0;
    void Wide(TWinControl*, int index, WideString& data) {
      ++Asked;
      data = WideString(kCjkText) + WideString(static_cast<wchar_t>(L'0' + index));
    }
    void Ansi(TWinControl*, int index, AnsiString& data) { data = AnsiString("\xC0") + AnsiString(char('0' + index)); }
  } d;
  auto* list = PlaceOn<TUcListBox>(Form, 10, 10, 200, 100);
  list->SetStyle(lbVirtual);
  list->SetCount(5);
  HWND h = list->Handle();
  // No handler: no text.
  EXPECT_EQ(SendMessageW(h, LB_GETTEXTLEN, 0, 0), LB_ERR);
  list->OnData = MakeEvent<&TData::Ansi>(&d);
  EXPECT_EQ(list->Items()->Get(3).str(), L"\u04103");
  list->OnWideData = MakeEvent<&TData::Wide>(&d);
  EXPECT_EQ(list->Items()->Get(2).str(), std::wstring(kCjkText) + L"2");
  wchar_t buffer[16] = {};
  EXPECT_EQ(SendMessageW(h, LB_GETTEXT, 4, reinterpret_cast<LPARAM>(buffer)), 3);
  EXPECT_EQ(std::wstring(buffer), std::wstring(kCjkText) + L"4");
  EXPECT_EQ(list->Items()->GetCount(), 5);
  {
    TPlatformSwitch ansi(false);
    char narrow[16] = {};
    EXPECT_EQ(SendMessageW(h, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(narrow)), 3);
    EXPECT_EQ(std::string(narrow), "??1");
  }
}

namespace {

// A combo box whose search finds the text anywhere in an item.
class TContainsComboBox : public TUcComboBox, public IUcComboFindString {
  CL_CLASS(TContainsComboBox, TUcComboBox)
public:
  explicit TContainsComboBox(TComponent* owner) : TUcComboBox(owner) {}
  int FindString(const WideString& text, int startIndex) override {
    int count = Items()->GetCount();
    for (int n = 1; n <= count; ++n) {
      int i = (startIndex + n) % count;
      if (Items()->Get(i).Pos(text) > 0) return i;
    }
    return -1;
  }
  bool GetInterface(const GUID& iid, void** obj) override {
    if (IsEqualGUID(iid, IID_IUcComboFindString)) {
      if (obj) *obj = static_cast<IUcComboFindString*>(this);
      return true;
    }
    return TUcComboBox::GetInterface(iid, obj);
  }
};
CL_DEFINE_COMPONENT(TContainsComboBox, TUcComboBox)

}  // namespace

TEST_F(UcStdCtrlsLists, TheComboBoxOwnSearchReplacesTheWindows) {
  TTickSwitch ticks;
  auto* combo = PlaceOn<TContainsComboBox>(Form, 10, 10, 200, 24);
  combo->SetStyle(csDropDownList);
  FillItems(combo);
  EXPECT_EQ(combo->TUcCustomComboBox::FindString(-1, L"\u03C6"), 1);
  EXPECT_EQ(combo->FindUniqueString(L"\u0435"), -1);  // in "Берёза" and "Бета"
  EXPECT_EQ(combo->FindUniqueString(L"\u0451"), 3);
  TypeAt(combo->Handle(), L'\u0451', 0);
  EXPECT_EQ(combo->ItemIndex(), 3);
}

TEST_F(UcStdCtrlsLists, TheAnsiListBoxRoad) {
  TPlatformSwitch ansi(false);
  auto* list = PlaceOn<TUcListBox>(Form, 10, 10, 200, 100);
  list->Items()->Add(kCyrillicText);
  list->Items()->Add(kCjkText);
  ASSERT_FALSE(IsWindowUnicode(list->Handle()));
  EXPECT_EQ(list->Items()->Get(0).str(), kCyrillicText);
  EXPECT_EQ(list->Items()->Get(1).str(), Narrowed(kCjkText));
  EXPECT_EQ(list->Items()->IndexOf(kCyrillicText), 0);
  EXPECT_THROW(list->Items()->Get(2), EStringListError);
  list->SetItemIndex(1);
  list->RecreateWnd();
  EXPECT_EQ(list->Items()->Get(0).str(), kCyrillicText);
  EXPECT_EQ(list->ItemIndex(), 1);
}

TEST_F(UcStdCtrlsLists, TheExtendedComboBoxGetsItsWideLink) {
  auto* combo = PlaceOn<TComboBoxEx>(Form, 10, 10, 200, 24);
  EXPECT_EQ(UcControl_GetActionLinkClass(combo, &TComboBoxExActionLink::Class), &TUcComboBoxExActionLink::Class);
  EXPECT_THROW(UcControl_GetActionLinkClass(combo, &TWinControlActionLink::Class), EUcInternalError);
  TBasicActionLink* link = CreateActionLink(&TUcComboBoxExActionLink::Class, combo);
  EXPECT_EQ(link->ClassType(), &TUcComboBoxExActionLink::Class);
  delete link;
}

TEST_F(UcStdCtrlsLists, OwnerDrawnListBoxDrawsWideItems) {
  struct TDraw {
    std::vector<int> Indexes;
    void Draw(TWinControl*, int index, TRect, TOwnerDrawState) { Indexes.push_back(index); }
  } d;
  auto* list = PlaceOn<TUcListBox>(Form, 10, 10, 200, 100);
  list->SetStyle(lbOwnerDrawFixed);
  list->SetItemHeight(20);
  list->Items()->Add(kCjkText);
  list->Items()->Add(L"");
  list->Items()->Add(kMixedText);
  list->Update();
  // The list's own drawing: text in the first item, none in the empty one.
  TCapturedImage image = CaptureClient(list->Handle());
  TRect first = list->ItemRect(0), second = list->ItemRect(1);
  COLORREF text = ColorToRGB(clWindowText);
  EXPECT_GT(image.Count(text, first), 0);
  EXPECT_EQ(image.Count(text, second), 0);
  // With a handler, the handler draws every item.
  list->OnDrawItem = MakeEvent<&TDraw::Draw>(&d);
  list->Invalidate();
  list->Update();
  EXPECT_EQ(d.Indexes, (std::vector<int>{0, 1, 2}));
  // No item (-1, what the system gives for the focus frame of an empty list)
  // or past the end: the list's own drawing only fills.
  list->OnDrawItem = nullptr;
  EXPECT_NO_THROW(list->DrawItem(-1, TRect(0, 0, 20, 20), odFocused));
  EXPECT_NO_THROW(list->DrawItem(3, TRect(0, 0, 20, 20), 0));
}

TEST_F(UcStdCtrlsLists, TheListOpensOnTheFirstKeyAndClosesOnEnter) {
  TTickSwitch ticks;
  auto* combo = PlaceOn<TUcComboBox>(Form, 10, 10, 200, 24);
  combo->SetStyle(csDropDownList);
  combo->SetAutoDropDown(true);
  FillItems(combo);
  combo->SetFocus();
  TypeAt(combo->Handle(), L'B', 0);
  EXPECT_TRUE(combo->DroppedDown());
  EXPECT_EQ(combo->ItemIndex(), 2);
  TypeAt(combo->Handle(), L'\t', 10);
  EXPECT_FALSE(combo->DroppedDown());
  // The edit styles: Enter only closes an open list.
  auto* edit = PlaceOn<TUcComboBox>(Form, 10, 50, 200, 24);
  edit->SetAutoDropDown(true);
  FillItems(edit);
  edit->SetFocus();
  SendMessageW(edit->EditHandle(), WM_CHAR, L'\u0391', 1);
  EXPECT_TRUE(edit->DroppedDown());
  EXPECT_EQ(edit->Text().str(), kItems[0]);
  SendMessageW(edit->EditHandle(), WM_CHAR, L'\r', 1);
  EXPECT_FALSE(edit->DroppedDown());
  EXPECT_EQ(edit->Text().str(), kItems[0]);
}

TEST_F(UcStdCtrlsLists, SelectionOfTheEditFieldInWideCharacters) {
  auto* combo = PlaceOn<TUcComboBox>(Form, 10, 10, 200, 24);
  combo->SetText(kMixedText);
  combo->SetSelStart(7);
  combo->SetSelLength(6);
  EXPECT_EQ(combo->SelText().str(), L"\u0395\u03BB\u03BB\u03AC\u03B4\u03B1");
  combo->SetSelText(kCjkText);
  EXPECT_EQ(combo->Text().str(), L"\u0416\u0451\u043B\u0442\u044B\u0439 \u4E2D\u6587 \u65E5\u672C\u8A9E");
  // A pick-only combo box has no selected text.
  combo->SetStyle(csDropDownList);
  FillItems(combo);
  combo->SetItemIndex(1);
  EXPECT_EQ(combo->SelText().str(), L"");
}

TEST_F(UcStdCtrlsLists, CopiedSelectionsKeepTextAndObject) {
  auto* combo = PlaceOn<TUcComboBox>(Form, 10, 10, 200, 24);
  auto* list = PlaceOn<TUcListBox>(Form, 10, 50, 200, 100);
  auto* target = PlaceOn<TUcListBox>(Form, 220, 50, 150, 100);
  auto* ansiTarget = PlaceOn<TListBox>(Form, 220, 160, 150, 100);
  TObject a, b;
  combo->AddItem(kCjkText, &a);
  combo->SetItemIndex(0);
  combo->CopySelection(target);
  list->SetMultiSelect(true);
  list->AddItem(WideString(L"\u0416\0tail", 6), &a);  // cut at the zero
  list->AddItem(kMixedText, &b);
  list->AddItem(L"not chosen", nullptr);
  list->SetSelected(0, true);
  list->SetSelected(1, true);
  list->CopySelection(target);
  list->CopySelection(ansiTarget);
  ASSERT_EQ(target->Items()->GetCount(), 3);
  EXPECT_EQ(target->Items()->Get(0).str(), kCjkText);
  EXPECT_EQ(target->Items()->GetObject(0), &a);
  EXPECT_EQ(target->Items()->Get(1).str(), L"\u0416");
  EXPECT_EQ(target->Items()->Get(2).str(), kMixedText);
  EXPECT_EQ(target->Items()->GetObject(2), &b);
  ASSERT_EQ(ansiTarget->Items()->GetCount(), 2);
  EXPECT_EQ(ansiTarget->Items()->Get(1), WideToAnsi(kMixedText));
}

TEST_F(UcStdCtrlsLists, AnsiTypeAheadTakesTheCodePage) {
  TPlatformSwitch ansi(false);
  TTickSwitch ticks;
  auto* combo = PlaceOn<TUcComboBox>(Form, 10, 10, 200, 24);
  combo->SetStyle(csDropDownList);
  FillItems(combo);
  TypeAt(combo->Handle(), 0, 0);
  TestTicks = 10;
  SendMessageA(combo->Handle(), WM_CHAR, 0xC1, 1);  // Б
  SendMessageA(combo->Handle(), WM_CHAR, 0xE5, 1);  // е
  SendMessageA(combo->Handle(), WM_CHAR, 0xF2, 1);  // т
  EXPECT_EQ(combo->ItemIndex(), 4);
  EXPECT_EQ(combo->Text().str(), kItems[4]);
}

TEST_F(UcStdCtrlsLists, ItemsSetBeforeThereIsAParent) {
  auto* combo = new TUcComboBox(Form);
  auto* list = new TUcListBox(Form);
  FillItems(combo);
  FillItems(list);
  combo->SetItemIndex(4);
  list->SetItemIndex(1);
  EXPECT_EQ(combo->Items()->GetCount(), 5);
  EXPECT_EQ(combo->Items()->IndexOf(kItems[3]), 3);
  EXPECT_EQ(list->Items()->Get(1).str(), kItems[1]);
  EXPECT_FALSE(combo->HandleAllocated());
  combo->SetParent(Form);
  list->SetParent(Form);
  ASSERT_EQ(combo->Items()->GetCount(), 5);
  EXPECT_EQ(combo->Items()->Get(4).str(), kItems[4]);
  EXPECT_EQ(combo->ItemIndex(), 4);
  EXPECT_EQ(list->Items()->GetCount(), 5);
  EXPECT_EQ(list->ItemIndex(), 1);
  // Taken off the form and put back: the same again.
  list->SetParent(nullptr);
  EXPECT_EQ(list->Items()->Get(3).str(), kItems[3]);
  list->Items()->Delete(0);
  list->SetParent(Form);
  EXPECT_EQ(list->Items()->GetCount(), 4);
  EXPECT_EQ(list->Items()->Get(0).str(), kItems[1]);
}

TEST_F(UcStdCtrlsLists, ReadFromALayout) {
  auto* root = new TForm(Form);
  ReadComponentText(
      "object F: TForm\n"
      "  object cb: TUcComboBox\n"
      "    Style = csDropDownList\n"
      "    Items.Strings = (\n"
      "      'Дом'\n"
      "      'Зима')\n"
      "    Hint = 'Выбор 选择'\n"
      "  end\n"
      "  object lb: TUcListBox\n"
      "    MultiSelect = True\n"
      "    Items.Strings = (\n"
      "      'один')\n"
      "  end\n"
      "  object me: TUcMaskEdit\n"
      "    EditMask = '>LL-00;1;_'\n"
      "    Text = 'жω-12'\n"
      "  end\n"
      "end\n",
      root);
  auto* cb = static_cast<TUcComboBox*>(root->FindComponent("cb"));
  auto* lb = static_cast<TUcListBox*>(root->FindComponent("lb"));
  auto* me = static_cast<TUcMaskEdit*>(root->FindComponent("me"));
  ASSERT_TRUE(cb && lb && me);
  EXPECT_EQ(cb->Style(), csDropDownList);
  EXPECT_EQ(cb->Items()->Get(1).str(), L"\u0417\u0438\u043C\u0430");
  EXPECT_EQ(cb->Hint().str(), L"\u0412\u044B\u0431\u043E\u0440 \u9009\u62E9");
  EXPECT_TRUE(lb->MultiSelect());
  EXPECT_EQ(lb->Items()->Get(0).str(), L"\u043E\u0434\u0438\u043D");
  EXPECT_EQ(me->EditText().str(), L"\u0436\u03C9-12");
  delete root;
}

// The wide lists at indexes the window does not have, as the class
// library's: no item data to read, data for no item ignored by a list box, no
// text (combo box: empty; list box: the list-index error), and no whole item
// that was never added.
TEST_F(UcStdCtrlsLists, IndexesTheWindowDoesNotHave) {
  auto* combo = PlaceOn<TUcComboBox>(Form, 10, 10, 200, 24);
  auto* list = PlaceOn<TUcListBox>(Form, 10, 40, 200, 120);
  FillItems(combo);
  FillItems(list);
  ASSERT_TRUE(IsWindowUnicode(list->Handle()));
  TObject tag;
  for (TUcStrings* items : {combo->Items(), list->Items()}) {
    EXPECT_THROW(items->GetObject(5), EStringListError) << items->ClassType()->Name;
    EXPECT_THROW(items->GetObject(-1), EStringListError) << items->ClassType()->Name;
    EXPECT_EQ(items->IndexOf(L"\u0411\u0435\u0440"), -1) << items->ClassType()->Name;
    EXPECT_EQ(items->IndexOf(kItems[4]), 4) << items->ClassType()->Name;
  }
  list->Items()->PutObject(-1, &tag);
  EXPECT_EQ(list->Items()->GetObject(0), nullptr);
  EXPECT_EQ(combo->Items()->Get(5), WideString());
  EXPECT_THROW(list->Items()->Get(5), EStringListError);
}
