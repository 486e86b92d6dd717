#include "ListNode.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

static_assert(sizeof(long double) >= 10 && LDBL_MANT_DIG == 64, "long double must be the x87 extended type");

uint8_t AttributeBits(DWORD a) {
  uint8_t bits = 0;
  if (a & FILE_ATTRIBUTE_READONLY) bits |= eaReadOnly;
  if (a & FILE_ATTRIBUTE_HIDDEN) bits |= eaHidden;
  if (a & FILE_ATTRIBUTE_SYSTEM) bits |= eaSystem;
  if (a & 0x8) bits |= eaVolume;
  if (a & FILE_ATTRIBUTE_ARCHIVE) bits |= eaArchive;
  if (a & FILE_ATTRIBUTE_TEMPORARY) bits |= eaTemporary;
  if (a & FILE_ATTRIBUTE_COMPRESSED) bits |= eaCompressed;
  return bits;
}

AnsiString AttributeLetters(uint8_t attributes) {
  static const char letters[] = "RHSVATCE";
  AnsiString out;
  for (int bit = 0; bit < 8; ++bit)
    if (attributes & (1u << bit)) out += letters[bit];
  return out;
}

// --- the size field ---------------------------------------------------------------------

Extended80 ExtendedFromUInt64(uint64_t value) {
  Extended80 e{};
  if (value == 0) return e;
  int top = 63;
  while (!(value >> top)) --top;
  const uint64_t significand = value << (63 - top);
  const uint16_t exponent = static_cast<uint16_t>(16383 + top);
  for (int i = 0; i < 8; ++i) e.Bytes[i] = static_cast<uint8_t>(significand >> (8 * i));
  e.Bytes[8] = static_cast<uint8_t>(exponent);
  e.Bytes[9] = static_cast<uint8_t>(exponent >> 8);
  return e;
}

long double ExtendedToLongDouble(const Extended80& value) {
  long double d = 0;
  std::memcpy(&d, value.Bytes, 10);
  return d;
}

uint64_t ExtendedToUInt64(const Extended80& value) {
  uint64_t significand = 0;
  for (int i = 7; i >= 0; --i) significand = (significand << 8) | value.Bytes[i];
  const unsigned signExponent = value.Bytes[8] | (value.Bytes[9] << 8);
  const bool negative = signExponent & 0x8000;
  const int exponent = static_cast<int>(signExponent & 0x7FFF);
  if (exponent == 0x7FFF) return (negative || (significand << 1)) ? 0 : UINT64_MAX;  // infinity or NaN
  if (negative || significand == 0 || exponent < 16383) return 0;
  const int shift = exponent - 16383;  // position of the integer bit
  if (shift > 63) return UINT64_MAX;
  return significand >> (63 - shift);
}

namespace {

// Kilobytes of a byte count, rounded in integers with ties to even; 0 is 1.
AnsiString KbText(uint64_t b) {
  uint64_t q = b >> 10;
  const uint64_t r = b & 1023;
  if (r > 512 || (r == 512 && (q & 1))) ++q;
  if (q == 0) q = 1;
  char buffer[24];
  char* p = buffer + sizeof buffer;
  // 64-bit division is a library call on this processor: the digits of
  // sizes below 4 TiB come from 32-bit arithmetic.
  if (q <= UINT32_MAX) {
    uint32_t v = static_cast<uint32_t>(q);
    do {
      *--p = static_cast<char>('0' + v % 10);
      v /= 10;
    } while (v);
  } else {
    do {
      *--p = static_cast<char>('0' + q % 10);
      q /= 10;
    } while (q);
  }
  return AnsiString(p, static_cast<int>(buffer + sizeof buffer - p));
}

}  // namespace

AnsiString SizeKbText(long double bytes) {
  // Sizes are whole byte counts.
  if (bytes >= 18446744073709551615.0L) return KbText(UINT64_MAX);
  return KbText(bytes > 0 ? static_cast<uint64_t>(bytes) : 0);
}

AnsiString SizeKbText(const Extended80& size) { return KbText(ExtendedToUInt64(size)); }

// --- text fields --------------------------------------------------------------------------

std::string_view FieldView(const char* field, size_t size) {
  // Four bytes a step: the exports read several fields of every entry, and
  // the runtime's strnlen goes byte by byte.
  size_t n = 0;
  for (; n + 4 <= size; n += 4) {
    uint32_t v;
    std::memcpy(&v, field + n, 4);
    if ((v - 0x01010101u) & ~v & 0x80808080u) break;
  }
  while (n < size && field[n]) ++n;
  return std::string_view(field, n);
}

AnsiString FieldText(const char* field, size_t size) { return AnsiString(FieldView(field, size)); }

void SetFieldText(char* field, size_t size, const AnsiString& text, bool keepTerminator) {
  const size_t room = keepTerminator ? size - 1 : size;
  const size_t n = std::min(static_cast<size_t>(text.Length()), room);
  std::memcpy(field, text.c_str(), n);
  std::memset(field + n, 0, size - n);
}

