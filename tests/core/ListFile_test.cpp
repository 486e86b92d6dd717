// Saving and opening list files through the archive engine: the peers accept
// the archive, the single entry is the byte-exact data file, save -> open ->
// save keeps the bytes, and no failure loses or touches a file of the user.
#include <gtest/gtest.h>

#include <memory>

#include "CoreTestUtil.h"
#include "ListFile.h"
#include "UcSysUtils.h"
#include "Ucrypt.h"

namespace {

struct Steps : IStepProgress {
  int Count = 0;
  int CancelAfter = -1;
  void Step() override { ++Count; }
  bool CancelRequested() override { return CancelAfter >= 0 && Count >= CancelAfter; }
};

std::string DataBytes(const AnsiString& header, const ListNode* root) {
  TMemoryStream m;
  WriteListData(m, header, root, nullptr);
  return std::string(static_cast<const char*>(m.Memory()), m.Size());
}

// The temporary folders of the save and open roads of a process (this one
// when none is named).
std::vector<std::string> TempLeftovers(DWORD pid = GetCurrentProcessId()) {
  char base[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, base);
  std::vector<std::string> r;
  WIN32_FIND_DATAA d;
  const std::string mask = std::string(base) + "fennolit-" + IntToHex(pid, 4).str() + "-*";
  HANDLE h = FindFirstFileA(mask.c_str(), &d);
  if (h == INVALID_HANDLE_VALUE) return r;
  do r.push_back(d.cFileName);
  while (FindNextFileA(h, &d));
  FindClose(h);
  return r;
}

std::string TempBase() {
  char base[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, base);
  return base;
}

// Python's zipfile: the archive tests clean, holds one deflated entry of the
// name given (no fast or super-fast flag) and its bytes are those of expected.
int PythonReadsTheEntry(const std::string& list, const std::string& entry, const std::string& expected,
                        std::string* out) {
  const char* py =
      "import sys, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "assert z.testzip() is None\n"
      "assert len(z.infolist()) == 1\n"
      "i = z.infolist()[0]\n"
      "assert i.orig_filename == sys.argv[2], i.orig_filename\n"
      "assert i.compress_type == zipfile.ZIP_DEFLATED\n"
      "assert (i.flag_bits >> 1) & 3 == 0  # normal/maximum: no fast or super-fast flag\n"
      "assert z.read(i) == open(sys.argv[3], 'rb').read()\n"
      "print('ok')\n";
  return RunPython(py, Q(UnixPath(list)) + " " + Q(entry) + " " + Q(UnixPath(expected)), out);
}

struct ListFiles : ::testing::Test {
  TempDir dir;
  std::unique_ptr<TZipEngine> zip{new TZipEngine(nullptr)};
  ListNode* root = nullptr;
  std::vector<std::string> leftoversBefore = TempLeftovers();

  ListFiles() { ConfigureListEngine(*zip); }
  ~ListFiles() override {
    FreeNodeTree(root);
    EXPECT_EQ(TempLeftovers(), leftoversBefore);
  }

