// The baseline of the folder scan, shared by the benchmarks that time one: the
// records the scan makes, made by the plainest walk there is.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FolderScan.h"
#include "ListNode.h"

// A recursive FindFirstFileA / FindNextFileA walk of path that inserts below
// folder the record the scan makes of every entry: kind, name and what options
// store (the attributes of one GetFileAttributesA, both times as text, the
// size; a folder's the total of the files below it). Links are recorded and
// not entered, as the scan does. Returns the total size of the files below
// path.
inline uint64_t PlainScan(const std::string& path, ListNode* folder, const TStoreOptions& options) {
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
    if (options.Attributes) {
      const DWORD a = GetFileAttributesA(full.c_str());
      r.Attributes = AttributeBits(a == INVALID_FILE_ATTRIBUTES ? d.dwFileAttributes : a);
    }
    if (options.Created) SetFieldText(r.Created, FileTimeText(d.ftCreationTime), true);
    if (options.Modified) SetFieldText(r.Modified, FileTimeText(d.ftLastWriteTime), true);
    if (isFolder) {
      ListNode* n = InsertNode(folder, folder->Level + 1, r);
      const uint64_t size = (d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? 0 : PlainScan(full, n, options);
      if (options.FolderSizes) n->Size = ExtendedFromUInt64(size);
      total += size;
    } else {
      const uint64_t size = (static_cast<uint64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
      if (options.Size) r.Size = ExtendedFromUInt64(size);
      InsertNode(folder, folder->Level + 1, r);
      total += size;
    }
  } while (FindNextFileA(h, &d));
  FindClose(h);
  return total;
}

// The plain scan of path below a root of its own; the caller frees it.
inline ListNode* PlainScanTree(const std::string& path, const TStoreOptions& options) {
  ListNode* root = InsertNode(nullptr, 0, EntryRecord{});
  PlainScan(path, root, options);
  return root;
}

// Whether the entries below a and below b are the same records (the roots
// themselves not compared: the scan's names the path). Siblings are compared
// in the order of their names: the order a folder lists them in is the file
// system's, which two enumerations need not share.
inline bool SameEntriesBelow(const ListNode* a, const ListNode* b) {
  if (a->ChildCount() != b->ChildCount()) return false;
  auto byName = [](const ListNode* n) {
    std::vector<const ListNode*> children;
    for (int i = 0; i < n->ChildCount(); ++i) children.push_back(n->Child(i));
    std::sort(children.begin(), children.end(),
              [](const ListNode* x, const ListNode* y) { return strncmp(x->Name, y->Name, sizeof x->Name) < 0; });
    return children;
  };
  const std::vector<const ListNode*> x = byName(a), y = byName(b);
  for (size_t i = 0; i < x.size(); ++i)
    if (memcmp(static_cast<const EntryRecord*>(x[i]), static_cast<const EntryRecord*>(y[i]), sizeof(EntryRecord)) !=
            0 ||
        x[i]->Level != y[i]->Level || !SameEntriesBelow(x[i], y[i]))
      return false;
  return true;
}
