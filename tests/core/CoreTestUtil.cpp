#include "LongPath.h"
#include "CoreTestUtil.h"

#include "CoreUnits.h"
#include "UcWideStreams.h"

namespace {
// The core's layers start with the test program's units.
struct RegisterCore {
  RegisterCore() { RegisterCoreUnits(); }
} registerCore;
}  // namespace

ScanDir::ScanDir() {
  wchar_t base[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, base);
  static unsigned n = 0;
  for (;;) {
    FPath = WideString(base) + L"fcs" + AnsiToWide(IntToStr(static_cast<unsigned>(GetCurrentProcessId()))) + L"_" +
            AnsiToWide(IntToStr(++n)) + L"_" + AnsiToWide(IntToStr(static_cast<unsigned>(GetTickCount())));
    if (CreateDirectoryW(FPath.c_bstr(), nullptr)) break;
  }
  FUnix = UnixPathW(FPath);
}

ScanDir::~ScanDir() {
  if (!FUnix.empty()) RunUnix("chmod -R u+rwx " + Q(FUnix) + "; rm -rf " + Q(FUnix));
}

void MakeFolder(const WideString& path) {
  ASSERT_TRUE(CreateDirectoryW(LongPathForm(path).c_bstr(), nullptr)) << A(path) << " " << GetLastError();
}

void MakeFile(const WideString& path, const std::string& bytes) {
  HANDLE h = CreateFileW(LongPathForm(path).c_bstr(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << A(path);
  DWORD done = 0;
  if (!bytes.empty()) WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
  CloseHandle(h);
}

std::string ReadWideFile(const WideString& path) {
  TUcFileStream f(path, fmOpenRead | fmShareDenyNone);
  std::string r(static_cast<size_t>(f.Size()), '\0');
  if (!r.empty()) f.ReadBuffer(r.data(), static_cast<int32_t>(r.size()));
  return r;
}

WideString FakeHost::LocalText(int group, int index) {
  static const std::map<int, const wchar_t*> messages = {
      {2, L"Неудачная попытка разархивировать файл"},
      {3, L"Возможно в той же папке находиться папка с совпадающим именем"},
      {4, L"пожалуйста, откройте файл из другого места"},
      {5, L"Файл пуст!"},
      {6, L"Ошибка при загрузке файла! Возможно он повреждён"},
      {9, L"Заменить файл ?"},
      {10, L"Запрос"},
      {11, L"Ошибка при создании файла!"},
      {20, L"Сохранить изменения ?"},
      {23, L"Создание прервано пользователем"},
      {28, L"Ошибка при построении дерева"},
      {36, L"Ошибка записи в файл"},
  };
  if (group != tgMessage) return WideString();
  auto it = messages.find(index);
  return it == messages.end() ? WideString() : WideString(it->second);
}

int FakeHost::MessageBox(const AnsiString& text, const AnsiString& caption, UINT flags) {
  Asked.push_back({text.str(), caption.str(), flags});
  if (Answers.empty()) return IDCANCEL;
  const int a = Answers.front();
  Answers.erase(Answers.begin());
  return a;
}

void* RecordingSink::AddRootFolderNode() {
  Nodes.push_back({-1, ""});
  return reinterpret_cast<void*>(Nodes.size());
}

void* RecordingSink::AddFolderNode(void* parent, const AnsiString& name) {
  Nodes.push_back({static_cast<int>(reinterpret_cast<intptr_t>(parent)) - 1, name.str()});
  return reinterpret_cast<void*>(Nodes.size());
}

void RecordingSink::FolderRecorded(const AnsiString& scanPath) {
  Folders.push_back(scanPath.str());
  Order.push_back("D:" + scanPath.str());
}

void RecordingSink::FileRecorded(const AnsiString& scanPath) {
  Files.push_back(scanPath.str());
  Order.push_back("F:" + scanPath.str());
}

ListNode* MakeEntry(ListNode* parent, const std::string& name, char kind) {
  EntryRecord r{};
  r.Kind = kind;
  SetFieldText(r.Name, AnsiString(name));
  return InsertNode(parent, parent ? parent->Level + 1 : 0, r);
}
