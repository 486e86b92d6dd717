// The main window after start-up: its Russian texts on menus, buttons,
// columns and dialogs, the character sets, the layout's geometry and
// minimum size, which commands are offered, and the hint timing.
#include <gtest/gtest.h>

#include <functional>

#include "UcWideStreams.h"
#include "UiTestUtil.h"

namespace {

std::wstring MenuText(HMENU menu, int position) {
  wchar_t buffer[256] = {};
  GetMenuStringW(menu, position, buffer, 256, MF_BYPOSITION);
  return buffer;
}

// The text before the tab (the shortcut text after it is the keyboard's).
std::wstring Command(HMENU menu, int position) {
  const std::wstring s = MenuText(menu, position);
  return s.substr(0, s.find(L'\t'));
}

std::wstring ColumnTitle(HWND list, int column) {
  wchar_t buffer[256] = {};
  LVCOLUMNW c = {};
  c.mask = LVCF_TEXT;
  c.pszText = buffer;
  c.cchTextMax = 256;
  SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&c));
  return buffer;
}

bool Grayed(HMENU menu, int position) { return GetMenuState(menu, position, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED); }

TEST_F(MainWindowTest, MenusSayWhatTheyDoInRussian) {
  EXPECT_EQ(WindowTextW(F->Handle()), L"Fennolit");
  HMENU bar = GetMenu(F->Handle());
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(GetMenuItemCount(bar), 5);
  EXPECT_EQ(MenuText(bar, 0), L"Файл");
  EXPECT_EQ(MenuText(bar, 1), L"Редактирование");
  EXPECT_EQ(MenuText(bar, 2), L"Вид");
  EXPECT_EQ(MenuText(bar, 3), L"Поиск");
  EXPECT_EQ(MenuText(bar, 4), L"Помощь");

  HMENU file = GetSubMenu(bar, 0);
  const wchar_t* expected[] = {L"Новый", L"Открыть", L"Сохранить", L"Сохранить как...",
                               L"Экспортировать в текстовый формат", L"Экспорт в CSV", L"Экспорт в HTML", L"",
                               L"Экспорт пометок в CSV", L"", L"Печать", L"", L"Выход"};
  ASSERT_EQ(GetMenuItemCount(file), 13);
  for (int i = 0; i < 13; ++i) EXPECT_EQ(Command(file, i), expected[i]) << i;
  // Shortcut texts come from the keyboard's key names.
  EXPECT_EQ(MenuText(file, 0), std::wstring(L"Новый\t") + WideShortCutToText(0x404E).str());
  EXPECT_EQ(MenuText(file, 12), std::wstring(L"Выход\t") + WideShortCutToText(0x8073).str());
  EXPECT_EQ(MenuText(file, 3), L"Сохранить как...") << "no shortcut";

  HMENU edit = GetSubMenu(bar, 1);
  EXPECT_EQ(Command(edit, 0), L"Импортировать список повреждённых файлов");
  // A plain item of the layout: the class library's shortcut text.
  EXPECT_EQ(MenuText(edit, 0),
            std::wstring(L"Импортировать список повреждённых файлов\t") + AnsiToWide(ShortCutToText(0x404C)).str())
      << "the item's own shortcut stays when its action has none";
  EXPECT_EQ(Command(edit, 5), L"Комментировать");
  HMENU view = GetSubMenu(bar, 2);
  EXPECT_EQ(Command(view, 0), L"Показать всё файлы");
  EXPECT_TRUE(GetMenuState(view, 0, MF_BYPOSITION) & MF_CHECKED);
  EXPECT_FALSE(GetMenuState(view, 1, MF_BYPOSITION) & MF_CHECKED);
  HMENU help = GetSubMenu(bar, 4);
  EXPECT_EQ(Command(help, 0), L"О программе");
  EXPECT_EQ(Command(help, 1), L"Использование");
}

