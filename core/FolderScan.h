// The folder scan of the New command: the record fills of one folder or file,
// the depth-first walk of a folder tree into the entry tree, and the folder
// chooser.
#pragma once

#include <cstdint>

#include "ListNode.h"

// Which fields a scan records (the parameter dialog's choices).
struct TStoreOptions {
  bool Attributes = true;
  bool Created = true;
  bool Modified = true;
  bool Size = true;
  bool FolderSizes = true;
};

// A UTC file time as the local date-time text of the record fields; empty when
// the time cannot be converted.
AnsiString FileTimeText(const FILETIME& utc);

// Record fills. path is the entry's full path; find is its enumeration record.
// Attributes come from GetFileAttributes on the path, or from the enumeration
// record when that call fails. Size is left to the scan.
void FillFileRecord(const WideString& path, const WIN32_FIND_DATAW& find, const TStoreOptions& options,
                    EntryRecord& record);
void FillFolderRecord(const WideString& path, const WIN32_FIND_DATAW& find, const TStoreOptions& options,
                      EntryRecord& record);
// The scanned folder itself: Name holds its whole path (cut to the field).
void FillRootRecord(const WideString& path, const TStoreOptions& options, EntryRecord& record);

// What the scan reports while it runs. The folder tree nodes come first for each
// folder (the sink's AddFolderNode), then the counter of the kind.
class IScanSink : public IFolderTreeSink {
public:
  // A folder or file was recorded; scanPath is its path as the progress window
  // shows it (the parent's path, "\" and the name).
  virtual void FolderRecorded(const AnsiString& scanPath) = 0;
  virtual void FileRecorded(const AnsiString& scanPath) = 0;
  // Asked before every entry; true stops the scan at every depth at once.
  virtual bool CancelRequested() = 0;
};

// Records the contents of folder path as children of parentNode (and of the
// folder tree node parentTreeNode), depth first in enumeration order, and adds
// the size of all files below it to sizeSum. A folder's Size is the total of the
// files below it when options.FolderSizes is set. Reparse points (symbolic
// links, junctions) are recorded but not entered. Returns false when cancelled:
// the folders left unfinished keep Size 0 and add nothing to their parents.
bool ScanFolder(IScanSink& sink, const TStoreOptions& options, void* parentTreeNode, ListNode* parentNode,
                uint64_t& sizeSum, const WideString& path);

struct TScanResult {
  ListNode* Root = nullptr;
  void* RootTreeNode = nullptr;
  bool Cancelled = false;
};

// The whole scan of New: the root folder node, the root record at level 0 and
// the scan below it. The root keeps what was recorded when cancelled.
TScanResult ScanTree(IScanSink& sink, const TStoreOptions& options, const WideString& path);