// --- the tree --------------------------------------------------------------------------------

namespace {

// Every slot starts with the block it belongs to (null for a node of another
// size, taken from the heap), so that a node finds its way back on delete.
struct TNodeBlock {
  TNodeBlock* Prev;  // blocks with a free slot
  TNodeBlock* Next;
  void* Free;        // freed slots, linked through their first bytes
  int32_t Live;
  int32_t Fresh;     // slots handed out so far, from the front
  volatile LONG Pages;  // a reserve's block: whose turn it is to touch its pages
};

enum : LONG { kPagesReady, kPagesUntouched, kPagesBeingTouched };

constexpr size_t kSlotHeader = sizeof(TNodeBlock*);
constexpr size_t kSlotSize = kSlotHeader + sizeof(ListNode);
// About 650 KB: large enough that the heap maps each block on its own and
// takes it back whole.
constexpr int32_t kSlotsPerBlock = 1024;
static_assert(alignof(ListNode) <= kSlotHeader && sizeof(TNodeBlock) % kSlotHeader == 0);

// Constant-initialised: there is nothing to set up before the first node.
TNodeBlock* gRoomyBlocks = nullptr;
volatile LONG gPoolBusy = 0;

// The tree belongs to the GUI thread; the lock only keeps the pool whole
// should a node ever be made elsewhere.
class TPoolLock {
public:
  TPoolLock() {
    while (InterlockedExchange(&gPoolBusy, 1) != 0) Sleep(0);
  }
  ~TPoolLock() { InterlockedExchange(&gPoolBusy, 0); }
  TPoolLock(const TPoolLock&) = delete;
  TPoolLock& operator=(const TPoolLock&) = delete;
};

char* SlotArea(TNodeBlock* block) { return reinterpret_cast<char*>(block + 1); }

void LinkRoomy(TNodeBlock* block) {
  block->Prev = nullptr;
  block->Next = gRoomyBlocks;
  if (gRoomyBlocks) gRoomyBlocks->Prev = block;
  gRoomyBlocks = block;
}

void UnlinkRoomy(TNodeBlock* block) {
  if (block->Prev) block->Prev->Next = block->Next;
  else gRoomyBlocks = block->Next;
  if (block->Next) block->Next->Prev = block->Prev;
}

constexpr size_t kBlockBytes = sizeof(TNodeBlock) + kSlotSize * kSlotsPerBlock;

// Not yet drawn from: LinkRoomy makes it the first to be.
TNodeBlock* AllocateBlock() {
  // Not zero-filled: every node is constructed over its slot.
  auto* block = static_cast<TNodeBlock*>(::operator new(kBlockBytes));
  block->Free = nullptr;
  block->Live = 0;
  block->Fresh = 0;
  block->Pages = kPagesReady;
  return block;
}

// Before the first node goes into a block of a reserve: either the block is
// taken untouched (its pages come as the nodes are written) or the helper
// touching it is waited for; never both at once.
void ClaimPages(TNodeBlock* block) {
  if (InterlockedCompareExchange(&block->Pages, kPagesReady, kPagesUntouched) == kPagesUntouched) return;
  while (InterlockedCompareExchange(&block->Pages, kPagesReady, kPagesReady) != kPagesReady) Sleep(0);
}

// Called under the lock. Only a reserve leaves empty blocks behind.
void ReleaseEmptyBlocks() {
  for (TNodeBlock* b = gRoomyBlocks; b;) {
    TNodeBlock* next = b->Next;
    if (b->Live == 0) {
      UnlinkRoomy(b);
      ::operator delete(b);
    }
    b = next;
  }
}

}  // namespace

void* ListNode::operator new(size_t size) {
  if (size != sizeof(ListNode)) {
    auto* slot = static_cast<TNodeBlock**>(::operator new(kSlotHeader + size));
    *slot = nullptr;
    return reinterpret_cast<char*>(slot) + kSlotHeader;
  }
  TPoolLock lock;
  TNodeBlock* block = gRoomyBlocks;
  if (!block) {
    block = AllocateBlock();
    LinkRoomy(block);
  }
  void* node;
  if (block->Free) {
    node = block->Free;
    block->Free = *static_cast<void**>(node);
  } else {
    if (block->Fresh == 0) ClaimPages(block);
    char* slot = SlotArea(block) + kSlotSize * block->Fresh++;
    *reinterpret_cast<TNodeBlock**>(slot) = block;
    node = slot + kSlotHeader;
  }
  if (++block->Live == kSlotsPerBlock) UnlinkRoomy(block);
  return node;
}

void ListNode::operator delete(void* node) {
  if (!node) return;
  char* slot = static_cast<char*>(node) - kSlotHeader;
  TNodeBlock* block = *reinterpret_cast<TNodeBlock**>(slot);
  if (!block) {
    ::operator delete(slot);
    return;
  }
  TPoolLock lock;
  *static_cast<void**>(node) = block->Free;
  block->Free = node;
  if (block->Live-- == kSlotsPerBlock) LinkRoomy(block);
  if (block->Live == 0) {
    UnlinkRoomy(block);
    ::operator delete(block);
  }
}

