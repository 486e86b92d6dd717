// The folder scan on real folder trees made by the test: Cyrillic, Greek and CJK
// names, hidden and read-only files, sizes above 4 GiB, paths longer than 260
// characters, symbolic links that loop, the options and cancelling. The order of
// entries is whatever the platform's enumeration gives; expectations ask the
// platform for it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "CoreTestUtil.h"
#include "FolderScan.h"
#include "LongPath.h"

namespace {

// The names of a folder in the platform's enumeration order.
std::vector<std::wstring> Listing(const WideString& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW d;
  HANDLE h = FindFirstFileW(LongPathForm(folder + L"\\*").c_bstr(), &d);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    if (wcscmp(d.cFileName, L".") && wcscmp(d.cFileName, L"..")) names.push_back(d.cFileName);
  } while (FindNextFileW(h, &d));
  FindClose(h);
  return names;
}

std::vector<std::string> ChildNames(const ListNode* n) {
  std::vector<std::string> r;
  for (int i = 0; i < n->ChildCount(); ++i) r.push_back(FieldText(n->Child(i)->Name).str());
  return r;
}

const ListNode* ChildNamed(const ListNode* n, const std::string& name) {
  for (int i = 0; i < n->ChildCount(); ++i)
    if (FieldText(n->Child(i)->Name) == name) return n->Child(i);
  return nullptr;
}

uint64_t SizeOf(const ListNode* n) { return ExtendedToUInt64(n->Size); }

// The system's own text of a local time, to compare the record's text with.
std::string SystemTimeText(const FILETIME& utc) {
  FILETIME local;
  SYSTEMTIME st;
  FileTimeToLocalFileTime(&utc, &local);
  FileTimeToSystemTime(&local, &st);
  char date[64] = {}, time[64] = {};
  GetDateFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, date, sizeof date);
  GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, time, sizeof time);
  return std::string(date) + " " + time;
}

void SetWriteTime(const WideString& path, int year, int month, int day, int h, int m, int s) {
  SYSTEMTIME st{};
  st.wYear = year;
  st.wMonth = month;
  st.wDay = day;
  st.wHour = h;
  st.wMinute = m;
  st.wSecond = s;
  FILETIME ft;
  SystemTimeToFileTime(&st, &ft);
  HANDLE f = CreateFileW(path.c_bstr(), FILE_WRITE_ATTRIBUTES, 7, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                         nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  SetFileTime(f, nullptr, nullptr, &ft);
  CloseHandle(f);
}

struct Scan : ::testing::Test {
  ScanDir dir;
  RecordingSink sink;
  TStoreOptions options;
  TScanResult result;
  ~Scan() override { FreeNodeTree(result.Root); }
  const ListNode* Run(const WideString& path) {
    result = ScanTree(sink, options, path);
    return result.Root;
  }
  const ListNode* Run() { return Run(dir.Path()); }
};

TEST_F(Scan, EmptyFolderGivesTheRootAlone) {
  const ListNode* root = Run();
  ASSERT_NE(root, nullptr);
  EXPECT_FALSE(result.Cancelled);
  EXPECT_EQ(root->ChildCount(), 0);
  EXPECT_EQ(root->Kind, ekFolder);
  EXPECT_EQ(root->Level, 0);
  EXPECT_EQ(FieldText(root->Name).str(), A(dir.Path()));
  EXPECT_EQ(SizeOf(root), 0u);
  EXPECT_STRNE(root->Modified, "");
  ASSERT_EQ(sink.Nodes.size(), 1u);
  EXPECT_EQ(result.RootTreeNode, reinterpret_cast<void*>(1));
  EXPECT_TRUE(sink.Order.empty());
}

TEST_F(Scan, RecordsEveryEntryInTheOrderOfTheEnumeration) {
  const WideString folder = dir.Sub(L"Папка");
  MakeFolder(folder);
  MakeFile(folder + L"\\файл.txt", std::string(100, 'x'));
  MakeFile(folder + L"\\Ελληνικά.txt", std::string(10, 'x'));
  MakeFolder(dir.Sub(L"пустая"));
  MakeFile(dir.Sub(L"empty.bin"));
  MakeFile(dir.Sub(L".hidden"), "12345");
  MakeFile(dir.Sub(L"ro.txt"), "1234567");
  ASSERT_EQ(RunUnix("chmod a-w " + Q(dir.Unix() + "/ro.txt")), 0);
  SetWriteTime(folder + L"\\файл.txt", 2026, 12, 7, 17, 27, 5);

  const ListNode* root = Run();
  ASSERT_FALSE(result.Cancelled);
  std::vector<std::string> expected;
  for (const std::wstring& n : Listing(dir.Path())) expected.push_back(A(n.c_str()));
  EXPECT_EQ(ChildNames(root), expected);

  const ListNode* p = ChildNamed(root, A(L"Папка"));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->Kind, ekFolder);
  EXPECT_EQ(p->Level, 1);
  EXPECT_EQ(p->LastChildIndex, 1);
  EXPECT_EQ(SizeOf(p), 110u);
  const ListNode* f = ChildNamed(p, A(L"файл.txt"));
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->Level, 2);
  EXPECT_EQ(f->Parent, p);
  EXPECT_EQ(SizeOf(f), 100u);
  EXPECT_EQ(FieldText(f->Modified).str(), SystemTimeText(FILETIME{0x2D923A80, 0x01DD8670}));
  // A name the code page cannot hold is recorded as the code page gives it.
  EXPECT_NE(ChildNamed(p, A(L"Ελληνικά.txt")), nullptr);
  EXPECT_EQ(SizeOf(ChildNamed(root, "empty.bin")), 0u);
  EXPECT_EQ(SizeOf(root), 122u);

  // Attributes as the platform reports them: dot-files hidden, read-only files.
  const ListNode* hidden = ChildNamed(root, ".hidden");
  ASSERT_NE(hidden, nullptr);
  EXPECT_EQ(hidden->Attributes, AttributeBits(GetFileAttributesW(dir.Sub(L".hidden").c_bstr())));
  EXPECT_TRUE(hidden->Attributes & eaHidden);
  EXPECT_TRUE(ChildNamed(root, "ro.txt")->Attributes & eaReadOnly);

  // Folder nodes: the root, then each folder as it is recorded.
  ASSERT_EQ(sink.Nodes.size(), 3u);
  for (size_t i = 1; i < 3; ++i) EXPECT_EQ(sink.Nodes[i].Parent, 0);
  EXPECT_EQ(sink.Folders.size(), 2u);
  EXPECT_EQ(sink.Files.size(), 5u);
  EXPECT_NE(std::find(sink.Files.begin(), sink.Files.end(), A(dir.Path()) + A(L"\\Папка\\файл.txt")),
            sink.Files.end());
  // A folder's entry comes before its contents.
  const auto at = [&](const std::string& s) { return std::find(sink.Order.begin(), sink.Order.end(), s); };
  EXPECT_LT(at("D:" + A(dir.Path()) + A(L"\\Папка")), at("F:" + A(dir.Path()) + A(L"\\Папка\\файл.txt")));
}