  // root "C:\scan" { a.txt (marked, commented), sub { b.bin (absent, damaged) } }
  void MakeTree() {
    root = MakeEntry(nullptr, "C:\\scan", ekFolder);
    ListNode* a = MakeEntry(root, A(L"файл.txt"), ekFile);
    a->NeedMark = 1;
    SetFieldText(a->Comment, A(L"нужен"));
    a->Size = ExtendedFromUInt64(1234);
    ListNode* sub = MakeEntry(root, "sub", ekFolder);
    sub->MarkedCount = 1;
    ListNode* b = MakeEntry(sub, "b.bin", ekFile);
    b->Absent = 1;
    b->Attributes = DamagedBit;
    for (int i = 0; i < 500; ++i) MakeEntry(sub, std::string("f").append(std::to_string(i)), ekFile);
  }
  AnsiString Header() const { return ScrambleString("C:\\scan", kScrambleStartKey, kScrambleMultiplier, kScrambleAddend); }
};

TEST_F(ListFiles, SavedListIsOneLevel9EntryThatPeersAccept) {
  MakeTree();
  const std::string expected = DataBytes(Header(), root);
  Steps steps;
  ASSERT_EQ(SaveListFile(*zip, dir.File("disk1.vq"), Header(), root, &steps), TSaveStatus::Saved);
  EXPECT_EQ(steps.Count, 1 + CountNodes(root));
  // The path name is cleared in the tree once the list is saved.
  EXPECT_EQ(root->Name[0], '\0');
  WriteFileBytes(dir.File("expected.bin"), expected);
  const std::string arc = Q(UnixPath(dir.File("disk1.vq")));
  std::string out;
  EXPECT_EQ(RunUnix("unzip -t " + arc, &out), 0) << out;
  EXPECT_EQ(RunUnix("7z t " + arc, &out), 0) << out;
  EXPECT_EQ(PythonReadsTheEntry(dir.File("disk1.vq"), "~tmp~disk1", dir.File("expected.bin"), &out), 0) << out;
  // Nothing beside the list file but the list file and what the test wrote.
  EXPECT_EQ(FolderNames(dir.Path()), (std::vector<std::string>{"disk1.vq", "expected.bin"}));
}

TEST_F(ListFiles, SaveOpenSaveKeepsTheDataFile) {
  MakeTree();
  const std::string list1 = dir.File(A(L"Список.vq")), list2 = dir.File("again.vq");
  ASSERT_EQ(SaveListFile(*zip, list1, Header(), root, nullptr), TSaveStatus::Saved);
  const std::string saved = DataBytes(Header(), root);
  TOpenResult r = OpenListFile(*zip, list1);
  ASSERT_EQ(r.Status, TOpenStatus::Opened);
  std::unique_ptr<ListNode, void (*)(ListNode*)> opened(r.Data.Root, FreeNodeTree);
  EXPECT_EQ(r.Data.ScrambledRootPath, Header());
  EXPECT_EQ(opened->Name[0], '\0');
  EXPECT_EQ(CountNodes(opened.get()), CountNodes(root));
  EXPECT_EQ(FieldText(opened->Child(0)->Comment).str(), A(L"нужен"));
  ASSERT_EQ(SaveListFile(*zip, list2, r.Data.ScrambledRootPath, opened.get(), nullptr), TSaveStatus::Saved);
  TOpenResult again = OpenListFile(*zip, list2);
  ASSERT_EQ(again.Status, TOpenStatus::Opened);
  EXPECT_EQ(DataBytes(again.Data.ScrambledRootPath, again.Data.Root), saved);
  FreeNodeTree(again.Data.Root);
  // The stored entry follows the list's name.
  std::string out;
  EXPECT_EQ(RunPython("import sys, zipfile\nprint(zipfile.ZipFile(sys.argv[1]).namelist())\n",
                      Q(UnixPath(list2)), &out),
            0);
  EXPECT_NE(out.find("~tmp~again"), std::string::npos) << out;
}

TEST_F(ListFiles, SaveReplacesOnlyWhenComplete) {
  MakeTree();
  const std::string list = dir.File("keep.vq");
  WriteFileBytes(list, "the previous list");
  // Files named like the data file and like the base name beside the list are
  // not the save's to touch.
  WriteFileBytes(dir.File("~tmp~keep"), "user file 1");
  WriteFileBytes(dir.File("keep"), "user file 2");
  Steps cancel;
  cancel.CancelAfter = 2;
  EXPECT_EQ(SaveListFile(*zip, list, Header(), root, &cancel), TSaveStatus::Cancelled);
  EXPECT_EQ(ReadFileBytes(list), "the previous list");
  EXPECT_EQ(FieldText(root->Name), "C:\\scan");  // not saved: the tree keeps its path
  EXPECT_EQ(FolderNames(dir.Path()), (std::vector<std::string>{"keep", "keep.vq", "~tmp~keep"}));

  // A list file name that is a folder cannot be replaced: reported, nothing left.
  CreateDirectoryA(dir.File("folder.vq").c_str(), nullptr);
  EXPECT_EQ(SaveListFile(*zip, dir.File("folder.vq"), Header(), root, nullptr), TSaveStatus::CreateFailed);
  EXPECT_EQ(FolderNames(dir.Path()), (std::vector<std::string>{"folder.vq", "keep", "keep.vq", "~tmp~keep"}));
  // A folder that does not exist.
  EXPECT_EQ(SaveListFile(*zip, dir.File("nowhere\\x.vq"), Header(), root, nullptr), TSaveStatus::CreateFailed);

  ASSERT_EQ(SaveListFile(*zip, list, Header(), root, nullptr), TSaveStatus::Saved);
  EXPECT_EQ(ReadFileBytes(dir.File("~tmp~keep")), "user file 1");
  EXPECT_EQ(ReadFileBytes(dir.File("keep")), "user file 2");
  EXPECT_EQ(FolderNames(dir.Path()), (std::vector<std::string>{"folder.vq", "keep", "keep.vq", "~tmp~keep"}));
}

TEST_F(ListFiles, RootOnlyListSavesAndOpens) {
  root = MakeEntry(nullptr, "C:\\empty", ekFolder);
  TProgressCounter counter;
  counter.Total = CountNodes(root);
  struct CounterSteps : IStepProgress {
    TProgressCounter& C;
    explicit CounterSteps(TProgressCounter& c) : C(c) {}
    void Step() override { C.Step(); }
    bool CancelRequested() override { return false; }
  } steps(counter);
  ASSERT_EQ(SaveListFile(*zip, dir.File("root.vq"), "", root, &steps), TSaveStatus::Saved);
  EXPECT_EQ(counter.Position, 100);
  TOpenResult r = OpenListFile(*zip, dir.File("root.vq"));
  ASSERT_EQ(r.Status, TOpenStatus::Opened);
  EXPECT_EQ(r.Data.Root->LastChildIndex, -1);
  EXPECT_EQ(r.Data.ScrambledRootPath, "");
  FreeNodeTree(r.Data.Root);
}

TEST_F(ListFiles, OpenNeverWritesToTheListFile) {
  MakeTree();
  const std::string list = dir.File("ro.vq");
  ASSERT_EQ(SaveListFile(*zip, list, Header(), root, nullptr), TSaveStatus::Saved);
  const std::string before = ReadFileBytes(list);
  WriteFileBytes(dir.File("ro"), "a user file named like the entry");
  CreateDirectoryA(dir.File("ro.d").c_str(), nullptr);
  ASSERT_EQ(RunUnix("chmod a-w " + Q(UnixPath(list))), 0);
  ASSERT_TRUE(GetFileAttributesA(list.c_str()) & FILE_ATTRIBUTE_READONLY);
  FILETIME t1{}, t2{};
  WIN32_FILE_ATTRIBUTE_DATA a;
  GetFileAttributesExA(list.c_str(), GetFileExInfoStandard, &a);
  t1 = a.ftLastWriteTime;
  TOpenResult r = OpenListFile(*zip, list);
  ASSERT_EQ(r.Status, TOpenStatus::Opened);
  FreeNodeTree(r.Data.Root);
  GetFileAttributesExA(list.c_str(), GetFileExInfoStandard, &a);
  t2 = a.ftLastWriteTime;
  EXPECT_EQ(CompareFileTime(&t1, &t2), 0);
  EXPECT_EQ(ReadFileBytes(list), before);
  EXPECT_EQ(ReadFileBytes(dir.File("ro")), "a user file named like the entry");
  EXPECT_EQ(FolderNames(dir.Path()), (std::vector<std::string>{"ro", "ro.d", "ro.vq"}));
  RunUnix("chmod u+w " + Q(UnixPath(list)));
}

TEST_F(ListFiles, OpenFailuresAreNamed) {
  // Archives made by Python: empty, two entries, an entry whose bytes do not
  // match its checksum, an empty entry, damaged data, an entry stored under a
  // path.
  const char* py =
      "import sys, zipfile, struct\n"
      "d = sys.argv[1]\n"
      "zipfile.ZipFile(d + '/empty.vq', 'w').close()\n"
      "with zipfile.ZipFile(d + '/two.vq', 'w') as z:\n"
      "    z.writestr('a', b'x' * 856); z.writestr('b', b'y')\n"
      "with zipfile.ZipFile(d + '/crc.vq', 'w') as z:\n"
      "    z.writestr('~tmp~crc', b'CRC-MARK' + bytes(248 + 600))\n"
      "b = open(d + '/crc.vq', 'rb').read()\n"
      "open(d + '/crc.vq', 'wb').write(b.replace(b'CRC-MARK', b'CRC-MARX'))\n"
      "with zipfile.ZipFile(d + '/zero.vq', 'w') as z:\n"
      "    z.writestr('~tmp~zero', b'')\n"
      "rec = bytes(568) + b'D' + bytes(23) + struct.pack('<ii', 0, 5)\n"
      "with zipfile.ZipFile(d + '/cut.vq', 'w', zipfile.ZIP_DEFLATED) as z:\n"
      "    z.writestr('~tmp~cut', bytes(256) + rec)\n"
      "leaf = bytes(568) + b'F' + bytes(23) + struct.pack('<ii', 1, -1)\n"
      "with zipfile.ZipFile(d + '/deep.vq', 'w', zipfile.ZIP_DEFLATED) as z:\n"
      "    z.writestr('some/folder/~tmp~deep', b'hdr' + bytes(253) + rec.replace(struct.pack('<i', 5), struct.pack('<i', 0)) + leaf + b'tail')\n";
  std::string out;
  ASSERT_EQ(RunPython(py, Q(UnixPath(dir.Path())), &out), 0) << out;
  WriteFileBytes(dir.File("text.vq"), "not a zip archive at all");
  // Files that are not lists, and a missing one: the engine's own findings,
  // with no system's reason to tell.
  for (const char* name : {"text.vq", "missing.vq", "empty.vq", "two.vq", "crc.vq"}) {
    const TOpenResult r = OpenListFile(*zip, dir.File(name));
    EXPECT_EQ(r.Status, TOpenStatus::UnpackFailed) << name;
    EXPECT_EQ(r.Reason, 0u) << name;
    EXPECT_EQ(r.Data.Root, nullptr) << name;
  }
  EXPECT_EQ(OpenListFile(*zip, dir.File("zero.vq")).Status, TOpenStatus::DataEmpty);
  EXPECT_EQ(OpenListFile(*zip, dir.File("cut.vq")).Status, TOpenStatus::LoadFailed);
  TOpenResult deep = OpenListFile(*zip, dir.File("deep.vq"));
  ASSERT_EQ(deep.Status, TOpenStatus::Opened);
  EXPECT_EQ(deep.Data.ScrambledRootPath, "hdr");
  EXPECT_EQ(CountNodes(deep.Data.Root), 1);
  FreeNodeTree(deep.Data.Root);
}

// The data is checked while it is unpacked, in the blocks the engine writes
// (records split between blocks, stored and deflated entries); the verdict is
// the one reading the tree comes to, and a damaged list is refused before the
// caller gives up the list it holds.
TEST_F(ListFiles, DataIsCheckedOnItsWayOut) {
  const char* py =
      "import sys, zipfile, struct\n"
      "d = sys.argv[1]\n"
      "def rec(kind, level, last):\n"
      "    return bytes(568) + kind + bytes(23) + struct.pack('<ii', level, last)\n"
      "hdr = b'hdr' + bytes(253)\n"
      "files = rec(b'F', 1, -1) * 2500\n"
      "lists = {\n"
      "    'sound': hdr + rec(b'D', 0, 2499) + files + b'tail',\n"
      "    'short': hdr + rec(b'D', 0, 2500) + files,\n"
      "    'late': hdr + rec(b'D', 0, 2499) + rec(b'F', 1, -1) * 2000 + rec(b'F', 1, 0) + rec(b'F', 2, -1) * 500,\n"
      "}\n"
      "for name, data in lists.items():\n"
      "    for method, tag in ((zipfile.ZIP_DEFLATED, 'z'), (zipfile.ZIP_STORED, 's')):\n"
      "        with zipfile.ZipFile(d + '/' + name + tag + '.vq', 'w', method) as z:\n"
      "            z.writestr('~tmp~' + name + tag, data)\n";
  std::string out;
  ASSERT_EQ(RunPython(py, Q(UnixPath(dir.Path())), &out), 0) << out;
  for (const char* tag : {"z", "s"}) {
    const std::string sound = dir.File(std::string("sound") + tag + ".vq");
    TUnpackedList unpacked;
    ASSERT_EQ(unpacked.Unpack(*zip, sound), TOpenStatus::Opened) << tag;
    EXPECT_EQ(unpacked.Check(), TOpenStatus::Opened) << tag;
    TListData data;
    ASSERT_EQ(unpacked.Load(data), TOpenStatus::Opened) << tag;
    EXPECT_EQ(data.ScrambledRootPath, "hdr");
    EXPECT_EQ(CountNodes(data.Root), 2500);
    FreeNodeTree(data.Root);
    for (const char* name : {"short", "late"}) {
      const std::string damaged = dir.File(std::string(name) + tag + ".vq");
      TUnpackedList refused;
      ASSERT_EQ(refused.Unpack(*zip, damaged), TOpenStatus::Opened) << name << tag;
      EXPECT_EQ(refused.Check(), TOpenStatus::LoadFailed) << name << tag;
      TListData none;
      EXPECT_EQ(refused.Load(none), TOpenStatus::LoadFailed) << name << tag;
      EXPECT_EQ(none.Root, nullptr);
      // Reading the tree without the check refuses it as well.
      EXPECT_EQ(OpenListFile(*zip, damaged).Status, TOpenStatus::LoadFailed) << name << tag;
    }
  }
}

TEST_F(ListFiles, OpenInTwoHalves) {
  MakeTree();
  ASSERT_EQ(SaveListFile(*zip, dir.File("two.vq"), Header(), root, nullptr), TSaveStatus::Saved);
  TListData data;
  {
    TUnpackedList never;
    EXPECT_EQ(never.Load(data), TOpenStatus::LoadFailed);
    EXPECT_EQ(data.Root, nullptr);
  }
  TUnpackedList unpacked;
  ASSERT_EQ(unpacked.Unpack(*zip, dir.File("two.vq")), TOpenStatus::Opened);
  // The unpacked data file waits in this process's own temporary folder.
  EXPECT_EQ(TempLeftovers().size(), leftoversBefore.size() + 1);
  ASSERT_EQ(unpacked.Load(data), TOpenStatus::Opened);
  EXPECT_EQ(CountNodes(data.Root), CountNodes(root));
  EXPECT_EQ(DataBytes(data.ScrambledRootPath, data.Root), DataBytes(Header(), root));
  FreeNodeTree(data.Root);
  TUnpackedList failed;
  EXPECT_EQ(failed.Unpack(*zip, dir.File("none.vq")), TOpenStatus::UnpackFailed);
  EXPECT_EQ(failed.Load(data), TOpenStatus::LoadFailed);
}

// Every failed open names the list file; every failed save names it and the
// system's reason when there is one.
TEST_F(ListFiles, FailureMessages) {
  const std::string unpack = A(L"Неудачная попытка разархивировать файл - C:\\x.vq");
  const struct {
    TOpenStatus status;
    DWORD reason;
    std::vector<std::string> shown;
  } opens[] = {
      {TOpenStatus::UnpackFailed, 0, {unpack}},
      {TOpenStatus::UnpackFailed, ERROR_DISK_FULL, {unpack + "\n" + SysErrorMessage(ERROR_DISK_FULL).str()}},
      {TOpenStatus::DataOpenFailed, 0,
       {unpack + A(L"\nВозможно в той же папке находиться папка с совпадающим именем \nпожалуйста, откройте файл из "
                   L"другого места")}},
      {TOpenStatus::DataEmpty, 0, {A(L"Файл пуст!")}},
      {TOpenStatus::LoadFailed, 0, {A(L"Ошибка при загрузке файла! Возможно он повреждён - C:\\x.vq")}},
      // Only the unpacking has a system's reason to tell.
      {TOpenStatus::LoadFailed, ERROR_DISK_FULL, {A(L"Ошибка при загрузке файла! Возможно он повреждён - C:\\x.vq")}},
      {TOpenStatus::Opened, 0, {}},
  };
  for (const auto& c : opens) {
    FakeHost host;
    ReportOpenFailure(host, c.status, "C:\\x.vq", c.reason);
    EXPECT_EQ(host.Shown, c.shown) << static_cast<int>(c.status);
    EXPECT_TRUE(host.Asked.empty());
  }
  const std::string create = A(L"Ошибка при создании файла!: C:\\x.vq");
  const struct {
    TSaveStatus status;
    DWORD reason;
    std::vector<std::string> shown;
  } saves[] = {
      {TSaveStatus::CreateFailed, 0, {create}},
      {TSaveStatus::WriteFailed, ERROR_DISK_FULL, {create + "\n" + SysErrorMessage(ERROR_DISK_FULL).str()}},
      {TSaveStatus::Cancelled, 0, {}},
      {TSaveStatus::Saved, 0, {}},
  };
  for (const auto& c : saves) {
    FakeHost host;
    ReportSaveFailure(host, c.status, "C:\\x.vq", c.reason);
    EXPECT_EQ(host.Shown, c.shown) << static_cast<int>(c.status);
  }
}

TEST(ListFileNames, SaveAsAppendsTheExtension) {
  EXPECT_EQ(ListFileNameWithExtension("C:\\lists\\name"), "C:\\lists\\name.vq");
  EXPECT_EQ(ListFileNameWithExtension("C:\\lists\\name.vq"), "C:\\lists\\name.vq");
  EXPECT_EQ(ListFileNameWithExtension("C:\\lists\\name.lst"), "C:\\lists\\name.lst");
  EXPECT_EQ(ListFileNameWithExtension("C:\\dir.d\\name"), "C:\\dir.d\\name.vq");
}

}  // namespace

