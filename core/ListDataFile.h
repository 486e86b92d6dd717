// The list data file: a 256-byte header holding the scrambled root path, then
// one 600-byte node record per entry in depth-first pre-order. No magic, no
// version, no count: the records themselves say how many children follow.
#pragma once

#include <vector>

#include "CoreHost.h"
#include "ListNode.h"
#include "sysutils.h"

constexpr int kListHeaderSize = 256;
constexpr int kNodeRecordSize = static_cast<int>(sizeof(NodeRecord));
// Deeper than any folder tree a path of 32767 characters can hold.
constexpr int kMaxListDepth = 32768;

// The list file's base name: its name part (after the last "\" or ":") cut at
// the first place where its extension occurs; whole when it has no extension.
// The data file inside the list file is named "~tmp~" + this.
AnsiString ListBaseName(const AnsiString& listFileName);

// Header: the scrambled path's first 256 bytes, zero-padded.
void WriteListHeader(TStream& stream, const AnsiString& scrambledRootPath);
// The header's text up to its first zero byte.
AnsiString ReadListHeader(TStream& stream);

// Writes the records of node's subtree, node first. A Name that holds "\" (the
// full path a scan gives the root) is written as zeros; the tree keeps it until
// ClearPathNames after a successful save. progress (optional) steps once per
// record; when it then reports a cancel the writing stops, the stream holds an
// unfinished list, and the result is false.
bool WriteNodeRecords(TStream& stream, const ListNode* node, IStepProgress* progress);
// Header and records.
bool WriteListData(TStream& stream, const AnsiString& scrambledRootPath, const ListNode* root,
                   IStepProgress* progress);
// Clears every Name that holds "\" in the tree, as the saved list has them.
void ClearPathNames(ListNode* root);

// Damaged list data: a short or inconsistent record sequence.
class EListDataError : public Exception {
  CL_CLASS(EListDataError, Exception)
public:
  using Exception::Exception;
};

// The rules that make a sequence of records a tree, taken one record at a
// time: a record may not claim more children than can still follow, a file
// record may not claim children, and the depth is limited.
class TListTreeShape {
public:
  // recordsAvailable: how many records there are, the first included; -1 when
  // that is not known yet (the bytes are still arriving).
  explicit TListTreeShape(int64_t recordsAvailable = -1) : FAvailable(recordsAvailable) {}
  // Takes the next record in pre-order; null when it keeps to the rules, else
  // what it breaks. Not called once the tree is Complete.
  const char* Add(char kind, int32_t lastChildIndex);
  // The root and every child the records claim have been taken.
  bool Complete() const { return FStarted && FOpen.empty(); }
  // Folders still waiting for children: the next record's depth.
  size_t Depth() const { return FOpen.size(); }
  int64_t Taken() const { return FTaken; }

private:
  std::vector<int32_t> FOpen;  // children still to come, per open folder
  int64_t FAvailable;
  int64_t FTaken = 0;
  int64_t FClaimed = 0;
  bool FStarted = false;
};

// Checks list data, header included, as its bytes go by in pieces of any size,
// holding at most one record: the unpacking runs it over the bytes it writes,
// so the data is proved sound without being read a second time.
class TListDataChecker {
public:
  void Feed(const void* data, size_t size);
  // A whole header and a whole tree have gone by and no rule was broken; bytes
  // after the tree's last record do not matter.
  bool Sound() const { return !FError && FShape.Complete(); }
  // Records of the tree so far: once Sound, the nodes it will have.
  int64_t Nodes() const { return FShape.Taken(); }

private:
  void Take(const char* record);
  TListTreeShape FShape;
  size_t FHeaderLeft = kListHeaderSize;
  char FRecord[sizeof(NodeRecord)];
  size_t FHave = 0;
  const char* FError = nullptr;
};

// Reads one node record and its child subtrees from the stream's position.
// Bounded: a record may not claim more children than the stream still holds
// records, a file record may not claim children, and the depth is limited.
// Raises EListDataError (or the stream's EReadError) and frees what it read.
ListNode* ReadNodeRecords(TStream& stream);

struct TListData {
  AnsiString ScrambledRootPath;
  ListNode* Root = nullptr;
};
// Header and records; bytes after the last record are ignored.
TListData ReadListData(TStream& stream);
// Every check ReadListData makes, without building the tree; raises the same
// errors and puts the stream back where it was.
void CheckListData(TStream& stream);
