// The parameters window (texts, boxes kept in step by mouse, not by keys,
// Apply) and the wait window's text by the command that runs.
#include <gtest/gtest.h>

#include "Opensaveunit.h"
#include "UiTestUtil.h"
#include "Unitparams.h"

namespace {

class ParamsTest : public MainWindowTest {
protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    P = ParamsForm;
    P->Show();
    Pump(10);
  }
  void TearDown() override {
    P->Hide();
    MainWindowTest::TearDown();
  }
  void Click(TCustomCheckBox* box) {
    PostClick(box->Handle(), 5, 8);
    Pump(20);
  }
  std::vector<bool> States() {
    return {P->cbxFileAll->GetChecked(), P->cbxFileFlag->GetChecked(), P->cbxFileCreate->GetChecked(),
            P->cbxFileModify->GetChecked(), P->cbxFileSize->GetChecked(), P->cbxDirSize->GetChecked()};
  }
  TParamsForm* P = nullptr;
};

TEST_F(ParamsTest, TextsOfTheWindow) {
  EXPECT_EQ(P->Caption(), Ansi(L"Сохранять параметры файлов"));
  EXPECT_EQ(UcControl_GetText(P->cbxFileAll), L"Пометить всё");
  EXPECT_EQ(UcControl_GetText(P->cbxFileFlag), L"Атрибуты");
  EXPECT_EQ(UcControl_GetText(P->cbxFileCreate), L"Создан");
  EXPECT_EQ(UcControl_GetText(P->cbxFileModify), L"Изменён");
  EXPECT_EQ(UcControl_GetText(P->cbxFileSize), L"Размер");
  EXPECT_EQ(UcControl_GetText(P->cbxDirSize), L"Вычислить размеры папок");
  EXPECT_EQ(UcControl_GetText(P->bbtnOk), L"Применить");
  EXPECT_EQ(P->ClientWidth(), 260);
  EXPECT_EQ(P->ClientHeight(), 218);
  EXPECT_EQ(States(), std::vector<bool>(6, true));
}

TEST_F(ParamsTest, MouseKeepsSelectAllInStepKeysDoNot) {
  Click(P->cbxFileAll);
  EXPECT_EQ(States(), std::vector<bool>(6, false)) << "unticking all clears the five";
  Click(P->cbxFileFlag);
  EXPECT_EQ(States(), (std::vector<bool>{false, true, false, false, false, false}));
  for (TCustomCheckBox* box : {P->cbxFileCreate, P->cbxFileModify, P->cbxFileSize}) Click(box);
  EXPECT_FALSE(P->cbxFileAll->GetChecked());
  Click(P->cbxDirSize);
  EXPECT_EQ(States(), std::vector<bool>(6, true)) << "the last one ticks all";
  // The space bar toggles one box only.
  P->cbxFileSize->SetFocus();
  PostKey(P->cbxFileSize->Handle(), VK_SPACE, L' ');
  Pump(20);
  EXPECT_EQ(States(), (std::vector<bool>{true, true, true, true, false, true}));
  // Apply copies the five.
  P->bbtnOkClick(P->bbtnOk);
  EXPECT_EQ(F->storeAttributes, 1);
  EXPECT_EQ(F->storeCreated, 1);
  EXPECT_EQ(F->storeModified, 1);
  EXPECT_EQ(F->storeSize, 0);
  EXPECT_EQ(F->storeFolderSizes, 1);
}

TEST_F(MainWindowTest, WaitWindowSaysWhatRuns) {
  const struct {
    TObject* Source;
    const wchar_t* Text;
  } cases[] = {{F->spbtOpen, L"Загрузка данных..."},   {F->openAction, L"Загрузка данных..."},
               {F, L"Загрузка данных..."},            {F->spbtSave, L"Сохранение данных..."},
               {F->mmSaveText, L"Сохранение данных..."}, {F->spbtSearch, L"Поиск данных..."},
               {F->FindAction, L"Поиск данных..."},    {F->spbtList, L"Обновление данных"},
               {F->mmListAction, L"Обновление данных"}, {F->lvInfo, L""}};
  for (const auto& c : cases) {
    F->actionSource = c.Source;
    Application->CreateForm(&OpenSaveForm);
    OpenSaveForm->Show();
    EXPECT_EQ(UcControl_GetText(OpenSaveForm->ProgressPanel), c.Text);
    EXPECT_EQ(OpenSaveForm->ClientWidth(), 214);
    EXPECT_EQ(OpenSaveForm->BorderStyle(), bsNone);
    OpenSaveForm->Close();
    EXPECT_TRUE(WaitFor([] { return OpenSaveForm == nullptr; }, "the wait window freed on closing"));
  }
  F->actionSource = nullptr;
}

}  // namespace
