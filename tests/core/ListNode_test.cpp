// The entry record's byte layout, the 80-bit size field, attribute letters, the
// bounded text fields and the tree operations.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "CoreTestUtil.h"
#include "ListNode.h"

namespace {

std::string Bytes(const Extended80& e) { return std::string(reinterpret_cast<const char*>(e.Bytes), 10); }
std::string Hex(const std::string& s) {
  static const char* d = "0123456789ABCDEF";
  std::string r;
  for (unsigned char c : s) {
    if (!r.empty()) r += ' ';
    r += d[c >> 4];
    r += d[c & 15];
  }
  return r;
}
// The x87 unit's own conversion: fild of a signed 64-bit integer is exact.
std::string HardwareBytes(int64_t v) {
  long double d = static_cast<long double>(v);
  return std::string(reinterpret_cast<const char*>(&d), 10);
}
Extended80 FromHex(const char* hex) {
  Extended80 e{};
  for (int i = 0; i < 10; ++i) e.Bytes[i] = static_cast<uint8_t>(std::strtoul(std::string(hex + 3 * i, 2).c_str(), nullptr, 16));
  return e;
}

TEST(ListNodeRecord, SizeFieldIsExact) {
  EXPECT_EQ(Hex(Bytes(ExtendedFromUInt64(0))), "00 00 00 00 00 00 00 00 00 00");
  EXPECT_EQ(Hex(Bytes(ExtendedFromUInt64(1))), "00 00 00 00 00 00 00 80 FF 3F");
  EXPECT_EQ(Hex(Bytes(ExtendedFromUInt64(1536))), "00 00 00 00 00 00 00 C0 09 40");
  EXPECT_EQ(Hex(Bytes(ExtendedFromUInt64(1ull << 32))), "00 00 00 00 00 00 00 80 1F 40");
  EXPECT_EQ(Hex(Bytes(ExtendedFromUInt64(UINT64_MAX))), "FF FF FF FF FF FF FF FF 3E 40");
  // Against the x87 unit's own conversion (fild of a signed 64-bit integer).
  std::mt19937_64 rnd(42);
  for (int i = 0; i < 2000; ++i) {
    const int64_t v = static_cast<int64_t>(rnd() >> (1 + rnd() % 63));
    ASSERT_EQ(Hex(Bytes(ExtendedFromUInt64(v))), Hex(HardwareBytes(v))) << v;
  }
  for (int64_t v : {(1ll << 32) + 1, 5ll << 30, (1ll << 53) + 1, INT64_MAX})
    EXPECT_EQ(Hex(Bytes(ExtendedFromUInt64(v))), Hex(HardwareBytes(v))) << v;
  // Read back: 2^53 + 1 survives, where a double would round it away.
  for (uint64_t v : {0ull, 1ull, (1ull << 53) + 1, (1ull << 32) + 1, 1ull << 63, UINT64_MAX}) {
    EXPECT_EQ(ExtendedToUInt64(ExtendedFromUInt64(v)), v);
    EXPECT_TRUE(ExtendedToLongDouble(ExtendedFromUInt64(v)) == static_cast<long double>(v)) << v;
  }
  EXPECT_TRUE(ExtendedToLongDouble(ExtendedFromUInt64((1ull << 53) + 1)) - static_cast<long double>(1ull << 53) == 1.0L);
}

TEST(ListNodeRecord, SizeFieldOfDamagedData) {
  EXPECT_EQ(ExtendedToUInt64(FromHex("00 00 00 00 00 00 00 C0 FF 3F")), 1u);          // 1.5
  EXPECT_EQ(ExtendedToUInt64(FromHex("00 00 00 00 00 00 00 80 FE 3F")), 0u);          // 0.5
  EXPECT_EQ(ExtendedToUInt64(FromHex("00 00 00 00 00 00 00 80 FF BF")), 0u);          // -1
  EXPECT_EQ(ExtendedToUInt64(FromHex("00 00 00 00 00 00 00 80 3F 40")), UINT64_MAX);  // 2^64
  EXPECT_EQ(ExtendedToUInt64(FromHex("00 00 00 00 00 00 00 80 FF 7F")), UINT64_MAX);  // infinity
  EXPECT_EQ(ExtendedToUInt64(FromHex("00 00 00 00 00 00 00 C0 FF 7F")), 0u);          // NaN
  EXPECT_EQ(ExtendedToUInt64(FromHex("01 00 00 00 00 00 00 00 00 00")), 0u);          // denormal
}

TEST(ListNodeRecord, AttributeBitsAndLetters) {
  // Read-only, archive, temporary, compressed.
  EXPECT_EQ(AttributeBits(0x921), 0x71);
  EXPECT_EQ(AttributeLetters(0x71), "RATC");
  EXPECT_EQ(AttributeBits(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT), 0);
  const DWORD sources[] = {0x1, 0x2, 0x4, 0x8, 0x20, 0x100, 0x800};
  for (int bit = 0; bit < 7; ++bit) EXPECT_EQ(AttributeBits(sources[bit]), 1 << bit);
  // Never the damaged bit, whatever the system reports.
  EXPECT_EQ(AttributeBits(INVALID_FILE_ATTRIBUTES), 0x7F);
  EXPECT_EQ(AttributeLetters(0x11), "RA");
  EXPECT_EQ(AttributeLetters(DamagedBit), "E");
  EXPECT_EQ(AttributeLetters(0xFF), "RHSVATCE");
  EXPECT_EQ(AttributeLetters(0), "");
}

TEST(ListNodeRecord, TextFieldsStayInsideTheirBounds) {
  EntryRecord r{};
  std::memset(&r, 'z', sizeof r);
  // A full Name has no terminator; its reader stops at the field's end and does
  // not run into the Comment after it.
  SetFieldText(r.Name, AnsiString(std::string(300, 'n')));
  SetFieldText(r.Comment, "c");
  EXPECT_EQ(FieldText(r.Name), std::string(256, 'n'));
  EXPECT_EQ(FieldText(r.Comment), "c");
  EXPECT_EQ(r.Comment[255], '\0');
  // Dates keep a terminator: at most 27 bytes.
  SetFieldText(r.Created, AnsiString(std::string(40, 'd')), true);
  EXPECT_EQ(FieldText(r.Created), std::string(27, 'd'));
  EXPECT_EQ(r.Created[27], '\0');
  EXPECT_EQ(r.Modified[0], 'z');  // the next field is untouched
  SetFieldText(r.Created, "short", true);
  EXPECT_EQ(std::string(r.Created, 28), std::string("short") + std::string(23, '\0'));
}

TEST(ListNodeRecord, FieldTextsEndAtTheirFirstZeroByte) {
  // Every end position in fields of every length around the four-byte steps,
  // with bytes that look like zero to a careless test (0x80, 0x01, 0xFF).
  const std::string fill = "\x80\x01\xFF\x81\x7F\x80\x01\xC0\xFF\x80\x01";
  for (size_t size = 1; size <= fill.size(); ++size) {
    for (size_t end = 0; end <= size; ++end) {
      char field[16];
      std::memset(field, 'z', sizeof field);  // past the field: never read as part of it
      std::memcpy(field, fill.data(), size);
      if (end < size) field[end] = '\0';
      EXPECT_EQ(std::string(FieldView(field, size)), fill.substr(0, end)) << size << "/" << end;
    }
  }
}

TEST(ListNodeRecord, KilobyteTextsOfLargeSizes) {
  const struct {
    uint64_t bytes;
    const char* text;
  } cases[] = {
      {0xFFFFFFFFull << 10, "4294967295"},          {(0xFFFFFFFFull << 10) + 512, "4294967296"},
      {(0xFFFFFFFEull << 10) + 512, "4294967294"},   {1ull << 42, "4294967296"},
      {(1ull << 42) + 513, "4294967297"},            {(1ull << 42) + 1536, "4294967298"},
      {UINT64_MAX, "18014398509481984"},             {10ull << 10, "10"},
  };
  for (const auto& c : cases) EXPECT_EQ(SizeKbText(ExtendedFromUInt64(c.bytes)), c.text) << c.bytes;
}

TEST(ListNodeTree, LeavesAndInsertion) {
  ListNode* root = MakeEntry(nullptr, "root", ekFolder);
  EXPECT_EQ(root->LastChildIndex, -1);
  ASSERT_NE(root->Children, nullptr);
  EXPECT_EQ(root->ChildCount(), 0);
  EXPECT_EQ(root->Parent, nullptr);
  ListNode* a = MakeEntry(root, "a", ekFile);
  ListNode* b = MakeEntry(root, "b", ekFolder);
  ListNode* c = MakeEntry(root, "c", ekFile);
  EXPECT_EQ(root->LastChildIndex, 2);
  EXPECT_EQ(root->LastChild, c);
  EXPECT_EQ(root->Child(0), a);
  EXPECT_EQ(root->Child(1), b);
  EXPECT_EQ(root->Child(2), c);
  EXPECT_EQ(b->Parent, root);
  EXPECT_EQ(b->Level, 1);
  ListNode* loose = InsertNode(nullptr, 5, *a);
  EXPECT_EQ(loose->Parent, nullptr);
  EXPECT_EQ(loose->Level, 5);
  EXPECT_EQ(FieldText(loose->Name), "a");
  EXPECT_EQ(root->ChildCount(), 3);
  MakeEntry(b, "b1", ekFile);
  EXPECT_EQ(CountNodes(root), 4);
  EXPECT_EQ(CountNodes(a), 0);
  FreeNodeTree(loose);
  FreeNodeTree(root);
  FreeNodeTree(nullptr);
}

TEST(ListNodeTree, DeepTreesAreWalkedWithoutRecursion) {
  ListNode* root = MakeEntry(nullptr, "", ekFolder);
  ListNode* n = root;
  for (int i = 0; i < 200000; ++i) n = MakeEntry(n, "d", ekFolder);
  EXPECT_EQ(CountNodes(root), 200000);
  FreeNodeTree(root);
}

// Records the calls of a walk as "E path|name" and "L path|name"; answers
// Skip or Stop at the entry so named.
struct RecordingWalk {
  std::vector<std::string> Calls;
  std::string SkipAt, StopAt, StopLeaving;
  TWalkStep Entry(const ListNode* e, const std::string& path) {
    Calls.push_back("E " + path + "|" + e->Name);
    if (e->Name == StopAt) return TWalkStep::Stop;
    return e->Name == SkipAt ? TWalkStep::Skip : TWalkStep::Go;
  }
  bool LeaveFolder(const ListNode* f, const std::string& path) {
    Calls.push_back("L " + path + "|" + f->Name);
    return f->Name != StopLeaving;
  }
};

TEST(ListNodeTree, WalkGivesEveryEntryWithItsFolderPath) {
  ListNode* root = MakeEntry(nullptr, "C:\\data", ekFolder);
  MakeEntry(root, "f1", ekFile);
  ListNode* d1 = MakeEntry(root, "d1", ekFolder);
  MakeEntry(d1, "f11", ekFile);
  ListNode* d11 = MakeEntry(d1, "d11", ekFolder);
  MakeEntry(d11, "f111", ekFile);
  MakeEntry(d1, "f12", ekFile);
  MakeEntry(root, "e", ekFolder);
  MakeEntry(root, "f2", ekFile);
  const std::vector<std::string> all = {"E |f1",        "E |d1",     "E d1|f11", "E d1|d11", "E d1/d11|f111",
                                        "L d1|d11",     "E d1|f12",  "L |d1",    "E |e",     "L |e",
                                        "E |f2"};
  const struct {
    const char* what;
    std::string skip, stop, stopLeaving, start;
    bool complete;
    std::vector<std::string> calls;
  } cases[] = {
      {"whole", "", "", "", "", true, all},
      {"below a start", "", "", "", "top", true,
       {"E top|f1", "E top|d1", "E top/d1|f11", "E top/d1|d11", "E top/d1/d11|f111", "L top/d1|d11",
        "E top/d1|f12", "L top|d1", "E top|e", "L top|e", "E top|f2"}},
      {"a folder skipped", "d11", "", "", "", true,
       {"E |f1", "E |d1", "E d1|f11", "E d1|d11", "E d1|f12", "L |d1", "E |e", "L |e", "E |f2"}},
      {"stopped at an entry", "", "f111", "", "", false,
       {"E |f1", "E |d1", "E d1|f11", "E d1|d11", "E d1/d11|f111"}},
      {"stopped leaving a folder", "", "", "d11", "", false,
       {"E |f1", "E |d1", "E d1|f11", "E d1|d11", "E d1/d11|f111", "L d1|d11"}},
  };
  for (const auto& c : cases) {
    RecordingWalk walk;
    walk.SkipAt = c.skip;
    walk.StopAt = c.stop;
    walk.StopLeaving = c.stopLeaving;
    EXPECT_EQ(WalkEntries(root->Children, '/', walk, c.start), c.complete) << c.what;
    EXPECT_EQ(walk.Calls, c.calls) << c.what;
  }
  RecordingWalk none;
  EXPECT_TRUE(WalkEntries(nullptr, '/', none));
  EXPECT_TRUE(WalkEntries(MakeEntry(root, "empty", ekFolder)->Children, '/', none));
  EXPECT_TRUE(none.Calls.empty());
  FreeNodeTree(root);
}

TEST(ListNodeTree, WalkReachesAnyDepth) {
  ListNode* root = MakeEntry(nullptr, "", ekFolder);
  ListNode* n = root;
  constexpr int Depth = 200000;
  for (int i = 0; i < Depth; ++i) n = MakeEntry(n, "d", ekFolder);
  MakeEntry(n, "f", ekFile);
  struct : TEntryVisitor {
    size_t LongestPath = 0;
    int Entries = 0;
    std::string FileAt;
    TWalkStep Entry(const ListNode* e, const std::string& path) {
      ++Entries;
      LongestPath = std::max(LongestPath, path.size());
      if (e->Kind == ekFile) FileAt = path;
      return TWalkStep::Go;
    }
  } walk;
  EXPECT_TRUE(WalkEntries(root->Children, '\\', walk));
  EXPECT_EQ(walk.Entries, Depth + 1);
  EXPECT_EQ(walk.LongestPath, 2u * Depth - 1);
  std::string expected = "d";
  for (int i = 1; i < Depth; ++i) expected += "\\d";
  EXPECT_EQ(walk.FileAt, expected);
  FreeNodeTree(root);
}

TEST(ListNodeTree, FolderTreeMirrorsFoldersInPreOrder) {
  ListNode* root = MakeEntry(nullptr, "C:\\data", ekFolder);
  MakeEntry(root, "f1", ekFile);
  ListNode* d1 = MakeEntry(root, "d1", ekFolder);
  MakeEntry(d1, "f11", ekFile);
  ListNode* d11 = MakeEntry(d1, "d11", ekFolder);
  MakeEntry(d11, "d111", ekFolder);
  MakeEntry(root, "d2", ekFolder);
  MakeEntry(root, "x", 'X');  // a damaged kind gets no tree node
  RecordingSink sink;
  BuildFolderTree(root, sink);
  ASSERT_EQ(sink.Nodes.size(), 5u);
  EXPECT_EQ(sink.Nodes[0].Text, "");
  EXPECT_EQ(sink.Nodes[0].Parent, -1);
  EXPECT_EQ(sink.Nodes[1].Text, "d1");
  EXPECT_EQ(sink.Nodes[1].Parent, 0);
  EXPECT_EQ(sink.Nodes[2].Text, "d11");
  EXPECT_EQ(sink.Nodes[2].Parent, 1);
  EXPECT_EQ(sink.Nodes[3].Text, "d111");
  EXPECT_EQ(sink.Nodes[3].Parent, 2);
  EXPECT_EQ(sink.Nodes[4].Text, "d2");
  EXPECT_EQ(sink.Nodes[4].Parent, 0);
  FreeNodeTree(root);
}

// Nodes come from shared blocks: a node deleted on its own must free its slot
// only, slots are never handed out twice, and a block's nodes keep their bytes
// while others in it come and go.
TEST(ListNodeTree, NodesComeAndGoOneByOne) {
  std::vector<ListNode*> nodes;
  EntryRecord r{};
  r.Kind = ekFile;
  for (int i = 0; i < 3000; ++i) {
    SetFieldText(r.Name, AnsiString("n") + IntToStr(i));
    nodes.push_back(InsertNode(nullptr, i, r));
  }
  // Every other node, last first, then a block's worth more.
  for (int i = 2999; i >= 0; i -= 2) {
    FreeNodeTree(nodes[i]);
    nodes[i] = nullptr;
  }
  for (int i = 0; i < 2500; ++i) {
    SetFieldText(r.Name, AnsiString("m") + IntToStr(i));
    nodes.push_back(InsertNode(nullptr, -i, r));
  }
  std::set<ListNode*> distinct;
  for (size_t i = 0; i < nodes.size(); ++i) {
    if (!nodes[i]) continue;
    EXPECT_TRUE(distinct.insert(nodes[i]).second) << i;
    const bool early = i < 3000;
    const int n = early ? static_cast<int>(i) : static_cast<int>(i) - 3000;
    EXPECT_EQ(FieldText(nodes[i]->Name), AnsiString(early ? "n" : "m") + IntToStr(n));
    EXPECT_EQ(nodes[i]->Level, early ? n : -n);
    EXPECT_EQ(nodes[i]->ChildCount(), 0);
  }
  // Whole blocks emptied and filled again.
  for (ListNode*& n : nodes) {
    FreeNodeTree(n);
    n = nullptr;
  }
  ListNode* root = MakeEntry(nullptr, "again", ekFolder);
  for (int i = 0; i < 2100; ++i) MakeEntry(root, "x", ekFile);
  EXPECT_EQ(CountNodes(root), 2100);
  FreeNodeTree(root);
}

// A node type of another size does not fit a slot and takes the heap.
TEST(ListNodeTree, LargerNodesTakeTheHeap) {
  struct TaggedNode : ListNode {
    char Tag[100];
  };
  auto* tagged = new TaggedNode;
  std::memset(tagged->Tag, 'T', sizeof tagged->Tag);
  ListNode* plain = MakeEntry(nullptr, "plain", ekFile);
  tagged->Children->Add(plain);
  EXPECT_EQ(tagged->Child(0), plain);
  EXPECT_EQ(std::string(tagged->Tag, 3), "TTT");
  delete plain;
  delete tagged;
}

// The process's committed private memory, summed over its address space.
ULONGLONG CommittedBytes() {
  ULONGLONG total = 0;
  MEMORY_BASIC_INFORMATION m;
  for (const char* at = nullptr; VirtualQuery(at, &m, sizeof m) == sizeof m; at = static_cast<const char*>(m.BaseAddress) + m.RegionSize) {
    if (m.State == MEM_COMMIT && m.Type == MEM_PRIVATE) total += m.RegionSize;
    if (static_cast<const char*>(m.BaseAddress) + m.RegionSize < at) break;
  }
  return total;
}

// A reserve made for a big tree: the tree built into it keeps its values,
// and what the tree left unused goes back when the reserve ends.
TEST(ListNodeTree, ReserveGivesBackWhatWasNotTaken) {
  constexpr int kNodes = 80000;  // enough for the threads to make the memory ready
  constexpr ULONGLONG kBytes = 80000ull * 600;
  const ULONGLONG before = CommittedBytes();
  ListNode* root = nullptr;
  {
    TListNodeReserve reserve(2 * kNodes);
    EXPECT_GT(CommittedBytes(), before + 2 * kBytes);
    root = MakeEntry(nullptr, "r", ekFolder);
    for (int i = 0; i < kNodes; ++i) MakeEntry(root, std::to_string(i), ekFile);
  }
  // Half of the reserve went back; the tree's half stays.
  EXPECT_GT(CommittedBytes(), before + kBytes);
  EXPECT_LT(CommittedBytes(), before + kBytes + kBytes / 2);
  ASSERT_EQ(root->ChildCount(), kNodes);
  // The helpers touched the pages the builder was not writing to: every node
  // as it was made.
  int intact = 0;
  for (int i = 0; i < kNodes; ++i) {
    const ListNode* n = root->Child(i);
    intact += FieldText(n->Name) == AnsiString(std::to_string(i).c_str()) && n->Level == 1 && n->Kind == ekFile &&
              n->Parent == root && n->LastChildIndex == -1;
  }
  EXPECT_EQ(intact, kNodes);
  FreeNodeTree(root);
  EXPECT_LT(CommittedBytes(), before + kBytes / 4);
  // Nothing to reserve.
  { TListNodeReserve none(0); }
}

}  // namespace
