// Combo boxes, list boxes and the extended combo box of the class library on
// real windows: ANSI items in code page 1251, type-ahead through KeyPress with
// the test's tick source, completion in the edit field, item data that
// travels with moved items, a new window keeping what only the window knew,
// and the virtual list box's texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comboex.h"
#include "forms.h"
#include "guitest.h"
#include "harness.h"
#include "layout.h"
#include "stdctrls_lists.h"

inline void PrintTo(const AnsiString& s, std::ostream* os) { *os << '"' << s.c_str() << '"'; }

namespace {

AnsiString Ru(const wchar_t* s) { return WideToAnsi(WideString(s)); }

DWORD Ticks = 0;
DWORD TestTicks() { return Ticks; }

class StdCtrlsLists : public SharedFormTest<StdCtrlsLists> {
public:
  static void SetUpTestSuite() { SetUpSharedForm(30, 30, 420, 320); }

protected:
  void SetUp() override {
    SharedFormTest::SetUp();
    FOldTicks = ComboTickCount;
    ComboTickCount = &TestTicks;
  }
  void TearDown() override {
    ComboTickCount = FOldTicks;
    SharedFormTest::TearDown();
  }
  template <class T> T* Place(int height = 24) {
    auto* c = new T(Form);
    c->SetParent(Form);
    c->SetBounds(10, 10, 200, height);
    return c;
  }
  // "Дом", "Дорога", "Зима", "apple", "Apricot"
  static void Fill(TStrings* items) {
    for (const wchar_t* s : {L"\u0414\u043E\u043C", L"\u0414\u043E\u0440\u043E\u0433\u0430", L"\u0417\u0438\u043C\u0430",
                             L"apple", L"Apricot"})
      items->Add(Ru(s));
  }

private:
  DWORD (*FOldTicks)() = nullptr;
};

struct TKeys {
  std::vector<char> Seen;
  void KeyPress(TObject*, char& key) { Seen.push_back(key); }
};

}  // namespace

TEST_F(StdCtrlsLists, ComboItemsInTheCodePage) {
  auto* combo = Place<TComboBox>();
  Fill(combo->Items());
  EXPECT_EQ(combo->Items()->GetCount(), 5);
  EXPECT_EQ(combo->Items()->Get(1), Ru(L"\u0414\u043E\u0440\u043E\u0433\u0430"));
  EXPECT_EQ(combo->Items()->Get(-1), AnsiString());
  EXPECT_EQ(combo->Items()->IndexOf("APPLE"), 3);
  TObject tag;
  combo->AddItem("last", &tag);
  EXPECT_EQ(combo->Items()->GetObject(5), &tag);
  combo->SetText("typed");
  combo->Items()->Clear();
  EXPECT_EQ(combo->Items()->GetCount(), 0);
  EXPECT_EQ(combo->Text(), AnsiString("typed"));
}

TEST_F(StdCtrlsLists, TypeAheadThroughKeyPress) {
  struct TCase {
    const char* Name;
    std::vector<std::pair<char, DWORD>> Keys;
    int Expected;
  };
  const char de = Ru(L"\u0414")[1], o = Ru(L"\u043E")[1], r = Ru(L"\u0440")[1];
  const TCase cases[] = {
      {"first letter", {{de, 0}}, 0},
      {"two letters", {{de, 0}, {o, 100}, {r, 200}}, 1},
      {"pause", {{de, 0}, {'a', 1300}}, 3},
      {"just in time", {{'a', 0}, {'p', 1249}, {'r', 1300}}, 4},
      {"backspace", {{'a', 0}, {'p', 10}, {'r', 20}, {8, 30}, {'p', 40}}, 3},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    auto* combo = Place<TComboBox>();
    combo->SetStyle(csDropDownList);
    Fill(combo->Items());
    for (auto [key, time] : c.Keys) {
      Ticks = time + 50000;
      SendMessageA(combo->Handle(), WM_CHAR, static_cast<unsigned char>(key), 1);
    }
    EXPECT_EQ(combo->ItemIndex(), c.Expected);
    delete combo;
  }
}

TEST_F(StdCtrlsLists, TypeAheadOffPassesEveryKey) {
  auto* combo = Place<TComboBox>();
  combo->SetStyle(csDropDownList);
  combo->SetAutoComplete(false);
  Fill(combo->Items());
  TKeys keys;
  combo->OnKeyPress = MakeEvent<&TKeys::KeyPress>(&keys);
  SendMessageA(combo->Handle(), WM_CHAR, 'z', 1);
  SendMessageA(combo->Handle(), WM_CHAR, 'a', 1);
  EXPECT_EQ(keys.Seen, (std::vector<char>{'z', 'a'}));
}

