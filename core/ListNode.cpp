#include "ListNode.h"

#include <algorithm>
#include <cfloat>
#include <cstring>
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

// --- text fields --------------------------------------------------------------------------

AnsiString FieldText(const char* field, size_t size) { return AnsiString(field, static_cast<int>(strnlen(field, size))); }

void SetFieldText(char* field, size_t size, const AnsiString& text, bool keepTerminator) {
  const size_t room = keepTerminator ? size - 1 : size;
  const size_t n = std::min(static_cast<size_t>(text.Length()), room);
  std::memcpy(field, text.c_str(), n);
  std::memset(field + n, 0, size - n);
}

// --- the tree --------------------------------------------------------------------------------

ListNode::ListNode() : EntryRecord{}, Children(new TList) {}

ListNode::ListNode(const EntryRecord& record) : EntryRecord(record), Children(new TList) {}

ListNode::~ListNode() { delete Children; }

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

void BuildFolderTree(const ListNode* root, IFolderTreeSink& sink) {
  if (!root) return;
  struct Pending {
    const ListNode* Node;
    void* ParentTreeNode;
  };
  std::vector<Pending> pending;
  // A folder's node comes before the nodes of its sub-folders, siblings in list
  // order: children go on the stack last first.
  auto pushFolders = [&pending](const ListNode* n, void* treeNode) {
    for (int i = n->ChildCount() - 1; i >= 0; --i)
      if (n->Child(i)->Kind == ekFolder) pending.push_back({n->Child(i), treeNode});
  };
  pushFolders(root, sink.AddRootFolderNode());
  while (!pending.empty()) {
    const Pending p = pending.back();
    pending.pop_back();
    pushFolders(p.Node, sink.AddFolderNode(p.ParentTreeNode, FieldText(p.Node->Name)));
  }
}