TEST_F(MainWindowTest, OnlyTheCommandsOfThisBuildAreOffered) {
  HMENU bar = GetMenu(F->Handle());
  Pump(20);
  HMENU file = GetSubMenu(bar, 0);
  for (int i : {0, 1, 2, 3, 4, 5, 6, 8, 10, 12}) EXPECT_FALSE(Grayed(file, i)) << i;
  HMENU edit = GetSubMenu(bar, 1);
  for (int i = 0; i < GetMenuItemCount(edit); ++i) EXPECT_FALSE(Grayed(edit, i)) << i;
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(Grayed(GetSubMenu(bar, 2), i)) << i;
  EXPECT_FALSE(Grayed(GetSubMenu(bar, 3), 0));
  EXPECT_FALSE(Grayed(GetSubMenu(bar, 4), 0));
  EXPECT_FALSE(Grayed(GetSubMenu(bar, 4), 1));
  for (TControl* b : {F->spbtOpen, F->spbtBack, F->spbtForward, F->spbtUp, F->spbtNew, F->spbtSave, F->spbtSearch,
                      F->spbtList, F->spbtDamaged, F->spbtComment})
    EXPECT_TRUE(b->Enabled()) << b->Name().str();
}

TEST_F(MainWindowTest, ButtonsColumnsAndDialogsCarryTheirTexts) {
  const struct {
    TControl* Button;
    const wchar_t* Caption;
    const wchar_t* Hint;
  } buttons[] = {
      {F->spbtOpen, L"Открыть", L"Открыть список файлов"},
      {F->spbtBack, L"Назад", L"Назад"},
      {F->spbtForward, L"Вперёд", L"Вперёд"},
      {F->spbtUp, L"Вверх", L"Вверх"},
      {F->spbtSearch, L"Поиск", L"Поиск"},
      {F->spbtNew, L"Новый", L"Создать новый список"},
      {F->spbtSave, L"Сохранить", L"Сохранить файл"},
      {F->spbtList, L"Импорт", L"Импортировать список повреждённых файлов"},
      {F->spbtDamaged, L"Повреждённый", L"Пометить файл как повреждённый"},
      {F->spbtComment, L"Комментировать", L"Комментировать"},
  };
  for (const auto& b : buttons) {
    EXPECT_EQ(UcControl_GetText(b.Button), b.Caption) << b.Button->Name().str();
    EXPECT_EQ(UcControl_GetHint(b.Button), b.Hint) << b.Button->Name().str();
    EXPECT_EQ(b.Button->Font()->Charset(), RUSSIAN_CHARSET) << b.Button->Name().str();
  }
  EXPECT_EQ(UcControl_GetHint(F->MIVOImage), L"Восстановление данных");
  EXPECT_EQ(UcControl_GetHint(F->KorfenImage), L"Оборудование для восстановления данных");
  EXPECT_EQ(F->MIVOImage->Picture()->Width(), 102);
  EXPECT_EQ(F->KorfenImage->Picture()->Height(), 47);
  EXPECT_EQ(F->spbtOpen->Glyph()->Width(), 26);
  // An action whose hint the texts leave alone keeps its design hint.
  EXPECT_EQ(UcAction_GetHint(F->commentAction), L"Редактирование комментария");
  EXPECT_EQ(UcAction_GetCaption(F->printAction), L"Печать");

  const wchar_t* titles[] = {L"Имя файла", L"Размер, Кбайт", L"Создан", L"Изменён", L"Атрибуты", L"Комментарии"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(ColumnTitle(F->lvInfo->Handle(), i), titles[i]) << i;

  EXPECT_EQ(F->odOpen->Title(), WideToAnsi(L"Открыть"));
  EXPECT_EQ(F->odOpen->Filter(), WideToAnsi(L"Список файлов (*.vq)|*.vq"));
  EXPECT_EQ(F->sdSave->Title(), WideToAnsi(L"Сохранить как..."));
  EXPECT_EQ(F->sdSave->Filter(), WideToAnsi(L"Список файлов (*.vq)|*.vq"));
  EXPECT_EQ(F->odFileWithError->Filter(), WideToAnsi(L"Все файлы(*.*)|*.*|*.TXT|*.txt"));
  EXPECT_EQ(F->sdSaveHTML->Filter(), "*.HTML,*.HTM|*.html;*.htm");
  EXPECT_EQ(F->Font()->Charset(), RUSSIAN_CHARSET);
  EXPECT_EQ(F->lvInfo->Font()->Charset(), RUSSIAN_CHARSET);
}

TEST_F(MainWindowTest, LayoutGeometryAndMinimumSize) {
  EXPECT_EQ(F->Width(), 936);
  EXPECT_EQ(F->Height(), 499);
  EXPECT_EQ(F->ClientWidth(), 928);
  EXPECT_EQ(F->Panel->Height(), 53);
  const int lefts[] = {0, 52, 105, 158, 211, 266, 327, 388, 449, 535};
  const int widths[] = {52, 52, 52, 52, 52, 61, 61, 61, 86, 96};
  TControl* buttons[] = {F->spbtOpen, F->spbtBack, F->spbtForward, F->spbtUp, F->spbtSearch,
                         F->spbtNew,  F->spbtSave, F->spbtList,    F->spbtDamaged, F->spbtComment};
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(buttons[i]->Left(), lefts[i]) << i;
    EXPECT_EQ(buttons[i]->Width(), widths[i]) << i;
    EXPECT_EQ(buttons[i]->Top(), 2) << i;
    EXPECT_EQ(buttons[i]->Height(), 48) << i;
  }
  EXPECT_EQ(F->tvTreeOfFile->Width(), 201);
  EXPECT_EQ(F->lvInfo->Left(), 204);
  EXPECT_EQ(F->lvInfo->Width(), 724);
  EXPECT_EQ(F->StatusBar1->Height(), 19);
  const int columnWidths[] = {150, 87, 121, 120, 70, 139};
  const TAlignment alignments[] = {taLeftJustify, taRightJustify, taCenter, taCenter, taCenter, taCenter};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(F->lvInfo->Columns()->Items(i)->Width(), columnWidths[i]) << i;
    EXPECT_EQ(F->lvInfo->Columns()->Items(i)->Alignment(), alignments[i]) << i;
  }

  // Not narrower than the comment button's right edge plus the logos plus 30.
  const int minWidth = 535 + 96 + 167 + 30;
  F->SetWidth(minWidth - 1);
  Pump(10);
  EXPECT_EQ(F->Width(), 936);
  F->SetHeight(200);
  Pump(10);
  EXPECT_EQ(F->Height(), 499);
  F->SetHeight(201);
  Pump(10);
  EXPECT_EQ(F->Height(), 201);
  // Only the comments column follows the width.
  F->SetWidth(1036);
  Pump(10);
  EXPECT_EQ(F->lvInfo->Columns()->Items(5)->Width(), 239);
  EXPECT_EQ(F->lvInfo->Columns()->Items(0)->Width(), 150);
  F->SetWidth(minWidth);
  Pump(10);
  EXPECT_EQ(F->Width(), minWidth);
  EXPECT_EQ(F->lvInfo->Columns()->Items(5)->Width(), 139 - (936 - minWidth));
}

