// The list data file: base names, the header, the pre-order records checked by
// Python's struct module, byte-exact round trips and damaged data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "CoreTestUtil.h"
#include "ListDataFile.h"
#include "Ucrypt.h"

namespace {

std::string StreamBytes(TMemoryStream& m) { return std::string(static_cast<const char*>(m.Memory()), m.Size()); }

struct Steps : IStepProgress {
  int Count = 0;
  int CancelAfter = -1;
  void Step() override { ++Count; }
  bool CancelRequested() override { return CancelAfter >= 0 && Count >= CancelAfter; }
};

// A stream that refuses every byte after the first `room`.
class FullStream : public TStream {
public:
  explicit FullStream(int32_t room) : FRoom(room) {}
  int32_t Read(void*, int32_t) override { return 0; }
  int32_t Write(const void*, int32_t count) override {
    const int32_t n = std::min(count, FRoom);
    FRoom -= n;
    return n;
  }
  using TStream::Seek;
  int64_t Seek(int64_t, TSeekOrigin) override { return 0; }

private:
  int32_t FRoom;
};

// root "C:\data" { f1 (marked), d1 { f11, d11 {} }, d2 {} }
ListNode* SampleTree() {
  ListNode* root = MakeEntry(nullptr, "C:\\data", ekFolder);
  root->Size = ExtendedFromUInt64(3000);
  ListNode* f1 = MakeEntry(root, "f1", ekFile);
  f1->NeedMark = 1;
  f1->Attributes = 0x91;
  SetFieldText(f1->Comment, "a comment");
  SetFieldText(f1->Created, "07.12.2026 17:27:05", true);
  f1->Size = ExtendedFromUInt64(1000);
  ListNode* d1 = MakeEntry(root, "d1", ekFolder);
  d1->MarkedCount = 4;
  ListNode* f11 = MakeEntry(d1, "f11", ekFile);
  f11->Absent = 1;
  f11->Size = ExtendedFromUInt64((1ull << 53) + 1);
  MakeEntry(d1, "d11", ekFolder);
  MakeEntry(root, "d2", ekFolder);
  return root;
}

NodeRecord Record(const std::string& name, char kind, int32_t level, int32_t last) {
  NodeRecord r{};
  SetFieldText(r.Entry.Name, AnsiString(name));
  r.Entry.Kind = kind;
  r.Level = level;
  r.LastChildIndex = last;
  return r;
}
std::string Raw(const NodeRecord& r) { return std::string(reinterpret_cast<const char*>(&r), sizeof r); }

ListNode* ReadBytes(const std::string& bytes) {
  TMemoryStream m;
  m.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  m.SetPosition(0);
  return ReadNodeRecords(m);
}

TEST(ListDataFile, BaseNameRules) {
  EXPECT_EQ(ListBaseName("C:\\lists\\disk1.vq"), "disk1");
  EXPECT_EQ(ListBaseName("a.b.c"), "a.b");
  // Cut at the first place the extension occurs.
  EXPECT_EQ(ListBaseName("x.cc.c"), "x");
  EXPECT_EQ(ListBaseName("noext"), "noext");
  EXPECT_EQ(ListBaseName("dir.d\\list"), "list");
  EXPECT_EQ(ListBaseName("C:disk1.vq"), "disk1");
  EXPECT_EQ(ListBaseName(".vq"), "");
  EXPECT_EQ(ListBaseName(A(L"D:\\Списки\\Диск.vq")), A(L"Диск"));
}

TEST(ListDataFile, HeaderHoldsTheScrambledPathPadded) {
  TMemoryStream m;
  const AnsiString s = ScrambleString("D:\\Data", kScrambleStartKey, kScrambleMultiplier, kScrambleAddend);
  WriteListHeader(m, s);
  EXPECT_EQ(StreamBytes(m), std::string("\x46\x7F\xFA\x48\xF6\xFF\x41") + std::string(249, '\0'));
  TMemoryStream big;
  WriteListHeader(big, AnsiString(std::string(300, 'p')));
  EXPECT_EQ(StreamBytes(big), std::string(256, 'p'));
  // Zero bytes inside the scrambled path come back; the padding does not.
  TMemoryStream z;
  WriteListHeader(z, AnsiString(std::string("\x46\x00\x33", 3)));
  z.SetPosition(0);
  EXPECT_EQ(ReadListHeader(z).str(), std::string("\x46\x00\x33", 3));
  TMemoryStream full;
  WriteListHeader(full, AnsiString(std::string(255, 'p') + std::string(1, '\0')));
  full.SetPosition(0);
  EXPECT_EQ(ReadListHeader(full).str(), std::string(255, 'p'));
}

TEST(ListDataFile, AScrambledPathWithZeroBytesSurvivesOpenAndSave) {
  // Paths whose scrambled form holds a zero byte before its end.
  int found = 0;
  for (int i = 0; i < 2000 && found < 5; ++i) {
    const AnsiString path = AnsiString("C:\\Temp\\scan") + IntToStr(i);
    const AnsiString s = ScrambleString(path, kScrambleStartKey, kScrambleMultiplier, kScrambleAddend);
    const std::string bytes = s.str();
    const size_t zero = bytes.find('\0');
    if (zero == std::string::npos || zero + 1 == bytes.size()) continue;
    ++found;
    TMemoryStream first;
    WriteListHeader(first, s);
    first.SetPosition(0);
    const AnsiString read = ReadListHeader(first);
    EXPECT_EQ(UnscrambleString(read, kScrambleStartKey, kScrambleMultiplier, kScrambleAddend), path);
    TMemoryStream second;
    WriteListHeader(second, read);
    EXPECT_EQ(StreamBytes(second), StreamBytes(first)) << path.c_str();
  }
  EXPECT_EQ(found, 5);
}

TEST(ListDataFile, RecordsInDepthFirstPreOrder) {
  ListNode* root = SampleTree();
  TMemoryStream m;
  Steps steps;
  ASSERT_TRUE(WriteListData(m, "hdr", root, &steps));
  EXPECT_EQ(steps.Count, 6);  // the root is stepped too
  EXPECT_EQ(m.Size(), 256 + 6 * 600);
  // The path name goes to disk as zeros but stays in the tree until the save
  // has succeeded.
  EXPECT_EQ(FieldText(root->Name), "C:\\data");
  TempDir dir;
  WriteFileBytes(dir.File("data"), StreamBytes(m));
  const char* py =
      "import struct, sys\n"
      "b = open(sys.argv[1], 'rb').read()\n"
      "assert b[:256] == b'hdr' + bytes(253)\n"
      "recs = [struct.unpack_from('<256s256s28s28scB6s10sBBiii', b, 256 + 600 * i) for i in range(6)]\n"
      "got = [(r[0].rstrip(b'\\0').decode(), r[4].decode(), r[11], r[12]) for r in recs]\n"
      "want = [('', 'D', 0, 2), ('f1', 'F', 1, -1), ('d1', 'D', 1, 1), ('f11', 'F', 2, -1),\n"
      "        ('d11', 'D', 2, -1), ('d2', 'D', 1, -1)]\n"
      "assert got == want, got\n"
      "assert recs[0][0] == bytes(256)\n"
      "assert recs[1][1].rstrip(b'\\0') == b'a comment' and recs[1][5] == 0x91 and recs[1][9] == 1\n"
      "assert recs[2][10] == 4 and recs[3][8] == 1\n"
      "sig, se = struct.unpack('<QH', recs[3][7])\n"
      "assert sig >> (63 - ((se & 0x7fff) - 16383)) == 2**53 + 1\n"
      "print('ok')\n";
  std::string out;
  EXPECT_EQ(RunPython(py, Q(UnixPath(dir.File("data"))), &out), 0) << out;
  ClearPathNames(root);
  EXPECT_EQ(root->Name[0], '\0');
  EXPECT_EQ(FieldText(root->Child(0)->Name), "f1");
  FreeNodeTree(root);
}

TEST(ListDataFile, RootOnlyListIs856Bytes) {
  ListNode* root = MakeEntry(nullptr, "C:\\empty", ekFolder);
  TMemoryStream m;
  Steps steps;
  ASSERT_TRUE(WriteListData(m, "", root, &steps));
  const std::string b = StreamBytes(m);
  ASSERT_EQ(b.size(), 856u);
  int32_t last = 0;
  std::memcpy(&last, b.data() + 256 + 596, 4);
  EXPECT_EQ(last, -1);
  EXPECT_EQ(b.substr(256, 256), std::string(256, '\0'));
  FreeNodeTree(root);
}

TEST(ListDataFile, ReadThenWriteGivesTheSameBytes) {
  ListNode* root = SampleTree();
  TMemoryStream first;
  ASSERT_TRUE(WriteListData(first, AnsiString(std::string("\x46\x7F\xFA", 3)), root, nullptr));
  FreeNodeTree(root);
  first.SetPosition(0);
  TListData d = ReadListData(first);
  EXPECT_EQ(d.ScrambledRootPath.str(), "\x46\x7F\xFA");
  ASSERT_NE(d.Root, nullptr);
  EXPECT_EQ(d.Root->Name[0], '\0');
  EXPECT_EQ(d.Root->LastChildIndex, 2);
  EXPECT_EQ(d.Root->Child(1)->Child(0)->Parent, d.Root->Child(1));
  EXPECT_EQ(d.Root->Child(1)->LastChild, d.Root->Child(1)->Child(1));
  TMemoryStream second;
  ASSERT_TRUE(WriteListData(second, d.ScrambledRootPath, d.Root, nullptr));
  EXPECT_EQ(StreamBytes(second), StreamBytes(first));
  FreeNodeTree(d.Root);
}

TEST(ListDataFile, ChildCountsDecideTheSubtrees) {
  // A folder claiming three children takes the next three subtrees; a file
  // with -1 ends its subtree; stored levels are taken as they are; bytes after
  // the last record are ignored.
  std::string b = Raw(Record("", 'D', 0, 2)) + Raw(Record("a", 'F', 7, -1)) + Raw(Record("b", 'D', 1, 0)) +
                  Raw(Record("b1", 'F', 2, -1)) + Raw(Record("c", 'X', 1, -1)) + Raw(Record("tail", 'F', 1, -1)) +
                  "garbage";
  ListNode* root = ReadBytes(b);
  ASSERT_EQ(root->ChildCount(), 3);
  EXPECT_EQ(FieldText(root->Child(0)->Name), "a");
  EXPECT_EQ(root->Child(0)->Level, 7);
  EXPECT_EQ(FieldText(root->Child(1)->Child(0)->Name), "b1");
  EXPECT_EQ(root->Child(2)->Kind, 'X');
  EXPECT_EQ(CountNodes(root), 4);
  FreeNodeTree(root);
}

TEST(ListDataFile, DamagedDataIsRefused) {
  // Ends in the middle of the tree.
  EXPECT_THROW(ReadBytes(Raw(Record("", 'D', 0, 1)) + Raw(Record("a", 'F', 1, -1))), EListDataError);
  // Claims more children than the file could hold: refused before reading on.
  EXPECT_THROW(ReadBytes(Raw(Record("", 'D', 0, 0x7FFFFFFE)) + Raw(Record("a", 'F', 1, -1))), EListDataError);
  EXPECT_THROW(ReadBytes(Raw(Record("", 'D', 0, 0)) + Raw(Record("a", 'D', 1, 1000000)) +
                         std::string(600 * 3, '\0')),
               EListDataError);
  // A file with children, a negative count.
  EXPECT_THROW(ReadBytes(Raw(Record("", 'D', 0, 0)) + Raw(Record("f", 'F', 1, 0)) + Raw(Record("g", 'F', 2, -1))),
               EListDataError);
  EXPECT_THROW(ReadBytes(Raw(Record("", 'D', 0, -2))), EListDataError);
  // No record at all, a short record, a short header.
  EXPECT_THROW(ReadBytes(""), EListDataError);
  EXPECT_THROW(ReadBytes(std::string(599, '\0')), EListDataError);
  TMemoryStream shortHeader;
  shortHeader.WriteBuffer("abc", 3);
  shortHeader.SetPosition(0);
  EXPECT_THROW(ReadListData(shortHeader), EReadError);
}

TEST(ListDataFile, CheckingFindsWhatReadingWouldRefuseAndMovesNothing) {
  const std::string header(256, '\0');
  auto check = [&](const std::string& records) {
    TMemoryStream m;
    const std::string bytes = header + records;
    m.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    m.SetPosition(0);
    CheckListData(m);
    EXPECT_EQ(m.Position(), 0);
    TListData d = ReadListData(m);
    const int n = CountNodes(d.Root);
    FreeNodeTree(d.Root);
    return n;
  };
  EXPECT_EQ(check(Raw(Record("", 'D', 0, 1)) + Raw(Record("a", 'F', 1, -1)) + Raw(Record("b", 'D', 1, 0)) +
                  Raw(Record("b1", 'F', 2, -1))),
            3);
  EXPECT_THROW(check(Raw(Record("", 'D', 0, 1)) + Raw(Record("a", 'F', 1, -1))), EListDataError);
  EXPECT_THROW(check(Raw(Record("", 'D', 0, 0)) + Raw(Record("f", 'F', 1, 0)) + Raw(Record("g", 'F', 2, -1))),
               EListDataError);
  EXPECT_THROW(check(Raw(Record("", 'D', 0, -2))), EListDataError);
  EXPECT_THROW(check(""), EListDataError);
}

TEST(ListDataFile, NestingIsBounded) {
  auto chain = [](int depth) {
    std::string b;
    for (int i = 0; i < depth; ++i) b += Raw(Record("d", 'D', i, i + 1 < depth ? 0 : -1));
    return b;
  };
  ListNode* deep = ReadBytes(chain(20000));
  EXPECT_EQ(CountNodes(deep), 19999);
  // Writing it again walks it without recursion as well.
  TMemoryStream m;
  ASSERT_TRUE(WriteNodeRecords(m, deep, nullptr));
  EXPECT_EQ(StreamBytes(m), chain(20000));
  FreeNodeTree(deep);
  EXPECT_THROW(ReadBytes(chain(kMaxListDepth + 2)), EListDataError);
}

TEST(ListDataFile, WriterStopsWhenCancelledAndReportsWriteErrors) {
  ListNode* root = SampleTree();
  TMemoryStream m;
  Steps steps;
  steps.CancelAfter = 3;
  EXPECT_FALSE(WriteNodeRecords(m, root, &steps));
  EXPECT_EQ(steps.Count, 3);
  FullStream full(1000);
  EXPECT_THROW(WriteListData(full, "", root, nullptr), EWriteError);
  FreeNodeTree(root);
}

// The checker that runs over the unpacked bytes as they are written must come
// to the verdict a check of the whole stream comes to, however the bytes are
// cut into pieces (records split across pieces, the header split, one byte at
// a time).
TEST(ListDataFile, CheckerFedInPiecesAgreesWithCheckingTheStream) {
  const std::string header = "hdr" + std::string(253, '\0');
  auto chain = [](int depth) {
    std::string b;
    for (int i = 0; i < depth; ++i) b += Raw(Record("d", 'D', i, i + 1 < depth ? 0 : -1));
    return b;
  };
  std::string wide = Raw(Record("", 'D', 0, 2499));
  for (int i = 0; i < 2500; ++i) wide += Raw(Record("f", 'F', 1, -1));
  struct Case {
    std::string Bytes;
    int Nodes;  // -1: damaged
  };
  const std::vector<Case> cases = {
      {header + Raw(Record("", 'D', 0, 1)) + Raw(Record("a", 'F', 1, -1)) + Raw(Record("b", 'D', 1, 0)) +
           Raw(Record("b1", 'F', 2, -1)),
       4},
      // What follows the tree does not count, not even a record that breaks a rule.
      {header + Raw(Record("", 'D', 0, -1)) + Raw(Record("f", 'F', 1, 3)) + "tail", 1},
      {header + wide, 2501},
      {header + wide.substr(0, wide.size() - 600), -1},
      {header + wide.substr(0, wide.size() - 1), -1},
      {header + Raw(Record("", 'D', 0, 0)) + Raw(Record("f", 'F', 1, 0)) + Raw(Record("g", 'F', 2, -1)), -1},
      {header + Raw(Record("", 'D', 0, -2)), -1},
      {header, -1},
      {header.substr(0, 100), -1},
      {"", -1},
      {header + chain(kMaxListDepth + 1), kMaxListDepth + 1},
      {header + chain(kMaxListDepth + 2), -1},
  };
  for (size_t c = 0; c < cases.size(); ++c) {
    const std::string& bytes = cases[c].Bytes;
    TMemoryStream m;
    m.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    m.SetPosition(0);
    bool streamSound = true;
    try {
      CheckListData(m);
    } catch (const Exception&) {
      streamSound = false;
    }
    EXPECT_EQ(streamSound, cases[c].Nodes >= 0) << "case " << c;
    for (size_t piece : {size_t(1), size_t(7), size_t(599), size_t(600), size_t(601), size_t(65535), bytes.size()}) {
      if (piece == 1 && bytes.size() > 100000) continue;  // a million calls say no more than seven bytes do
      TListDataChecker checker;
      for (size_t at = 0; at < bytes.size(); at += piece)
        checker.Feed(bytes.data() + at, std::min(piece, bytes.size() - at));
      EXPECT_EQ(checker.Sound(), streamSound) << "case " << c << ", pieces of " << piece;
      if (checker.Sound()) {
        EXPECT_EQ(checker.Nodes(), cases[c].Nodes) << "case " << c;
      }
    }
  }
}

}  // namespace
