// The lines of one page of the HTML site, ordered by name: the sub-folders'
// lines as one text, the files' lines as another.
#pragma once

#include <memory>
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
  void AddFolder(AnsiString key, AnsiString text);
  void AddFile(AnsiString key, AnsiString text);
  // Keys compare by their ANSI lower case, byte by byte (a prefix first); a
  // record goes before the first one whose key is not smaller, so equal keys
  // end up in the reverse order of their insertion.
  void Insert(AnsiString key, AnsiString text, TRecList& list);
  // The record at index i in order; null when i is past the end.
  const Rec* Get(int i, TRecList& list);
  // All texts of a list in order, without separators.
  AnsiString FoldersText();
  AnsiString FilesText();

  struct TItem {
    std::string lowerKey;
    size_t serial;
    std::unique_ptr<Rec> rec;
  };
  struct TRecList {
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
};

// The system's ANSI lower case of a text (CharLowerBuffA's table, built once).
std::string AnsiLowerBytes(const std::string& text);
