// The entry table of the main window: folder paths of the folder tree, the
// fill of the table with a folder's entries, the cell texts, the row colours
// and the attribute hint.
#include "EntryTable.h"

#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "Search.h"
#include "ShellIcons.h"
#include "sysutils.h"

namespace {

// Colours of the need marks (0x00BBGGRR).
constexpr TColor NeededColor = static_cast<TColor>(0xCCF9C9);
constexpr TColor NotNeededColor = static_cast<TColor>(0xD5D9DB);

AnsiString NameOf(const ListNode* node) { return FieldText(node->Name); }

// A shell icon handed to the image list, which keeps a copy; the shell's
// handle is destroyed.
int AddIconToList(TCustomImageList* list, HICON icon) {
  if (!icon) return -1;
  TIcon holder;
  holder.SetHandle(icon);
  return list->AddIcon(&holder);
}

// The names in a folder on disk, upper-cased (names are found regardless of
// case). One listing of the folder answers for all its rows: a lookup of each
// path on its own costs a search of the folder every time. Names that the
// code page cannot hold are left out: no narrow path reaches them.
class TFolderListing {
public:
  explicit TFolderListing(const AnsiString& folder) {
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (folder.IsEmpty() || attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    WIN32_FIND_DATAA d;
    HANDLE h = FindFirstFileA((folder + "*").c_str(), &d);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
      if (strchr(d.cFileName, '?')) continue;
      FNames.insert(Upper(d.cFileName));
    } while (FindNextFileA(h, &d));
    FindClose(h);
  }
  bool Holds(const AnsiString& name) const { return !FNames.empty() && FNames.count(Upper(name.c_str())) != 0; }

private:
  static std::string Upper(const char* name) {
    std::string s = name;
    AnsiUpperInPlace(s);
    return s;
  }
  std::unordered_set<std::string> FNames;
};

// The file type a fill looked up last, as the name gave it, and its row
// icon: the files of a folder mostly share a few types.
struct TLastFileType {
  AnsiString Extension;
  int Row = -1;
  bool Known = false;
};

// The shell's icon of an existing path, one image per system icon; -1 when
// the shell gives none.
int ShellRowIcon(TInfoFileForm* form, const AnsiString& path) {
  SHFILEINFOA info = {};
  if (!SHGetFileInfoA(path.c_str(), 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON)) return -1;
  for (const auto& [system, row] : form->systemIconRows)
    if (system == info.iIcon) return row;
  const int row = AddIconToList(form->AssociatedIcon, ShellSmallIcon(path));
  if (row >= 0) form->systemIconRows.emplace_back(info.iIcon, row);
  return row;
}

// The row icon of an entry: the shell's icon of the path when it exists,
// else the system folder's icon for folders and the registered icon of the
// extension (or shell32's first icon) for files. A path that exists may get
// no icon from the shell: a loaded list keeps no root path, so its rows are
// looked up under the current drive's root ("\bin"), and Wine's shell
// answers nothing for a path without a drive. The row then takes the icon it
// has when the path is not there.
int RowIcon(TInfoFileForm* form, const AnsiString& folder, const AnsiString& name, bool exists,
            const ListNode* entry, TLastFileType& last) {
  TCustomImageList* list = form->AssociatedIcon;
  if (exists) {
    const int row = ShellRowIcon(form, folder + name);
    if (row >= 0) return row;
  }
  if (entry->Kind == ekFolder) {
    if (form->folderIconRow < 0) {
      char system[MAX_PATH + 1] = {};
      GetSystemDirectoryA(system, MAX_PATH);
      form->folderIconRow = AddIconToList(list, ShellSmallIcon(system));
    }
    return form->folderIconRow;
  }
  const AnsiString given = ExtractFileExt(name);
  if (last.Known && given == last.Extension) return last.Row;
  last.Extension = given;
  last.Known = true;
  const AnsiString extension = AnsiLowerCase(given);
  for (const auto& [type, row] : form->typeIconRows)
    if (type == extension) return last.Row = row;
  int row = -1;
  if (!extension.IsEmpty()) row = AddIconToList(list, FileTypeIcon(extension));
  if (row < 0) {
    if (form->genericIconRow < 0) form->genericIconRow = AddIconToList(list, Shell32SmallIcon(siDocument));
    row = form->genericIconRow;
  }
  form->typeIconRows.emplace_back(extension, row);
  return last.Row = row;
}

}  // namespace

AnsiString GetTreeNodePath(TInfoFileForm* form, TTreeNode* node) {
  if (!node) return AnsiString();
  // Loops, names gathered first and joined once: a list may be tens of
  // thousands of folders deep, deeper than the stack and too deep to copy
  // the growing path at every level.
  std::vector<AnsiString> names;
  size_t length = 0;
  for (; node->Parent(); node = node->Parent()) {
    names.push_back(WideToAnsi(static_cast<TUcTreeNode*>(node)->Text()));
    length += names.back().Length() + 1;
  }
  AnsiString path = form->rootNode ? NameOf(form->rootNode) : AnsiString();
  std::string joined(path.c_str(), path.Length());
  joined.reserve(joined.size() + length);
  for (auto name = names.rbegin(); name != names.rend(); ++name) {
    joined += '*';
    joined.append(name->c_str(), name->Length());
  }
  return AnsiString(joined);
}