namespace {

TEST(ListFileRoad, FlagsChangeOnlyWhenSaved) {
  TempDir dir;
  TZipEngine zip(nullptr);
  ConfigureListEngine(zip);
  FakeHost host;
  ListNode* root = MakeEntry(nullptr, "D:\\Data", ekFolder);
  MakeEntry(root, "x", ekFile);
  AnsiString scrambled = "old";
  uint8_t isRootPathNew = 1, isModified = 1;
  // A failure keeps everything and says so.
  EXPECT_EQ(SaveList(host, zip, dir.File("missing\\a.vq"), root, "D:\\Data", scrambled, isRootPathNew, isModified,
                     nullptr),
            TSaveStatus::CreateFailed);
  EXPECT_EQ(scrambled, "old");
  EXPECT_EQ(isRootPathNew, 1);
  EXPECT_EQ(isModified, 1);
  EXPECT_EQ(FieldText(root->Name), "D:\\Data");
  // Message 11 with the list file's path, then the system's reason.
  const std::string said = A(L"Ошибка при создании файла!: ") + dir.File("missing\\a.vq") + "\n";
  ASSERT_EQ(host.Shown.size(), 1u);
  EXPECT_EQ(host.Shown[0].substr(0, said.size()), said);
  EXPECT_GT(host.Shown[0].size(), said.size());
  // The first save scrambles the path; a second writes the same header.
  ASSERT_EQ(SaveList(host, zip, dir.File("a.vq"), root, "D:\\Data", scrambled, isRootPathNew, isModified, nullptr),
            TSaveStatus::Saved);
  EXPECT_EQ(scrambled.str(), "\x46\x7F\xFA\x48\xF6\xFF\x41");
  EXPECT_EQ(isRootPathNew, 0);
  EXPECT_EQ(isModified, 0);
  isModified = 1;
  ASSERT_EQ(SaveList(host, zip, dir.File("a.vq"), root, "", scrambled, isRootPathNew, isModified, nullptr),
            TSaveStatus::Saved);
  TOpenResult r = OpenListFile(zip, dir.File("a.vq"));
  ASSERT_EQ(r.Status, TOpenStatus::Opened);
  EXPECT_EQ(r.Data.ScrambledRootPath.str(), "\x46\x7F\xFA\x48\xF6\xFF\x41");
  FreeNodeTree(r.Data.Root);
  EXPECT_EQ(host.Shown.size(), 1u);
  FreeNodeTree(root);
}

}  // namespace

