// The search window and the comment window: their texts, the Find button's
// state, the comment caption, the folding of line breaks and the length limit.
#include <gtest/gtest.h>

#include "Commentunit.h"
#include "Maskunit.h"
#include "UiTestUtil.h"

namespace {

class MaskTest : public MainWindowTest {};

TEST_F(MaskTest, FindIsEnabledOnlyWithText) {
  TMaskForm* m = MaskForm;
  ASSERT_NE(m, nullptr);
  F->searchMask = "old";
  m->ledMask->SetText(L"previous");
  m->Show();
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(m->Handle()); }, "the search-mask window shows"));
  EXPECT_EQ(m->ledMask->Text(), L"") << "the previous mask is never shown";
  EXPECT_FALSE(m->FindBitBtn->Enabled());
  EXPECT_EQ(UcControl_GetText(m), L"Поиск");
  EXPECT_EQ(UcControl_GetText(m->FindBitBtn), L"Поиск");
  EXPECT_EQ(UcControl_GetText(m->CancelBitBtn), L"Отменить");
  EXPECT_EQ(m->ClientWidth(), 374);
  EXPECT_EQ(m->ClientHeight(), 81);
  struct Step {
    const wchar_t* Text;
    bool Enabled;
  };
  for (const Step& s : {Step{L"д", true}, Step{L"", false}, Step{L"ab", true}}) {
    m->ledMask->SetText(s.Text);
    EXPECT_TRUE(WaitFor([&] { return m->FindBitBtn->Enabled() == s.Enabled; }, "the awaited state")) << s.Text;
  }
  m->ledMask->SetText(L"Документ");
  m->FindBitBtnClick(m->FindBitBtn);
  EXPECT_EQ(F->searchMask.str(), Ansi(L"Документ"));
  EXPECT_EQ(m->ModalResult(), mrOk);
  m->SetModalResult(mrNone);
  m->Hide();
}

TEST(CommentFolding, LineBreaks) {
  struct Case {
    const char* Text;
    const char* Folded;
  };
  const Case cases[] = {
      {"ab\r\ncd", "ab cd"},     {"ab \r\ncd", "ab cd"}, {"ab\r\n", "ab"},   {"a\r\n\r\nb", "a b"},
      {"ab\r\nc", "abc"},        {"\r\nab", "ab"},       {"ab\rcd", "ab cd"}, {"ab\ncd", "ab cd"},
      {"one line", "one line"},  {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(FoldCommentLineBreaks(c.Text).str(), c.Folded) << c.Text;
}

class CommentTest : public MainWindowTest {};

TEST_F(CommentTest, CaptionTextAndLimit) {
  TCommentForm* c = CommentForm;
  ASSERT_NE(c, nullptr);
  F->commentText = AnsiString(Ansi(L"старый"));
  F->commentEntryName = "readme.txt";
  F->commentTargetKind = ekFile;
  c->Show();
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(c->Handle()); }, "the comment window shows"));
  EXPECT_EQ(UcControl_GetText(c), L"Ввод комментарияКомментарий для файла readme.txt");
  EXPECT_EQ(UcControl_GetText(c->redComment), L"старый");
  EXPECT_EQ(c->ClientWidth(), 358);
  EXPECT_EQ(c->ClientHeight(), 148);
  // 254 characters go in; the 255th is refused by the editor.
  UcControl_SetText(c->redComment, WideString());
  c->redComment->SetFocus();
  for (int i = 0; i < 254; ++i) PostKey(c->redComment->Handle(), 'A', L'a');
  ASSERT_TRUE(WaitFor([&] { return UcControl_GetText(c->redComment).Length() == 254; }, "254 typed characters never reached the editor"));
  PostKey(c->redComment->Handle(), 'B', L'b');
  PostKey(c->redComment->Handle(), VK_END);
  const HWND edit = c->redComment->Handle();
  ASSERT_TRUE(WaitFor([&] { return !GetQueueStatus(QS_KEY) && GetFocus() == edit; }, "the keys were never taken"));
  EXPECT_EQ(UcControl_GetText(c->redComment), WideString(std::wstring(254, L'a')));
  c->btOkClick(c->btOk);
  EXPECT_EQ(c->ModalResult(), mrOk);
  EXPECT_EQ(F->commentText.str(), std::string(254, 'a'));
  c->SetModalResult(mrNone);
  c->Hide();
  F->commentTargetKind = ekFolder;
  F->commentEntryName = "Docs";
  c->Show();
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(c->Handle()); }, "the comment window shows"));
  EXPECT_EQ(UcControl_GetText(c), L"Ввод комментарияКомментарий для папки Docs");
  c->Hide();
}

TEST_F(CommentTest, AnEmptyCommentIsRefused) {
  TCommentForm* c = CommentForm;
  F->commentText = "kept";
  F->commentTargetKind = ekFile;
  c->Show();
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(c->Handle()); }, "the comment window shows"));
  UcControl_SetText(c->redComment, WideString());
  {
    DialogDriver answers({{Ansi(L"Комментарий не введён!"), IDOK}});
    c->btOkClick(c->btOk);
    EXPECT_TRUE(answers.Unused().empty()) << answers.Log();
  }
  EXPECT_EQ(c->ModalResult(), mrCancel);
  EXPECT_EQ(F->commentText.str(), "kept");
  c->SetModalResult(mrNone);
  c->Hide();
}

}  // namespace