TEST_F(StdCtrlsLists, CompletionInTheEditField) {
  auto* combo = Place<TComboBox>();
  Fill(combo->Items());
  ASSERT_NE(combo->EditHandle(), nullptr);
  combo->SetText("ap");
  combo->SetSelStart(2);
  SendMessageA(combo->EditHandle(), WM_CHAR, 'r', 1);
  EXPECT_EQ(combo->Text(), AnsiString("apricot"));
  EXPECT_EQ(combo->SelStart(), 3);
  EXPECT_EQ(combo->SelLength(), 4);
  EXPECT_EQ(combo->ItemIndex(), 4);
  // Not at the end: typed as it is.
  combo->SetText("ap");
  combo->SetSelStart(0);
  SendMessageA(combo->EditHandle(), WM_CHAR, 'x', 1);
  EXPECT_EQ(combo->Text(), AnsiString("xap"));
}

TEST_F(StdCtrlsLists, ANewComboWindowKeepsItemsAndChoice) {
  auto* combo = Place<TComboBox>();
  Fill(combo->Items());
  combo->SetItemIndex(2);
  combo->SetStyle(csDropDownList);  // a new window
  ASSERT_EQ(combo->Items()->GetCount(), 5);
  EXPECT_EQ(combo->Items()->Get(4), AnsiString("Apricot"));
  EXPECT_EQ(combo->ItemIndex(), 2);
  EXPECT_EQ(combo->Text(), Ru(L"\u0417\u0438\u043C\u0430"));
  // Sorted: the items come back in order, the choice by its place.
  combo->SetSorted(true);
  EXPECT_EQ(combo->Items()->Get(0), AnsiString("apple"));
  EXPECT_EQ(combo->ItemIndex(), 2);
}

TEST_F(StdCtrlsLists, ListBoxItemDataTravelsWithTheItem) {
  auto* list = Place<TListBox>(120);
  TObject a, b, c;
  list->AddItem("a", &a);
  list->AddItem("b", &b);
  list->AddItem(Ru(L"\u0432"), &c);
  EXPECT_THROW(list->Items()->Get(3), EStringListError);
  list->SetItemIndex(0);
  list->Items()->Exchange(0, 2);
  EXPECT_EQ(list->Items()->Get(0), Ru(L"\u0432"));
  EXPECT_EQ(list->Items()->GetObject(0), &c);
  EXPECT_EQ(list->Items()->GetObject(2), &a);
  EXPECT_EQ(list->ItemIndex(), 2);
  list->Items()->Move(2, 0);
  EXPECT_EQ(list->Items()->Get(0), AnsiString("a"));
  EXPECT_EQ(list->Items()->GetObject(0), &a);
  list->Items()->Put(1, "new");
  EXPECT_EQ(list->Items()->GetObject(1), &c);
  EXPECT_EQ(list->Items()->IndexOf("NEW"), 1);
  // Copy of the choice with its object.
  TStringList copy;
  list->SetItemIndex(1);
  list->CopySelection(&copy);
  ASSERT_EQ(copy.Count(), 1);
  EXPECT_EQ(copy.Objects(0), &c);
}

TEST_F(StdCtrlsLists, MultiSelectAndANewWindow) {
  auto* list = Place<TListBox>(60);
  for (int i = 0; i < 20; ++i) list->Items()->Add(AnsiString(char('A' + i)));
  list->SetMultiSelect(true);
  list->SetSelected(3, true);
  list->SetSelected(7, true);
  EXPECT_EQ(list->SelCount(), 2);
  TStringList copy;
  list->CopySelection(&copy);
  EXPECT_EQ(copy.Text(), AnsiString("D\r\nH\r\n"));
  list->SetMultiSelect(false);
  list->SetTopIndex(10);
  list->SetItemIndex(12);
  list->RecreateWnd();
  EXPECT_EQ(list->Items()->GetCount(), 20);
  EXPECT_EQ(list->TopIndex(), 10);
  EXPECT_EQ(list->ItemIndex(), 12);
}

