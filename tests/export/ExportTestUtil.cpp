#include "ExportTestUtil.h"

#include <cstring>
#include <map>

#include "ExportUnits.h"
#include "units.h"

namespace {

struct TExportUnitsRegistration {
  TExportUnitsRegistration() { RegisterExportUnits(); }
} ExportUnitsRegistration;

}  // namespace

TestList::TestList() {
  EntryRecord record{};
  record.Kind = ekFolder;
  FRoot = InsertNode(nullptr, 0, record);
}

TestList::~TestList() { FreeNodeTree(FRoot); }

ListNode* TestList::Add(const std::string& name, char kind, uint64_t size, ListNode* parent) {
  if (!parent) parent = FRoot;
  EntryRecord record{};
  SetFieldText(record.Name, AnsiString(name));
  record.Kind = kind;
  record.Size = ExtendedFromUInt64(size);
  return InsertNode(parent, parent->Level + 1, record);
}

ListNode* TestList::File(const std::string& name, uint64_t size, ListNode* parent) {
  return Add(name, ekFile, size, parent);
}

ListNode* TestList::Folder(const std::string& name, ListNode* parent) { return Add(name, ekFolder, 0, parent); }

void SetText(char (&field)[28], const std::string& text) { SetFieldText(field, AnsiString(text), true); }

void SetComment(ListNode* node, const std::string& text) { SetFieldText(node->Comment, AnsiString(text)); }

WideString ExportHost::LocalText(int group, int index) {
  static const std::map<int, const wchar_t*> common = {
      {13, L"Имя файла"},
      {14, L"Размер, Кбайт"},
      {15, L"Создан"},
      {16, L"Изменён"},
      {17, L"Атрибуты"},
      {18, L"Комментарии"},
      {63, L"Список файлов создан программой Fennolit"},
      {64, L"Fennolit fennolit список файлов"},
      {65, L"Список создан программой"},
      {69, L"http://www.fennolit.example/ru/products/fennolit/"},
      {70, L"Состояние"},
      {71, L"Нужность"},
      {72, L"Путь"},
  };
  static const std::map<int, const wchar_t*> messages = {
      {1, L"Файл не найден"}, {33, L"Невозможно создать"}, {34, L"каталог"}, {36, L"Ошибка записи в файл"},
  };
  const auto& table = group == tgCommon ? common : messages;
  if (group != tgCommon && group != tgMessage) return WideString();
  const auto it = table.find(index);
  return it == table.end() ? WideString() : WideString(it->second);
}

std::string Contents(const std::string& path) { return ReadFileBytes(path); }

std::string JpegFrame(const std::string& path) {
  const std::string data = ReadFileBytes(path);
  if (data.size() < 4 || static_cast<unsigned char>(data[0]) != 0xFF || static_cast<unsigned char>(data[1]) != 0xD8)
    return "no JPEG start";
  size_t i = 2;
  while (i + 4 <= data.size()) {
    if (static_cast<unsigned char>(data[i]) != 0xFF) return "bad marker";
    const unsigned char marker = static_cast<unsigned char>(data[i + 1]);
    const size_t length = (static_cast<unsigned char>(data[i + 2]) << 8) | static_cast<unsigned char>(data[i + 3]);
    if (marker == 0xC0) {
      if (i + 2 + length > data.size()) return "short frame";
      const int h = (static_cast<unsigned char>(data[i + 5]) << 8) | static_cast<unsigned char>(data[i + 6]);
      const int w = (static_cast<unsigned char>(data[i + 7]) << 8) | static_cast<unsigned char>(data[i + 8]);
      return std::to_string(w) + "x" + std::to_string(h) + "/" + std::to_string(static_cast<unsigned char>(data[i + 9]));
    }
    if (marker >= 0xC1 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
      return "not baseline";
    i += 2 + length;
  }
  return "no frame";
}
