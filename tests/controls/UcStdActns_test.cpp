// The wide standard actions on real edit controls: delete, find (and find
// first from the very start), replace compared in wide text as the user's
// match-case choice says, find in a rich edit's CR LF text, find next's
// enabling and a dialog component that is replaced when removed; the dialog
// actions run through Execute, with the real dialogs answered or driven.
#include "ControlsTestUtil.h"

#include "UcRichEdit.h"
#include "UcStdActns.h"

#include <gtest/gtest.h>

namespace {

using UcStdActns = UcGuiTest;

struct TSel {
  int Start, Length;
};
TSel Selection(TCustomEdit* e) { return {e->SelStart(), e->SelLength()}; }
void Select(TCustomEdit* e, int start, int length) {
  e->SetSelStart(start);
  e->SetSelLength(length);
}

TEST_F(UcStdActns, DeleteRemovesTheSelectionOrTheNextCharacter) {
  auto* edit = PlaceOn<TUcEdit>(Form, 10, 10, 300, 24);
  TUcEditDelete del(nullptr);
  edit->SetText(L"\u4E2D\u6587abc");
  Select(edit, 0, 0);
  del.UpdateTarget(edit);
  EXPECT_TRUE(del.Enabled()) << "delete is enabled without a selection";
  del.ExecuteTarget(edit);
  EXPECT_EQ(edit->Text(), WideString(L"\u6587abc"));
  Select(edit, 1, 2);
  del.ExecuteTarget(edit);
  EXPECT_EQ(edit->Text(), WideString(L"\u6587c"));
}

TEST_F(UcStdActns, FindSelectsTheNextHitAndFindFirstStartsAtTheTop) {
  auto* edit = PlaceOn<TUcEdit>(Form, 10, 10, 300, 24);
  edit->SetText(L"x \u4E2Dab \u4E2DAB \u4E2Dab");
  struct Row {
    bool FindFirst;
    TFindOptions Options;
    TSel Before;
    TSel After;
  } rows[] = {
      {false, FindOption(frDown), {0, 0}, {2, 3}},
      {false, FindOption(frDown), {2, 3}, {6, 3}},
      {false, FindOption(frDown) | FindOption(frMatchCase), {2, 3}, {10, 3}},
      {false, 0, {10, 3}, {6, 3}},  // up
      // Find-first ignores the selection: the first hit of the whole text.
      {true, FindOption(frDown), {2, 3}, {2, 3}},
      {true, FindOption(frDown), {6, 3}, {2, 3}},
  };
  for (const Row& r : rows) {
    Select(edit, r.Before.Start, r.Before.Length);
    EXPECT_TRUE(SearchEditW(edit, L"\u4E2Dab", r.Options, r.FindFirst));
    const TSel s = Selection(edit);
    EXPECT_EQ(s.Start, r.After.Start) << "from " << r.Before.Start;
    EXPECT_EQ(s.Length, r.After.Length);
  }
  Select(edit, 10, 3);
  EXPECT_FALSE(SearchEditW(edit, L"\u4E2Dab", FindOption(frDown), false));
  EXPECT_FALSE(SearchEditW(edit, L"", FindOption(frDown), true));
}

TEST_F(UcStdActns, FindInARichEditCountsALineBreakAsOneCharacter) {
  auto* rich = PlaceOn<TUcRichEdit>(Form, 10, 10, 300, 100);
  rich->SetText(L"one\r\ntwo\r\n\u4E2D\u6587");
  Select(rich, 0, 0);
  struct Row {
    const wchar_t* What;
    TSel Start;
  } rows[] = {{L"\u6587", {0, 0}}, {L"two", {0, 0}}, {L"o", {2, 0}}, {L"\u4E2D\u6587", {5, 3}}};
  for (const Row& r : rows) {
    Select(rich, r.Start.Start, r.Start.Length);
    ASSERT_TRUE(SearchEditW(rich, r.What, FindOption(frDown), false));
    // What the control itself has selected is the text searched for.
    EXPECT_EQ(rich->SelText(), WideString(r.What));
    EXPECT_EQ(WideSelection(rich), WideString(r.What));
  }
}

TEST_F(UcStdActns, SearchActionTellsWhenNothingWasFound) {
  auto* edit = PlaceOn<TUcEdit>(Form, 10, 10, 300, 24);
  edit->SetText(L"abc");
  TUcSearchFind find(nullptr);
  find.SetControl(edit);
  find.FindDialog()->SetFindText(kCjkText);
  ScriptDialogs script({{"TUcMessageForm", IDOK}});
  find.Search(nullptr);
  ASSERT_EQ(script.Shown().size(), 1u);
}

TEST_F(UcStdActns, ReplaceComparesTheWideSelectionAsTheUserAsked) {
  auto* edit = PlaceOn<TUcEdit>(Form, 10, 10, 300, 24);
  TUcSearchReplace replace(nullptr);
  replace.SetControl(edit);
  TUcReplaceDialog* d = replace.ReplaceDialog();
  d->SetFindText(L"\u0416\u4E2D");
  d->SetReplaceText(L"\u6587");
  struct Row {
    TFindOptions Options;
    const wchar_t* Before;
    TSel Selected;
    const wchar_t* After;
    TSel SelectedAfter;
  } rows[] = {
      // The selection in another case is the find text without match case:
      // replaced, and the next hit selected.
      {FindOption(frDown), L"\u0436\u4E2D \u0416\u4E2D", {0, 2}, L"\u6587 \u0416\u4E2D", {2, 2}},
      // With match case it is not; the next hit is replaced instead.
      {FindOption(frDown) | FindOption(frMatchCase), L"\u0436\u4E2D \u0416\u4E2D", {0, 2}, L"\u0436\u4E2D \u6587", {4, 0}},
      // Replace all: every hit.
      {FindOption(frDown) | FindOption(frReplaceAll), L"\u0416\u4E2D-\u0416\u4E2D-\u0416\u4E2D", {0, 2},
       L"\u6587-\u6587-\u6587", {5, 0}},
  };
  for (const Row& r : rows) {
    edit->SetText(r.Before);
    Select(edit, r.Selected.Start, r.Selected.Length);
    d->SetOptions(r.Options);
    replace.Replace(nullptr);
    EXPECT_EQ(edit->Text(), WideString(r.After));
    const TSel s = Selection(edit);
    EXPECT_EQ(s.Start, r.SelectedAfter.Start);
    EXPECT_EQ(s.Length, r.SelectedAfter.Length);
  }
  edit->SetText(L"nothing here");
  Select(edit, 0, 0);
  ScriptDialogs script({{"TUcMessageForm", IDOK}});
  replace.Replace(nullptr);
  EXPECT_EQ(script.Shown().size(), 1u) << "nothing replaced: the user is told";
  EXPECT_EQ(edit->Text(), WideString(L"nothing here"));
}

TEST_F(UcStdActns, FindNextNeedsALinkedFindWithText) {
  auto* edit = PlaceOn<TUcEdit>(Form, 10, 10, 300, 24);
  edit->SetText(L"a\u4E2D a\u4E2D");
  TUcSearchFind find(nullptr);
  TUcSearchFindNext next(nullptr);
  EXPECT_FALSE(next.HandlesTarget(edit));
  EXPECT_FALSE(next.Enabled());
  next.SetSearchFind(&find);
  next.UpdateTarget(edit);
  EXPECT_FALSE(next.Enabled()) << "empty find text";
  find.FindDialog()->SetFindText(L"a\u4E2D");
  find.FindDialog()->SetOptions(FindOption(frDown));
  ASSERT_TRUE(next.HandlesTarget(edit));
  Select(edit, 0, 2);
  next.ExecuteTarget(edit);
  EXPECT_EQ(edit->SelStart(), 3);
}

TEST_F(UcStdActns, RemovedDialogIsMadeAfresh) {
  TUcSearchFind find(nullptr);
  TComponent* first = find.Dialog();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Name(), AnsiString("UcFindDialog"));
  delete first;
  ASSERT_NE(find.Dialog(), nullptr);
  EXPECT_NE(find.Dialog(), first);
  EXPECT_EQ(find.Dialog()->Name(), AnsiString("UcFindDialog"));
  EXPECT_TRUE(find.FindDialog()->OnFind) << "the new dialog reports to the action";

