// Standard actions: the ANSI text search, the edit commands on a real edit
// control, and the dialog actions' dialog and events.
#include <gtest/gtest.h>

#include "guitest.h"
#include "stdactns.h"

inline void PrintTo(const AnsiString& s, std::ostream* os) { *os << '"' << s.c_str() << '"'; }

namespace {

TEST(SearchText, FindsInBothDirectionsWithTheOptions) {
  const TFindOptions down = FindOption(frDown);
  struct Row {
    const char* Text;
    int SelStart, SelLength;
    const char* What;
    TFindOptions Options;
    int Expected;
  } rows[] = {
      {"abc abc", 0, 0, "abc", down, 0},
      {"abc abc", 0, 3, "abc", down, 4},             // past the selection
      {"abc abc", 0, 4, "abc", down, 4},
      {"abc abc", 5, 0, "abc", down, -1},
      {"abc ABC", 1, 0, "abc", down, 4},             // case ignored
      {"abc ABC", 1, 0, "abc", down | FindOption(frMatchCase), -1},
      {"abcd abc", 0, 0, "abc", down | FindOption(frWholeWord), 5},
      {"xabc abc", 0, 0, "abc", down | FindOption(frWholeWord), 5},
      {"abc abc", 7, 0, "abc", 0, 4},                // up from the end
      {"abc abc", 4, 3, "abc", 0, 0},                // up from before the selection
      {"abc abc", 2, 0, "abc", 0, -1},
      {"", 0, 0, "abc", down, -1},
      {"abc", 0, 0, "", down, -1},
      {"ab", 0, 0, "abc", down, -1},
  };
  for (const Row& r : rows)
    EXPECT_EQ(SearchText(r.Text, r.SelStart, r.SelLength, r.What, r.Options), r.Expected)
        << r.Text << " / " << r.What << " at " << r.SelStart << "+" << r.SelLength;
}

TEST(SearchText, NotFoundMessage) {
  EXPECT_EQ(TextNotFoundMessage("abc"), AnsiString("Text not found: \"abc\""));
}

class StdActions : public GuiTest {
protected:
  void SetUp() override {
    GuiTest::SetUp();
    Form = NewForm<TForm>(nullptr);
    Form->SetBounds(100, 100, 300, 200);
    Edit = new TEdit(Form);
    Edit->SetParent(Form);
    Edit->SetBounds(10, 10, 200, 24);
    Form->Show();
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(Form->Handle()) && IsWindowVisible(Edit->Handle()); },
                        "the form and its edit show"));
  }
  void TearDown() override {
    delete Form;
    GuiTest::TearDown();
  }
  TForm* Form = nullptr;
  TEdit* Edit = nullptr;
};

TEST_F(StdActions, EditCommandsWorkOnTheEdit) {
  TEditDelete del(nullptr);
  TEditSelectAll all(nullptr);
  TEditCut cut(nullptr);
  TEditPaste paste(nullptr);
  Edit->SetText("hello world");
  Edit->SetSelStart(5);
  Edit->SetSelLength(6);
  del.UpdateTarget(Edit);
  EXPECT_TRUE(del.Enabled());
  del.ExecuteTarget(Edit);
  EXPECT_EQ(Edit->Text(), AnsiString("hello"));
  // Without a selection the class library's delete has nothing to do.
  del.UpdateTarget(Edit);
  EXPECT_FALSE(del.Enabled());

  all.UpdateTarget(Edit);
  EXPECT_TRUE(all.Enabled());
  all.ExecuteTarget(Edit);
  EXPECT_EQ(Edit->SelLength(), 5);
  all.UpdateTarget(Edit);
  EXPECT_FALSE(all.Enabled()) << "everything is selected already";

  cut.ExecuteTarget(Edit);
  EXPECT_EQ(Edit->Text(), AnsiString(""));
  paste.UpdateTarget(Edit);
  EXPECT_TRUE(paste.Enabled());
  paste.ExecuteTarget(Edit);
  paste.ExecuteTarget(Edit);
  EXPECT_EQ(Edit->Text(), AnsiString("hellohello"));

  Edit->SetReadOnly(true);
  paste.UpdateTarget(Edit);
  EXPECT_FALSE(paste.Enabled());
}

