#include "ListDataFile.h"

#include <algorithm>
#include <cstring>
#include <vector>

CL_DEFINE_CLASS(EListDataError, Exception)

AnsiString ListBaseName(const AnsiString& listFileName) {
  const AnsiString name = ExtractFileName(listFileName);
  const AnsiString ext = ExtractFileExt(name);
  if (ext.IsEmpty()) return name;
  // The first occurrence, not the last: "x.cc.c" gives "x".
  return name.SubString(1, name.Pos(ext) - 1);
}

void WriteListHeader(TStream& stream, const AnsiString& scrambledRootPath) {
  char header[kListHeaderSize] = {};
  std::memcpy(header, scrambledRootPath.c_str(), std::min(scrambledRootPath.Length(), kListHeaderSize));
  stream.WriteBuffer(header, kListHeaderSize);
}

AnsiString ReadListHeader(TStream& stream) {
  char header[kListHeaderSize];
  stream.ReadBuffer(header, kListHeaderSize);
  return FieldText(header);
}

namespace {

bool HoldsBackslash(const char (&name)[256]) { return std::memchr(name, '\\', sizeof name) != nullptr; }

// Collects records into large writes: a list of a million entries is not a
// million system calls.
class TRecordWriter {
public:
  explicit TRecordWriter(TStream& stream) : FStream(stream) { FBuffer.reserve(kCapacity); }
  void Add(const NodeRecord& r) {
    if (FBuffer.size() + sizeof r > kCapacity) Flush();
    const char* p = reinterpret_cast<const char*>(&r);
    FBuffer.insert(FBuffer.end(), p, p + sizeof r);
  }
  void Flush() {
    if (!FBuffer.empty()) FStream.WriteBuffer(FBuffer.data(), static_cast<int32_t>(FBuffer.size()));
    FBuffer.clear();
  }

private:
  static constexpr size_t kCapacity = 600 * 1024;
  TStream& FStream;
  std::vector<char> FBuffer;
};

class TRecordReader {
public:
  explicit TRecordReader(TStream& stream) : FStream(stream) {
    const int64_t left = stream.Size() - stream.Position();
    FUnfetched = left > 0 ? left / kNodeRecordSize : 0;
    FRecordsLeft = FUnfetched;
  }
  // Records the stream still holds after those already read.
  int64_t RecordsLeft() const { return FRecordsLeft; }
  void Read(NodeRecord& r) {
    if (FRecordsLeft <= 0) throw EListDataError("The list data ends inside the tree");
    if (FAt == FBuffer.size()) Fill();
    std::memcpy(&r, FBuffer.data() + FAt, sizeof r);
    FAt += sizeof r;
    --FRecordsLeft;
  }

private:
  void Fill() {
    const int64_t records = std::min<int64_t>(FUnfetched, 1024);
    FUnfetched -= records;
    FBuffer.resize(static_cast<size_t>(records * kNodeRecordSize));
    FStream.ReadBuffer(FBuffer.data(), static_cast<int32_t>(FBuffer.size()));
    FAt = 0;
  }
  TStream& FStream;
  std::vector<char> FBuffer;
  size_t FAt = 0;
  int64_t FUnfetched = 0;
  int64_t FRecordsLeft = 0;
};

void CheckRecord(const NodeRecord& r) {
  if (r.LastChildIndex < -1) throw EListDataError("Negative child count in the list data");
  if (r.Entry.Kind != ekFolder && r.LastChildIndex >= 0) throw EListDataError("A file record claims children");
}

ListNode* NodeFromRecord(const NodeRecord& r) {
  CheckRecord(r);
  ListNode* node = new ListNode(r.Entry);
  node->Level = r.Level;
  node->LastChildIndex = r.LastChildIndex;
  return node;
}

// Called once the count is known to fit in what the stream still holds.
void ReserveChildren(ListNode* node) {
  if (node->LastChildIndex > 0) node->Children->SetCapacity(node->LastChildIndex + 1);
}

}  // namespace

bool WriteNodeRecords(TStream& stream, const ListNode* node, IStepProgress* progress) {
  TRecordWriter writer(stream);
  NodeRecord r;
  const bool complete = VisitPreOrder(node, [&](const ListNode* n) {
    r.Entry = *n;
    if (HoldsBackslash(r.Entry.Name)) std::memset(r.Entry.Name, 0, sizeof r.Entry.Name);
    r.Level = n->Level;
    // The children actually written follow, whatever the field says.
    r.LastChildIndex = n->ChildCount() - 1;
    writer.Add(r);
    if (!progress) return true;
    progress->Step();
    return !progress->CancelRequested();
  });
  if (complete) writer.Flush();
  return complete;
}

bool WriteListData(TStream& stream, const AnsiString& scrambledRootPath, const ListNode* root,
                   IStepProgress* progress) {
  WriteListHeader(stream, scrambledRootPath);
  return WriteNodeRecords(stream, root, progress);
}

void ClearPathNames(ListNode* root) {
  VisitPreOrder(root, [](ListNode* n) {
    if (HoldsBackslash(n->Name)) std::memset(n->Name, 0, sizeof n->Name);
    return true;
  });
}

namespace {
// Reads the records of a list in pre-order with every bound check. Without
// build it only checks and holds no node, so a list can be proved sound before
// the one in memory is given up.
ListNode* WalkNodeRecords(TStream& stream, bool build) {
  TRecordReader reader(stream);
  NodeRecord r;
  reader.Read(r);
  CheckRecord(r);
  ListNode* root = build ? NodeFromRecord(r) : nullptr;
  try {
    struct TOpenFolder {
      ListNode* Node;
      int32_t Remaining;
    };
    std::vector<TOpenFolder> open;
    // Records that the folders read so far still claim; never more than the
    // stream holds, so a damaged count cannot ask for the impossible.
    int64_t claimed = r.LastChildIndex + 1;
    if (claimed > reader.RecordsLeft()) throw EListDataError("The list data ends inside the tree");
    if (claimed > 0) {
      if (build) ReserveChildren(root);
      open.push_back({root, r.LastChildIndex + 1});
    }
    while (!open.empty()) {
      TOpenFolder& top = open.back();
      if (top.Remaining == 0) {
        open.pop_back();
        continue;
      }
      reader.Read(r);
      CheckRecord(r);
      --top.Remaining;
      --claimed;
      ListNode* child = nullptr;
      if (build) {
        child = NodeFromRecord(r);
        ListNode* parent = top.Node;
        parent->Children->Add(child);
        parent->LastChild = child;
        child->Parent = parent;
      }
      if (r.LastChildIndex >= 0) {
        claimed += r.LastChildIndex + 1;
        if (claimed > reader.RecordsLeft()) throw EListDataError("The list data ends inside the tree");
        if (static_cast<int>(open.size()) >= kMaxListDepth) throw EListDataError("The list data nests too deep");
        if (build) ReserveChildren(child);
        open.push_back({child, r.LastChildIndex + 1});
      }
    }
  } catch (...) {
    FreeNodeTree(root);
    throw;
  }
  return root;
}
}  // namespace

ListNode* ReadNodeRecords(TStream& stream) { return WalkNodeRecords(stream, true); }

void CheckListData(TStream& stream) {
  const int64_t start = stream.Position();
  ReadListHeader(stream);
  WalkNodeRecords(stream, false);
  stream.SetPosition(start);
}

TListData ReadListData(TStream& stream) {
  TListData d;
  d.ScrambledRootPath = ReadListHeader(stream);
  d.Root = ReadNodeRecords(stream);
  return d;
}