TEST_F(Scan, OptionsDecideTheRecordedFields) {
  MakeFolder(dir.Sub(L"sub"));
  MakeFile(dir.Sub(L"sub\\a.txt"), std::string(300, 'a'));
  MakeFile(dir.Sub(L"b.txt"), std::string(20, 'b'));
  options = TStoreOptions{false, false, false, false, false};
  const ListNode* root = Run();
  for (const ListNode* n : {root, ChildNamed(root, "sub"), ChildNamed(root, "b.txt")}) {
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->Attributes, 0);
    EXPECT_EQ(n->Created[0], '\0');
    EXPECT_EQ(n->Modified[0], '\0');
    EXPECT_EQ(SizeOf(n), 0u);
  }
  EXPECT_EQ(FieldText(root->Name).str(), A(dir.Path()));
  FreeNodeTree(result.Root);

  // Sizes of files off, folder sums on: files show 0, folders their totals.
  options = TStoreOptions{true, true, true, false, true};
  root = Run();
  EXPECT_EQ(SizeOf(ChildNamed(root, "b.txt")), 0u);
  EXPECT_EQ(SizeOf(ChildNamed(ChildNamed(root, "sub"), "a.txt")), 0u);
  EXPECT_EQ(SizeOf(ChildNamed(root, "sub")), 300u);
  EXPECT_EQ(SizeOf(root), 320u);
  EXPECT_NE(root->Created[0], '\0');
}

TEST_F(Scan, SizesAboveFourGigabytesAreExact) {
  MakeFolder(dir.Sub(L"big"));
  ASSERT_EQ(RunUnix("truncate -s 5368709121 " + Q(dir.Unix() + "/big/huge.bin")), 0);
  MakeFile(dir.Sub(L"big\\small.bin"), "abc");
  const ListNode* root = Run();
  const ListNode* big = ChildNamed(root, "big");
  EXPECT_EQ(SizeOf(ChildNamed(big, "huge.bin")), 5368709121ull);
  EXPECT_EQ(SizeOf(big), 5368709124ull);
  EXPECT_EQ(SizeOf(root), 5368709124ull);
}