std::vector<int> ColumnWidths(HWND list) {
  std::vector<int> widths;
  for (int i = 0; i < 6; ++i) widths.push_back(static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, i, 0)));
  return widths;
}

// Minimizing lays the table out in almost no width; that is no width the
// user chose, and the restore shows every column as before, the comments
// header inside the table where the screen shows it.
TEST_F(MainWindowTest, MinimizeAndRestoreKeepEveryColumn) {
  const HWND main = F->Handle();
  const HWND list = F->lvInfo->Handle();
  // A width of the user's first, so that the comments column is not at its
  // design width by chance.
  F->SetWidth(1000);
  ASSERT_TRUE(WaitFor([&] { return F->lvInfo->Width() == 788; }, "the table 64 pixels wider"));
  const std::vector<int> before = ColumnWidths(list);
  ASSERT_EQ(before, (std::vector<int>{150, 87, 121, 120, 70, 203}));

  ShowWindow(main, SW_MINIMIZE);
  ASSERT_TRUE(WaitFor([&] { return IsIconic(main) && F->lvInfo->Width() < 100; },
                      "the window minimized and its table laid out in the little left"));
  EXPECT_EQ(ColumnWidths(list), before) << "a minimized window changes no column";

  ShowWindow(main, SW_RESTORE);
  ASSERT_TRUE(WaitFor([&] { return !IsIconic(main) && F->lvInfo->Width() == 788; }, "the window restored"));
  EXPECT_EQ(ColumnWidths(list), before);
  EXPECT_EQ(F->lvInfo->Columns()->Items(5)->Width(), 203);

  // The comments header on the screen: inside the table's client area, its
  // caption drawn (dark pixels on the header's face).
  const HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  ASSERT_NE(header, nullptr);
  RECT item{};
  ASSERT_TRUE(SendMessageW(header, HDM_GETITEMRECT, 5, reinterpret_cast<LPARAM>(&item)));
  RECT client{};
  GetClientRect(list, &client);
  EXPECT_LE(item.right, client.right) << "the comments column runs out of the table";
  SetForegroundWindow(main);
  ASSERT_TRUE(WaitFor([&] { return !GetUpdateRect(header, nullptr, FALSE) && !GetUpdateRect(list, nullptr, FALSE); },
                      "the table painted"));
  MapWindowPoints(header, nullptr, reinterpret_cast<POINT*>(&item), 2);
  RECT visible{};
  GetWindowRect(list, &visible);
  IntersectRect(&visible, &visible, &item);
  const TCapturedImage shot = CaptureScreen(visible);
  KeepShot(CaptureScreen([&] {
             RECT r;
             GetWindowRect(main, &r);
             return r;
           }()),
           "restored-main-window");
  int ink = 0;
  for (uint32_t p : shot.Pixels) ink += ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) < 3 * 96;
  EXPECT_GT(ink, 20) << "no caption drawn where the comments header stands";
  EXPECT_EQ(visible.right - visible.left, 203) << "the whole header on the screen";
}