namespace {

// The leftovers of a save that was killed: a second process of this test
// program saves a list and stops part-way, as a save is when the program is
// killed, until it is killed or this process ends.
const char kHeldSave[] = "FENNOLIT_TEST_HELD_SAVE";

class HeldSave {
public:
  // stage: "records" (the data file half written) or "archive" (the archive
  // begun). signal: a file the process writes once it stops.
  HeldSave(const std::string& list, const std::string& stage, const std::string& signal) {
    const std::string setting = stage + "|" + std::to_string(GetCurrentProcessId()) + "|" + signal + "|" + list;
    SetEnvironmentVariableA(kHeldSave, setting.c_str());
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string command = std::string("\"") + exe +
                          "\" --gtest_also_run_disabled_tests --gtest_filter=HeldSaveProcess.DISABLED_StopsPartWay";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = si.hStdOutput = si.hStdError = nul;
    EXPECT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &FInfo))
        << GetLastError();
    CloseHandle(nul);
    SetEnvironmentVariableA(kHeldSave, nullptr);
  }
  ~HeldSave() {
    Kill();
    CloseHandle(FInfo.hThread);
    CloseHandle(FInfo.hProcess);
    // Whatever way the test ends, the killed save's folder goes too.
    if (FInfo.hProcess) RemoveTempFolders("fennolit-" + IntToHex(Pid(), 4).str() + "-*");
  }
  HeldSave(const HeldSave&) = delete;
  HeldSave& operator=(const HeldSave&) = delete;
  DWORD Pid() const { return FInfo.dwProcessId; }
  void Kill() {
    if (!FInfo.hProcess) return;
    TerminateProcess(FInfo.hProcess, 1);
    EXPECT_EQ(WaitForSingleObject(FInfo.hProcess, kWaitBoundMs), WAIT_OBJECT_0);
  }

private:
  PROCESS_INFORMATION FInfo = {};
};

// A list as big as the save of a real disk makes it for a while: 20,000
// entries, 12 MB of records, several of the engine's blocks.
ListNode* BigTree() {
  ListNode* root = MakeEntry(nullptr, "C:\\big", ekFolder);
  for (int f = 0; f < 100; ++f) {
    ListNode* folder = MakeEntry(root, "folder" + std::to_string(f), ekFolder);
    for (int i = 0; i < 199; ++i) MakeEntry(folder, "file" + std::to_string(i) + ".dat", ekFile);
  }
  return root;
}

// The second process: run only by HeldSave.
TEST(HeldSaveProcess, DISABLED_StopsPartWay) {
  char setting[4096] = {};
  if (!GetEnvironmentVariableA(kHeldSave, setting, sizeof setting)) GTEST_SKIP() << "started by HeldSave only";
  std::vector<std::string> parts;
  std::string rest = setting;
  for (int i = 0; i < 3; ++i) {
    parts.push_back(rest.substr(0, rest.find('|')));
    rest = rest.substr(rest.find('|') + 1);
  }
  struct Stop : IStepProgress {
    std::string Stage, Signal;
    DWORD Parent = 0;
    int Count = 0;
    // Waits to be killed; should that never come, ends with the test that
    // started it.
    void Hold() {
      WriteFileBytes(Signal, "held");
      HANDLE parent = OpenProcess(SYNCHRONIZE, FALSE, Parent);
      WaitForSingleObject(parent, 4 * kWaitBoundMs);
      ExitProcess(3);
    }
    void Step() override {
      if (Stage == "records" && ++Count == 10000) Hold();
    }
    bool CancelRequested() override { return false; }
    static void OnFile(void* data, TObject*, const WideString&, double progress, TZEProcessOperation,
                       TZEProgressPhase, bool&) {
      auto* stop = static_cast<Stop*>(data);
      if (stop->Stage == "archive" && progress > 0) stop->Hold();
    }
  } stop;
  stop.Stage = parts[0];
  stop.Parent = static_cast<DWORD>(std::stoul(parts[1]));
  stop.Signal = parts[2];
  ListNode* root = BigTree();
  TZipEngine zip(nullptr);
  ConfigureListEngine(zip);
  zip.OnFileProgress = TZEFileProgressEvent(&stop, &Stop::OnFile);
  SaveListFile(zip, rest, "hdr", root, &stop);
  FreeNodeTree(root);
  ADD_FAILURE() << "the save was not held at " << stop.Stage;
}