TEST_F(StdActions, FocusedEditIsTheTargetOfTheForm) {
  TEditSelectAll all(nullptr);
  Edit->SetText("abc");
  Edit->SetFocus();
  ASSERT_TRUE(WaitFor([&] { return Edit->Focused(); }, "the edit has the focus"));
  Edit->SetSelLength(0);
  EXPECT_TRUE(Edit->ExecuteAction(&all));
  EXPECT_EQ(Edit->SelLength(), 3);
  // A control that is no edit does not take the action.
  EXPECT_FALSE(Form->ExecuteAction(&all));
}

struct TDialogEvents {
  std::vector<std::string> Seen;
  void Before(TObject*) { Seen.push_back("before"); }
  void Accept(TObject*) { Seen.push_back("accept"); }
  void Cancel(TObject*) { Seen.push_back("cancel"); }
};

TEST_F(StdActions, DialogActionRunsItsDialog) {
  TFileOpen open(nullptr);
  ASSERT_NE(open.Dialog(), nullptr);
  EXPECT_EQ(open.Dialog()->Name(), AnsiString("OpenDialog"));
  EXPECT_TRUE(open.Dialog()->ComponentStyle() & csSubComponent);
  EXPECT_EQ(open.Dialog()->Owner(), &open);
  EXPECT_TRUE(open.Enabled());
  TDialogEvents events;
  open.BeforeExecute = MakeEvent<&TDialogEvents::Before>(&events);
  open.OnAccept = MakeEvent<&TDialogEvents::Accept>(&events);
  open.OnCancel = MakeEvent<&TDialogEvents::Cancel>(&events);
  open.Dialog()->SetTitle("Pick one");
  {
    ScriptDialogs script({{"Pick one", IDCANCEL}});
    open.ExecuteTarget(nullptr);
  }
  EXPECT_FALSE(open.ExecuteResult());
  EXPECT_EQ(events.Seen, (std::vector<std::string>{"before", "cancel"}));

  TFileOpen copy(nullptr);
  copy.Assign(&open);
  EXPECT_TRUE(copy.OnAccept == open.OnAccept);

  TFontEdit font(nullptr);
  TColorSelect color(nullptr);
  TFileSaveAs save(nullptr);
  EXPECT_EQ(font.Dialog()->Name(), AnsiString("FontDialog"));
  EXPECT_EQ(color.Dialog()->Name(), AnsiString("ColorDialog"));
  EXPECT_EQ(save.Dialog()->Name(), AnsiString("SaveDialog"));
  delete save.Dialog();
  ASSERT_NE(save.Dialog(), nullptr) << "a deleted dialog is made afresh";
  EXPECT_EQ(save.Dialog()->Name(), AnsiString("SaveDialog"));
}

// Deleting the dialog under a live action leaves the action usable: a fresh
// dialog of the same class under the same name, owned by the action, and
// run when the action is.
TEST_F(StdActions, DeletedDialogIsMadeAfresh) {
  TFileOpen open(nullptr);
  TFontEdit font(nullptr);
  TColorSelect color(nullptr);
  TFilePrintSetup setup(nullptr);
  TPrintDlg print(nullptr);
  TSearchReplace replace(nullptr);
  TCommonDialogAction* actions[] = {&open, &font, &color, &setup, &print, &replace};
  for (TCommonDialogAction* action : actions) {
    TCommonDialog* first = action->Dialog();
    ASSERT_NE(first, nullptr) << action->ClassType()->Name;
    const AnsiString name = first->Name();
    const TMetaClass* cls = first->ClassType();
    delete first;
    TCommonDialog* fresh = action->Dialog();
    ASSERT_NE(fresh, nullptr) << action->ClassType()->Name;
    EXPECT_EQ(fresh->ClassType(), cls);
    EXPECT_EQ(fresh->Name(), name);
    EXPECT_EQ(fresh->Owner(), action);
    EXPECT_TRUE(fresh->ComponentStyle() & csSubComponent);
    EXPECT_EQ(action->FindComponent(name), fresh) << "one component of that name";
  }

  TDialogEvents events;
  open.BeforeExecute = MakeEvent<&TDialogEvents::Before>(&events);
  open.OnCancel = MakeEvent<&TDialogEvents::Cancel>(&events);
  open.Dialog()->SetTitle("Fresh one");
  {
    ScriptDialogs script({{"Fresh one", IDCANCEL}});
    open.ExecuteTarget(nullptr);
  }
  EXPECT_EQ(events.Seen, (std::vector<std::string>{"before", "cancel"}));
}

