#include "Setlocalization.h"

#include <iterator>

namespace {

// The built-in tables, index order. The three web addresses (common 69,
// about 5 and 6) are the program's own pages.
const wchar_t* const RussianCommonTexts[] = {
    L"Открыть",  // 0
    L"Назад",  // 1
    L"Вперёд",  // 2
    L"Вверх",  // 3
    L"Поиск",  // 4
    L"Нужно",  // 5
    L"Не нужно",  // 6
    L"Очистить",  // 7
    L"Сохранить",  // 8
    L"Печать",  // 9
    L"Экспорт",  // 10
    L"О программе",  // 11
    L"Комментировать",  // 12
    L"Имя файла",  // 13
    L"Размер, Кбайт",  // 14
    L"Создан",  // 15
    L"Изменён",  // 16
    L"Атрибуты",  // 17
    L"Комментарии",  // 18
    L"Экспортировать в текстовый формат",  // 19
    L"Выберите список повреждённых файлов",  // 20
    L"Все файлы(*.*)|*.*|*.TXT|*.txt",  // 21
    L"Список файлов (*.vq)|*.vq",  // 22
    L"Отменить",  // 23
    L"Папок:",  // 24
    L"Файлов:",  // 25
    L"Загрузка данных...",  // 26
    L"Сохранение данных...",  // 27
    L"Поиск данных...",  // 28
    L"Ввод комментария",  // 29
    L"Принять",  // 30
    L"Отмена",  // 31
    L"Комментарий для файла",  // 32
    L"Комментарий для папки",  // 33
    L"Обновление данных",  // 34
    L"Размер",  // 35
    L"Дата создания",  // 36
    L"Дата изменения",  // 37
    L"Новый",  // 38
    L"Сохранить как...",  // 39
    L"Редактирование",  // 40
    L"Экспорт в CSV",  // 41
    L"Экспорт в HTML",  // 42
    L"Экспорт пометок в CSV",  // 43
    L"Выход",  // 44
    L"Импортировать список повреждённых файлов",  // 45
    L"Пометить как повреждённый/снять метку",  // 46
    L"Пометить как нужный/снять метку",  // 47
    L"Пометить как не нужный/снять метку",  // 48
    L"Снять все метки",  // 49
    L"Комментировать",  // 50
    L"Повреждённый",  // 51
    L"Нужен",  // 52
    L"Не нужен",  // 53
    L"Снять метки",  // 54
    L"Показать всё файлы",  // 55
    L"Показать только повреждённые/отсутствующие",  // 56
    L"Показать только нужные/не нужные",  // 57
    L"Импорт",  // 58
    L"Использование",  // 59
    L"Вид",  // 60
    L"Помощь",  // 61
    L"Если Вы хотите, чтобы элементы списка\nссылались на соответствующие файлы,\nвведите URL папки,\nв которой они будут располагаться:",  // 62
    L"Список файлов создан программой Fennolit",  // 63
    L"Fennolit fennolit список файлов",  // 64
    L"Список создан программой",  // 65
    L"Какие пометки экспортировать?",  // 66
    L"Отсутствует",  // 67
    L"Файл",  // 68
    L"http://www.fennolit.example/ru/products/fennolit/",  // 69
    L"Состояние",  // 70
    L"Нужность",  // 71
    L"Путь",  // 72
    L"Использование",  // 73
};
const wchar_t* const EnglishCommonTexts[] = {
    L"Open",  // 0
    L"Back",  // 1
    L"Forward",  // 2
    L"Up",  // 3
    L"Find",  // 4
    L"Necessary",  // 5
    L"Not necessary",  // 6
    L"Clear",  // 7
    L"Save",  // 8
    L"Print",  // 9
    L"Export",  // 10
    L"About",  // 11
    L"Comment",  // 12
    L"File Name",  // 13
    L"Size, kB",  // 14
    L"Created",  // 15
    L"Changed",  // 16
    L"Attributes",  // 17
    L"Comments",  // 18
    L"Export to a text format",  // 19
    L"Choose a list of damaged files",  // 20
    L"All files (*.*)|*.*|*.TXT|*.txt",  // 21
    L"Files (*.vq)|*.vq",  // 22
    L"Cancel",  // 23
    L"Folders:",  // 24
    L"Files:",  // 25
    L"Loading Data...",  // 26
    L"Save Data...",  // 27
    L"Data search...",  // 28
    L"Enter comment ",  // 29
    L"Apply",  // 30
    L"Cancel",  // 31
    L"Comment for File",  // 32
    L"Commeny for folfer",  // 33
    L"Data update",  // 34
    L"Size",  // 35
    L"Create date",  // 36
    L"Modify date",  // 37
    L"New",  // 38
    L"Save as ...",  // 39
    L"Edit",  // 40
    L"Export to CSV",  // 41
    L"Export to HTML",  // 42
    L"Export labels in CSV ",  // 43
    L"Exit",  // 44
    L"Import list of damaged files",  // 45
    L"Mark as damaged/clear damaged label",  // 46
    L"Mark as necessary/clear necessary label",  // 47
    L"Mark as not necessary/clear not necessary label",  // 48
    L"Clear all labels",  // 49
    L"Comment",  // 50
    L"Damaged",  // 51
    L"Necessary",  // 52
    L"Not necessary",  // 53
    L"Clear all labels",  // 54
    L"View all files",  // 55
    L"View only damaged/absent",  // 56
    L"View only necessary/not necessary",  // 57
    L"Import",  // 58
    L"Contents",  // 59
    L"View",  // 60
    L"Help",  // 61
    L"If you want to list items\nreferred to the appropriate files\nenter the URL of the folder\nin which they are located:",  // 62
    L"List of files created by program Fennolit",  // 63
    L"Fennolit fennolit list of files",  // 64
    L"Created by",  // 65
    L"Export options",  // 66
    L"Absent",  // 67
    L"File",  // 68
    L"http://www.fennolit.example/en/products/fennolit/",  // 69
    L"State",  // 70
    L"Needed",  // 71
    L"Path",  // 72
    L"Usage",  // 73
};
const wchar_t* const RussianHintTexts[] = {
    L"Открыть список файлов",  // 0
    L"Назад",  // 1
    L"Вперёд",  // 2
    L"Вверх",  // 3
    L"Поиск",  // 4
    L"Пометить как нужный",  // 5
    L"Пометить как не нужный",  // 6
    L"Снять метки",  // 7
    L"Сохранить файл",  // 8
    L"Распечатать",  // 9
    L"Экспорт в текстовый формат",  // 10
    L"О программе",  // 11
    L"Комментировать",  // 12
    L"Только чтение",  // 13
    L"Скрытый",  // 14
    L"Системный",  // 15
    L"Файл тома",  // 16
    L"Архивный",  // 17
    L"Временный",  // 18
    L"Сжатый",  // 19
    L"Повреждённый",  // 20
    L"Восстановление данных",  // 21
    L"Оборудование для восстановления данных",  // 22
    L"Создать новый список",  // 23
    L"Открыть",  // 24
    L"Экспортировать данные в CSV-файл",  // 25
    L"Экспорт в HTML",  // 26
    L"Экспорт пометок в CSV",  // 27
    L"Выход",  // 28
    L"Импортировать список повреждённых файлов",  // 29
    L"Пометить файл как повреждённый",  // 30
};
const wchar_t* const EnglishHintTexts[] = {
    L"Open the list of files",  // 0
    L"Back",  // 1
    L"Forward",  // 2
    L"Up",  // 3
    L"Find",  // 4
    L"Mark as necessary",  // 5
    L"Mark as not necessary",  // 6
    L"Take off labels",  // 7
    L"Save file",  // 8
    L"Print file",  // 9
    L"Export to a text format",  // 10
    L"About...",  // 11
    L"Make comments",  // 12
    L"Read only",  // 13
    L"Hidden",  // 14
    L"System",  // 15
    L"Volume file",  // 16
    L"Archival",  // 17
    L"Temporary",  // 18
    L"Compressed",  // 19
    L"Damaged",  // 20
    L"Data recovery",  // 21
    L"Equipment for data recovery",  // 22
    L"Create new list",  // 23
    L"Open",  // 24
    L"Export data to CSV-file",  // 25
    L"Export to HTML",  // 26
    L"Export labels in CSV ",  // 27
    L"Exit",  // 28
    L"Import list of damaged files",  // 29
    L"Mark file asdamaged",  // 30
};
const wchar_t* const RussianAboutTexts[] = {
    L"О программе",  // 0
    L"Программа предназначена для создания и просмотра списков файлов.",  // 1
    L"Предусмотрена возможность экспорта в текстовый, CSV и HTML форматы.",  // 2
    L"Страница поддержки »",  // 3
    L"Закрыть",  // 4
    L"http://www.fennolit.example/ru/support/?from=fennolit",  // 5
    L"http://www.fennolit.example/ru/",  // 6
};
const wchar_t* const EnglishAboutTexts[] = {
    L"About",  // 0
    L"The application is designed to create and view lists of files.",  // 1
    L"You can export them to text, CSV and HTML formats.",  // 2
    L"Support page »",  // 3
    L"Close",  // 4
    L"http://www.fennolit.example/en/support/?from=fennolit",  // 5
    L"http://www.fennolit.example/en/",  // 6
};
const wchar_t* const RussianMessageTexts[] = {
    L"Ошибка",  // 0
    L"Файл не найден",  // 1
    L"Неудачная попытка разархивировать файл",  // 2
    L"Возможно в той же папке находиться папка с совпадающим именем",  // 3
    L"пожалуйста, откройте файл из другого места",  // 4
    L"Файл пуст!",  // 5
    L"Ошибка при загрузке файла! Возможно он повреждён",  // 6
    L"Не удалось открыть страницу",  // 7
    L"Отсутствуют данные для сохранения",  // 8
    L"Заменить файл ?",  // 9
    L"Запрос",  // 10
    L"Ошибка при создании файла!",  // 11
    L"Прогресс экспорта в текстовый файл",  // 12
    L"Отсутствуют данные для печати",  // 13
    L"Ошибка инициализации",  // 14
    L"Файлы не выбраны",  // 15
    L"Отсутствуют данные для сохранения",  // 16
    L"Прогресс сохранения VQ-файла",  // 17
    L"Выберите файл или папку, к которой хотите оставить комментарий",  // 18
    L"Выбрано более одного файла и/или папки!",  // 19
    L"Сохранить изменения ?",  // 20
    L"Комментарий не введён!",  // 21
    L"Список пуст",  // 22
    L"Создание прервано пользователем",  // 23
    L"Отсутствуют данные",  // 24
    L"В импортируемом списке, упоминается файл или файлы, отсутствующие в основном. Они будут добавлены и помечены как отсутствующие (красный цвет, перечёркнутое название)",  // 25
    L"Импорт списка поврежденных файлов",  // 26
    L"Прогресс экспорта в CSV-файл",  // 27
    L"Ошибка при построении дерева",  // 28
    L"Ошибка при удалении ветки",  // 29
    L"Выберите директорию",  // 30
    L"Прогресс экспорта в HTML",  // 31
    L"Ошибка при выделении памяти под объект",  // 32
    L"Невозможно создать",  // 33
    L"каталог",  // 34
    L"Ошибка при экспорте данных",  // 35
    L"Ошибка записи в файл",  // 36
    L"Не выбраны параметры екпорта",  // 37
    L"Не удалось прочитать файл",  // 38
    L"Нет принтера по умолчанию",  // 39
    L"Ошибка печати",  // 40
    L"Не удалось открыть файл",  // 41
    L"Не удалось удалить недописанный файл",  // 42
};
const wchar_t* const EnglishMessageTexts[] = {
    L"Error",  // 0
    L"File not found",  // 1
    L"Unpack file error",  // 2
    L"Perhaps there is a folder with a matching name",  // 3
    L"please open the file from another location",  // 4
    L"File is empty!",  // 5
    L"Error loading file! Perhaps it is corrupted",  // 6
    L"Could not open the page",  // 7
    L"No data to save",  // 8
    L"Replace file ?",  // 9
    L"Request",  // 10
    L"Error in creating file!",  // 11
    L"Export to text file",  // 12
    L"No data to print",  // 13
    L"Error init",  // 14
    L"No selected files",  // 15
    L"No data to save",  // 16
    L"Saving VQ-file",  // 17
    L"Select the file or folder that you want to leave a comment",  // 18
    L"Selected more than one file, and (or) folders!",  // 19
    L"Save changes ?",  // 20
    L"Commentary is not entered !",  // 21
    L"List is empty",  // 22
    L"User cancel operation",  // 23
    L"No data",  // 24
    L"The imported list contains a file or the files absent basically. They will be added and marked as absent (the red color, the crossed out name)",  // 25
    L"Import of the list of the damaged files",  // 26
    L"Export to CSV-file",  // 27
    L"Tree create error",  // 28
    L"Node delete error",  // 29
    L"Select directory",  // 30
    L"Export to HTML",  // 31
    L"Memory allocation error",  // 32
    L"Cannot create",  // 33
    L"directory",  // 34
    L"Error export",  // 35
    L"Error writing to file",  // 36
    L"No marks chosen for the export",  // 37
    L"Unable to read the file",  // 38
    L"There is no default printer",  // 39
    L"Printing error",  // 40
    L"Unable to open the file",  // 41
    L"Unable to delete the incomplete file",  // 42
};
const wchar_t* const RussianParamsTexts[] = {
    L"Сохранять параметры файлов",  // 0
    L"Пометить всё",  // 1
    L"Атрибуты",  // 2
    L"Создан",  // 3
    L"Изменён",  // 4
    L"Размер",  // 5
    L"Вычислить размеры папок",  // 6
    L"Применить",  // 7
};
const wchar_t* const EnglishParamsTexts[] = {
    L"Save file parameters",  // 0
    L"Select all",  // 1
    L"Attribs",  // 2
    L"Created",  // 3
    L"Modify",  // 4
    L"Size",  // 5
    L"Calc folder size",  // 6
    L"Apply",  // 7
};

struct TGroupTable {
  const wchar_t* const* Russian;
  const wchar_t* const* English;
  int Count;
};

template <size_t N, size_t M>
constexpr TGroupTable Table(const wchar_t* const (&ru)[N], const wchar_t* const (&en)[M]) {
  static_assert(N == M, "both languages number the same texts");
  return TGroupTable{ru, en, static_cast<int>(N)};
}

const TGroupTable GroupTables[5] = {
    Table(RussianCommonTexts, EnglishCommonTexts),   Table(RussianHintTexts, EnglishHintTexts),
    Table(RussianAboutTexts, EnglishAboutTexts),     Table(RussianMessageTexts, EnglishMessageTexts),
    Table(RussianParamsTexts, EnglishParamsTexts),
};

static_assert(std::size(RussianCommonTexts) == 74);
static_assert(std::size(RussianHintTexts) == 31);
static_assert(std::size(RussianAboutTexts) == 7);
static_assert(std::size(RussianMessageTexts) == 43);
static_assert(std::size(RussianParamsTexts) == 8);

}  // namespace

