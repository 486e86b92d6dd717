// The list data file: a 256-byte header holding the scrambled root path, then
// one 600-byte node record per entry in depth-first pre-order. No magic, no
// version, no count: the records themselves say how many children follow.
#pragma once

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