TUcTreeNode* FindTreeNodeByPath(TInfoFileForm*, TTreeNode* start, const AnsiString& path) {
  std::string_view rest(path.c_str(), path.Length());
  for (TTreeNode* node = start; node;) {
    const size_t star = rest.find('*');
    const std::string_view head = rest.substr(0, star);
    rest = star == std::string_view::npos ? std::string_view() : rest.substr(star + 1);
    TTreeNode* match = nullptr;
    int n = 0;
    for (TTreeNode* child = node->getFirstChild(); child && n < node->Count(); child = child->getNextSibling(), ++n) {
      const AnsiString name = WideToAnsi(static_cast<TUcTreeNode*>(child)->Text());
      if (std::string_view(name.c_str(), name.Length()) == head) {
        match = child;
        break;
      }
    }
    if (!match || rest.empty()) return static_cast<TUcTreeNode*>(match);
    node = match;
  }
  return nullptr;
}

namespace {

// A drive root's name ends in "\", which the joins double once ("C:\\a\"):
// the first backslash of such a text goes.
AnsiString DropDoubledBackslash(AnsiString text) {
  if (text.Pos("\\\\") != 0) {
    const int first = text.Pos("\\");
    text.Delete(first, 1);
  }
  return text;
}

}  // namespace

AnsiString DisplayPathOf(const AnsiString& folderPath) {
  AnsiString text = folderPath + "*";
  for (int i = 1; i <= text.Length(); ++i)
    if (text[i] == '*') text[i] = '\\';
  return DropDoubledBackslash(text);
}

AnsiString FolderDisplayPath(const ListNode* folder) {
  // Joined by "\" from the names themselves: a name may hold "*" (an absent
  // folder of an import), which a folder path could not tell from a join.
  std::vector<const ListNode*> chain;
  for (const ListNode* n = folder; n; n = n->Parent) chain.push_back(n);
  std::string text;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    text += FieldText((*it)->Name).c_str();
    text += '\\';
  }
  return DropDoubledBackslash(AnsiString(text.c_str()));
}

void OrderFolderEntries(TList* list) {
  OrderFoldersFirst(
      list->Count(), [list](int i) { return static_cast<ListNode*>(list->Items(i))->Kind; },
      [list](int i, int j) { list->Exchange(i, j); });
}

namespace {

// The six cell texts of an entry as the table shows them, name first; the
// name also in its ANSI form, which the icon lookup needs. Most cells of a
// large folder are the dash (None): it is widened once by the caller.
void EntryCellTexts(TInfoFileForm* form, const ListNode* entry, const WideString& None, AnsiString& name,
                    WideString cells[6]) {
  auto shown = [&](const AnsiString& text) { return text.IsEmpty() ? None : AnsiToWide(text); };
  name = NameOf(entry);
  cells[0] = AnsiToWide(name);
  const bool recorded = entry->Kind == ekFolder ? form->storeFolderSizes : form->storeSize;
  if (!recorded) {
    cells[1] = None;
  } else {
    const long double size = ExtendedToLongDouble(entry->Size);
    cells[1] = size == 0 ? WideString(L"0") : AnsiToWide(SizeKbText(size));
  }
  cells[2] = shown(FieldText(entry->Created));
  cells[3] = shown(FieldText(entry->Modified));
  cells[4] = shown(AttributeLetters(entry->Attributes));
  cells[5] = shown(FieldText(entry->Comment));
}

// One row: its caption, its icon and the five cells after the name.
void AddRow(TInfoFileForm* form, const WideString& caption, int icon, const WideString cells[6]) {
  TUcListItem* item = form->lvInfo->Items()->Add();
  item->SetCaption(caption);
  item->SetImageIndex(icon);
  TWideSubItems* sub = item->SubItems();
  sub->BeginUpdate();
  for (int c = 1; c < 6; ++c) sub->Add(cells[c]);
  sub->EndUpdate();
}

}  // namespace

void ResetRowIcons(TInfoFileForm* form) {
  form->AssociatedIcon->Clear();
  form->systemIconRows.clear();
  form->typeIconRows.clear();
  form->folderIconRow = -1;
  form->genericIconRow = -1;
}

struct TSearchRows::TState {
  explicit TState(TInfoFileForm* form) : Form(form) {}
  TInfoFileForm* Form;
  const WideString None{L"----"};
  TLastFileType LastType;
  AnsiString Name;
  WideString Cells[6];
};

TSearchRows::TSearchRows(TInfoFileForm* form) : F(new TState(form)) {}

TSearchRows::~TSearchRows() = default;

void TSearchRows::Add(ListNode* entry, const WideString& caption) {
  EntryCellTexts(F->Form, entry, F->None, F->Name, F->Cells);
  AddRow(F->Form, caption, RowIcon(F->Form, AnsiString(), F->Name, false, entry, F->LastType), F->Cells);
}

