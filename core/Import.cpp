#include "Import.h"

#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "Search.h"
#include "Unicodesupport.h"

std::vector<TWrapperText> ImportWrapperTexts() {
  static const wchar_t* const Pairs[][2] = {
      {L"Ошибка сохранения файла ", L" : Operation aborted"},
      {L"Файл ", L" содержит непрочитанные или прочитанные с ошибкой или изменённые сектора!"},
      {L"Сохранение файла ", L" прервано"},
  };
  std::vector<TWrapperText> texts;
  for (const auto& pair : Pairs) {
    TWrapperText t;
    BOOL lossy = FALSE;
    bool ok = true;
    for (int k = 0; k < 2; ++k) {
      const int n = WideCharToMultiByte(CP_ACP, 0, pair[k], -1, nullptr, 0, nullptr, &lossy);
      std::string out(static_cast<size_t>(n > 0 ? n : 1), '\0');
      WideCharToMultiByte(CP_ACP, 0, pair[k], -1, out.data(), n, nullptr, &lossy);
      out.resize(strlen(out.c_str()));
      if (lossy || n <= 1) ok = false;
      (k == 0 ? t.Leading : t.Trailing) = AnsiString(out);
    }
    if (ok) texts.push_back(t);
  }
  return texts;
}

namespace {

bool StartsWith(const AnsiString& s, const char* prefix) { return strncmp(s.c_str(), prefix, strlen(prefix)) == 0; }

// A control character (other than tab) names no file: such a line comes from
// a binary file chosen by mistake.
bool HoldsControlCharacter(const AnsiString& line) {
  for (unsigned char c : line.str())
    if (c >= 1 && c <= 31 && c != '\t') return true;
  return false;
}

void TrimRightBlanks(AnsiString& s) {
  std::string& text = s.str();
  size_t n = text.size();
  while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\t')) --n;
  text.resize(n);
}

}  // namespace