TEST_F(MainWindowTest, HintsReappearAfterOneSecondAndLogosShowTheHand) {
  ASSERT_TRUE(Application->OnShowHint);
  AnsiString text = "x";
  bool show = true;
  THintInfo info{};
  Application->OnShowHint(text, show, info);
  EXPECT_EQ(info.ReshowTimeout, 1000);
  F->MIVOImageMouseMove(F->MIVOImage, 0, 1, 1);
  EXPECT_EQ(Screen->Cursor(), crHandPoint);
  F->lvInfoMouseMove(F->lvInfo, 0, 1, 1);
  EXPECT_EQ(Screen->Cursor(), crDefault);
  F->MIVOImageMouseMove(F->KorfenImage, 0, 1, 1);
  F->PanelMouseMove(F->Panel, 0, 1, 1);
  EXPECT_EQ(Screen->Cursor(), crDefault);
}

TEST_F(MainWindowTest, NothingLoadedAtStart) {
  EXPECT_EQ(F->rootNode, nullptr);
  EXPECT_EQ(F->listLoaded, 0);
  EXPECT_EQ(F->tvTreeOfFile->Items()->Count(), 0);
  EXPECT_EQ(F->lvInfo->Items()->Count(), 0);
  EXPECT_EQ(F->imlIcons->Count(), 3);
  EXPECT_NE(F->scratchTree, nullptr);
  EXPECT_FALSE(F->scratchTree->Visible());
  EXPECT_EQ(F->storeSize, 1);
  // Nothing to save yet.
  DialogDriver answers({{Ansi(L"Отсутствуют данные для сохранения"), IDOK}});
  F->saveAction->Execute();
  Pump(10);
  EXPECT_TRUE(answers.Unused().empty()) << answers.Log();
}

