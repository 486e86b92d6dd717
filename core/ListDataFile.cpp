#include "ListDataFile.h"

#include <algorithm>
#include <cstring>
#include <memory>
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
  // A scrambled path can hold zero bytes of its own; only the padding after
  // its last byte is dropped. Cutting at the first zero lost the rest of the
  // path, and the next save wrote a different header.
  int length = kListHeaderSize;
  while (length > 0 && header[length - 1] == '\0') --length;
  return AnsiString(header, length);
}

namespace {

const char* const kEndsInsideTree = "The list data ends inside the tree";

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

// Hands out the records after the header in place, a large read at a time.
class TRecordReader {
public:
  explicit TRecordReader(TStream& stream) : FStream(stream) {
    const int64_t left = stream.Size() - stream.Position();
    FUnfetched = left > 0 ? left / kNodeRecordSize : 0;
    FRecords = FUnfetched;
  }
  // Every whole record from the position on, read or not.
  int64_t Records() const { return FRecords; }
  // Valid until the next call.
  const NodeRecord& Next() {
    if (FAt == FBuffer.size()) Fill();
    const NodeRecord& r = *reinterpret_cast<const NodeRecord*>(FBuffer.data() + FAt);
    FAt += sizeof r;
    return r;
  }

private:
  void Fill() {
    if (FUnfetched <= 0) throw EListDataError(kEndsInsideTree);
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
  int64_t FRecords = 0;
};

// The next record, once it keeps to the shape's rules.
const NodeRecord& NextRecord(TRecordReader& reader, TListTreeShape& shape) {
  const NodeRecord& r = reader.Next();
  if (const char* error = shape.Add(r.Entry.Kind, r.LastChildIndex)) throw EListDataError(error);
  return r;
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

const char* TListTreeShape::Add(char kind, int32_t lastChildIndex) {
  if (lastChildIndex < -1) return "Negative child count in the list data";
  if (kind != ekFolder && lastChildIndex >= 0) return "A file record claims children";
  if (Complete()) return "A record after the end of the tree";
  if (FStarted) {
    --FOpen.back();
    --FClaimed;
  }
  FStarted = true;
  ++FTaken;
  if (lastChildIndex >= 0) {
    // Never more than can still follow, so a damaged count cannot ask for the
    // impossible.
    FClaimed += lastChildIndex + 1;
    if (FAvailable >= 0 && FClaimed > FAvailable - FTaken) return kEndsInsideTree;
    if (FOpen.size() >= static_cast<size_t>(kMaxListDepth)) return "The list data nests too deep";
    FOpen.push_back(lastChildIndex + 1);
  }
  while (!FOpen.empty() && FOpen.back() == 0) FOpen.pop_back();
  return nullptr;
}

void TListDataChecker::Feed(const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  const size_t header = std::min(size, FHeaderLeft);
  FHeaderLeft -= header;
  p += header;
  size -= header;
  while (size > 0 && !FError && !FShape.Complete()) {
    if (FHave == 0 && size >= sizeof FRecord) {
      Take(p);
      p += sizeof FRecord;
      size -= sizeof FRecord;
      continue;
    }
    // A record split between two pieces is put together first.
    const size_t n = std::min(size, sizeof FRecord - FHave);
    std::memcpy(FRecord + FHave, p, n);
    FHave += n;
    p += n;
    size -= n;
    if (FHave == sizeof FRecord) {
      FHave = 0;
      Take(FRecord);
    }
  }
}

void TListDataChecker::Take(const char* record) {
  const NodeRecord& r = *reinterpret_cast<const NodeRecord*>(record);
  FError = FShape.Add(r.Entry.Kind, r.LastChildIndex);
}

ListNode* ReadNodeRecords(TStream& stream) {
  TRecordReader reader(stream);
  TListTreeShape shape(reader.Records());
  // The folders still taking children, as the shape counts them.
  std::vector<ListNode*> open;
  ListNode* root = nullptr;
  try {
    do {
      const NodeRecord& r = NextRecord(reader, shape);
      std::unique_ptr<ListNode> node(new ListNode(r.Entry));
      node->Level = r.Level;
      node->LastChildIndex = r.LastChildIndex;
      // The count is known to fit in what the stream holds.
      if (r.LastChildIndex > 0) node->Children->SetCapacity(r.LastChildIndex + 1);
      ListNode* n = node.get();
      if (open.empty()) {
        root = node.release();
      } else {
        ListNode* parent = open.back();
        parent->Children->Add(n);
        node.release();
        parent->LastChild = n;
        n->Parent = parent;
      }
      if (r.LastChildIndex >= 0) open.push_back(n);
      open.resize(shape.Depth());
    } while (!shape.Complete());
  } catch (...) {
    FreeNodeTree(root);
    throw;
  }
  return root;
}

void CheckListData(TStream& stream) {
  const int64_t start = stream.Position();
  ReadListHeader(stream);
  TRecordReader reader(stream);
  TListTreeShape shape(reader.Records());
  do NextRecord(reader, shape);
  while (!shape.Complete());
  stream.SetPosition(start);
}

TListData ReadListData(TStream& stream) {
  TListData d;
  d.ScrambledRootPath = ReadListHeader(stream);
  d.Root = ReadNodeRecords(stream);
  return d;
}