  TUcFileOpen open(nullptr);
  TUcFileSaveAs save(nullptr);
  TUcSearchReplace replace(nullptr);
  EXPECT_EQ(open.Dialog()->Name(), AnsiString("UcOpenDialog"));
  EXPECT_EQ(save.Dialog()->Name(), AnsiString("UcSaveDialog"));
  EXPECT_EQ(replace.Dialog()->Name(), AnsiString("UcReplaceDialog"));
}

template <class TAction>
TComponent* DialogOf(TCustomAction* action) {
  return static_cast<TAction*>(action)->Dialog();
}

// Both dialog-action roots make a fresh dialog of the class the wide action
// names: the wide search actions and the file actions that keep the class
// library's classes.
TEST_F(UcStdActns, EveryDialogActionMakesItsDialogAfresh) {
  TUcFileOpen open(nullptr);
  TUcFileOpenWith openWith(nullptr);
  TUcFileSaveAs save(nullptr);
  TUcFontEdit font(nullptr);
  TUcSearchFind find(nullptr);
  TUcSearchReplace replace(nullptr);
  struct Row {
    TCustomAction* Action;
    TComponent* (*Dialog)(TCustomAction*);
    const TMetaClass* Class;
  } rows[] = {
      {&open, &DialogOf<TUcFileOpen>, &TUcOpenDialog::Class},
      {&openWith, &DialogOf<TUcFileOpenWith>, &TUcOpenDialog::Class},
      {&save, &DialogOf<TUcFileSaveAs>, &TUcSaveDialog::Class},
      {&font, &DialogOf<TUcFontEdit>, &TFontDialog::Class},
      {&find, &DialogOf<TUcSearchFind>, &TUcFindDialog::Class},
      {&replace, &DialogOf<TUcSearchReplace>, &TUcReplaceDialog::Class},
  };
  for (const Row& r : rows) {
    TComponent* first = r.Dialog(r.Action);
    ASSERT_NE(first, nullptr) << r.Class->Name;
    EXPECT_EQ(first->ClassType(), r.Class);
    EXPECT_EQ(r.Action->ComponentCount(), 1) << "the class library's dialog was replaced";
    delete first;
    TComponent* fresh = r.Dialog(r.Action);
    ASSERT_NE(fresh, nullptr) << r.Class->Name;
    EXPECT_EQ(fresh->ClassType(), r.Class);
    EXPECT_EQ(fresh->Name(), AnsiString(r.Class->Name + 1));
    EXPECT_EQ(fresh->Owner(), r.Action);
    EXPECT_EQ(r.Action->ComponentCount(), 1);
  }
  EXPECT_TRUE(replace.FindDialog()->OnFind) << "the fresh replace dialog reports to the action";
}