TEST_F(Scan, LinksAreRecordedButNeverEntered) {
  MakeFolder(dir.Sub(L"a"));
  MakeFolder(dir.Sub(L"a\\b"));
  MakeFile(dir.Sub(L"a\\b\\f.txt"), "f");
  // A link from deep inside back to the top, and one to a file.
  ASSERT_EQ(RunUnix("ln -s ../.. " + Q(dir.Unix() + "/a/b/loop") + " && ln -s f.txt " + Q(dir.Unix() + "/a/b/lf")), 0);
  const ListNode* root = Run();
  ASSERT_FALSE(result.Cancelled);
  const ListNode* b = ChildNamed(ChildNamed(root, "a"), "b");
  ASSERT_NE(b, nullptr);
  const ListNode* loop = ChildNamed(b, "loop");
  ASSERT_NE(loop, nullptr);
  EXPECT_EQ(loop->Kind, ekFolder);
  EXPECT_EQ(loop->ChildCount(), 0);
  EXPECT_EQ(SizeOf(loop), 0u);
  EXPECT_NE(ChildNamed(b, "lf"), nullptr);
  EXPECT_LE(CountNodes(root), 6);
}

TEST_F(Scan, LongPathsAndNamesOutsideTheCodePageAreEntered) {
  WideString deep = dir.Path();
  const WideString segment(std::wstring(60, L'д'));
  for (int i = 0; i < 6; ++i) {
    deep = deep + L"\\" + segment;
    MakeFolder(deep);
  }
  ASSERT_GT(deep.Length(), 360);
  MakeFile(deep + L"\\deep.txt", std::string(42, 'd'));
  MakeFolder(dir.Sub(L"日本語"));
  MakeFile(dir.Sub(L"日本語\\中.txt"), std::string(9, 'c'));
  const ListNode* root = Run();
  ASSERT_FALSE(result.Cancelled);
  const ListNode* n = ChildNamed(root, A(segment));
  for (int i = 1; n && i < 6; ++i) n = ChildNamed(n, A(segment));
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(n->Level, 6);
  const ListNode* file = ChildNamed(n, "deep.txt");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(SizeOf(file), 42u);
  EXPECT_NE(file->Modified[0], '\0');
  // The CJK folder is recorded by its code-page form, and its contents too.
  const ListNode* cjk = ChildNamed(root, A(L"日本語"));
  ASSERT_NE(cjk, nullptr);
  ASSERT_EQ(cjk->ChildCount(), 1);
  EXPECT_EQ(SizeOf(cjk), 9u);
  EXPECT_EQ(SizeOf(root), 51u);
}

TEST_F(Scan, ARootEndingInABackslashDoublesItInTheShownPath) {
  MakeFile(dir.Sub(L"x.txt"), "x");
  MakeFolder(dir.Sub(L"y"));
  MakeFile(dir.Sub(L"y\\z.txt"), "zz");
  const ListNode* root = Run(dir.Path() + L"\\");
  EXPECT_EQ(FieldText(root->Name).str(), A(dir.Path()) + "\\");
  EXPECT_EQ(SizeOf(root), 3u);
  EXPECT_EQ(CountNodes(root), 3);
  EXPECT_NE(std::find(sink.Files.begin(), sink.Files.end(), A(dir.Path()) + "\\\\y\\z.txt"), sink.Files.end());
}

TEST_F(Scan, CancelKeepsWhatWasRecordedAndWritesNoUnfinishedSize) {
  for (const wchar_t* d : {L"one", L"two", L"three"}) {
    MakeFolder(dir.Sub(d));
    MakeFile(dir.Sub(WideString(d) + L"\\a.bin"), std::string(10, 'a'));
    MakeFile(dir.Sub(WideString(d) + L"\\b.bin"), std::string(20, 'b'));
  }
  const std::vector<std::wstring> order = Listing(dir.Path());
  ASSERT_EQ(order.size(), 3u);
  // Cancel right after the first file of the second folder.
  const std::string second = A(dir.Path()) + "\\" + A(order[1].c_str()) + "\\";
  sink.Cancel = [&] { return !sink.Files.empty() && sink.Files.back().rfind(second, 0) == 0; };
  const ListNode* root = Run();
  EXPECT_TRUE(result.Cancelled);
  ASSERT_EQ(root->ChildCount(), 2);
  const ListNode* first = root->Child(0);
  EXPECT_EQ(FieldText(first->Name).str(), A(order[0].c_str()));
  EXPECT_EQ(first->ChildCount(), 2);
  EXPECT_EQ(SizeOf(first), 30u);
  const ListNode* cut = root->Child(1);
  EXPECT_EQ(cut->ChildCount(), 1);
  EXPECT_EQ(SizeOf(cut), 0u);
  EXPECT_EQ(SizeOf(root), 0u);
  EXPECT_EQ(sink.Nodes.size(), 3u);
}

