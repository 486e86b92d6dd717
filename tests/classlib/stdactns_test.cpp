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
  EXPECT_EQ(save.Dialog(), nullptr);
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

}  // namespace