TListNodeReserve::TListNodeReserve(int64_t count) {
  // Below this the threads cost more than they save.
  constexpr int64_t kWorthHelpers = 50000;
  const bool helped = count >= kWorthHelpers;
  TPoolLock lock;
  int64_t room = 0;
  for (TNodeBlock* b = gRoomyBlocks; b && room < count; b = b->Next) room += kSlotsPerBlock - b->Live;
  if (room >= count) return;
  std::vector<TNodeBlock*> fresh;
  fresh.reserve(static_cast<size_t>((count - room + kSlotsPerBlock - 1) / kSlotsPerBlock));
  try {
    FBlocks.reserve(fresh.capacity());
    for (; room < count; room += kSlotsPerBlock) fresh.push_back(AllocateBlock());
  } catch (...) {
    for (TNodeBlock* b : fresh) ::operator delete(b);
    throw;
  }
  // Linked last first, so that the builder draws them in the order the
  // helpers touch them.
  for (size_t i = fresh.size(); i-- > 0;) {
    if (helped) fresh[i]->Pages = kPagesUntouched;
    LinkRoomy(fresh[i]);
    FBlocks.push_back(fresh[fresh.size() - 1 - i]);
  }
  if (!helped) return;
  const unsigned cpus = std::thread::hardware_concurrency();
  const unsigned helpers = std::min(cpus > 1 ? cpus - 1 : 1u, 3u);
  try {
    for (unsigned t = 0; t < helpers; ++t) FHelpers.emplace_back([this] { TouchBlocks(); });
  } catch (...) {
    // Fewer helpers, or none: the builder touches what is left itself.
  }
}

void TListNodeReserve::TouchBlocks() {
  for (;;) {
    const LONG i = InterlockedIncrement(&FNext) - 1;
    if (FStop || i >= static_cast<LONG>(FBlocks.size())) return;
    auto* block = static_cast<TNodeBlock*>(FBlocks[i]);
    if (InterlockedCompareExchange(&block->Pages, kPagesBeingTouched, kPagesUntouched) != kPagesUntouched) continue;
    // One byte into every page: the system makes the page at the first touch.
    char* bytes = reinterpret_cast<char*>(block);
    for (size_t at = sizeof(TNodeBlock); at < kBlockBytes; at += 4096) bytes[at] = 0;
    InterlockedExchange(&block->Pages, kPagesReady);
  }
}

TListNodeReserve::~TListNodeReserve() {
  InterlockedExchange(&FStop, 1);
  for (std::thread& t : FHelpers) t.join();
  TPoolLock lock;
  ReleaseEmptyBlocks();
}

ListNode::ListNode() : EntryRecord{}, Children(&FChildList) {}

ListNode::ListNode(const EntryRecord& record) : EntryRecord(record), Children(&FChildList) {}

ListNode* InsertNode(ListNode* parent, int32_t level, const EntryRecord& record) {
  ListNode* node = new ListNode(record);
  node->Level = level;
  if (parent) {
    parent->Children->Add(node);
    ++parent->LastChildIndex;
    parent->LastChild = node;
    node->Parent = parent;
  }
  return node;
}

void FreeNodeTree(ListNode* node) {
  // Iterative: a damaged or very deep tree must not exhaust the stack.
  std::vector<ListNode*> pending;
  if (node) pending.push_back(node);
  while (!pending.empty()) {
    ListNode* n = pending.back();
    pending.pop_back();
    for (int i = n->ChildCount() - 1; i >= 0; --i) pending.push_back(n->Child(i));
    delete n;
  }
}

int CountNodes(const ListNode* node) {
  int count = 0;
  VisitPreOrder(node, [&count](const ListNode* n) {
    count += n->ChildCount();
    return true;
  });
  return count;
}

void BuildFolderTree(const ListNode* root, IFolderTreeSink& sink, const std::function<bool(const ListNode*)>& keep) {
  if (!root) return;
  struct Pending {
    const ListNode* Node;
    void* ParentTreeNode;
  };
  std::vector<Pending> pending;
  // A folder's node comes before the nodes of its sub-folders, siblings in list
  // order: children go on the stack last first.
  auto pushFolders = [&pending, &keep](const ListNode* n, void* treeNode) {
    for (int i = n->ChildCount() - 1; i >= 0; --i)
      if (n->Child(i)->Kind == ekFolder && (!keep || keep(n->Child(i)))) pending.push_back({n->Child(i), treeNode});
  };
  void* rootTreeNode = sink.AddRootFolderNode();
  sink.FolderEntry(rootTreeNode, root);
  pushFolders(root, rootTreeNode);
  while (!pending.empty()) {
    const Pending p = pending.back();
    pending.pop_back();
    void* treeNode = sink.AddFolderNode(p.ParentTreeNode, FieldText(p.Node->Name));
    sink.FolderEntry(treeNode, p.Node);
    pushFolders(p.Node, treeNode);
  }
}