// ---------------------------------------------------------------------------

localItems::localItems() {
  for (auto& list : FLists) list = new TUcStringList;
}

localItems::~localItems() {
  for (auto& list : FLists) {
    delete list;
    list = nullptr;
  }
  FCount = 0;
}

bool localItems::Assign(int language, TUcStringList* source) {
  if (!source) return false;
  if (language >= 0 && language <= 3) {
    FLists[language]->Assign(source);
    FCount = static_cast<uint16_t>(FLists[language]->GetCount());
  }
  return true;
}

WideString localItems::GetText(int index, int language) {
  if (index < 0 || index >= static_cast<int>(FCount)) return WideString();
  if (language < 0 || language > 3) return WideString();
  // The count is shared by the languages; a language filled with fewer texts
  // answers empty rather than raising the list's index error.
  TUcStringList* list = FLists[language];
  if (index >= list->GetCount()) return WideString();
  return list->Get(index);
}

// ---------------------------------------------------------------------------

Localization::Localization(uint8_t language)
    : CommonTexts(new localItems),
      HintTexts(new localItems),
      AboutTexts(new localItems),
      MessageTexts(new localItems),
      ParamsTexts(new localItems),
      FLanguage(language) {}

Localization::~Localization() {
  delete CommonTexts;
  delete HintTexts;
  delete AboutTexts;
  delete MessageTexts;
  delete ParamsTexts;
}