TEST_F(StdCtrlsLists, VirtualListBoxAsksOnData) {
  struct TData {
    void Data(TWinControl*, int index, AnsiString& s) { s = AnsiString("item ") + AnsiString(char('0' + index)); }
  } d;
  auto* list = Place<TListBox>(100);
  list->SetStyle(lbVirtual);
  list->SetCount(4);
  EXPECT_EQ(SendMessageA(list->Handle(), LB_GETTEXTLEN, 1, 0), LB_ERR);
  list->OnData = MakeEvent<&TData::Data>(&d);
  EXPECT_EQ(list->Items()->GetCount(), 4);
  EXPECT_EQ(list->Items()->Get(2), AnsiString("item 2"));
  char buffer[16] = {};
  EXPECT_EQ(SendMessageA(list->Handle(), LB_GETTEXT, 3, reinterpret_cast<LPARAM>(buffer)), 6);
  EXPECT_STREQ(buffer, "item 3");
  list->RecreateWnd();
  EXPECT_EQ(list->Count(), 4);
}

TEST_F(StdCtrlsLists, ExtendedComboBoxItemsWithImages) {
  auto* combo = Place<TComboBoxEx>();
  char cls[64] = {};
  GetClassNameA(combo->Handle(), cls, sizeof cls);
  EXPECT_NE(combo->ComboHandle(), nullptr);
  combo->ItemsEx()->AddItem(Ru(L"\u0414\u043E\u043C"), 2);
  combo->ItemsEx()->AddItem("second", -1);
  combo->Items()->Insert(0, "first");
  ASSERT_EQ(combo->Items()->GetCount(), 3);
  EXPECT_EQ(combo->Items()->Get(1), Ru(L"\u0414\u043E\u043C"));
  EXPECT_EQ(combo->ItemsEx()->ImageIndex(1), 2);
  EXPECT_EQ(combo->Items()->IndexOf("SECOND"), 2);
  TObject tag;
  combo->Items()->PutObject(2, &tag);
  EXPECT_EQ(combo->Items()->GetObject(2), &tag);
  combo->Items()->Delete(0);
  EXPECT_EQ(combo->Items()->Get(0), Ru(L"\u0414\u043E\u043C"));
  TBasicActionLink* link = CreateActionLink(&TComboBoxExActionLink::Class, combo);
  EXPECT_EQ(link->ClassType(), &TComboBoxExActionLink::Class);
  delete link;
}

TEST_F(StdCtrlsLists, ItemsBeforeTheWindowAndFromALayout) {
  auto* combo = new TComboBox(Form);
  Fill(combo->Items());
  combo->SetItemIndex(3);
  EXPECT_EQ(combo->Items()->Get(7), AnsiString());
  EXPECT_EQ(combo->ItemIndex(), 3);
  combo->SetParent(Form);
  EXPECT_EQ(combo->Items()->GetCount(), 5);
  EXPECT_EQ(combo->ItemIndex(), 3);
  EXPECT_EQ(combo->Text(), AnsiString("apple"));

  auto* root = new TForm(Form);
  ReadComponentText(
      "object F: TForm\n"
      "  object lb: TListBox\n"
      "    Style = lbOwnerDrawFixed\n"
      "    ItemHeight = 22\n"
      "    Items.Strings = (\n"
      "      'Дом'\n"
      "      'Зима')\n"
      "    ItemIndex = 1\n"
      "  end\n"
      "end\n",
      root);
  auto* lb = static_cast<TListBox*>(root->FindComponent("lb"));
  ASSERT_NE(lb, nullptr);
  EXPECT_EQ(lb->Style(), lbOwnerDrawFixed);
  EXPECT_EQ(lb->Items()->Get(0), Ru(L"\u0414\u043E\u043C"));
  EXPECT_EQ(lb->ItemIndex(), 1);
  EXPECT_EQ(SendMessageA(lb->Handle(), LB_GETITEMHEIGHT, 0, 0), 22);
  delete root;
}

// Indexes the window does not have, alike in both boxes: no item data to
// read, data for no item ignored by a list box, no text (combo box: empty;
// list box: the list-index error), and no whole item that was never added.
TEST_F(StdCtrlsLists, IndexesTheWindowDoesNotHave) {
  auto* combo = Place<TComboBox>();
  auto* list = Place<TListBox>(80);
  TObject tag;
  for (TStrings* items : {combo->Items(), list->Items()}) {
    Fill(items);
    EXPECT_THROW(items->GetObject(5), EStringListError) << items->ClassType()->Name;
    EXPECT_THROW(items->GetObject(-1), EStringListError) << items->ClassType()->Name;
    EXPECT_EQ(items->IndexOf("appl"), -1) << items->ClassType()->Name;
    EXPECT_EQ(items->IndexOf("APRICOT"), 4) << items->ClassType()->Name;
  }
  list->Items()->PutObject(-1, &tag);
  EXPECT_EQ(list->Items()->GetObject(0), nullptr);
  EXPECT_EQ(combo->Items()->Get(5), AnsiString());
  EXPECT_THROW(list->Items()->Get(5), EStringListError);
}
