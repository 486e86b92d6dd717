// The list commands on the real main window: New with its folder chooser,
// parameters and progress windows; Save and Save As checked by Info-ZIP, 7z
// and Python; Open back into the same tree; the close query; dropped files.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

#include "FolderScan.h"
#include "ListFile.h"
#include "Progressunit.h"
#include "UiTestUtil.h"
#include "Unitparams.h"
#include "sysutils.h"

#include <shlobj.h>

namespace {

std::wstring W(const std::string& ansi) { return AnsiToWide(ansi.c_str()).str(); }

// The expected cells of a file or folder on disk, as the scan records it.
std::wstring ExpectedRow(const std::string& path, const std::wstring& name, const std::wstring& size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  EXPECT_TRUE(GetFileAttributesExW(W(path).c_str(), GetFileExInfoStandard, &data)) << path;
  const AnsiString letters = AttributeLetters(AttributeBits(data.dwFileAttributes));
  return name + L"|" + size + L"|" + W(FileTimeText(data.ftCreationTime).str()) + L"|" +
         W(FileTimeText(data.ftLastWriteTime).str()) + L"|" + (letters.IsEmpty() ? L"----" : W(letters.str())) +
         L"|----";
}

std::set<std::wstring> AsSet(const std::vector<std::wstring>& v) { return {v.begin(), v.end()}; }

class CommandsTest : public MainWindowTest {
protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    Tree.Folder("a");
    Tree.Folder("a\\a1");
    Tree.Folder("b");
    Tree.File("a\\x.txt", 1536);
    Tree.File("a\\a1\\y.txt", 2560);
    Tree.File("empty.bin", 0);
    Tree.File("small.dat", 512);
    Tree.File(Ansi(L"Кириллица.txt"), 3584);
  }
  TestTree Tree;
};