// Keys as the keyboard gives them (the modifier state included).
void Press(std::initializer_list<WORD> keys) {
  std::vector<INPUT> input;
  for (WORD k : keys) {
    INPUT i = {};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = k;
    input.push_back(i);
  }
  for (auto it = keys.end(); it != keys.begin();) {
    INPUT i = {};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = *--it;
    i.ki.dwFlags = KEYEVENTF_KEYUP;
    input.push_back(i);
  }
  SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
}

bool ChooserThatFails(HWND, const WideString&, WideString&) {
  throw EInOutError(Ansi(L"Устройство не готово").c_str());
}

TEST_F(MainWindowTest, ACommandThatFailsHalfWayShowsItsErrorInTheExceptionBox) {
  // The handler the program installs, not the test's recorder.
  Application->OnException = MakeEvent<&TInfoFileForm::AppException>(F);
  struct Restore {
    TFolderChooser Saved = ChooseScanFolder;
    ~Restore() { ChooseScanFolder = Saved; }
  } restore;
  ChooseScanFolder = &ChooserThatFails;
  DialogDriver answers({{Ansi(L"Устройство не готово"), IDOK}});
  // New from its menu item, through the message loop as a click would.
  PostMessageW(F->Handle(), WM_COMMAND, MAKEWPARAM(F->mmNew->Command(), 0), 0);
  ASSERT_TRUE(WaitFor([&] { return !answers.Shown().empty(); }, "a message box for the failed New"));
  ASSERT_TRUE(WaitFor([&] { return F->Enabled() && !F->jobRunning; }, "the main window enabled again"));
  ASSERT_EQ(answers.Shown().size(), 1u) << answers.Log();
  EXPECT_EQ(answers.Shown()[0].Text, Ansi(L"Устройство не готово"));
  EXPECT_EQ(answers.Shown()[0].Title, Application->Title().str()) << "the exception box has the program's title";
  EXPECT_EQ(F->rootNode, nullptr) << "nothing half-made stays";
}

std::function<void()> ChooserFailure;

bool ChooserThatRaises(HWND, const WideString&, WideString&) {
  ChooserFailure();
  return false;
}

TEST_F(MainWindowTest, ClassLibraryFailuresReachTheExceptionBoxInTheProgramsLanguage) {
  Application->OnException = MakeEvent<&TInfoFileForm::AppException>(F);
  struct Restore {
    TFolderChooser Saved = ChooseScanFolder;
    ~Restore() {
      ChooseScanFolder = Saved;
      ChooserFailure = nullptr;
    }
  } restore;
  ChooseScanFolder = &ChooserThatRaises;
  TempDir dir;
  const std::string missingFolder = dir.File("gone") + "\\list.vq";
  const std::string missingFile = dir.File(Ansi(L"нет.vq"));
  WriteFileBytes(dir.File("kept.bin"), "kept");
  // Each failure as the class library raises it for real; the box's text.
  const struct {
    std::function<void()> fail;
    std::string shown;
  } cases[] = {
      {[&] { TFileStream f(missingFolder.c_str(), fmCreate); },
       Ansi(L"Ошибка при создании файла!: ") + missingFolder + "\n" + SysErrorMessage(ERROR_PATH_NOT_FOUND).str()},
      {[&] { TUcFileStream f(AnsiToWide(missingFile.c_str()), fmOpenRead); },
       Ansi(L"Не удалось открыть файл: ") + missingFile + "\n" + SysErrorMessage(ERROR_FILE_NOT_FOUND).str()},
      {[&] {
         TFileStream f(dir.File("kept.bin").c_str(), fmOpenRead);
         f.WriteBuffer("x", 1);
       },
       Ansi(L"Ошибка записи в файл\n") + SysErrorMessage(ERROR_ACCESS_DENIED).str()},
      {[&] {
         TMemoryStream m;
         char byte;
         m.ReadBuffer(&byte, 1);
       },
       Ansi(L"Не удалось прочитать файл")},
      {[&] { throw std::bad_alloc(); }, Ansi(L"Ошибка при выделении памяти под объект")},
      // A fault of the program itself has no words of the program's: its
      // own text is still shown rather than nothing.
      {[&] { TList().Delete(3); }, "List index out of bounds (3)"},
  };
  for (const auto& c : cases) {
    ChooserFailure = c.fail;
    DialogDriver answers({{"", IDOK}});
    PostMessageW(F->Handle(), WM_COMMAND, MAKEWPARAM(F->mmNew->Command(), 0), 0);
    ASSERT_TRUE(WaitFor([&] { return !answers.Shown().empty(); }, "the box of a failed New"));
    ASSERT_TRUE(WaitFor([&] { return F->Enabled() && !F->jobRunning; }, "the main window enabled again"));
    ASSERT_EQ(answers.Shown().size(), 1u) << answers.Log();
    EXPECT_EQ(answers.Shown()[0].Text, c.shown);
    EXPECT_EQ(answers.Shown()[0].Title, Application->Title().str());
  }
}