TEST(ScanFill, RootOfAMissingFolderKeepsKindAndName) {
  EntryRecord r;
  std::memset(&r, 0x55, sizeof r);
  FillRootRecord(L"C:\\no\\such\\folder", TStoreOptions{}, r);
  EXPECT_EQ(r.Kind, ekFolder);
  EXPECT_EQ(FieldText(r.Name), "C:\\no\\such\\folder");
  EntryRecord zero{};
  zero.Kind = ekFolder;
  std::memcpy(zero.Name, r.Name, sizeof r.Name);
  EXPECT_EQ(std::memcmp(&r, &zero, sizeof r), 0);
}

TEST(ScanFill, AttributesFallBackToTheEnumerationRecord) {
  WIN32_FIND_DATAW d{};
  wcscpy(d.cFileName, L"gone.txt");
  d.dwFileAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE;
  EntryRecord r;
  FillFileRecord(L"C:\\no\\such\\gone.txt", d, TStoreOptions{}, r);
  EXPECT_EQ(r.Kind, ekFile);
  EXPECT_EQ(FieldText(r.Name), "gone.txt");
  EXPECT_EQ(r.Attributes, eaReadOnly | eaArchive);
  FillFolderRecord(L"C:\\no\\such\\gone.txt", d, TStoreOptions{false, true, true, true, true}, r);
  EXPECT_EQ(r.Kind, ekFolder);
  EXPECT_EQ(r.Attributes, 0);
}

TEST(ScanFill, TimesAsLocalText) {
  // 2026-12-07 17:27:05 UTC.
  const FILETIME t{0x2D923A80, 0x01DD8670};
  // The locale decides the text ("07.12.2026 17:27:05" under ru-RU); ask it.
  EXPECT_EQ(FileTimeText(t).str(), SystemTimeText(t));
  EXPECT_EQ(FileTimeText(FILETIME{0xFFFFFFFF, 0xFFFFFFFF}).str(), "");
}

TEST(ScanFill, LongPathForm) {
  EXPECT_EQ(LongPathForm(L"C:\\short"), WideString(L"C:\\short"));
  const std::wstring tail(300, L'x');
  EXPECT_EQ(LongPathForm(WideString(L"C:\\" + tail)), WideString(L"\\\\?\\C:\\" + tail));
  EXPECT_EQ(LongPathForm(WideString(L"\\\\srv\\share\\" + tail)), WideString(L"\\\\?\\UNC\\srv\\share\\" + tail));
  EXPECT_EQ(LongPathForm(WideString(L"\\\\?\\C:\\" + tail)), WideString(L"\\\\?\\C:\\" + tail));
  EXPECT_EQ(LongPathForm(WideString(L"rel\\" + tail)), WideString(L"rel\\" + tail));
}

// The extended form of any absolute path, and the form a message shows.
TEST(LongPath, ExtendedAndShownForms) {
  struct Case {
    const wchar_t* path;
    const wchar_t* extended;
    const wchar_t* shown;
  };
  const Case cases[] = {
      {L"C:\\a", L"\\\\?\\C:\\a", L"C:\\a"},
      {L"\\\\srv\\share\\a", L"\\\\?\\UNC\\srv\\share\\a", L"\\\\srv\\share\\a"},
      {L"\\\\?\\C:\\a", L"\\\\?\\C:\\a", L"C:\\a"},
      {L"\\\\?\\UNC\\srv\\s", L"\\\\?\\UNC\\srv\\s", L"\\\\srv\\s"},
      {L"rel\\a", L"rel\\a", L"rel\\a"},
      {L"C:", L"C:", L"C:"},
      {L"", L"", L""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExtendedPathForm(c.path), WideString(c.extended)) << A(c.path);
    EXPECT_EQ(ShownPath(c.path), WideString(c.shown)) << A(c.path);
    EXPECT_EQ(ShownPath(ExtendedPathForm(c.path)), ShownPath(c.path)) << A(c.path);
  }
}

}  // namespace