TList* FillListView(TInfoFileForm* form, ListNode* folder, const AnsiString& displayPath) {
  TUcListItems* items = form->lvInfo->Items();
  form->hasParentRow = 0;
  if (!folder) {
    // No folder: no rows either, nothing may stand for an entry.
    items->Clear();
    return nullptr;
  }
  ResetRowIcons(form);
  OrderFolderEntries(folder->Children);
  TList* shown = ShownEntries->Children;
  shown->SetCapacity(std::max(shown->Capacity(), shown->Count() + folder->ChildCount()));
  const TFolderListing onDisk(displayPath);
  items->BeginUpdate();
  try {
    items->Clear();
    // Every folder below the root has the way up, whatever its name.
    if (folder->Parent) {
      TUcListItem* up = items->Add();
      up->SetCaption(L"..");
      up->SetImageIndex(-1);
      form->hasParentRow = 1;
    }
    const WideString none(L"----");
    TLastFileType lastType;
    AnsiString name;
    WideString cells[6];
    for (int i = 0; i < folder->ChildCount(); ++i) {
      ListNode* child = folder->Child(i);
      if (!::ViewFilter->IsVisible(child)) continue;
      shown->Add(child);
      EntryCellTexts(form, child, none, name, cells);
      AddRow(form, cells[0], RowIcon(form, displayPath, name, onDisk.Holds(name), child, lastType), cells);
    }
  } catch (...) {
    items->EndUpdate();
    throw;
  }
  items->EndUpdate();
  return folder->Children;
}

ListNode* TInfoFileForm::RowEntry(int row) {
  if (!ShownEntries || row < 0) return nullptr;
  // The rows as the table shows them: the ".." row, when there is one,
  // stands for no entry and shifts the others by one.
  int index = row;
  if (hasParentRow) {
    if (row == 0) return nullptr;
    index = row - 1;
  }
  if (index >= ShownEntries->Children->Count()) return nullptr;
  return static_cast<ListNode*>(ShownEntries->Children->Items(index));
}

void TInfoFileForm::lvInfoCustomDrawItem(TCustomListView* sender, TListItem* item, TCustomDrawState, bool&) {
  if (!ShownEntries || ShownEntries->Children->Count() == 0 || !item) return;
  ListNode* entry = RowEntry(item->Index());
  if (!entry) return;
  TCanvas* canvas = sender->Canvas();
  canvas->Font()->SetColor((entry->Attributes & DamagedBit) ? clRed : clBlack);
  if (entry->NeedMark == 1) canvas->Brush()->SetColor(NeededColor);
  if (entry->NeedMark == 2) canvas->Brush()->SetColor(NotNeededColor);
  const TFontStyles listStyle = lvInfo->Font()->Style();
  if (entry->Absent) {
    canvas->Font()->SetStyle(listStyle | fsStrikeOut);
    canvas->Font()->SetColor(clRed);
  } else {
    canvas->Font()->SetStyle(listStyle & ~fsStrikeOut);
  }
}

void TInfoFileForm::lvInfoCustomDrawSubItem(TCustomListView* sender, TListItem* item, int, TCustomDrawState,
                                            bool&) {
  TCanvas* canvas = sender->Canvas();
  canvas->Font()->SetColor(clBlack);
  if (!item || !ShownEntries || ShownEntries->Children->Count() == 0) return;
  ListNode* entry = RowEntry(item->Index());
  if (!entry) return;
  if (entry->NeedMark == 1) canvas->Brush()->SetColor(NeededColor);
  if (entry->NeedMark == 2) canvas->Brush()->SetColor(NotNeededColor);
}

void TInfoFileForm::lvInfoMouseMove(TObject*, TShiftState, int x, int y) {
  Screen->SetCursor(crDefault);
  LVHITTESTINFO hit = {};
  hit.pt.x = x;
  hit.pt.y = y;
  SendMessageW(lvInfo->Handle(), LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
  WideString letters;
  if (hit.iItem >= 0 && hit.iSubItem == 4 && hit.iItem < lvInfo->Items()->Count()) {
    TUcListItem* item = lvInfo->Items()->Item(hit.iItem);
    if (RowEntry(hit.iItem) && item->SubItems()->GetCount() > 3) letters = item->SubItems()->Get(3);
  }
  if (letters.IsEmpty() || letters == L"----") {
    lvInfo->SetShowHint(false);
    return;
  }
  static const wchar_t Letters[] = L"RHSVATCE";
  WideString hint;
  for (int i = 1; i <= letters.Length(); ++i) {
    const wchar_t* at = wcschr(Letters, letters[i]);
    if (!at || !*at) continue;
    if (!hint.IsEmpty()) hint += L'\n';
    hint += WideString(letters[i]) + L":" + localization->GetHintText(13 + static_cast<int>(at - Letters));
  }
  lvInfo->SetHint(hint);
  lvInfo->SetShowHint(true);
}