// The find dialog made after a deletion still reports to its action.
TEST_F(StdActions, FreshFindDialogSearches) {
  TSearchFind find(nullptr);
  delete find.FindDialog();
  ASSERT_NE(find.FindDialog(), nullptr);
  ASSERT_TRUE(find.FindDialog()->OnFind);
  Edit->SetText("one two");
  Edit->SetSelStart(0);
  Edit->SetSelLength(0);
  find.SetControl(Edit);
  find.FindDialog()->SetFindText("two");
  find.FindDialog()->SetOptions(FindOption(frDown));
  find.FindDialog()->OnFind(find.FindDialog());
  EXPECT_EQ(Edit->SelStart(), 4);
  EXPECT_EQ(Edit->SelLength(), 3);
}

TEST_F(StdActions, FindNextNeedsAFindActionWithText) {
  TSearchFind find(nullptr);
  TSearchFindNext next(nullptr);
  EXPECT_FALSE(next.HandlesTarget(Edit));
  EXPECT_FALSE(next.Enabled());
  next.SetSearchFind(&find);
  EXPECT_FALSE(next.HandlesTarget(Edit)) << "no find text yet";
  find.FindDialog()->SetFindText("lo");
  EXPECT_TRUE(next.HandlesTarget(Edit));
  Edit->SetText("hello lo");
  Edit->SetSelStart(0);
  Edit->SetSelLength(0);
  find.FindDialog()->SetOptions(FindOption(frDown));
  next.ExecuteTarget(Edit);
  EXPECT_EQ(Edit->SelStart(), 3);
  next.ExecuteTarget(Edit);
  EXPECT_EQ(Edit->SelStart(), 6);
  TSearchFindNext copy(nullptr);
  copy.Assign(&next);
  EXPECT_EQ(copy.SearchFind(), &find);
}

TEST_F(StdActions, ReplaceActionRunsOnTheFocusedEditThroughItsDialog) {
  TSearchReplace replace(Form);
  TDialogEvents events;
  replace.BeforeExecute = MakeEvent<&TDialogEvents::Before>(&events);
  replace.OnAccept = MakeEvent<&TDialogEvents::Accept>(&events);
  Edit->SetText("abc ABC abc");
  Edit->SetFocus();
  ASSERT_TRUE(WaitFor([&] { return Edit->Focused(); }, "the edit focused"));
  ASSERT_TRUE(replace.Execute());
  EXPECT_EQ(replace.Control(), Edit);
  EXPECT_EQ(events.Seen, (std::vector<std::string>{"before", "accept"}));
  HWND dlg = replace.ReplaceDialog()->Handle();
  ASSERT_NE(dlg, nullptr);
  EXPECT_TRUE(replace.ReplaceDialog()->OnReplace);
  // The user's Replace All in the dialog: every hit, whatever its case.
  SetDlgItemTextA(dlg, 0x480, "abc");  // edt1
  SetDlgItemTextA(dlg, 0x481, "x");    // edt2
  SendMessageA(GetDlgItem(dlg, 0x401), BM_CLICK, 0, 0);  // psh2
  EXPECT_EQ(Edit->Text(), AnsiString("x x x"));
  replace.ReplaceDialog()->CloseDialog();
  ASSERT_TRUE(WaitFor([&] { return replace.ReplaceDialog()->Handle() == nullptr; }, "the replace dialog closed"));
}

}  // namespace
