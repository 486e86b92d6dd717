// The entry record of one scanned folder or file, the tree node that holds it,
// and the operations every builder of the entry tree shares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "classes.h"

// --- byte layouts ------------------------------------------------------------------
// The record goes to the list data file byte for byte, so its layout is a file
// layout: packed, little-endian, every offset fixed.

#pragma pack(push, 1)

// An x87 80-bit extended float kept as its ten bytes: 64-bit significand with an
// explicit integer bit, then sign and 15-bit exponent (bias 16383). A
// `long double` member would be 12 bytes and 4-aligned on this target.
struct Extended80 {
  uint8_t Bytes[10];
};

struct EntryRecord {
  char Name[256];      // ANSI, NUL-padded; unterminated when full
  char Comment[256];   // ANSI, NUL-padded
  char Created[28];    // local date-time text; empty when not recorded
  char Modified[28];
  char Kind;           // EntryKind
  uint8_t Attributes;  // attribute bits below
  uint8_t Reserved[6];
  Extended80 Size;     // bytes
  uint8_t Absent;      // 1: added by an import, not on disk
  uint8_t NeedMark;    // 0 none, 1 needed, 2 not needed
  int32_t MarkedCount; // descendants with a need mark
};

// One node as the list data file stores it.
struct NodeRecord {
  EntryRecord Entry;
  int32_t Level;
  int32_t LastChildIndex;  // children - 1; -1 for none
};

#pragma pack(pop)

static_assert(sizeof(Extended80) == 10);
static_assert(offsetof(EntryRecord, Name) == 0);
static_assert(offsetof(EntryRecord, Comment) == 256);
static_assert(offsetof(EntryRecord, Created) == 512);
static_assert(offsetof(EntryRecord, Modified) == 540);
static_assert(offsetof(EntryRecord, Kind) == 568);
static_assert(offsetof(EntryRecord, Attributes) == 569);
static_assert(offsetof(EntryRecord, Reserved) == 570);
static_assert(offsetof(EntryRecord, Size) == 576);
static_assert(offsetof(EntryRecord, Absent) == 586);
static_assert(offsetof(EntryRecord, NeedMark) == 587);
static_assert(offsetof(EntryRecord, MarkedCount) == 588);
static_assert(sizeof(EntryRecord) == 592);
static_assert(offsetof(NodeRecord, Entry) == 0);
static_assert(offsetof(NodeRecord, Level) == 592);
static_assert(offsetof(NodeRecord, LastChildIndex) == 596);
static_assert(sizeof(NodeRecord) == 600);

enum EntryKind : char { ekFile = 'F', ekFolder = 'D' };

// Attribute bits of EntryRecord::Attributes, in the order of their letters.
enum : uint8_t {
  eaReadOnly = 0x01,
  eaHidden = 0x02,
  eaSystem = 0x04,
  eaVolume = 0x08,
  eaArchive = 0x10,
  eaTemporary = 0x20,
  eaCompressed = 0x40,
  DamagedBit = 0x80,
};

// Bits 0-6 from the Win32 attributes; the directory bit is not kept (Kind says
// what the entry is) and bit 7, the damaged mark, is never taken from disk.
uint8_t AttributeBits(DWORD win32Attributes);
// Letters of the set bits in bit order ("RHSVATCE"); empty when none is set.
AnsiString AttributeLetters(uint8_t attributes);

// --- the size field -------------------------------------------------------------------

// Exact for every 64-bit count (the significand has 64 bits).
Extended80 ExtendedFromUInt64(uint64_t value);
// The value of the field as this target's long double (which is the x87 type).
long double ExtendedToLongDouble(const Extended80& value);
// Integer part of a non-negative finite value, saturated at 2^64 - 1; 0 for
// negative numbers and NaN.
uint64_t ExtendedToUInt64(const Extended80& value);
// Size in kilobytes, rounded with ties to even; 0 becomes 1 (the table, the
// CSV export and the HTML pages show sizes so).
AnsiString SizeKbText(long double bytes);
AnsiString SizeKbText(const Extended80& size);

// --- text fields ------------------------------------------------------------------------

// The text of a fixed field: up to the first zero byte, never past the field.
AnsiString FieldText(const char* field, size_t size);
// The same without a copy (valid while the record is).
std::string_view FieldView(const char* field, size_t size);
template <size_t N> std::string_view FieldView(const char (&field)[N]) { return FieldView(field, N); }
template <size_t N> AnsiString FieldText(const char (&field)[N]) { return FieldText(field, N); }

// Writes text into a fixed field, cut to the field, zero-padded. With
// keepTerminator the text keeps at least one zero byte after it (date texts);
// without it a text of exactly the field's size fills it unterminated, as the
// format allows for Name and Comment.
void SetFieldText(char* field, size_t size, const AnsiString& text, bool keepTerminator);
template <size_t N> void SetFieldText(char (&field)[N], const AnsiString& text, bool keepTerminator = false) {
  SetFieldText(field, N, text, keepTerminator);
}

// --- the tree -----------------------------------------------------------------------------

// One entry of the tree. The record comes first, so the node's first 592 bytes
// are the entry as stored.
struct ListNode : EntryRecord {
  int32_t Level = 0;
  int32_t LastChildIndex = -1;
  TList* Children;  // owned; every node has one, a leaf too
  ListNode* LastChild = nullptr;
  ListNode* Parent = nullptr;

  ListNode();
  explicit ListNode(const EntryRecord& record);
  // The Children list goes with the node, the children do not (FreeNodeTree
  // frees them).
  ~ListNode() = default;
  ListNode(const ListNode&) = delete;
  ListNode& operator=(const ListNode&) = delete;