TEST_F(UcStdActns, AssignCopiesWideTextsAndHandlers) {
  TUcSearchFind find(nullptr);
  TUcSearchFindNext a(nullptr), b(nullptr);
  a.SetCaption(kMixedText);
  a.SetSearchFind(&find);
  b.Assign(&a);
  EXPECT_EQ(b.Caption(), WideString(kMixedText));
  EXPECT_EQ(b.SearchFind(), &find);

  struct TEvents {
    void Accept(TObject*) {}
  } events;
  TUcFileOpen open(nullptr), copy(nullptr);
  open.OnAccept = MakeEvent<&TEvents::Accept>(&events);
  copy.Assign(&open);
  EXPECT_TRUE(copy.OnAccept == open.OnAccept);
}

struct TActionEvents {
  std::vector<std::string> Seen;
  void Before(TObject*) { Seen.push_back("before"); }
  void Accept(TObject*) { Seen.push_back("accept"); }
  void Cancel(TObject*) { Seen.push_back("cancel"); }
  template <class TAction> void Wire(TAction& action) {
    action.BeforeExecute = MakeEvent<&TActionEvents::Before>(this);
    action.OnAccept = MakeEvent<&TActionEvents::Accept>(this);
    action.OnCancel = MakeEvent<&TActionEvents::Cancel>(this);
  }
};

