// The text and CSV writers on hand-built trees, byte for byte; the marks of
// the marked-entries export; cancel and failed writes; Python's csv module
// as the reader of what the CSV export writes.
#include <gtest/gtest.h>

#include <functional>

#include "ExportTestUtil.h"
#include "FileExports.h"
#include "LongPath.h"

namespace {

TEST(ExportCodePage, TestsRunUnderWindows1251) { ASSERT_EQ(GetACP(), 1251u) << "byte-exact texts need ANSI 1251"; }

TEST(ExportNames, ProposedAndChosenNames) {
  const struct {
    const char* caption;
    const char* base;
  } bases[] = {
      {"data.vq", "data"}, {"my.list.vq", "my.list"}, {"a.b.vq", "a.b"}, {"data", "data"}, {"", ""}, {".vq", ""},
  };
  for (const auto& c : bases) EXPECT_EQ(ExportBaseName(c.caption), c.base) << c.caption;
  const struct {
    const char* chosen;
    const char* extension;
    const char* name;
  } names[] = {
      {"C:\\t\\out", ".txt", "C:\\t\\out.txt"},
      {"C:\\t\\x.log", ".txt", "C:\\t\\x.log"},
      {"C:\\t\\rows", ".csv", "C:\\t\\rows.csv"},
      {"C:\\t.d\\rows", ".csv", "C:\\t.d\\rows.csv"},
  };
  for (const auto& c : names) EXPECT_EQ(ExportFileName(c.chosen, c.extension), c.name) << c.chosen;
}

// Runs a writer into a fresh file and returns the bytes.
std::string Written(const std::function<TWriteResult(TExportFile&)>& write, TWriteResult expected = TWriteResult::Done) {
  TempDir dir;
  TExportFile out;
  EXPECT_TRUE(out.Create(dir.File("out").c_str()));
  EXPECT_EQ(write(out), expected);
  EXPECT_TRUE(out.Close());
  return Contents(dir.File("out"));
}

std::string TextOf(const TestList& list, int cancelAfter = -1) {
  CountingSteps steps(cancelAfter);
  AnsiString last;
  return Written([&](TExportFile& out) { return WriteTextLines(list.Root()->Children, out, steps, "", last); },
                 cancelAfter < 0 ? TWriteResult::Done : TWriteResult::Cancelled);
}

TEST(TextExport, LinesOfHandBuiltTrees) {
  struct Case {
    const char* what;
    std::function<void(TestList&)> build;
    std::string bytes;
  };
  const Case cases[] = {
      {"root files", [](TestList& l) { l.File("a.txt"); l.File("b.txt"); }, "a.txt\r\nb.txt\r\n"},
      {"a folder between root files",
       [](TestList& l) {
         l.File("a.txt");
         l.File("x.doc", 0, l.Folder("Doc"));
         l.File("z.txt");
       },
       "a.txt\r\n\r\nDoc\\x.doc\r\n\r\nz.txt\r\n"},
      {"folders first, as a shown folder is ordered",
       [](TestList& l) {
         l.File("x.doc", 0, l.Folder("Doc"));
         l.File("a.txt");
         l.File("z.txt");
       },
       "\r\nDoc\\x.doc\r\n\r\na.txt\r\nz.txt\r\n"},
      {"a folder's files after its sub-folder",
       [](TestList& l) {
         ListNode* doc = l.Folder("Doc");
         l.File("y.txt", 0, l.Folder("Sub", doc));
         l.File("w.txt", 0, doc);
       },
       "\r\nDoc\\Sub\\y.txt\r\n\r\nDoc\\w.txt\r\n"},
      {"marks",
       [](TestList& l) {
         l.File("d")->Attributes = DamagedBit;
         ListNode* both = l.File("ad");
         both->Attributes = DamagedBit | eaReadOnly;
         both->Absent = 1;
         l.File("a")->Absent = 1;
         l.File("n")->NeedMark = 1;
       },
       "*d\r\n**ad\r\n*a\r\nn\r\n"},
      {"folders without files", [](TestList& l) { l.Folder("e", l.Folder("E")); }, ""},
      {"Cyrillic names",
       [](TestList& l) { l.File(A(L"Отчёт.doc"), 0, l.Folder(A(L"Документы"))); },
       "\r\n" + A(L"Документы\\Отчёт.doc") + "\r\n"},
  };
  for (const Case& c : cases) {
    TestList list;
    c.build(list);
    EXPECT_EQ(TextOf(list), c.bytes) << c.what;
    EXPECT_EQ(TextOf(list), c.bytes) << c.what << ": a second export gives the same bytes";
  }
}

TEST(TextExport, CancelEndsAfterTheLastCompleteLine) {
  TestList list;
  // GCC 12 reports a false overlap inside std::string when text is put before a temporary string.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
  for (int i = 0; i < 10; ++i) list.File("f" + std::to_string(i));
#pragma GCC diagnostic pop
  EXPECT_EQ(TextOf(list, 3), "f0\r\nf1\r\n") << "the third step sees the cancel before its line";
  EXPECT_EQ(TextOf(list, 0), "") << "cancelled at the first step";
}

TEST(ExportFileWrites, AFailedWriteIsReportedAndStopsTheWriter) {
  // Wine passes writes to /dev/full through: every one fails with "disk full".
  TExportFile out;
  ASSERT_TRUE(out.Create("Z:\\dev\\full")) << GetLastError();
  TestList list;
  for (int i = 0; i < 5000; ++i) list.File(std::string(40, 'n') + std::to_string(i));
  CountingSteps steps;
  AnsiString last;
  EXPECT_EQ(WriteTextLines(list.Root()->Children, out, steps, "", last), TWriteResult::Failed);
  EXPECT_LT(steps.Steps, 5000) << "the walk stops at the failure";
  EXPECT_FALSE(out.Close());
  EXPECT_NE(out.LastError(), 0u);

  TExportFile small;
  ASSERT_TRUE(small.Create("Z:\\dev\\full"));
  EXPECT_TRUE(small.Append(std::string("one line\r\n"))) << "buffered";
  EXPECT_FALSE(small.Close()) << "the buffered line never reached the file";
}

TEST(ExportFileWrites, WrittenCountsOnlyWhatReachedTheFile) {
  // Position counts every byte appended; Written only those the system took,
  // which tells which part of a page was not written.
  TempDir dir;
  const struct {
    std::string file;
    size_t first, second;  // appended, the first flushed on its own
    uint64_t writtenAfterFlush, writtenAtEnd;
    bool closes;
  } cases[] = {
      {dir.File("a.txt"), 10, 20, 10, 30, true},
      {dir.File("b.txt"), 0, 70000, 0, 70000, true},    // larger than the buffer: written at once
      {dir.File("c.txt"), 65000, 1000, 65000, 66000, true},
      {"Z:\\dev\\full", 10, 20, 0, 0, false},
      {"Z:\\dev\\full", 10, 70000, 0, 0, false},
  };
  for (const auto& c : cases) {
    TExportFile out;
    ASSERT_TRUE(out.Create(AnsiString(c.file))) << c.file;
    out.Append(std::string(c.first, 'x'));
    EXPECT_EQ(out.Position(), c.first);
    out.Flush();
    EXPECT_EQ(out.Written(), c.writtenAfterFlush) << c.file << " " << c.first;
    out.Append(std::string(c.second, 'y'));
    EXPECT_EQ(out.Close(), c.closes) << c.file;
    EXPECT_EQ(out.Written(), c.writtenAtEnd) << c.file << " " << c.second;
    if (c.closes) {
      EXPECT_EQ(ReadFileBytes(c.file), std::string(c.first, 'x') + std::string(c.second, 'y'));
    }
  }
}

TEST(ExportFileWrites, ExportFilesHaveNormalAttributes) {
  TempDir dir;
  TExportFile out;
  ASSERT_TRUE(out.Create(dir.File("a.txt").c_str()));
  out.Append(std::string("x"));
  ASSERT_TRUE(out.Close());
  const DWORD attributes = GetFileAttributesA(dir.File("a.txt").c_str());
  EXPECT_EQ(attributes & FILE_ATTRIBUTE_TEMPORARY, 0u);
}

// --- CSV

const AnsiString RussianTitles[9] = {A(L"Путь"),    A(L"Имя файла"), A(L"Размер, Кбайт"),
                                     A(L"Создан"),  A(L"Изменён"),   A(L"Атрибуты"),
                                     A(L"Состояние"), A(L"Нужность"), A(L"Комментарии")};

TEST(CsvExport, HeaderLine) {
  EXPECT_EQ(CsvHeader(RussianTitles).str(),
            A(L"Путь;Имя файла;Размер, Кбайт;Создан;Изменён;Атрибуты;Состояние;Нужность;Комментарии;") + "\r\n");
}

TEST(CsvExport, RowsOfSingleEntries) {
  struct Case {
    const char* what;
    std::function<void(ListNode*)> set;
    uint64_t size;
    std::string row;
  };
  const Case cases[] = {
      {"times, read-only and archive",
       [](ListNode* n) {
         SetText(n->Created, "01.02.2003 04:05:06");
         SetText(n->Modified, "07.08.2009 10:11:12");
         n->Attributes = eaReadOnly | eaArchive;
       },
       3000, ";a.txt;3;01.02.2003 04:05:06;07.08.2009 10:11:12;RA; ;; ;\r\n"},
      {"nothing recorded", [](ListNode*) {}, 0, ";a.txt;1; ; ; ; ;; ;\r\n"},
      {"damaged", [](ListNode* n) { n->Attributes = eaHidden | DamagedBit; }, 1024, ";a.txt;1; ; ;HE;bad;; ;\r\n"},
      {"absent and damaged",
       [](ListNode* n) {
         n->Attributes = DamagedBit;
         n->Absent = 1;
       },
       1536, ";a.txt;2; ; ;E;missing;; ;\r\n"},
      {"absent only", [](ListNode* n) { n->Absent = 1; }, 2560, ";a.txt;2; ; ; ; ;; ;\r\n"},
      {"needed, commented",
       [](ListNode* n) {
         n->NeedMark = 1;
         SetComment(n, A(L"копия есть"));
       },
       3584, ";a.txt;4; ; ; ; ;desired;" + A(L"копия есть") + ";\r\n"},
      {"not needed", [](ListNode* n) { n->NeedMark = 2; }, 0, ";a.txt;1; ; ; ; ;not needed; ;\r\n"},
      {"all letters in bit order", [](ListNode* n) { n->Attributes = 0xFF; }, 0,
       ";a.txt;1; ; ;RHSVATCE;bad;; ;\r\n"},
      {"a separator in the comment", [](ListNode* n) { SetComment(n, "x;y"); }, 0,
       ";a.txt;1; ; ; ; ;;\"x;y\";\r\n"},
      {"quotes in the comment", [](ListNode* n) { SetComment(n, "say \"hi\""); }, 0,
       ";a.txt;1; ; ; ; ;;\"say \"\"hi\"\"\";\r\n"},
  };
  for (const Case& c : cases) {
    TestList list;
    ListNode* node = list.File("a.txt", c.size);
    c.set(node);
    EXPECT_EQ(CheckedCsvRow(node, "").str(), c.row) << c.what;
  }
  TestList list;
  EXPECT_EQ(CheckedCsvRow(list.File("a;b.txt"), "D\\E").str(), "D\\E;\"a;b.txt\";1; ; ; ; ;; ;\r\n");
}

TEST(CsvExport, PlainAndMarkedExportsOfOneTree) {
  TestList list;
  ListNode* need = list.Folder("Need");
  need->NeedMark = 1;
  ListNode* inner = list.File("in.txt", 0, need);
  inner->NeedMark = 1;
  ListNode* plain = list.Folder("Plain");
  list.File("skip.txt", 0, plain);
  list.File("bad.txt", 0, plain)->Attributes = DamagedBit;
  list.File("want.txt", 0, plain)->NeedMark = 1;
  list.File("gone.txt", 0, plain)->Absent = 1;
  list.File("no.txt")->NeedMark = 2;

  CountingSteps steps;
  EXPECT_EQ(Written([&](TExportFile& out) { return WriteCsvRows(list.Root()->Children, out, steps, ""); }),
            "Need;in.txt;1; ; ; ; ;desired; ;\r\n"
            "Plain;skip.txt;1; ; ; ; ;; ;\r\n"
            "Plain;bad.txt;1; ; ;E;bad;; ;\r\n"
            "Plain;want.txt;1; ; ; ; ;desired; ;\r\n"
            "Plain;gone.txt;1; ; ; ; ;; ;\r\n"
            ";no.txt;1; ; ; ; ;not needed; ;\r\n");
  EXPECT_EQ(steps.Steps, 8) << "every entry is a step, folders too";

  struct Case {
    TExportMarks marks;
    std::string rows;
  };
  const Case cases[] = {
      {{true, false, false, false},
       ";Need;1; ; ; ; ;desired; ;\r\nNeed;in.txt;1; ; ; ; ;desired; ;\r\nPlain;want.txt;1; ; ; ; ;desired; ;\r\n"},
      {{false, true, false, false}, ";no.txt;1; ; ; ; ;not needed; ;\r\n"},
      {{false, false, true, false}, "Plain;bad.txt;1; ; ;E;bad;; ;\r\n"},
      {{false, false, false, true}, "Plain;gone.txt;1; ; ; ; ;; ;\r\n"},
      {{false, false, false, false}, ""},
  };
  for (const Case& c : cases) {
    CountingSteps marked;
    EXPECT_EQ(Written([&](TExportFile& out) {
                return WriteCheckedCsvRows(list.Root()->Children, out, marked, "", c.marks);
              }),
              c.rows);
  }
}

TEST(CsvExport, PythonReadsEveryRowWithTheSameFields) {
  TestList list;
  ListNode* folder = list.Folder(A(L"Папка;с разделителем"));
  SetComment(list.File("semi;colon.txt", 5000, folder), "\"quoted\" start");
  SetComment(list.File("line.txt", 0, folder), "two\r\nlines");
  list.File(A(L"Обычный.doc"), 1 << 20)->Attributes = eaArchive;
  TempDir dir;
  TExportFile out;
  ASSERT_TRUE(out.Create(dir.File("rows.csv").c_str()));
  out.Append(CsvHeader(RussianTitles));
  CountingSteps steps;
  ASSERT_EQ(WriteCsvRows(list.Root()->Children, out, steps, ""), TWriteResult::Done);
  ASSERT_TRUE(out.Close());
  const std::string script =
      "import csv, sys\n"
      "rows = list(csv.reader(open(sys.argv[1], encoding='cp1251', newline=''), delimiter=';'))\n"
      "for r in rows: print(len(r), '|'.join(r[:3]), '|', r[8], sep='')\n";
  std::string output;
  ASSERT_EQ(RunPython(script, Q(UnixPath(dir.File("rows.csv"))), &output), 0) << output;
  const std::wstring expected = L"10Путь|Имя файла|Размер, Кбайт|Комментарии\n"
                                L"10Папка;с разделителем|semi;colon.txt|5|\"quoted\" start\n"
                                L"10Папка;с разделителем|line.txt|1|two\r\nlines\n"
                                L"10|Обычный.doc|1024| \n";
  EXPECT_EQ(output, WideToAnsi(WideString(expected), CP_UTF8).str());
}

// --- any depth, any path, failures

// The three file exports of one list, each with the bytes it must write.
struct FileExportCase {
  const char* what;
  std::function<TWriteResult(const TList*, TExportFile&, IStepProgress&)> write;
  std::string bytes;
};

std::vector<FileExportCase> ExportsOfOneFile(const std::string& folder, const std::string& row) {
  return {
      {"text",
       [](const TList* l, TExportFile& out, IStepProgress& steps) {
         AnsiString last;
         return WriteTextLines(l, out, steps, "", last);
       },
       (folder.empty() ? "" : "\r\n" + folder + "\\") + "f.txt\r\n"},
      {"CSV", [](const TList* l, TExportFile& out, IStepProgress& steps) { return WriteCsvRows(l, out, steps, ""); },
       folder + ";f.txt;" + row},
      {"marked CSV",
       [](const TList* l, TExportFile& out, IStepProgress& steps) {
         return WriteCheckedCsvRows(l, out, steps, "", {true, false, false, false});
       },
       folder + ";f.txt;" + row},
  };
}

TEST(FileExportsAtAnyDepth, AListTwentyThousandLevelsDeepGivesItsOneLineOrRow) {
  constexpr int Depth = 20000;
  TestList list;
  ListNode* folder = nullptr;
  std::string path;
  for (int i = 0; i < Depth; ++i) {
    // GCC 12 reports a false overlap inside std::string when text is put before a temporary string.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
    const std::string name = "d" + std::to_string(i % 100);
#pragma GCC diagnostic pop
    folder = list.Folder(name, folder);
    path += (path.empty() ? "" : "\\") + name;
  }
  list.File("f.txt", 2048, folder)->NeedMark = 1;
  for (const FileExportCase& c : ExportsOfOneFile(path, "2; ; ; ; ;desired; ;\r\n")) {
    CountingSteps steps;
    EXPECT_EQ(Written([&](TExportFile& out) { return c.write(list.Root()->Children, out, steps); }), c.bytes)
        << c.what;
    EXPECT_EQ(steps.Steps, Depth + 1) << c.what;
  }
}

// A file name of exactly `length` characters in dir, its folders made (they
// are longer than the plain form of a path reaches).
WideString NameOfLength(const TempDir& dir, size_t length) {
  std::wstring path = AnsiToWide(dir.Path()).str();
  while (path.size() + 110 < length) {
    path += L"\\" + std::wstring(100, L'\u0444');  // Cyrillic: the name goes through the code page too
    EXPECT_TRUE(CreateDirectoryW(ExtendedPathForm(path).c_str(), nullptr)) << GetLastError();
  }
  path += L"\\" + std::wstring(length - path.size() - 5, L'f') + L".txt";
  return WideString(path);
}

std::string WideFileBytes(const WideString& name) { return ReadFileBytes(ExtendedPathForm(name).str()); }

TEST(FileExportsOnAnyPath, APathOfFourHundredCharacters) {
  TempDir dir;
  const WideString name = NameOfLength(dir, 400);
  ASSERT_EQ(name.Length(), 400);
  // The replace question sees what is there at that length.
  EXPECT_FALSE(TExportFile::Exists(name));
  const std::wstring& n = name.str();
  EXPECT_FALSE(TExportFile::Exists(WideString(n.substr(0, n.rfind(L'\\'))))) << "a folder";
  TestList list;
  list.File("f.txt", 0, list.Folder("D"))->NeedMark = 1;
  for (const FileExportCase& c : ExportsOfOneFile("D", "1; ; ; ; ;desired; ;\r\n")) {
    TExportFile out;
    ASSERT_TRUE(out.Create(name)) << c.what << " " << GetLastError();
    EXPECT_TRUE(TExportFile::Exists(name));
    CountingSteps steps;
    EXPECT_EQ(c.write(list.Root()->Children, out, steps), TWriteResult::Done) << c.what;
    EXPECT_TRUE(out.Close()) << c.what;
    EXPECT_EQ(WideFileBytes(name), c.bytes) << c.what;
  }
  RemoveTree(ExtendedPathForm(AnsiToWide(dir.Path())).str());
}

// The machine's own share of drive C, when the system offers one.
std::wstring OwnShare(const std::wstring& drivePath) {
  for (const wchar_t* server : {L"localhost", L"127.0.0.1"}) {
    const std::wstring unc = L"\\\\" + std::wstring(server) + L"\\C$" + drivePath.substr(2);
    if (GetFileAttributesW(unc.c_str()) != INVALID_FILE_ATTRIBUTES) return unc;
  }
  return std::wstring();
}

TEST(FileExportsOnAnyPath, ANetworkFolderOfTheMachinesOwnShare) {
  TempDir dir;
  const std::wstring share = OwnShare(AnsiToWide(dir.Path()).str());
  if (share.empty()) GTEST_SKIP() << "no share of drive C here (Wine offers none); the path forms are checked by "
                                     "the table of the long-path unit";
  TestList list;
  list.File("f.txt", 0, list.Folder("D"))->NeedMark = 1;
  // A short name and one of 400 characters on the share.
  const WideString longName = NameOfLength(dir, 400);
  const struct {
    WideString onShare, onDrive;
  } names[] = {
      {WideString(share + L"\\out.txt"), AnsiToWide(dir.File("out.txt"))},
      {WideString(share + longName.str().substr(dir.Path().size())), longName},
  };
  for (const auto& n : names) {
    for (const FileExportCase& c : ExportsOfOneFile("D", "1; ; ; ; ;desired; ;\r\n")) {
      TExportFile out;
      ASSERT_TRUE(out.Create(n.onShare)) << c.what << " " << n.onShare.Length() << " " << GetLastError();
      CountingSteps steps;
      EXPECT_EQ(c.write(list.Root()->Children, out, steps), TWriteResult::Done) << c.what;
      EXPECT_TRUE(out.Close()) << c.what;
      EXPECT_EQ(WideFileBytes(n.onDrive), c.bytes) << c.what << " " << n.onShare.Length();
    }
  }
  RemoveTree(ExtendedPathForm(AnsiToWide(dir.Path())).str());
}

TEST(ExportFileWrites, AFailedCloseIsReportedLikeAFailedWrite) {
  TempDir dir;
  TExportFile out;
  ASSERT_TRUE(out.Create(dir.File("a.txt").c_str()));
  EXPECT_TRUE(out.Append(std::string("line\r\n")));
  ASSERT_TRUE(out.Flush());
  // The system refuses the close of a handle it no longer knows.
  ASSERT_TRUE(CloseHandle(out.Handle()));
  EXPECT_FALSE(out.Close());
  EXPECT_TRUE(out.Failed());
  EXPECT_EQ(out.LastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(out.Close()) << "the answer stays";
}

// Steps that take the file's handle away at a given step: the writes after
// it fail as on a disk that has gone, with part of the export on the disk.
class HandleLosingSteps : public CountingSteps {
public:
  HandleLosingSteps(TExportFile& out, int at) : Out(out), At(at) {}
  void Step() override {
    CountingSteps::Step();
    if (Steps == At) CloseHandle(Out.Handle());
  }
  TExportFile& Out;
  int At;
};

TEST(ExportFileWrites, ADiscardedFileLeavesNothingUnderItsName) {
  TempDir dir;
  TestList list;
  for (int i = 0; i < 5000; ++i) list.File(std::string(40, 'n') + std::to_string(i));
  const struct {
    int loseAt;  // 0: never
    TWriteResult result;
  } cases[] = {{4000, TWriteResult::Failed}, {0, TWriteResult::Done}};
  for (const auto& c : cases) {
    const std::string name = dir.File("out" + std::to_string(c.loseAt) + ".txt");
    TExportFile out;
    ASSERT_TRUE(out.Create(name.c_str()));
    HandleLosingSteps steps(out, c.loseAt);
    AnsiString last;
    EXPECT_EQ(WriteTextLines(list.Root()->Children, out, steps, "", last), c.result);
    EXPECT_EQ(out.Close(), c.result == TWriteResult::Done);
    if (c.loseAt) {
      EXPECT_GE(ReadFileBytes(name).size(), 65536u) << "part of the export was on the disk";
      EXPECT_TRUE(out.Discard()) << GetLastError();
      EXPECT_EQ(GetFileAttributesA(name.c_str()), INVALID_FILE_ATTRIBUTES) << name;
    } else {
      // 42 bytes a line besides its number's digits: 10 of one, 90 of two,
      // 900 of three, 4000 of four.
      EXPECT_EQ(ReadFileBytes(name).size(), 5000u * 42 + 10 + 180 + 2700 + 16000) << name;
    }
  }
}

// The reason a partial file stays is the one its deletion met, whatever the
// caller does before it asks.
TEST(ExportFileWrites, AFileThatCannotBeDiscardedKeepsItsReason) {
  TempDir dir;
  const std::string name = dir.File("held.txt");
  TExportFile out;
  ASSERT_TRUE(out.Create(name.c_str()));
  ASSERT_TRUE(out.Append(std::string("part")));
  // Another program reads the file and lets nobody delete it meanwhile.
  const HANDLE reader =
      CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  ASSERT_FALSE(DeleteFileA(name.c_str()));
  const DWORD why = GetLastError();
  ASSERT_NE(why, 0u);
  EXPECT_FALSE(out.Discard());
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(out.DiscardError(), why);
  CloseHandle(reader);
  EXPECT_TRUE(out.Discard());
  EXPECT_EQ(out.DiscardError(), 0u);
  EXPECT_EQ(GetFileAttributesA(name.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
