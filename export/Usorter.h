// The lines of one page of the HTML site, ordered by name: the sub-folders'
// lines as one text, the files' lines as another.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <string>
#include <vector>

#include "system.h"

struct Rec {
  AnsiString key;
  AnsiString text;
};

class TSorter {
public:
  TSorter() = default;
  TSorter(const TSorter&) = delete;
  TSorter& operator=(const TSorter&) = delete;

  struct TRecList;
  void AddFolder(const AnsiString& key, const AnsiString& text);
  void AddFile(const AnsiString& key, const AnsiString& text);
  // Keys compare by their ANSI lower case, byte by byte (a prefix first); a
  // record goes before the first one whose key is not smaller, so equal keys
  // end up in the reverse order of their insertion.
  void Insert(std::string_view key, std::string_view text, TRecList& list);
  // The record at index i in order (valid until the next call); null when i
  // is past the end.
  const Rec* Get(int i, TRecList& list);
  // Forgets every record, keeping the room they took for the next page.
  void Clear();
  // All texts of a list in order, without separators.
  AnsiString FoldersText();
  AnsiString FilesText();
  // The same appended to out.
  void AppendText(TRecList& list, std::string& out);

  // Keys and texts live in one buffer per list, the records only point into
  // it: a page of many thousand lines costs no allocation per line.
  struct TItem {
    // The first eight lower-cased key bytes, the first the highest: most
    // comparisons end here.
    uint64_t head;
    uint32_t keyAt, keyLength, textAt, textLength;
    size_t serial;
  };
  struct TRecList {
    std::string bytes;
    std::vector<TItem> items;
    bool sorted = true;
  };
  TRecList& Folders() { return FFolders; }
  TRecList& Files() { return FFiles; }

private:
  // Records are collected unordered and put in order once, when they are read:
  // inserting each in place would cost a page of a large folder quadratic time.
  void Order(TRecList& list);
  AnsiString Text(TRecList& list);
  TRecList FFolders;
  TRecList FFiles;
  size_t FSerial = 0;
  Rec FGot;
};

// --- the order of a page's lines

// The first eight lower-cased bytes of a key, the first the highest, zero
// filled: most comparisons end there.
uint64_t SortHead(std::string_view key);
// Keys whose heads are equal, compared from their ninth byte on: negative,
// zero or positive as a goes before, with or after b (lower-cased bytes, a
// prefix first).
int CompareKeyTails(std::string_view a, std::string_view b);
// Puts items (each with a head and a serial) in page order by the key
// keyOf(item) gives; equal keys stand latest serial first, as ordered
// insertion leaves them.
template <class Item, class KeyOf> void SortByKey(std::vector<Item>& items, KeyOf keyOf) {
  std::sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
    if (a.head != b.head) return a.head < b.head;
    const int c = CompareKeyTails(keyOf(a), keyOf(b));
    if (c != 0) return c < 0;
    return a.serial > b.serial;
  });
}