TEST_F(UcStdActns, FileOpenActionRunsTheWideDialogThroughExecute) {
  TempDir dir;
  const std::wstring file = AnsiToWide(AnsiString(dir.Path())).str() + L"\\\u4E2D\u6587.txt";
  WriteFileBytes(file, "x");
  TUcFileOpen open(Form);
  TActionEvents events;
  events.Wire(open);
  open.Dialog()->SetTitle(L"action open");
  open.Dialog()->SetFileName(file);
  {
    ScriptDialogs script({{"action open", IDOK}});
    EXPECT_TRUE(open.Execute());
    EXPECT_TRUE(script.Unused().empty()) << "the dialog was shown";
  }
  EXPECT_TRUE(open.ExecuteResult());
  EXPECT_EQ(events.Seen, (std::vector<std::string>{"before", "accept"}));
  EXPECT_EQ(open.Dialog()->FileName(), WideString(file));

  events.Seen.clear();
  open.Dialog()->SetFileName(L"kept");
  {
    ScriptDialogs script({{"action open", IDCANCEL}});
    EXPECT_TRUE(open.Execute()) << "the action ran, whatever the user answered";
    EXPECT_TRUE(script.Unused().empty());
  }
  EXPECT_FALSE(open.ExecuteResult());
  EXPECT_EQ(events.Seen, (std::vector<std::string>{"before", "cancel"}));
  EXPECT_EQ(open.Dialog()->FileName(), WideString(L"kept"));
}

}  // namespace

// A wide dialog action over a class-library dialog (the wide open dialog).
class TTestOpenAction : public TUcCommonDialogAction {
  CL_CLASS(TTestOpenAction, TUcCommonDialogAction)
public:
  explicit TTestOpenAction(TComponent* owner) : TUcCommonDialogAction(owner) { SetupDialog(); }
  TUcOpenDialog* OpenDialog() const { return FDialog->As<TUcOpenDialog>(); }

protected:
  const TMetaClass* GetDialogClass() override { return &TUcOpenDialog::Class; }
};
CL_DEFINE_COMPONENT(TTestOpenAction, TUcCommonDialogAction)