// Files of a user beside a list and in the temporary folder, named like the
// program's own.
const char* const kUserNamesBesideList[] = {"~fennolit-notes.tmp", "~vq12.tmp", "~vqABCD.txt", "fennolit-notes"};

// A save killed part-way leaves its temporary folder (and, once it writes the
// archive, its pending archive beside the list); the next start and the next
// save of the list remove them. A save that is still running keeps both.
TEST_F(ListFiles, KilledSaveLeavesNothingForLong) {
  MakeTree();
  const struct {
    const char* Stage;
    bool Killed;
    std::vector<std::string> Made;  // in the temporary folder
    bool Pending;                   // an archive beside the list
  } cases[] = {
      {"records", true, {"fennolit.lock", "~tmp~"}, false},
      {"archive", true, {"fennolit.lock", "~tmp~"}, true},
      {"archive", false, {"fennolit.lock", "~tmp~"}, true},
  };
  const std::string base = TempBase();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Stage) + (c.Killed ? ", killed" : ", alive"));
    TempDir lists, signals;
    const std::string list = lists.File("big.vq");
    WriteFileBytes(list, "the previous list");
    for (const char* name : kUserNamesBesideList) WriteFileBytes(lists.File(name), name);
    HeldSave save(list, c.Stage, signals.File("held"));
    ASSERT_TRUE(WaitFor([&] { return FileExists(signals.File("held").c_str()); }, "the second save held"));
    const std::vector<std::string> folders = TempLeftovers(save.Pid());
    ASSERT_EQ(folders.size(), 1u);
    const std::string folder = base + folders[0], pending = "~" + folders[0] + ".tmp";
    EXPECT_EQ(FolderNames(folder), c.Made);
    EXPECT_EQ(FileExists(lists.File(pending).c_str()), c.Pending);
    if (c.Killed) save.Kill();
    // The list file is never touched before its successor is complete.
    EXPECT_EQ(ReadFileBytes(list), "the previous list");

    RemoveLeftoverTempFolders();
    ASSERT_EQ(SaveListFile(*zip, list, Header(), root, nullptr), TSaveStatus::Saved);
    std::vector<std::string> beside(std::begin(kUserNamesBesideList), std::end(kUserNamesBesideList));
    beside.push_back("big.vq");
    if (!c.Killed) {
      EXPECT_EQ(FolderNames(folder), c.Made);
      if (c.Pending) beside.push_back(pending);
    } else {
      EXPECT_EQ(GetFileAttributesA(folder.c_str()), INVALID_FILE_ATTRIBUTES);
    }
    std::sort(beside.begin(), beside.end());
    EXPECT_EQ(FolderNames(lists.Path()), beside);
    for (const char* name : kUserNamesBesideList) EXPECT_EQ(ReadFileBytes(lists.File(name)), name);
    WriteFileBytes(lists.File("expected.bin"), DataBytes(Header(), root));
    std::string out;
    EXPECT_EQ(PythonReadsTheEntry(list, "~tmp~big", lists.File("expected.bin"), &out), 0) << out;
    DeleteFileA(lists.File("expected.bin").c_str());

    if (!c.Killed) {
      // Once it has gone, its leftovers go too.
      save.Kill();
      RemoveLeftoverTempFolders();
      EXPECT_EQ(GetFileAttributesA(folder.c_str()), INVALID_FILE_ATTRIBUTES);
      ASSERT_EQ(SaveListFile(*zip, list, Header(), root, nullptr), TSaveStatus::Saved);
      EXPECT_FALSE(FileExists(lists.File(pending).c_str()));
    }
  }
}

// Only what the program itself names and puts there is removed: a folder of
// the temporary folder by its whole name, its lock and its data files; an
// archive beside a list by its whole name, once its run's folder is gone.
TEST_F(ListFiles, LeftoversAreKnownByTheirWholeNames) {
  MakeTree();
  const std::string base = TempBase();
  const std::string own = IntToHex(GetCurrentProcessId(), 4).str();
  const struct {
    std::string Name;
    bool Lock;                      // an unheld lock file in it
    std::vector<std::string> Left;  // what is left of it; empty: the folder is gone
  } folders[] = {
      {"fennolit-" + own + "-0000A001", true, {}},           // its lock held by no one
      {"fennolit-FFFFFFF0-0000A002", false, {}},             // no lock, no process of that id
      {"fennolit-" + own + "-0000A003", false, {"~tmp~list"}},  // no lock, its process lives
      {"fennolit-" + own + "-0000A004", true, {"notes.txt"}},   // a user's file in it stays
      {"fennolit-notes", true, {"fennolit.lock", "~tmp~list"}},
      {"fennolit-" + own + "-0000a005", true, {"fennolit.lock", "~tmp~list"}},
      {"fennolit-" + own + "-0000A006.bak", true, {"fennolit.lock", "~tmp~list"}},
      {"fennolit-" + own + "-A007", true, {"fennolit.lock", "~tmp~list"}},
      {"fennolit-012-0000A008", true, {"fennolit.lock", "~tmp~list"}},
      {"fennolit-123456789-0000A009", true, {"fennolit.lock", "~tmp~list"}},
  };
  for (const auto& f : folders) {
    const std::string path = base + f.Name;
    ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << f.Name;
    WriteFileBytes(path + "\\~tmp~list", "data");
    if (f.Lock) WriteFileBytes(path + "\\fennolit.lock", "");
    if (f.Name == "fennolit-" + own + "-0000A004") WriteFileBytes(path + "\\notes.txt", "mine");
  }
  // A file named like a folder of the program is not a folder of the program.
  const std::string file = base + "fennolit-" + own + "-0000A00A";
  WriteFileBytes(file, "a file");

  RemoveLeftoverTempFolders();
  for (const auto& f : folders) {
    const std::string path = base + f.Name;
    if (f.Left.empty())
      EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << f.Name;
    else
      EXPECT_EQ(FolderNames(path), f.Left) << f.Name;
  }
  EXPECT_EQ(ReadFileBytes(file), "a file");

  const struct {
    std::string Name;
    bool Left;
  } beside[] = {
      {"~fennolit-" + own + "-0000B001.tmp", false},  // its run's folder is gone
      {"~fennolit-FFFFFFF0-0000A002.tmp", false},
      {"~fennolit-" + own + "-0000A003.tmp", true},  // its run's folder is still there
      {"~fennolit-" + own + "-0000B001.tmp.bak", true},
      {"~fennolit-" + own + "-0000b002.tmp", true},
      {"fennolit-" + own + "-0000B003.tmp", true},
      {"~fennolit-" + own + "-0000B004.TMP", true},
      {"~fennolit-notes.tmp", true},
      {"~vq12.tmp", true},
      {"~vqABCD.txt", true},
  };
  for (const auto& b : beside) WriteFileBytes(dir.File(b.Name), "pending");
  ASSERT_EQ(SaveListFile(*zip, dir.File("list.vq"), Header(), root, nullptr), TSaveStatus::Saved);
  std::vector<std::string> left = {"list.vq"};
  for (const auto& b : beside)
    if (b.Left) left.push_back(b.Name);
  std::sort(left.begin(), left.end());
  EXPECT_EQ(FolderNames(dir.Path()), left);

  for (const auto& f : folders) RemoveTree(W(base + f.Name).str());
  DeleteFileA(file.c_str());
}

