// The questions the core asks the user and the progress arithmetic.
#include <gtest/gtest.h>

#include "CoreTestUtil.h"

namespace {

TEST(CoreHost, DiscardQuestionGoesOnOnlyWhenSafe) {
  FakeHost host;
  int saves = 0;
  auto save = [&saves](bool ok) {
    return [&saves, ok] {
      ++saves;
      return ok;
    };
  };
  const struct {
    int Answer;
    bool SaveSucceeds;
    bool GoesOn;
    int SavesSoFar;
  } steps[] = {
      {IDNO, true, true, 0},
      {IDCANCEL, true, false, 0},
      {IDYES, true, true, 1},
      // Yes, but the save did not happen (Save As cancelled, a failure): stop.
      {IDYES, false, false, 2},
  };
  for (const auto& step : steps) {
    host.Answers = {step.Answer};
    EXPECT_EQ(ConfirmDiscardList(host, save(step.SaveSucceeds)), step.GoesOn) << step.Answer;
    EXPECT_EQ(saves, step.SavesSoFar) << step.Answer;
  }
  ASSERT_EQ(host.Asked.size(), 4u);
  EXPECT_EQ(host.Asked[0].Text, A(L"Сохранить изменения ?"));
  EXPECT_EQ(host.Asked[0].Caption, A(L"Запрос"));
  EXPECT_EQ(host.Asked[0].Flags, static_cast<UINT>(MB_YESNOCANCEL));
}

TEST(CoreHost, ReplaceQuestion) {
  FakeHost host;
  host.Answers = {IDYES, IDNO};
  EXPECT_TRUE(ConfirmReplaceFile(host));
  EXPECT_FALSE(ConfirmReplaceFile(host));
  EXPECT_EQ(host.Asked[0].Text, A(L"Заменить файл ?"));
  EXPECT_EQ(host.Asked[0].Flags, static_cast<UINT>(MB_YESNO));
  ShowMessageNumber(host, msgScanCancelled);
  EXPECT_EQ(host.Shown, (std::vector<std::string>{A(L"Создание прервано пользователем")}));
}

TEST(CoreHost, ProgressPercent) {
  EXPECT_EQ(ProgressPercent(1, 3), 33);
  EXPECT_EQ(ProgressPercent(2, 3), 67);
  EXPECT_EQ(ProgressPercent(3, 3), 100);
  // 12.5 rounds to the even 12, 37.5 to 38.
  EXPECT_EQ(ProgressPercent(1, 8), 12);
  EXPECT_EQ(ProgressPercent(3, 8), 38);
  EXPECT_EQ(ProgressPercent(1, 1), 100);
  // A list of the root alone counts nothing: complete, no division by zero.
  EXPECT_EQ(ProgressPercent(1, 0), 100);
  // The root is stepped but not counted: n + 1 steps stay at 100.
  EXPECT_EQ(ProgressPercent(4, 3), 100);
  EXPECT_EQ(ProgressPercent(0, 5), 0);
}

TEST(CoreHost, ProgressCounterMovesOnlyOnChange) {
  TProgressCounter c;
  c.Total = 300;
  int moves = 0;
  for (int i = 0; i < 301; ++i) moves += c.Step();
  EXPECT_EQ(c.Position, 100);
  EXPECT_EQ(moves, 100);
  TProgressCounter empty;
  EXPECT_TRUE(empty.Step());
  EXPECT_EQ(empty.Position, 100);
  EXPECT_FALSE(empty.Step());
}

}  // namespace
