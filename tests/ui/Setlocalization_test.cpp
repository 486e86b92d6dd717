// The localisation tables: numbering, exact texts (trailing blanks, line
// feeds, the English typos kept as the program has them), the bounds of the
// getters, the languages without tables and the charset table.
#include <gtest/gtest.h>

#include "Setlocalization.h"

namespace {

struct Loaded {
  explicit Loaded(uint8_t language) : Loc(language) { LoadUiTexts(Loc, language); }
  Localization Loc;
};

TEST(Setlocalization, RussianTextsAtTheBoundsOfEveryGroup) {
  Loaded l(0);
  EXPECT_EQ(l.Loc.GetCommonText(0), L"Открыть");
  EXPECT_EQ(l.Loc.GetCommonText(73), L"Использование");
  EXPECT_EQ(l.Loc.GetCommonText(74), L"");
  EXPECT_EQ(l.Loc.GetCommonText(-1), L"");
  EXPECT_EQ(l.Loc.GetHintText(0), L"Открыть список файлов");
  EXPECT_EQ(l.Loc.GetHintText(30), L"Пометить файл как повреждённый");
  EXPECT_EQ(l.Loc.GetHintText(31), L"");
  EXPECT_EQ(l.Loc.GetAboutText(4), L"Закрыть");
  EXPECT_EQ(l.Loc.GetAboutText(7), L"");
  EXPECT_EQ(l.Loc.GetMessageText(0), L"Ошибка");
  EXPECT_EQ(l.Loc.GetMessageText(36), L"Ошибка записи в файл");
  EXPECT_EQ(l.Loc.GetMessageText(37), L"Не выбраны параметры екпорта");
  EXPECT_EQ(l.Loc.GetMessageText(38), L"Не удалось прочитать файл");
  EXPECT_EQ(l.Loc.GetMessageText(39), L"Нет принтера по умолчанию");
  EXPECT_EQ(l.Loc.GetMessageText(40), L"Ошибка печати");
  EXPECT_EQ(l.Loc.GetMessageText(41), L"Не удалось открыть файл");
  EXPECT_EQ(l.Loc.GetMessageText(42), L"Не удалось удалить недописанный файл");
  EXPECT_EQ(l.Loc.GetMessageText(43), L"");
  EXPECT_EQ(l.Loc.GetParamsText(0), L"Сохранять параметры файлов");
  EXPECT_EQ(l.Loc.GetParamsText(7), L"Применить");
  EXPECT_EQ(l.Loc.GetParamsText(8), L"");
  EXPECT_EQ(l.Loc.CommonTexts->Count(), 74);
  EXPECT_EQ(l.Loc.HintTexts->Count(), 31);
  EXPECT_EQ(l.Loc.AboutTexts->Count(), 7);
  EXPECT_EQ(l.Loc.MessageTexts->Count(), 43);
  EXPECT_EQ(l.Loc.ParamsTexts->Count(), 8);
  EXPECT_EQ(l.Loc.GetLanguage(), 0);
}

TEST(Setlocalization, TextsTheWindowsAndMessagesShow) {
  Loaded l(0);
  // Equal texts keep their own numbers.
  EXPECT_EQ(l.Loc.GetMessageText(8), L"Отсутствуют данные для сохранения");
  EXPECT_EQ(l.Loc.GetMessageText(16), l.Loc.GetMessageText(8));
  EXPECT_EQ(l.Loc.GetMessageText(1), L"Файл не найден");
  EXPECT_EQ(l.Loc.GetMessageText(10), L"Запрос");
  EXPECT_EQ(l.Loc.GetMessageText(20), L"Сохранить изменения ?");
  EXPECT_EQ(l.Loc.GetMessageText(23), L"Создание прервано пользователем");
  EXPECT_EQ(l.Loc.GetMessageText(25),
            L"В импортируемом списке, упоминается файл или файлы, отсутствующие в основном. Они будут "
            L"добавлены и помечены как отсутствующие (красный цвет, перечёркнутое название)");
  EXPECT_EQ(l.Loc.GetCommonText(21), L"Все файлы(*.*)|*.*|*.TXT|*.txt");
  EXPECT_EQ(l.Loc.GetCommonText(22), L"Список файлов (*.vq)|*.vq");
  EXPECT_EQ(l.Loc.GetCommonText(55), L"Показать всё файлы");
  EXPECT_EQ(l.Loc.GetHintText(20), L"Повреждённый");
  const WideString prompt = l.Loc.GetCommonText(62);
  int feeds = 0;
  for (int i = 1; i <= prompt.Length(); ++i) feeds += prompt[i] == L'\n';
  EXPECT_EQ(feeds, 3);
  EXPECT_EQ(prompt.SubString(1, 38), L"Если Вы хотите, чтобы элементы списка\n");
  // The web addresses: the support page carries the product name as "from".
  EXPECT_NE(l.Loc.GetAboutText(5).Pos(L"from=fennolit"), 0);
  EXPECT_EQ(l.Loc.GetAboutText(6).SubString(1, 7), L"http://");
  EXPECT_EQ(l.Loc.GetCommonText(69).SubString(1, 7), L"http://");
}

TEST(Setlocalization, EnglishTextsKeepTheirSpellingAndBlanks) {
  Loaded l(1);
  EXPECT_EQ(l.Loc.GetHintText(30), L"Mark file asdamaged");
  EXPECT_EQ(l.Loc.GetCommonText(29), L"Enter comment ");
  EXPECT_EQ(l.Loc.GetCommonText(33), L"Commeny for folfer");
  EXPECT_EQ(l.Loc.GetCommonText(43), L"Export labels in CSV ");
  EXPECT_EQ(l.Loc.GetHintText(27), L"Export labels in CSV ");
  EXPECT_EQ(l.Loc.GetCommonText(22), L"Files (*.vq)|*.vq");
  EXPECT_EQ(l.Loc.GetMessageText(36), L"Error writing to file");
  EXPECT_EQ(l.Loc.GetMessageText(39), L"There is no default printer");
  EXPECT_EQ(l.Loc.GetMessageText(40), L"Printing error");
  EXPECT_EQ(l.Loc.GetMessageText(41), L"Unable to open the file");
  EXPECT_EQ(l.Loc.GetParamsText(6), L"Calc folder size");
  EXPECT_NE(l.Loc.GetAboutText(5), Loaded(0).Loc.GetAboutText(5)) << "the English site";
  // A language asks only its own list.
  EXPECT_EQ(l.Loc.CommonTexts->GetText(0, 0), L"");
  EXPECT_EQ(l.Loc.CommonTexts->GetText(0, 1), L"Open");
}

TEST(Setlocalization, LanguagesWithoutTablesAnswerEmpty) {
  for (uint8_t language : {2, 3, 4, 200}) {
    Loaded l(language);
    EXPECT_EQ(l.Loc.GetCommonText(0), L"") << int(language);
    EXPECT_EQ(l.Loc.GetHintText(0), L"");
    EXPECT_EQ(l.Loc.GetAboutText(0), L"");
    EXPECT_EQ(l.Loc.GetMessageText(0), L"");
    EXPECT_EQ(l.Loc.GetParamsText(0), L"");
    EXPECT_EQ(l.Loc.CommonTexts->Count(), 0);
  }
  EXPECT_EQ(LanguageCharset(uint8_t{0}), 204);
  EXPECT_EQ(LanguageCharset(uint8_t{1}), 0);
  EXPECT_EQ(LanguageCharset(uint8_t{2}), 204);
  EXPECT_EQ(LanguageCharset(uint8_t{3}), 162);
  EXPECT_EQ(LanguageCharset(uint8_t{4}), 1);
  EXPECT_EQ(LanguageCharset(uint8_t{255}), 1);
  Localization turkish(3);
  EXPECT_EQ(LanguageCharset(&turkish), 162);
}

TEST(Setlocalization, GroupAssignmentSharesOneCount) {
  localItems group;
  EXPECT_FALSE(group.Assign(0, nullptr));
  TUcStringList three;
  three.Add(L"a");
  three.Add(L"b");
  three.Add(L"c");
  TUcStringList one;
  one.Add(L"x");
  EXPECT_TRUE(group.Assign(0, &three));
  EXPECT_EQ(group.Count(), 3);
  EXPECT_TRUE(group.Assign(1, &one));
  EXPECT_EQ(group.Count(), 1) << "the last assignment sets the count for every language";
  EXPECT_EQ(group.GetText(0, 0), L"a");
  EXPECT_EQ(group.GetText(1, 0), L"") << "outside the shared count";
  EXPECT_TRUE(group.Assign(0, &three));
  EXPECT_EQ(group.GetText(2, 1), L"") << "language 1 holds fewer texts than the count: empty, no index error";
  EXPECT_TRUE(group.Assign(7, &one)) << "another language copies nothing";
  EXPECT_EQ(group.Count(), 3);
  EXPECT_EQ(group.GetText(0, 7), L"");
  EXPECT_EQ(group.GetText(0, -1), L"");
}

}  // namespace