TEST_F(MainWindowTest, ShortcutsRunTheirCommands) {
  // Typed keys reach the window with the keyboard focus, through the system.
  ASSERT_TRUE(WaitFor(
      [&] {
        if (GetForegroundWindow() != F->Handle()) SetForegroundWindow(F->Handle());
        F->lvInfo->SetFocus();
        return GetForegroundWindow() == F->Handle() && GetFocus() == F->lvInfo->Handle();
      },
      "the main window in the foreground with the table focused"));
  const std::string noData = Ansi(L"Отсутствуют данные для сохранения");
  {
    // Ctrl+O reaches Open (the File menu's own Ctrl+O is gone).
    DialogDriver answers({{Ansi(L"Открыть"), IDCANCEL}});
    Press({VK_CONTROL, 'O'});
    ASSERT_TRUE(WaitFor([&] { return !answers.Shown().empty() && !F->jobRunning; }, "Open's dialog after Ctrl+O"));
    ASSERT_EQ(answers.Shown().size(), 1u) << answers.Log();
    EXPECT_TRUE(answers.Unused().empty()) << answers.Log();
  }
  {
    // Ctrl+S with no list: message 8.
    DialogDriver answers({{noData, IDOK}});
    Press({VK_CONTROL, 'S'});
    ASSERT_TRUE(WaitFor([&] { return !answers.Shown().empty(); }, "the message of Save after Ctrl+S"));
    EXPECT_TRUE(answers.Unused().empty()) << answers.Log();
  }
  {
    // Search and import with no list: messages 22 and 24.
    DialogDriver answers({{Ansi(L"Список пуст"), IDOK}, {Ansi(L"Отсутствуют данные"), IDOK}});
    Press({VK_CONTROL, 'F'});
    ASSERT_TRUE(WaitFor([&] { return answers.Shown().size() == 1; }, "the message of the search after Ctrl+F"));
    Press({VK_CONTROL, 'L'});
    ASSERT_TRUE(WaitFor([&] { return answers.Shown().size() == 2; }, "the message of the import after Ctrl+L"));
    EXPECT_TRUE(answers.Unused().empty()) << answers.Log();
  }
  {
    // Ctrl+T, the text export, with no list: message 8.
    DialogDriver answers({{Ansi(L"Отсутствуют данные для сохранения"), IDOK}});
    Press({VK_CONTROL, 'T'});
    ASSERT_TRUE(WaitFor([&] { return answers.Unused().empty(); }, "the text export's message without a list"));
  }
}

}  // namespace
