// The baseline of the folder scan, shared by the benchmarks that time one: the
// records the scan makes, made by the plainest walk there is.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "FolderScan.h"
#include "ListNode.h"

// A recursive FindFirstFileA / FindNextFileA walk of path that inserts below
// folder the record the scan makes of every entry: kind, name, the attributes
// of one GetFileAttributesA, both times as text, the size (a folder's the
// total of the files below it). Links are recorded and not entered, as the
// scan does. Returns the total size of the files below path.
inline uint64_t PlainScan(const std::string& path, ListNode* folder) {
  uint64_t total = 0;
  WIN32_FIND_DATAA d;
  HANDLE h = FindFirstFileA((path + "\\*").c_str(), &d);
  if (h == INVALID_HANDLE_VALUE) return 0;
  do {
    if (!strcmp(d.cFileName, ".") || !strcmp(d.cFileName, "..")) continue;
    const std::string full = path + "\\" + d.cFileName;
    const bool isFolder = d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    EntryRecord r{};
    r.Kind = isFolder ? ekFolder : ekFile;
    SetFieldText(r.Name, d.cFileName);
    const DWORD a = GetFileAttributesA(full.c_str());
    r.Attributes = AttributeBits(a == INVALID_FILE_ATTRIBUTES ? d.dwFileAttributes : a);
    SetFieldText(r.Created, FileTimeText(d.ftCreationTime), true);
    SetFieldText(r.Modified, FileTimeText(d.ftLastWriteTime), true);
    if (isFolder) {
      ListNode* n = InsertNode(folder, folder->Level + 1, r);
      const uint64_t size = (d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? 0 : PlainScan(full, n);
      n->Size = ExtendedFromUInt64(size);
      total += size;
    } else {
      const uint64_t size = (static_cast<uint64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
      r.Size = ExtendedFromUInt64(size);
      InsertNode(folder, folder->Level + 1, r);
      total += size;
    }
  } while (FindNextFileA(h, &d));
  FindClose(h);
  return total;
}

// The plain scan of path below a root of its own; the caller frees it.
inline ListNode* PlainScanTree(const std::string& path) {
  ListNode* root = InsertNode(nullptr, 0, EntryRecord{});
  PlainScan(path, root);
  return root;
}

// Whether the entries below a and below b are the same records in the same
// order (the roots themselves not compared: the scan's names the path).
inline bool SameEntriesBelow(const ListNode* a, const ListNode* b) {
  if (a->ChildCount() != b->ChildCount()) return false;
  for (int i = 0; i < a->ChildCount(); ++i) {
    const ListNode* x = a->Child(i);
    const ListNode* y = b->Child(i);
    if (memcmp(static_cast<const EntryRecord*>(x), static_cast<const EntryRecord*>(y), sizeof(EntryRecord)) != 0 ||
        x->Level != y->Level || !SameEntriesBelow(x, y))
      return false;
  }
  return true;
}
