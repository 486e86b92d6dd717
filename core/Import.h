// The import of a damaged-file list: the text's lines name files of the
// loaded list (relative to the scanned root, or as full paths beginning with
// it); the named files get the damaged mark, and every named file the list
// does not hold is added as an absent entry with the missing folders on its
// way.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ListNode.h"

// The report sentences that may stand around a path: leading and trailing
// text of each pair, in the ANSI code page. A pair that the code page cannot
// hold is left out (its "?" forms would match the wrong lines).
struct TWrapperText {
  AnsiString Leading, Trailing;
};
std::vector<TWrapperText> ImportWrapperTexts();

// The lines of a list's text: split at CR LF, LF or CR; comment lines ("#",
// "//", "/*" at the start) and lines holding a control character (bytes 1 to
// 31 but tab) dropped; report sentences stripped (only where the
// leading text comes before the trailing one); trailing blanks removed.
std::vector<AnsiString> DamagedListLines(const AnsiString& text);

// What the import shows while it runs and how it learns of a cancel.
class IImportProgress {
public:
  virtual ~IImportProgress() = default;
  // A file entry was looked up: found (its upper-cased relative path) or not.
  // Called for every file: what is shown is made only when it is shown.
  virtual void EntryMatched(const std::string& upperPath) = 0;
  virtual void EntryChecked(const ListNode* entry) = 0;
  // An absent file was added for the upper-cased line.
  virtual void AbsentFileAdded(const AnsiString& upperLine) = 0;
  // An absent folder was made below parent (the folder tree mirrors it).
  virtual void AbsentFolderAdded(ListNode* parent, ListNode* folder) = 0;
  virtual bool CancelRequested() = 0;
};

struct TImportResult {
  int Matched = 0;         // lines that marked a file (the damaged counter)
  int AbsentFiles = 0;     // absent files added
  bool Changed = false;    // a mark newly set or an entry added
  bool Cancelled = false;
  std::vector<AnsiString> Remaining;  // lines no file used, in order
};

// The relative form of a line: a line holding ":" must begin with the root
// path and the "\" after it (a root path ending in "\" brings its own), which
// are removed; otherwise one leading "\" is. False when a full path does not
// begin with the root path, or the root path is empty.
bool RelativeLinePath(const AnsiString& line, const AnsiString& rootPath, AnsiString& relative);

// Marks every file below root whose relative path equals a line's relative
// path (case-insensitive). Each line is used once, by the first file in
// pre-order that names it; the lines no file used are returned.
TImportResult MatchDamagedList(ListNode* root, const std::vector<AnsiString>& lines, const AnsiString& rootPath,
                               IImportProgress& progress);
// Adds the remaining lines' files that the list does not hold as absent
// entries (folders on the way too, empty path segments skipped); lines that
// are empty, "0", repeated (ignoring case), end in "\" (no file name) or are
// full paths of another root add nothing. Counts go into result.
void AddAbsentEntries(ListNode* root, const std::vector<AnsiString>& lines, const AnsiString& rootPath,
                      IImportProgress& progress, TImportResult& result);