namespace {

TEST_F(UcStdActns, WideDialogActionGivesTheDialogsAnswerToItsHandlers) {
  TempDir dir;
  const std::wstring file = AnsiToWide(AnsiString(dir.Path())).str() + L"\\\u6587.txt";
  WriteFileBytes(file, "x");
  TTestOpenAction action(Form);
  EXPECT_EQ(action.Dialog()->Name(), AnsiString("UcOpenDialog"));
  TActionEvents events;
  events.Wire(action);
  action.OpenDialog()->SetTitle(L"wide action");
  struct Row {
    int Button;
    bool Result;
    std::vector<std::string> Seen;
  } rows[] = {{IDCANCEL, false, {"before", "cancel"}}, {IDOK, true, {"before", "accept"}}};
  for (const Row& r : rows) {
    events.Seen.clear();
    action.OpenDialog()->SetFileName(file);
    {
      ScriptDialogs script({{"wide action", r.Button}});
      EXPECT_TRUE(action.Execute());
      EXPECT_TRUE(script.Unused().empty()) << "the dialog was shown";
    }
    EXPECT_EQ(action.ExecuteResult(), r.Result);
    EXPECT_EQ(events.Seen, r.Seen);
  }
  EXPECT_EQ(action.OpenDialog()->FileName(), WideString(file));
}

// Types into the open find or replace dialog and presses one of its buttons.
void PressInDialog(TUcFindDialog* d, const wchar_t* findWhat, const wchar_t* replaceWith, int button) {
  HWND wnd = d->FindHandle();
  SetDlgItemTextW(wnd, 0x480, findWhat);  // edt1
  if (replaceWith) SetDlgItemTextW(wnd, 0x481, replaceWith);  // edt2
  SendMessageW(GetDlgItem(wnd, button), BM_CLICK, 0, 0);
}

TEST_F(UcStdActns, FindActionSearchesTheEditItWasExecutedOn) {
  auto* edit = PlaceOn<TUcEdit>(Form, 10, 10, 300, 24);
  auto* other = PlaceOn<TUcEdit>(Form, 10, 50, 300, 24);
  edit->SetText(L"a \u4E2Db \u4E2DB");
  other->SetText(L"\u4E2Db");
  TUcSearchFind find(Form);
  TActionEvents events;
  events.Wire(find);

  // No edit control in focus: nothing to search in.
  Form->SetFocus();
  ASSERT_TRUE(WaitFor([&] { return Screen->ActiveControl() == nullptr || !Screen->ActiveControl()->Is<TCustomEdit>(); },
                      "the form without a focused edit"));
  EXPECT_FALSE(find.Execute());
  EXPECT_FALSE(find.Enabled());
  EXPECT_TRUE(events.Seen.empty());

  find.SetEnabled(true);
  edit->SetFocus();
  ASSERT_TRUE(WaitFor([&] { return Screen->ActiveControl() == edit; }, "the edit focused"));
  Select(edit, 0, 0);
  ASSERT_TRUE(find.Execute());
  EXPECT_EQ(find.Control(), edit) << "the focused edit is the target";
  EXPECT_EQ(events.Seen, (std::vector<std::string>{"before", "accept"}));
  ASSERT_NE(find.FindDialog()->FindHandle(), nullptr);
  EXPECT_TRUE(IsWindowVisible(find.FindDialog()->FindHandle()));

  // The dialog has the focus now; its request still searches the target.
  PressInDialog(find.FindDialog(), L"\u4E2Db", nullptr, IDOK);
  EXPECT_EQ(Selection(edit).Start, 2);
  EXPECT_EQ(Selection(edit).Length, 2);
  EXPECT_EQ(Selection(other).Length, 0);
  PressInDialog(find.FindDialog(), L"\u4E2Db", nullptr, IDOK);
  EXPECT_EQ(Selection(edit).Start, 5) << "case is ignored unless asked";

  // A target that goes away is forgotten: the dialog's request does nothing.
  delete edit;
  EXPECT_EQ(find.Control(), nullptr);
  PressInDialog(find.FindDialog(), L"\u4E2Db", nullptr, IDOK);
  EXPECT_EQ(Selection(other).Length, 0);
  find.FindDialog()->CloseDialog();
  ASSERT_TRUE(WaitFor([&] { return find.FindDialog()->FindHandle() == nullptr; }, "the find dialog closed"));
}

TEST_F(UcStdActns, ReplaceActionWiresTheDialogsReplaceToItsTarget) {
  auto* edit = PlaceOn<TUcEdit>(Form, 10, 10, 300, 24);
  edit->SetText(L"\u0416\u4E2D-\u0436\u4E2D-\u0416\u4E2D");
  TUcSearchReplace replace(Form);
  TActionEvents events;
  events.Wire(replace);
  edit->SetFocus();
  ASSERT_TRUE(WaitFor([&] { return Screen->ActiveControl() == edit; }, "the edit focused"));
  Select(edit, 0, 0);
  ASSERT_TRUE(replace.Execute());
  EXPECT_EQ(events.Seen, (std::vector<std::string>{"before", "accept"}));
  ASSERT_NE(replace.ReplaceDialog()->FindHandle(), nullptr);
  EXPECT_TRUE(replace.ReplaceDialog()->OnReplace);

  // Replace: the first hit after the caret, whatever its case.
  PressInDialog(replace.ReplaceDialog(), L"\u0416\u4E2D", L"\u6587", 0x400);  // psh1
  EXPECT_EQ(edit->Text(), WideString(L"\u6587-\u0436\u4E2D-\u0416\u4E2D"));
  // Replace all with match case: only the exact hits.
  SendMessageW(GetDlgItem(replace.ReplaceDialog()->FindHandle(), 0x411), BM_CLICK, 0, 0);  // chx2: match case
  PressInDialog(replace.ReplaceDialog(), L"\u0416\u4E2D", L"\u6587", 0x401);  // psh2
  EXPECT_EQ(edit->Text(), WideString(L"\u6587-\u0436\u4E2D-\u6587"));

  // Nothing left to replace: the user is told.
  ScriptDialogs script({{"TUcMessageForm", IDOK}});
  PressInDialog(replace.ReplaceDialog(), L"\u0416\u4E2D", L"\u6587", 0x401);
  EXPECT_EQ(edit->Text(), WideString(L"\u6587-\u0436\u4E2D-\u6587"));
  ASSERT_FALSE(script.Shown().empty());
  EXPECT_TRUE(script.Shown()[0].Answered);
  replace.ReplaceDialog()->CloseDialog();
  ASSERT_TRUE(WaitFor([&] { return replace.ReplaceDialog()->FindHandle() == nullptr; }, "the replace dialog closed"));
}

}  // namespace