std::vector<AnsiString> DamagedListLines(const AnsiString& text) {
  std::vector<AnsiString> lines;
  const std::string& s = text.str();
  size_t start = 0;
  for (size_t i = 0; i <= s.size(); ++i) {
    if (i < s.size() && s[i] != '\r' && s[i] != '\n') continue;
    if (i < s.size() || start < s.size()) lines.emplace_back(s.substr(start, i - start));
    if (i < s.size() && s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
    start = i + 1;
  }
  const std::vector<TWrapperText> wrappers = ImportWrapperTexts();
  std::vector<AnsiString> kept;
  kept.reserve(lines.size());
  for (AnsiString& line : lines) {
    if (StartsWith(line, "#") || StartsWith(line, "//") || StartsWith(line, "/*")) continue;
    if (HoldsControlCharacter(line)) continue;
    for (const TWrapperText& w : wrappers) {
      const int lead = line.Pos(w.Leading);
      const int trail = line.Pos(w.Trailing);
      if (lead == 0 || trail == 0 || lead + w.Leading.Length() > trail) continue;
      line.Delete(trail, w.Trailing.Length());
      line.Delete(lead, w.Leading.Length());
    }
    TrimRightBlanks(line);
    kept.push_back(std::move(line));
  }
  return kept;
}

bool RelativeLinePath(const AnsiString& line, const AnsiString& rootPath, AnsiString& relative) {
  relative = line;
  if (line.Pos(":") != 0) {
    if (rootPath.IsEmpty()) return false;
    AnsiString prefix = rootPath;
    if (prefix[prefix.Length()] != '\\') prefix += "\\";
    if (line.Length() < prefix.Length()) return false;
    const TAnsiUpper upper;
    if (upper.Of(line.c_str(), static_cast<size_t>(prefix.Length())) != upper.Of(prefix)) return false;
    relative = line.SubString(prefix.Length() + 1, line.Length() - prefix.Length());
    return true;
  }
  if (!relative.IsEmpty() && relative[1] == '\\') relative.Delete(1, 1);
  return true;
}

TImportResult MatchDamagedList(ListNode* root, const std::vector<AnsiString>& lines, const AnsiString& rootPath,
                               IImportProgress& progress) {
  TImportResult result;
  const TAnsiUpper upper;
  // The lines by the upper-cased path of their folder, then by the
  // upper-cased file name; a name's lines in text order, each used by one
  // file. Every folder on the way to a line is noted: the walk leaves out
  // the folders below which no line names anything.
  struct TLines {
    std::vector<size_t> Lines;  // in text order
    size_t Next = 0;            // the first one not used yet
  };
  using TNames = std::unordered_map<std::string, TLines>;
  std::unordered_map<std::string, TNames> byFolder;
  std::unordered_set<std::string> onTheWay;
  std::vector<bool> used(lines.size(), false);
  for (size_t i = 0; i < lines.size(); ++i) {
    AnsiString relative;
    if (!RelativeLinePath(lines[i], rootPath, relative) || relative.IsEmpty()) continue;
    const std::string key = upper.Of(relative);
    const size_t slash = key.rfind('\\');
    const std::string folder = slash == std::string::npos ? std::string() : key.substr(0, slash);
    byFolder[folder][slash == std::string::npos ? key : key.substr(slash + 1)].Lines.push_back(i);
  }
  for (const auto& [folder, names] : byFolder) {
    (void)names;
    for (size_t at = folder.find('\\'); at != std::string::npos; at = folder.find('\\', at + 1))
      onTheWay.insert(folder.substr(0, at));
    if (!folder.empty()) onTheWay.insert(folder);
  }
  if (root && !byFolder.empty()) {
    struct Frame {
      ListNode* Folder;
      int Next;
      size_t PathLength;
      TNames* Names;  // the lines of files in this folder, or null
    };
    auto namesOf = [&](const std::string& folder) {
      auto it = byFolder.find(folder);
      return it == byFolder.end() ? nullptr : &it->second;
    };
    std::string path, name;
    std::vector<Frame> stack{{root, 0, 0, namesOf(std::string())}};
    while (!stack.empty()) {
      if (progress.CancelRequested()) {
        result.Cancelled = true;
        break;
      }
      Frame& f = stack.back();
      if (f.Next >= f.Folder->ChildCount()) {
        stack.pop_back();
        continue;
      }
      ListNode* child = f.Folder->Child(f.Next++);
      if (child->Kind != ekFolder && (child->Kind != ekFile || !f.Names)) {
        if (child->Kind == ekFile) progress.EntryChecked(child);
        continue;
      }
      name.assign(child->Name, strnlen(child->Name, sizeof child->Name));
      upper.Apply(name);
      if (child->Kind == ekFolder) {
        path.resize(f.PathLength);
        if (stack.size() > 1) path += '\\';
        path += name;
        if (onTheWay.count(path)) stack.push_back({child, 0, path.size(), namesOf(path)});
        continue;
      }
      auto it = f.Names->find(name);
      if (it == f.Names->end() || it->second.Next >= it->second.Lines.size()) {
        progress.EntryChecked(child);
        continue;
      }
      used[it->second.Lines[it->second.Next++]] = true;
      ++result.Matched;
      path.resize(f.PathLength);
      if (!path.empty()) path += '\\';
      path += name;
      progress.EntryMatched(path);
      if (!(child->Attributes & DamagedBit)) result.Changed = true;
      child->Attributes |= DamagedBit;
    }
  }
  for (size_t i = 0; i < lines.size(); ++i)
    if (!used[i]) result.Remaining.push_back(lines[i]);
  return result;
}

namespace {

// The children of the folders the import walks, by upper-cased name: the
// first folder of each name, and every name of any kind. Made for a folder
// when the import first looks into it, kept current as entries are added.
class TChildIndex {
public:
  explicit TChildIndex(const TAnsiUpper& upper) : FUpper(upper) {}
  ListNode* Folder(ListNode* parent, const std::string& upperName) {
    Names& n = Of(parent);
    auto it = n.Folders.find(upperName);
    return it == n.Folders.end() ? nullptr : it->second;
  }
  bool Holds(ListNode* parent, const std::string& upperName) { return Of(parent).All.count(upperName) != 0; }
  void Added(ListNode* parent, ListNode* child) { Add(Of(parent), child); }

private:
  struct Names {
    std::unordered_map<std::string, ListNode*> Folders;
    std::unordered_set<std::string> All;
  };
  void Add(Names& n, ListNode* child) {
    const std::string key = FUpper.Of(child->Name, strnlen(child->Name, sizeof child->Name));
    n.All.insert(key);
    if (child->Kind == ekFolder) n.Folders.emplace(key, child);
  }
  Names& Of(ListNode* parent) {
    auto it = FIndex.find(parent);
    if (it != FIndex.end()) return it->second;
    Names& n = FIndex[parent];
    for (int i = 0; i < parent->ChildCount(); ++i) Add(n, parent->Child(i));
    return n;
  }
  const TAnsiUpper& FUpper;
  std::unordered_map<ListNode*, Names> FIndex;
};

ListNode* AddAbsentEntry(ListNode* parent, const AnsiString& name, char kind) {
  EntryRecord record{};
  SetFieldText(record.Name, name);
  record.Kind = kind;
  record.Absent = 1;
  if (kind == ekFile) record.Attributes = DamagedBit;
  return InsertNode(parent, parent->Level + 1, record);
}

}  // namespace

void AddAbsentEntries(ListNode* root, const std::vector<AnsiString>& lines, const AnsiString& rootPath,
                      IImportProgress& progress, TImportResult& result) {
  if (!root) return;
  const TAnsiUpper upper;
  TChildIndex children(upper);
  std::unordered_set<std::string> seen;
  for (const AnsiString& line : lines) {
    if (progress.CancelRequested()) {
      result.Cancelled = true;
      return;
    }
    if (line.IsEmpty() || line == "0") continue;
    const std::string u = upper.Of(line);
    if (!seen.insert(u).second) continue;
    AnsiString rest;
    if (!RelativeLinePath(line, rootPath, rest)) continue;
    // The last part names the file: a line without one (ending in "\")
    // adds nothing, not even the folders on its way.
    if (rest.IsEmpty() || rest[rest.Length()] == '\\') continue;
    ListNode* folder = root;
    for (int slash = rest.Pos("\\"); slash != 0; slash = rest.Pos("\\")) {
      const AnsiString segment = rest.SubString(1, slash - 1);
      rest.Delete(1, slash);
      // "A\\B" or a leading "\\" would make a folder without a name, which
      // the marked counts take for the root.
      if (segment.IsEmpty()) continue;
      const std::string key = upper.Of(segment);
      ListNode* next = children.Folder(folder, key);
      if (!next) {
        next = AddAbsentEntry(folder, segment, ekFolder);
        children.Added(folder, next);
        result.Changed = true;
        progress.AbsentFolderAdded(folder, next);
      }
      folder = next;
    }
    if (children.Holds(folder, upper.Of(rest))) continue;
    ListNode* file = AddAbsentEntry(folder, rest, ekFile);
    children.Added(folder, file);
    ++result.AbsentFiles;
    result.Changed = true;
    progress.AbsentFileAdded(AnsiString(u));
  }
}