// A link named like a leftover folder leads to a folder of a user's; neither
// the start's clean-up nor a save that meets a pending archive of that name
// deletes anything through it.
TEST_F(ListFiles, LeftoverCleanUpDeletesNothingThroughALink) {
  MakeTree();
  const std::string base = TempBase();
  const std::string link = "fennolit-99999-00000001";
  const std::vector<std::string> users = {"fennolit.lock", "~tmp~list", "~tmp~other"};
  for (const std::string& name : users) WriteFileBytes(dir.File(name), name);
  struct RemoveLink {
    std::string Path;
    ~RemoveLink() { RunUnix("rm -f " + Q(Path)); }
  } made{UnixPath(base + link)};
  ASSERT_EQ(RunUnix("ln -s " + Q(UnixPath(dir.Path())) + " " + Q(made.Path)), 0);
  ASSERT_NE(GetFileAttributesA((base + link).c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u)
      << "the platform no longer reports the link as one";

  RemoveLeftoverTempFolders();
  TempDir lists;
  const std::string pending = "~" + link + ".tmp";
  WriteFileBytes(lists.File(pending), "pending");
  ASSERT_EQ(SaveListFile(*zip, lists.File("list.vq"), Header(), root, nullptr), TSaveStatus::Saved);

  EXPECT_EQ(FolderNames(base + link), users);
  for (const std::string& name : users) EXPECT_EQ(ReadFileBytes(dir.File(name)), name);
  EXPECT_EQ(FolderNames(lists.Path()), (std::vector<std::string>{"list.vq", pending}));
}

// A list whose archive is tens of kilobytes: names that do not repeat.
ListNode* MakeWideTree(int files) {
  ListNode* root = MakeEntry(nullptr, "C:\\wide", ekFolder);
  uint32_t x = 12345;
  for (int i = 0; i < files; ++i) {
    std::string name;
    for (int k = 0; k < 24; ++k) {
      x = x * 1103515245u + 12345u;
      name += static_cast<char>('a' + (x >> 16) % 26);
    }
    MakeEntry(root, name + ".txt", ekFile);
  }
  return root;
}

// The system's answer to putting a file in the place of target as it is now.
DWORD ReplaceRefusal(const std::string& folder, const std::string& target) {
  const std::string probe = folder + "\\probe";
  WriteFileBytes(probe, "x");
  DWORD error = 0;
  if (!MoveFileExA(probe.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    error = GetLastError();
  DeleteFileA(probe.c_str());
  return error;
}

// Holds a file open as another program would, reading it and letting it be
// deleted but not replaced.
struct HeldOpen {
  HANDLE Handle = INVALID_HANDLE_VALUE;
  void Hold(const std::string& file) {
    Handle = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  }
  void Release() {
    if (Handle != INVALID_HANDLE_VALUE) CloseHandle(Handle);
    Handle = INVALID_HANDLE_VALUE;
  }
  ~HeldOpen() { Release(); }
};

// While it lives, the engine's questions are counted and answered Abort.
struct EngineQuestions {
  static inline int Asked = 0;
  TZEDialogs Saved = ZEDialogs;
  EngineQuestions() {
    Asked = 0;
    ZEDialogs.Confirm = [](const WideString&, TZEDialogButtons) {
      ++Asked;
      return zmrAbort;
    };
  }
  ~EngineQuestions() { ZEDialogs = Saved; }
};

// Changes the mount options of a small disk (SmallDisk unmounts it whatever
// they are); empty when done, else what mount said.
std::string Remount(const std::string& folder, const std::string& options) {
  std::string out;
  if (RunUnix("mount -o remount," + options + " " + Q(UnixPath(folder)) + " 2>&1", &out) == 0) return {};
  return out.empty() ? "mount failed" : out;
}

// A save on a small disk that fails at each of its steps in turn: the data
// file (the temporary folder is on the disk too), the archive's writing (its
// first bytes, then its data), the disk refusing the bytes it took only at the
// end (the engine's flush or the file's close: a network share's delayed
// write, a device's input/output error) and the new file put in the list
// file's place.
// Each failure names the list file and the system's reason, keeps the old list
// file byte for byte and the changes in memory, and a later save elsewhere
// holds them.
TEST(ListFileSaveSteps, EveryFailedStepSaysTheListAndWhy) {
  TempDir dir;
  SmallDisk disk(dir.File("disk"), 4 << 20);
  if (!disk.Mounted()) GTEST_SKIP() << "a tmpfs cannot be mounted here (root and the mount right needed): " << disk.Why();
  uint64_t block = 0, free = 0;
  ASSERT_TRUE(disk.Room(block, free));
  const std::string lists = dir.File("disk\\lists"), temp = dir.File("disk\\tmp");
  ASSERT_TRUE(CreateDirectoryA(lists.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(temp.c_str(), nullptr));
  const std::string list = lists + "\\" + A(L"список.vq");
  std::unique_ptr<ListNode, void (*)(ListNode*)> root(MakeWideTree(2000), FreeNodeTree);
  const AnsiString header = ScrambleString("C:\\wide", kScrambleStartKey, kScrambleMultiplier, kScrambleAddend);
  const uint64_t data = DataBytes(header, root.get()).size();
  auto pages = [&](uint64_t bytes) { return (bytes + block - 1) / block * block; };
  TZipEngine zip(nullptr);
  ConfigureListEngine(zip);
  ASSERT_EQ(SaveListFile(zip, list, header, root.get(), nullptr), TSaveStatus::Saved);
  const std::string old = ReadFileBytes(list);
  ASSERT_GT(old.size(), 2 * block) << "the archive outgrows the room it is given below";

  HeldOpen held;
  std::unique_ptr<FailingFileCall> refuse;
  auto refusing = [&](FailingFileCall::TWhich call, DWORD error) {
    refuse.reset(new FailingFileCall(call, error));
    return error;
  };
  // The engine is to ask nothing on the way: the failure is the save's to tell.
  EngineQuestions questions;
  const struct {
    const char* step;
    std::function<DWORD()> arrange;  // the reason the system then gives
    TSaveStatus status;
  } cases[] = {
      {"data file",
       [&] {
         EXPECT_TRUE(disk.LeaveFree(pages(data) / 2 / block * block));
         return disk.WriteRefusal();
       },
       TSaveStatus::WriteFailed},
      {"archive's first bytes",
       [&] {
         EXPECT_TRUE(disk.LeaveFree(pages(data)));
         return disk.WriteRefusal();
       },
       TSaveStatus::WriteFailed},
      {"archive's data",
       [&] {
         EXPECT_TRUE(disk.LeaveFree(pages(data) + block));
         return disk.WriteRefusal();
       },
       TSaveStatus::WriteFailed},
      {"engine's flush", [&] { return refusing(FailingFileCall::Flush, ERROR_IO_DEVICE); }, TSaveStatus::WriteFailed},
      {"archive's close", [&] { return refusing(FailingFileCall::Close, ERROR_NETNAME_DELETED); },
       TSaveStatus::WriteFailed},
      {"list file's replacement",
       [&] {
         held.Hold(list);
         return ReplaceRefusal(lists, list);
       },
       TSaveStatus::CreateFailed},
  };
  uint8_t mark = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.step);
    ListNode* changed = root->Child(static_cast<int>(mark) * 7);
    mark ^= 1;
    changed->NeedMark = mark;
    const std::string expected = DataBytes(header, root.get());
    FakeHost host;
    AnsiString scrambled = header;
    uint8_t isRootPathNew = 0, isModified = 1;
    TSaveStatus status;
    DWORD reason;
    {
      EnvironmentChange tmp("TMP", temp.c_str());
      reason = c.arrange();
      status = SaveList(host, zip, list, root.get(), "", scrambled, isRootPathNew, isModified, nullptr);
    }
    if (refuse) {
      EXPECT_EQ(refuse->Calls(), 1);
    }
    refuse.reset();
    held.Release();
    DeleteFileA(dir.File("disk\\filler").c_str());
    EXPECT_EQ(status, c.status);
    ASSERT_NE(reason, 0u);
    ASSERT_EQ(host.Shown.size(), 1u);
    EXPECT_EQ(host.Shown[0], A(L"Ошибка при создании файла!: ") + list + "\n" + SysErrorMessage(reason).str());
    // The old list file as it was, nothing left beside it or in the temporary
    // folder, the change still in memory.
    EXPECT_EQ(ReadFileBytes(list), old);
    EXPECT_EQ(FolderNames(lists), (std::vector<std::string>{A(L"список.vq")}));
    EXPECT_EQ(FolderNames(temp), std::vector<std::string>{});
    EXPECT_EQ(isModified, 1);
    EXPECT_EQ(changed->NeedMark, mark);
    // A later save elsewhere holds the change, as Python reads it.
    const std::string elsewhere = dir.File("elsewhere.vq");
    ASSERT_EQ(SaveList(host, zip, elsewhere, root.get(), "", scrambled, isRootPathNew, isModified, nullptr),
              TSaveStatus::Saved);
    EXPECT_EQ(isModified, 0);
    WriteFileBytes(dir.File("expected.bin"), expected);
    std::string out;
    EXPECT_EQ(RunPython("import sys, zipfile\n"
                        "z = zipfile.ZipFile(sys.argv[1])\n"
                        "assert len(z.infolist()) == 1\n"
                        "assert z.read(z.infolist()[0]) == open(sys.argv[2], 'rb').read()\n",
                        Q(UnixPath(elsewhere)) + " " + Q(UnixPath(dir.File("expected.bin"))), &out),
              0)
        << out;
    EXPECT_EQ(host.Shown.size(), 1u);
    EXPECT_EQ(EngineQuestions::Asked, 0);
  }
}

// An open whose temporary folder is on a small disk that will not take it, at
// each step in turn: the folder itself (the disk read-only) and the data
// file's bytes (no room left).
// Each failure names the list file and the system's reason, hands nothing on
// to be loaded and leaves nothing in the temporary folder; the same engine
// opens the list once the disk takes it again.
TEST(ListFileOpenSteps, EveryFailedStepSaysTheListAndWhy) {
  TempDir dir;
  SmallDisk disk(dir.File("disk"), 4 << 20);
  if (!disk.Mounted()) GTEST_SKIP() << "a tmpfs cannot be mounted here (root and the mount right needed): " << disk.Why();
  uint64_t block = 0, free = 0;
  ASSERT_TRUE(disk.Room(block, free));
  const std::string temp = dir.File("disk\\tmp");
  ASSERT_TRUE(CreateDirectoryA(temp.c_str(), nullptr));
  // The list file itself is on another disk: only the unpacking wants room.
  const std::string list = dir.File(A(L"список.vq"));
  std::unique_ptr<ListNode, void (*)(ListNode*)> root(MakeWideTree(2000), FreeNodeTree);
  const AnsiString header = ScrambleString("C:\\wide", kScrambleStartKey, kScrambleMultiplier, kScrambleAddend);
  const uint64_t data = DataBytes(header, root.get()).size();
  TZipEngine zip(nullptr);
  ConfigureListEngine(zip);
  ASSERT_EQ(SaveListFile(zip, list, header, root.get(), nullptr), TSaveStatus::Saved);
  const std::string probe = temp + "\\probe";
  EngineQuestions questions;
  const struct {
    const char* step;
    std::function<DWORD()> arrange;  // the reason the system then gives
    std::function<std::string()> undo;  // empty when done
  } cases[] = {
      {"temporary folder",
       [&]() -> DWORD {
         EXPECT_EQ(Remount(dir.File("disk"), "ro"), "");
         return CreateDirectoryA(probe.c_str(), nullptr) ? 0 : GetLastError();
       },
       [&] { return Remount(dir.File("disk"), "rw"); }},
      {"data file's bytes",
       [&] {
         EXPECT_TRUE(disk.LeaveFree((data / 2 + block - 1) / block * block));
         return disk.WriteRefusal();
       },
       [&] { return DeleteFileA(dir.File("disk\\filler").c_str()) ? std::string() : "filler not deleted"; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.step);
    // Arranged and put back with the process's own temporary folder: the
    // harness keeps its files there while it runs a Linux command.
    const DWORD reason = c.arrange();
    FakeHost host;
    TOpenResult r;
    {
      EnvironmentChange tmp("TMP", temp.c_str());
      r = OpenListFile(zip, list);
    }
    ReportOpenFailure(host, r.Status, list, r.Reason);
    EXPECT_NE(reason, 0u);
    EXPECT_EQ(r.Status, TOpenStatus::UnpackFailed);
    EXPECT_EQ(r.Reason, reason);
    EXPECT_EQ(r.Data.Root, nullptr);
    EXPECT_EQ(host.Shown,
              std::vector<std::string>{A(L"Неудачная попытка разархивировать файл - ") + list + "\n" +
                                       SysErrorMessage(reason).str()});
    EXPECT_EQ(FolderNames(temp), std::vector<std::string>{});
    EXPECT_EQ(EngineQuestions::Asked, 0);
    // Once the disk takes it, the same engine opens the list there.
    ASSERT_EQ(c.undo(), "");
    {
      EnvironmentChange tmp("TMP", temp.c_str());
      r = OpenListFile(zip, list);
    }
    EXPECT_EQ(r.Status, TOpenStatus::Opened);
    EXPECT_EQ(CountNodes(r.Data.Root), 2000);
    FreeNodeTree(r.Data.Root);
    EXPECT_EQ(FolderNames(temp), std::vector<std::string>{});
  }
}

// A list opened, marked, saved and opened again, with its name as long as the
// open and Save As dialogs take a path (MAX_PATH - 1 characters), or with the
// temporary folder lying deep: the list's data file would outgrow the
// system's limits there under the list's own name. The archive stores it
// under "~tmp~" + the base name all the same.
TEST(ListFileLongNames, ListThatOpensAlsoSaves) {
  const std::string base = TempBase();
  TempDir shallow("C:\\"), lists, temps;
  const std::string deepTemp = temps.File(std::string(210 - temps.Path().size() - 1, 'd'));
  ASSERT_TRUE(CreateDirectoryA(deepTemp.c_str(), nullptr));
  auto letters = [](size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += static_cast<char>('a' + i % 26);
    return s;
  };
  const size_t fit = MAX_PATH - 1 - shallow.Path().size() - 1 - 3;
  const struct {
    const char* What;
    std::string List;
    std::string Temp;  // the temporary folder, ending in "\"
  } cases[] = {
      {"235 letters", shallow.File(letters(std::min<size_t>(235, fit)) + ".vq"), base},
      // "~tmp~" + the base name would be longer than a folder holds a name.
      {"254 characters at the drive's root", "C:\\" + letters(251) + ".vq", base},
      {"a deep temporary folder", lists.File(letters(40) + ".vq"), deepTemp + "\\"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    const AnsiString baseName = ListBaseName(c.List);
    ASSERT_LE(c.List.size(), MAX_PATH - 1u);
    // The run's folder ("fennolit-" + 4 + "-" + 8 hex digits), then the data
    // file as it was named after the list.
    ASSERT_GE(c.Temp.size() + 22 + 1 + 5 + baseName.Length(), MAX_PATH + 0u) << "the case does not reach the limit";
    struct Removed {
      std::string Path;
      ~Removed() { DeleteFileA(Path.c_str()); }
    } removed{c.List};
    EnvironmentChange tmp("TMP", c.Temp.c_str());
    const std::vector<std::string> leftovers = TempLeftovers();
    EngineQuestions questions;
    TZipEngine zip(nullptr);
    ConfigureListEngine(zip);
    FakeHost host;
    std::unique_ptr<ListNode, void (*)(ListNode*)> scanned(MakeEntry(nullptr, "C:\\scan", ekFolder), FreeNodeTree);
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) MakeEntry(scanned.get(), name, ekFile);
    AnsiString scrambled;
    uint8_t isRootPathNew = 1, isModified = 1;
    ASSERT_EQ(SaveList(host, zip, c.List, scanned.get(), "C:\\scan", scrambled, isRootPathNew, isModified, nullptr),
              TSaveStatus::Saved);

    TOpenResult opened = OpenListFile(zip, c.List);
    ASSERT_EQ(opened.Status, TOpenStatus::Opened);
    std::unique_ptr<ListNode, void (*)(ListNode*)> root(opened.Data.Root, FreeNodeTree);
    root->Child(1)->NeedMark = 1;
    isModified = 1;
    ASSERT_EQ(SaveList(host, zip, c.List, root.get(), "", scrambled, isRootPathNew, isModified, nullptr),
              TSaveStatus::Saved);
    TOpenResult again = OpenListFile(zip, c.List);
    ASSERT_EQ(again.Status, TOpenStatus::Opened);
    std::unique_ptr<ListNode, void (*)(ListNode*)> reopened(again.Data.Root, FreeNodeTree);
    EXPECT_EQ(reopened->Child(1)->NeedMark, 1);
    const std::string expected = DataBytes(scrambled, root.get());
    EXPECT_EQ(DataBytes(again.Data.ScrambledRootPath, reopened.get()), expected);
    EXPECT_TRUE(host.Shown.empty());
    EXPECT_EQ(EngineQuestions::Asked, 0);

    // The entry's name byte for byte (Python's zipfile also refuses a local
    // header whose name differs from the directory's).
    const std::string stored = "~tmp~" + baseName.str();
    TempDir out;
    WriteFileBytes(out.File("expected.bin"), expected);
    std::string said;
    EXPECT_EQ(PythonReadsTheEntry(c.List, stored, out.File("expected.bin"), &said), 0) << said;
    EXPECT_EQ(TempLeftovers(), leftovers);
  }
}

// An item the engine fails on during a save (here its data file, held open by
// another program when the engine comes to read it) fails the save: message 11
// with the list file and the system's reason, no box of the engine's, the old
// list file as it was.
TEST_F(ListFiles, FailedItemFailsTheSaveWithItsReason) {
  MakeTree();
  const std::string list = dir.File("held.vq");
  ASSERT_EQ(SaveListFile(*zip, list, Header(), root, nullptr), TSaveStatus::Saved);
  const std::string old = ReadFileBytes(list);
  root->Child(0)->NeedMark = 2;
  struct Holder {
    HANDLE Handle = INVALID_HANDLE_VALUE;
    ~Holder() {
      if (Handle != INVALID_HANDLE_VALUE) CloseHandle(Handle);
    }
    // The engine tells of the item before it opens its file.
    static void OnFile(void* data, TObject*, const WideString& name, double, TZEProcessOperation,
                       TZEProgressPhase phase, bool&) {
      auto* self = static_cast<Holder*>(data);
      if (phase == ppStart && self->Handle == INVALID_HANDLE_VALUE)
        self->Handle = CreateFileW(name.c_bstr(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }
  } holder;
  zip->OnFileProgress = TZEFileProgressEvent(&holder, &Holder::OnFile);
  EngineQuestions questions;
  FakeHost host;
  AnsiString scrambled = Header();
  uint8_t isRootPathNew = 0, isModified = 1;
  EXPECT_EQ(SaveList(host, *zip, list, root, "", scrambled, isRootPathNew, isModified, nullptr),
            TSaveStatus::WriteFailed);
  ASSERT_NE(holder.Handle, INVALID_HANDLE_VALUE);
  // The save could not delete the data file it was kept from: its folder waits
  // for a later run to remove it.
  CloseHandle(holder.Handle);
  holder.Handle = INVALID_HANDLE_VALUE;
  for (const std::string& folder : TempLeftovers())
    if (std::find(leftoversBefore.begin(), leftoversBefore.end(), folder) == leftoversBefore.end())
      RemoveTree(W(TempBase() + folder).str());
  EXPECT_EQ(host.Shown, (std::vector<std::string>{A(L"Ошибка при создании файла!: ") + list + "\n" +
                                                   SysErrorMessage(ERROR_SHARING_VIOLATION).str()}));
  EXPECT_EQ(EngineQuestions::Asked, 0);
  EXPECT_EQ(ReadFileBytes(list), old);
  EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{"held.vq"});
  EXPECT_EQ(isModified, 1);
  // The engine is left as it was for the next save.
  zip->OnFileProgress = nullptr;
  EXPECT_EQ(SaveListFile(*zip, list, Header(), root, nullptr), TSaveStatus::Saved);
}

}  // namespace