WideString Localization::GetText(int group, int index) {
  switch (group) {
    case lgCommon: return GetCommonText(index);
    case lgHint: return GetHintText(index);
    case lgAbout: return GetAboutText(index);
    case lgMessage: return GetMessageText(index);
    case lgParams: return GetParamsText(index);
    default: return WideString();
  }
}

void Localization::ApplyCharset(TControl* control) {
  if (control) control->Font()->SetCharset(LanguageCharset(this));
}

uint8_t LanguageCharset(uint8_t language) {
  switch (language) {
    case 0: return RUSSIAN_CHARSET;
    case 1: return ANSI_CHARSET;
    case 2: return RUSSIAN_CHARSET;
    case 3: return TURKISH_CHARSET;
    default: return DEFAULT_CHARSET;
  }
}

uint8_t LanguageCharset(const Localization* localization) {
  return LanguageCharset(localization ? localization->GetLanguage() : uint8_t{0xFF});
}

void LoadUiTexts(Localization& localization, uint8_t language) {
  localItems* groups[5] = {localization.CommonTexts, localization.HintTexts, localization.AboutTexts,
                           localization.MessageTexts, localization.ParamsTexts};
  TUcStringList scratch;
  if (language == 0 || language == 1) {
    for (int g = 0; g < 5; ++g) {
      const TGroupTable& table = GroupTables[g];
      const wchar_t* const* texts = language == 0 ? table.Russian : table.English;
      for (int i = 0; i < table.Count; ++i) scratch.Add(texts[i]);
      groups[g]->Assign(language, &scratch);
      scratch.Clear();
    }
    return;
  }
  // The other languages have no tables: empty lists (the messages keep what
  // the constructor gave them).
  for (localItems* group : {localization.CommonTexts, localization.HintTexts, localization.AboutTexts,
                            localization.ParamsTexts}) {
    group->Assign(2, &scratch);
    group->Assign(3, &scratch);
  }
}