TEST_F(CommandsTest, NewShowsTheScannedFolder) {
  SetFileAttributesA(Tree.Path("small.dat").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
  Scan(Tree.Root(), true);
  ASSERT_NE(F->rootNode, nullptr);
  EXPECT_EQ(F->isModified, 1);
  EXPECT_EQ(F->isRootPathNew, 1);
  EXPECT_EQ(F->listLoaded, 1);
  EXPECT_EQ(F->rootPath, AnsiString(Tree.Root().c_str()));
  EXPECT_EQ(ProgressForm, nullptr) << "the progress window went with the scan";
  EXPECT_TRUE(F->Enabled());

  const std::string root = Tree.Root();
  const std::wstring rootText = W(root.substr(root.rfind('\\') + 1));
  const std::vector<std::wstring> tree = TreeLines();
  EXPECT_EQ(AsSet(tree), AsSet({rootText, L"  a", L"    a1", L"  b"}));
  EXPECT_EQ(tree[0], rootText) << "the root node names the folder's last segment";

  const std::vector<std::wstring> rows = Rows();
  ASSERT_EQ(rows.size(), 5u) << "no \"..\" row at the root";
  // Folders first.
  EXPECT_EQ(AsSet({rows[0], rows[1]}),
            AsSet({ExpectedRow(Tree.Path("a"), L"a", L"4"), ExpectedRow(Tree.Path("b"), L"b", L"0")}));
  EXPECT_EQ(AsSet({rows[2], rows[3], rows[4]}),
            AsSet({ExpectedRow(Tree.Path("empty.bin"), L"empty.bin", L"0"),
                   ExpectedRow(Tree.Path("small.dat"), L"small.dat", L"1"),
                   ExpectedRow(Tree.Path(Ansi(L"Кириллица.txt")), L"Кириллица.txt", L"4")}));
  EXPECT_NE(std::find(rows.begin(), rows.end(), ExpectedRow(Tree.Path("small.dat"), L"small.dat", L"1")), rows.end());
  EXPECT_NE(rows[2].find(L"|"), std::wstring::npos);
  EXPECT_EQ(SelectedRow(), 0);
  EXPECT_EQ(BackHint(), L"Назад");
  EXPECT_EQ(F->AssociatedIcon->Count() > 0, true);
  for (int r = 0; r < 5; ++r) EXPECT_GE(F->lvInfo->Items()->Item(r)->ImageIndex(), 0) << r;
  SetFileAttributesA(Tree.Path("small.dat").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(CommandsTest, ParametersDecideTheRecordedFields) {
  ParamsForm->cbxFileSize->SetChecked(false);
  ParamsForm->cbxFileCreate->SetChecked(false);
  ParamsForm->cbxFileFlag->SetChecked(false);
  Scan(Tree.Root());
  EXPECT_EQ(F->storeSize, 0);
  EXPECT_EQ(F->storeCreated, 0);
  EXPECT_EQ(F->storeAttributes, 0);
  EXPECT_EQ(F->storeModified, 1);
  EXPECT_EQ(F->storeFolderSizes, 1);
  const std::vector<std::wstring> rows = Rows();
  ASSERT_EQ(rows.size(), 5u) << F->rootPath.c_str();
  for (const std::wstring& row : rows) {
    const bool folder = row.rfind(L"a|", 0) == 0 || row.rfind(L"b|", 0) == 0;
    std::vector<std::wstring> cells;
    size_t start = 0;
    for (size_t bar; (bar = row.find(L'|', start)) != std::wstring::npos; start = bar + 1)
      cells.push_back(row.substr(start, bar - start));
    cells.push_back(row.substr(start));
    ASSERT_EQ(cells.size(), 6u);
    if (!folder) { EXPECT_EQ(cells[1], L"----") << row; }
    EXPECT_EQ(cells[2], L"----") << row;
    EXPECT_NE(cells[3], L"----") << row;
    EXPECT_EQ(cells[4], L"----") << row;
  }
  // The boxes keep their states for the next showing, also after Cancel.
  const ListNode* before = F->rootNode;
  F->isModified = 0;
  FolderChoice choice("C:\\");
  DialogDriver answers({{"TParamsForm", 0, "", ""}, {Ansi(L"Создание прервано пользователем"), IDOK, "", ""}});
  F->newAction->Execute();
  Pump(10);
  EXPECT_TRUE(answers.Unused().empty()) << answers.Log();
  EXPECT_EQ(F->rootNode, before) << "a cancelled parameters window changes nothing";
  EXPECT_FALSE(ParamsForm->cbxFileSize->GetChecked());
  EXPECT_TRUE(F->Enabled());
}

TEST_F(CommandsTest, CancelledScanKeepsWhatItReadAndSaysSo) {
  {
    FolderChoice choice(Tree.Root());
    DialogDriver answers({{"TParamsForm", IDOK, "", "bbtnOk"},
                          {"TProgressForm", 0, "", ""},
                          {Ansi(L"Создание прервано пользователем"), IDOK, "", ""}});
    F->newAction->Execute();
    Pump(10);
    EXPECT_TRUE(answers.Unused().empty()) << answers.Log();
  }
  ASSERT_NE(F->rootNode, nullptr);
  EXPECT_EQ(F->rootNode->ChildCount(), 0) << "closed before the first entry";
  EXPECT_EQ(F->cancelRequested, 0);
  EXPECT_TRUE(F->Enabled());
  // The next scan starts afresh and reads everything.
  F->isModified = 0;
  Scan(Tree.Root());
  EXPECT_EQ(Rows().size(), 5u);
}

TEST_F(CommandsTest, SaveWritesAListFileThatOthersReadAndOpenReadsItBack) {
  Scan(Tree.Root());
  const std::vector<std::wstring> scanned = Rows();
  TempDir out;
  SaveAs(out.File("list"));
  const std::string listFile = out.File("list.vq");
  ASSERT_TRUE(FileExists(listFile.c_str())) << "\".vq\" appended to a name without extension";
  EXPECT_EQ(F->isModified, 0);
  EXPECT_EQ(F->isRootPathNew, 0);
  EXPECT_EQ(F->listFileName, AnsiString(listFile.c_str()));
  EXPECT_EQ(TreeLines()[0], L"list.vq");
  EXPECT_EQ(ProgressForm, nullptr);

  std::string output;
  EXPECT_EQ(RunUnix("unzip -t '" + UnixPath(listFile) + "'", &output), 0) << output;
  EXPECT_EQ(RunUnix("7z t '" + UnixPath(listFile) + "'", &output), 0) << output;
  std::string entry;
  const std::string data = ZipSingleEntry(listFile, &entry);
  EXPECT_EQ(entry, "~tmp~list");
  const int entries = 1 + CountNodes(F->rootNode);
  EXPECT_EQ(entries, 1 + 3 + 5);
  ASSERT_EQ(data.size(), 256u + 600u * entries);
  EXPECT_EQ(data.substr(256, 256), std::string(256, '\0')) << "the root's name is never stored";
  EXPECT_NE(data.substr(0, 256), std::string(256, '\0')) << "the scrambled root path";

  // Open gives the same table; saving again gives the same data file.
  OpenFile(listFile);
  EXPECT_EQ(F->listFileName, AnsiString(listFile.c_str()));
  EXPECT_EQ(F->isModified, 0);
  EXPECT_EQ(TreeLines()[0], L"list.vq");
  EXPECT_EQ(Rows(), scanned);
  SaveAs(out.File("again.vq"));
  EXPECT_EQ(ZipSingleEntry(out.File("again.vq")), data) << "save, open, save: the same data file";
  EXPECT_FALSE(FileExists((out.File("~tmp~list")).c_str()));
}

// A drop of names on the window, as the shell delivers it.
void Drop(HWND window, const std::vector<std::string>& names) {
  size_t size = sizeof(DROPFILES) + 1;
  for (const std::string& n : names) size += n.size() + 1;
  HGLOBAL memory = GlobalAlloc(GHND, size);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = FALSE;
  char* p = reinterpret_cast<char*>(drop) + sizeof(DROPFILES);
  for (const std::string& n : names) {
    memcpy(p, n.c_str(), n.size() + 1);
    p += n.size() + 1;
  }
  GlobalUnlock(memory);
  SendMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

TEST_F(CommandsTest, DroppedListFilesOpenOthersAreIgnored) {
  Scan(Tree.Root());
  TempDir out;
  SaveAs(out.File("one.vq"));
  SaveAs(out.File("two.vq"));
  WriteFileBytes(out.File("note.txt"), "text");
  WriteFileBytes(out.File("CAPS.VQ"), ReadFileBytes(out.File("one.vq")));

  Drop(F->Handle(), {out.File("CAPS.VQ")});
  Pump(10);
  EXPECT_EQ(F->listFileName, AnsiString(out.File("two.vq").c_str())) << "the extension is compared exactly";
  Drop(F->Handle(), {out.File("note.txt"), out.File("one.vq"), out.File("two.vq")});
  Pump(10);
  EXPECT_EQ(F->listFileName, AnsiString(out.File("one.vq").c_str())) << "the first list file in the shell's order";
  EXPECT_EQ(TreeLines()[0], L"one.vq");
  EXPECT_EQ(F->openDroppedFile, 0);
  // Nothing starts in the middle of a running job.
  F->jobRunning = true;
  Drop(F->Handle(), {out.File("two.vq")});
  Pump(10);
  F->jobRunning = false;
  EXPECT_EQ(F->listFileName, AnsiString(out.File("one.vq").c_str()));

  // A drop on a changed list asks first; Cancel keeps it, and the next Open
  // does not take the dropped name silently.
  F->isModified = 1;
  {
    DialogDriver answers({{Ansi(L"Сохранить изменения ?"), IDCANCEL}});
    Drop(F->Handle(), {out.File("two.vq")});
    Pump(10);
    EXPECT_TRUE(answers.Unused().empty()) << answers.Log();
  }
  EXPECT_EQ(F->listFileName, AnsiString(out.File("one.vq").c_str()));
  EXPECT_EQ(F->openDroppedFile, 0);
  F->isModified = 0;
}

TEST_F(CommandsTest, CloseAsksToSaveAChangedListAndStaysWhenTheSaveDidNotHappen) {
  EXPECT_TRUE(F->CloseQuery()) << "no list: no question";
  Scan(Tree.Root());
  {
    DialogDriver answers({{Ansi(L"Сохранить изменения ?"), IDCANCEL}});
    EXPECT_FALSE(F->CloseQuery());
    ASSERT_EQ(answers.Shown().size(), 1u);
    EXPECT_EQ(answers.Shown()[0].Title, Ansi(L"Запрос"));
  }
  {
    DialogDriver answers({{Ansi(L"Сохранить изменения ?"), IDNO}});
    EXPECT_TRUE(F->CloseQuery());
  }
  {
    // Yes on a list without a file: the save dialog, cancelled: no close.
    DialogDriver answers({{Ansi(L"Сохранить изменения ?"), IDYES}, {"", IDCANCEL}});
    EXPECT_FALSE(F->CloseQuery());
    EXPECT_TRUE(answers.Unused().empty()) << answers.Log();
    EXPECT_EQ(F->isModified, 1);
    EXPECT_NE(F->rootNode, nullptr);
  }
  TempDir out;
  KeepCurrentFolder keep;
  {
    DialogDriver answers({{Ansi(L"Сохранить изменения ?"), IDYES}, {"", IDOK, out.File("closing.vq")}});
    EXPECT_TRUE(F->CloseQuery());
    EXPECT_TRUE(answers.Unused().empty()) << answers.Log();
  }
  EXPECT_TRUE(FileExists(out.File("closing.vq").c_str()));
  EXPECT_EQ(F->isModified, 0);
  EXPECT_TRUE(F->CloseQuery()) << "saved: no question";
}

TEST_F(CommandsTest, FailedOrCancelledSaveKeepsTheOldFileAndTheChangedFlag) {
  Scan(Tree.Root());
  TempDir out;
  KeepCurrentFolder keep;
  SaveAs(out.File("kept.vq"));
  const std::string saved = ReadFileBytes(out.File("kept.vq"));
  F->isModified = 1;
  {
    // Closing the progress window stops the save.
    DialogDriver answers({{"TProgressForm", 0}});
    EXPECT_FALSE(F->SaveCommand(F));
    Pump(10);
    EXPECT_TRUE(answers.Unused().empty()) << answers.Log();
  }
  EXPECT_EQ(F->isModified, 1);
  EXPECT_EQ(ReadFileBytes(out.File("kept.vq")), saved);
  EXPECT_EQ(F->cancelRequested, 0);
  EXPECT_TRUE(F->Enabled());
  {
    // A list file that cannot be made: message 11, nothing claimed.
    F->listFileName = (out.File("no-such-folder") + "\\x.vq").c_str();
    DialogDriver answers({{Ansi(L"Ошибка"), IDOK}});
    EXPECT_FALSE(F->SaveCommand(F));
    Pump(10);
    ASSERT_EQ(answers.Shown().size(), 1u) << answers.Log();
    EXPECT_TRUE(answers.Unused().empty()) << answers.Log();
  }
  EXPECT_EQ(F->isModified, 1);
  EXPECT_TRUE(F->Enabled());
  EXPECT_EQ(ProgressForm, nullptr);
  // Replacing asks; No keeps the file.
  F->listFileName = "";
  {
    DialogDriver answers({{"", IDOK, out.File("kept.vq")}, {Ansi(L"Заменить файл ?"), IDNO}});
    EXPECT_FALSE(F->SaveCommand(F));
    EXPECT_TRUE(answers.Unused().empty()) << answers.Log();
  }
  EXPECT_EQ(ReadFileBytes(out.File("kept.vq")), saved);
  {
    DialogDriver answers({{"", IDOK, out.File("kept.vq")}, {Ansi(L"Заменить файл ?"), IDYES}});
    EXPECT_TRUE(F->SaveCommand(F));
    EXPECT_TRUE(answers.Unused().empty()) << answers.Log();
  }
  EXPECT_EQ(F->isModified, 0);
}

TEST_F(CommandsTest, SaveOntoAReadOnlyListFileIsRefused) {
  Scan(Tree.Root());
  TempDir out;
  KeepCurrentFolder keep;
  const std::string file = out.File("locked.vq");
  SaveAs(file);
  const std::string saved = ReadFileBytes(file);
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
  FindEntry(F->rootNode, "small.dat")->NeedMark = 1;
  F->isModified = 1;
  // Save and Save As onto it: message 11 each with the file and the reason,
  // the file, its attribute and the changed flag as they were.
  const std::string said =
      Ansi(L"Ошибка при создании файла!: ") + file + "\n" + SysErrorMessage(ERROR_ACCESS_DENIED).str();
  for (int saveAs = 0; saveAs < 2; ++saveAs) {
    DialogDriver answers(saveAs ? std::vector<DialogStep>{{"", IDOK, file}, {Ansi(L"Заменить файл ?"), IDYES},
                                                          {Ansi(L"Ошибка при создании файла!"), IDOK}}
                                : std::vector<DialogStep>{{Ansi(L"Ошибка при создании файла!"), IDOK}});
    EXPECT_FALSE(saveAs ? F->SaveAsCommand(F) : F->SaveCommand(F));
    Pump(10);
    EXPECT_TRUE(answers.Unused().empty()) << saveAs << ": " << answers.Log();
    EXPECT_EQ(answers.Shown().back().Text, said) << saveAs;
    EXPECT_EQ(F->isModified, 1) << saveAs;
    EXPECT_EQ(ReadFileBytes(file), saved) << saveAs;
    EXPECT_NE(GetFileAttributesA(file.c_str()) & FILE_ATTRIBUTE_READONLY, 0u) << saveAs;
    EXPECT_TRUE(F->Enabled());
    EXPECT_EQ(ProgressForm, nullptr);
  }
  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// The system's reason why no new file can be made in folder, as the system
// gives it to anyone who asks for one there.
DWORD NewFileRefusal(const std::string& folder) {
  const std::string name = folder + "\\~new.tmp";
  HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return GetLastError();
  CloseHandle(h);
  DeleteFileA(name.c_str());
  return 0;
}

// The need mark of the entry named name in a list data file, as its records
// lie: 600 bytes each after the 256-byte header, the name first, the mark at
// byte 587. -1 when no record has that name.
int StoredNeedMark(const std::string& data, const std::string& name) {
  for (size_t at = 256; at + 600 <= data.size(); at += 600)
    if (std::string(data.c_str() + at) == name) return static_cast<unsigned char>(data[at + 587]);
  return -1;
}

TEST_F(CommandsTest, AFailedSaveSaysWhichFileAndWhy) {
  Scan(Tree.Root());
  // Thousands of entries whose names do not repeat: an archive of tens of
  // kilobytes.
  uint32_t x = 7;
  for (int i = 0; i < 3000; ++i) {
    EntryRecord record{};
    for (int k = 0; k < 24; ++k) {
      x = x * 1103515245u + 12345u;
      record.Name[k] = static_cast<char>('a' + (x >> 16) % 26);
    }
    record.Kind = 'F';
    InsertNode(F->rootNode, 1, record);
  }
  TempDir out;
  KeepCurrentFolder keep;
  // A disk with room for the list file once, then none or too little.
  SmallDisk disk(out.File("disk"), 1 << 20);
  if (!disk.Mounted()) GTEST_SKIP() << "a tmpfs cannot be mounted here (root and the mount right needed): " << disk.Why();
  const std::string full = out.File("disk") + "\\" + Ansi(L"список.vq");
  const std::string nearly = out.File("disk") + "\\nearly.vq";
  const uint64_t room = 24 * 1024;
  const std::string gone = out.File("gone") + "\\list.vq";
  ASSERT_TRUE(CreateDirectoryA(out.File("gone").c_str(), nullptr));
  const struct {
    std::string file;
    std::function<DWORD()> takeAway;  // the reason the system then gives
  } cases[] = {
      {full,
       [&]() -> DWORD {
         EXPECT_TRUE(disk.LeaveFree(0)) << "the disk filled to the last byte";
         return disk.WriteRefusal();
       }},
      {nearly,
       [&]() -> DWORD {
         EXPECT_GT(ReadFileBytes(nearly).size(), room + 4096) << "the list outgrows the room left";
         EXPECT_TRUE(disk.LeaveFree(room));
         return disk.WriteRefusal();
       }},
      {gone,
       [&]() -> DWORD {
         DeleteFileA(gone.c_str());
         EXPECT_TRUE(RemoveDirectoryA(out.File("gone").c_str()));
         return NewFileRefusal(out.File("gone"));
       }},
  };
  for (const auto& c : cases) {
    DeleteFileA(out.File("disk\\filler").c_str());
    SaveAs(c.file);
    ASSERT_EQ(F->isModified, 0) << c.file;
    const DWORD reason = c.takeAway();
    ASSERT_NE(reason, 0u) << c.file;
    // The system's own words, in Russian on this Russian system.
    const std::string why = SysErrorMessage(reason).str();
    EXPECT_TRUE(!why.empty() && std::none_of(why.begin(), why.end(), [](char ch) {
      return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
    })) << why;
    const std::string saved = ReadFileBytes(c.file);
    const bool there = GetFileAttributesA(c.file.c_str()) != INVALID_FILE_ATTRIBUTES;
    EXPECT_EQ(there, !saved.empty()) << c.file;
    FindEntry(F->rootNode, "small.dat")->NeedMark ^= 1;
    const uint8_t mark = FindEntry(F->rootNode, "small.dat")->NeedMark;
    F->isModified = 1;
    DialogDriver answers({{Ansi(L"Ошибка"), IDOK}});
    EXPECT_FALSE(F->SaveCommand(F));
    Pump(10);
    ASSERT_EQ(answers.Shown().size(), 1u) << answers.Log();
    EXPECT_EQ(answers.Shown()[0].Text,
              Ansi(L"Ошибка при создании файла!: ") + c.file + "\n" + SysErrorMessage(reason).str());
    // The list stays changed; on disk what was there before, and nothing else.
    EXPECT_EQ(F->isModified, 1);
    EXPECT_EQ(FindEntry(F->rootNode, "small.dat")->NeedMark, mark);
    EXPECT_EQ(ReadFileBytes(c.file), saved) << c.file;
    EXPECT_EQ(GetFileAttributesA(c.file.c_str()) != INVALID_FILE_ATTRIBUTES, there) << c.file;
    if (!there) {
      EXPECT_EQ(GetFileAttributesA(out.File("gone").c_str()), INVALID_FILE_ATTRIBUTES) << "no folder made anew";
    }
    EXPECT_TRUE(F->Enabled());
    EXPECT_EQ(ProgressForm, nullptr);
    // Saved elsewhere, the change is in the file.
    const std::string elsewhere = out.File("elsewhere" + std::to_string(&c - cases) + ".vq");
    SaveAs(elsewhere);
    EXPECT_EQ(F->isModified, 0);
    const std::string data = ZipSingleEntry(elsewhere);
    EXPECT_EQ(data.size(), 256u + 600u * (1 + CountNodes(F->rootNode)));
    EXPECT_EQ(StoredNeedMark(data, "small.dat"), mark) << c.file;
    if (there) {
      EXPECT_EQ(StoredNeedMark(ZipSingleEntry(c.file), "small.dat"), mark ^ 1) << "the old list as it was";
    }
  }
}

TEST_F(CommandsTest, OpenFailuresShowTheirMessagesAndKeepTheList) {
  Scan(Tree.Root());
  TempDir out;
  SaveAs(out.File("good.vq"));
  const ListNode* loaded = F->rootNode;
  WriteFileBytes(out.File("not-a-zip.vq"), "this is no archive");
  {
    DialogDriver answers({{Ansi(L"Неудачная попытка разархивировать файл - ") + out.File("not-a-zip.vq"), IDOK}});
    OpenFile(out.File("not-a-zip.vq"));
    EXPECT_TRUE(answers.Unused().empty()) << answers.Log();
  }
  EXPECT_EQ(F->rootNode, loaded);
  EXPECT_EQ(F->listFileName, AnsiString(out.File("good.vq").c_str()));
  EXPECT_TRUE(F->Enabled());
  EXPECT_EQ(OpenSaveForm, nullptr);
  // Damaged records: message 6, found before the list in memory is given up.
  const int treeNodes = F->tvTreeOfFile->Items()->Count();
  std::string data = ZipSingleEntry(out.File("good.vq"));
  data.resize(data.size() - 600);
  WriteFileBytes(out.File("~tmp~cut"), data);
  std::string output;
  ASSERT_EQ(RunUnix("cd '" + UnixPath(out.Path()) + "' && zip -q cut.vq '~tmp~cut'", &output), 0) << output;
  {
    // Named as the unpacking failure names it.
    const std::string said = Ansi(L"Ошибка при загрузке файла! Возможно он повреждён - ") + out.File("cut.vq");
    DialogDriver answers({{said, IDOK}});
    OpenFile(out.File("cut.vq"));
    EXPECT_TRUE(answers.Unused().empty()) << answers.Log();
    ASSERT_EQ(answers.Shown().size(), 1u) << answers.Log();
    EXPECT_EQ(answers.Shown()[0].Text, said);
  }
  EXPECT_EQ(F->rootNode, loaded);
  EXPECT_EQ(F->listFileName, AnsiString(out.File("good.vq").c_str()));
  EXPECT_EQ(F->tvTreeOfFile->Items()->Count(), treeNodes);
  EXPECT_GT(treeNodes, 0);
  EXPECT_TRUE(F->Enabled());
  // And the good file opens again.
  OpenFile(out.File("good.vq"));
  EXPECT_NE(F->rootNode, nullptr);
  EXPECT_EQ(Rows().size(), 5u);
}

// A list opened while the temporary folder's disk is full: the box names the
// list and the system's reason; the window stays empty and opens a list once
// the disk has room, and the temporary folder keeps nothing of either open.
TEST_F(CommandsTest, AnOpenWithNoRoomToUnpackSaysWhyAndLeavesTheWindowAsItWas) {
  TempDir out;
  SmallDisk disk(out.File("disk"), 1 << 20);
  if (!disk.Mounted()) GTEST_SKIP() << "a tmpfs cannot be mounted here (root and the mount right needed): " << disk.Why();
  const std::string list = out.File(Ansi(L"список.vq")), temp = out.File("disk\\tmp");
  WriteDeepList(list, 3);
  ASSERT_TRUE(CreateDirectoryA(temp.c_str(), nullptr));
  // Filled while the harness may still keep its files in the process's own
  // temporary folder; then that folder is on the disk until the test ends.
  ASSERT_TRUE(disk.LeaveFree(0));
  const DWORD reason = disk.WriteRefusal();
  ASSERT_NE(reason, 0u);
  EnvironmentChange tmp("TMP", temp.c_str());
  {
    DialogDriver answers({{Ansi(L"Неудачная попытка"), IDOK}});
    OpenFile(list);
    ASSERT_EQ(answers.Shown().size(), 1u) << answers.Log();
    EXPECT_EQ(answers.Shown()[0].Text,
              Ansi(L"Неудачная попытка разархивировать файл - ") + list + "\n" + SysErrorMessage(reason).str());
  }
  EXPECT_EQ(FolderNames(temp), std::vector<std::string>{});
  EXPECT_EQ(F->rootNode, nullptr);
  EXPECT_EQ(F->listLoaded, 0);
  EXPECT_EQ(F->listFileName, AnsiString());
  EXPECT_EQ(F->tvTreeOfFile->Items()->Count(), 0);
  EXPECT_TRUE(Rows().empty());
  EXPECT_TRUE(F->Enabled());
  EXPECT_EQ(OpenSaveForm, nullptr);
  // With room on the disk the same list opens.
  ASSERT_TRUE(DeleteFileA(out.File("disk\\filler").c_str()));
  OpenFile(list);
  ASSERT_NE(F->rootNode, nullptr);
  EXPECT_EQ(CountNodes(F->rootNode), 4);
  EXPECT_EQ(F->listFileName, AnsiString(list.c_str()));
  EXPECT_EQ(F->listLoaded, 1);
  EXPECT_EQ(FolderNames(temp), std::vector<std::string>{});
}

TEST_F(CommandsTest, AListOfTheRootAloneSavesAndAReadOnlyListFileOpens) {
  TestTree empty;
  Scan(empty.Root());
  EXPECT_EQ(Rows().size(), 0u);
  ASSERT_NE(F->rootNode, nullptr);
  TempDir out;
  SaveAs(out.File("root.vq"));
  EXPECT_EQ(F->isModified, 0);
  const std::string data = ZipSingleEntry(out.File("root.vq"));
  ASSERT_EQ(data.size(), 856u);
  int32_t lastChild = 0;
  memcpy(&lastChild, data.data() + 256 + 596, 4);
  EXPECT_EQ(lastChild, -1);
  // Opening only reads: a read-only list file opens and stays as it was.
  SetFileAttributesA(out.File("root.vq").c_str(), FILE_ATTRIBUTE_READONLY);
  const std::string before = ReadFileBytes(out.File("root.vq"));
  OpenFile(out.File("root.vq"));
  EXPECT_NE(F->rootNode, nullptr);
  EXPECT_EQ(F->listFileName, AnsiString(out.File("root.vq").c_str()));
  EXPECT_EQ(ReadFileBytes(out.File("root.vq")), before);
  SetFileAttributesA(out.File("root.vq").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(ScanChooser, CancelledChooserGivesNothing) {
  WideString path = L"unchanged";
  ScriptDialogs answers({});
  EXPECT_FALSE(ChooseFolder(nullptr, L"Выберите директорию", path));
  EXPECT_EQ(path, WideString(L"unchanged"));
  // Wine's chooser is activated once or twice, and in a long test program it
  // may fail before showing; what matters here is that nothing was chosen.
  for (const auto& seen : answers.Shown()) EXPECT_FALSE(seen.Answered) << seen.Title;
}

}  // namespace