  int ChildCount() const { return Children->Count(); }
  ListNode* Child(int index) const { return static_cast<ListNode*>(Children->Items(index)); }

  // Nodes come from blocks of a thousand instead of one heap allocation each:
  // the heap's own bookkeeping took most of the time of reading a big list.
  // Any node may still be deleted on its own; a block goes back when its last
  // node does.
  static void* operator new(size_t size);
  static void operator delete(void* node);

private:
  // Where Children points. Kept inside the node: a list of a million entries
  // is then a million allocations, not two million.
  TList FChildList;
};

// Room for a large tree, made before it is built: blocks for count more
// nodes. Fresh memory costs most at its first touch, not in the copying, so
// helper threads touch the blocks' pages while the tree is being built, ahead
// of the builder; a block is never touched by a helper and filled with nodes at
// the same time. What the tree did not take goes back when the object ends.
class TListNodeReserve {
public:
  explicit TListNodeReserve(int64_t count);
  ~TListNodeReserve();
  TListNodeReserve(const TListNodeReserve&) = delete;
  TListNodeReserve& operator=(const TListNodeReserve&) = delete;

private:
  void TouchBlocks();
  std::vector<void*> FBlocks;
  std::vector<std::thread> FHelpers;
  volatile LONG FNext = 0;  // the next block a helper takes
  volatile LONG FStop = 0;
};

// A new node holding a copy of record at the given level; when parent is set the
// node is appended to its children.
ListNode* InsertNode(ListNode* parent, int32_t level, const EntryRecord& record);
// Visits node and its descendants in depth-first pre-order, children in list
// order, without recursion; visit returns false to stop the walk. Returns false
// when a visit stopped it.
template <class Node, class Visit> bool VisitPreOrder(Node* node, Visit visit) {
  std::vector<Node*> pending;
  if (node) pending.push_back(node);
  while (!pending.empty()) {
    Node* n = pending.back();
    pending.pop_back();
    if (!visit(n)) return false;
    for (int i = n->ChildCount() - 1; i >= 0; --i) pending.push_back(n->Child(i));
  }
  return true;
}

// What a visitor of WalkEntries answers for an entry.
enum class TWalkStep {
  Go,    // on to the next entry; into a folder's entries first
  Skip,  // on to the next entry, past a folder's entries
  Stop,  // end the walk
};

// Walks every entry of list and of the folders below, depth first in list
// order, a folder's entries right after the folder, without recursion: any
// depth of the tree takes heap memory only. The visitor has
//   TWalkStep Entry(const ListNode* entry, const std::string& path)
//     for every entry; path is the folder of the entry: the names of the
//     folders from the list's level down to its parent, joined by separator,
//     behind start ("" for the entries of list itself when start is empty);
//   bool LeaveFolder(const ListNode* folder, const std::string& path)
//     after the last entry of a folder the walk went into (path as in the
//     folder's own Entry); false ends the walk.
// Once the walk ends early, nothing more is called (no folder is left).
// Returns false when a visitor ended it.
template <class Visitor>
bool WalkEntries(const TList* list, char separator, Visitor& visitor, const std::string& start = std::string()) {
  struct TOpenList {
    const TList* Entries;
    int Next;
    const ListNode* Folder;  // null for list itself
    size_t PathLength;       // of the folder's own path
  };
  std::vector<TOpenList> levels;
  std::string path = start;
  if (list) levels.push_back({list, 0, nullptr, path.size()});
  while (!levels.empty()) {
    TOpenList& level = levels.back();
    if (level.Next >= level.Entries->Count()) {
      const ListNode* folder = level.Folder;
      path.resize(level.PathLength);
      levels.pop_back();
      if (folder && !visitor.LeaveFolder(folder, path)) return false;
      continue;
    }
    const ListNode* entry = static_cast<const ListNode*>(level.Entries->Items(level.Next++));
    const TWalkStep step = visitor.Entry(entry, path);
    if (step == TWalkStep::Stop) return false;
    if (step == TWalkStep::Skip || entry->Kind != ekFolder) continue;
    const size_t length = path.size();
    if (length) path += separator;
    path += FieldView(entry->Name);
    levels.push_back({entry->Children, 0, entry, length});
  }
  return true;
}

// A visitor of WalkEntries that leaves folders without a word.
struct TEntryVisitor {
  bool LeaveFolder(const ListNode*, const std::string&) { return true; }
};

// Frees the node with all its descendants; null does nothing. The caller clears
// its own pointer.
void FreeNodeTree(ListNode* node);
// Number of descendants (the node itself not counted).
int CountNodes(const ListNode* node);

// Where the entry tree's folders are mirrored as nodes of a folder tree view.
// A handle is whatever the implementation uses to name one of its nodes.
class IFolderTreeSink {
public:
  virtual ~IFolderTreeSink() = default;
  // The top-level node of the root folder, with an empty text.
  virtual void* AddRootFolderNode() = 0;
  // A node for a folder below parent, its text the folder's Name.
  virtual void* AddFolderNode(void* parent, const AnsiString& name) = 0;
  // Names the entry of a node made by BuildFolderTree (the root's too).
  virtual void FolderEntry(void* /*treeNode*/, const ListNode* /*folder*/) {}
};

// Mirrors the folders of an entry tree into sink: the root first, then every
// folder ('D') below a mirrored folder, in depth-first pre-order. With keep,
// only the folders it accepts are mirrored (the root always), and nothing
// below a folder it refuses.
void BuildFolderTree(const ListNode* root, IFolderTreeSink& sink,
                     const std::function<bool(const ListNode*)>& keep = nullptr);
