#include "FolderScan.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "LongPath.h"
#include "UcSysUtils.h"
#include "UcWindows.h"

AnsiString FileTimeText(const FILETIME& utc) {
  FILETIME local;
  SYSTEMTIME st;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &st)) return AnsiString();
  return DateTimeToStr(SystemTimeToDateTime(st));
}

namespace {

uint8_t RecordedAttributes(const WideString& path, DWORD enumerated) {
  DWORD a = Uc_GetFileAttributesW(LongPathForm(path).c_bstr());
  // An entry the call cannot reach (a name the code page cannot hold, a
  // vanished file) keeps what the enumeration reported instead of every bit.
  if (a == INVALID_FILE_ATTRIBUTES) a = enumerated;
  return AttributeBits(a);
}

void FillEnumeratedRecord(char kind, const WideString& path, const WIN32_FIND_DATAW& find,
                          const TStoreOptions& options, EntryRecord& record) {
  record = EntryRecord{};
  record.Kind = kind;
  SetFieldText(record.Name, WideToAnsi(WideString(find.cFileName, static_cast<int>(wcsnlen(find.cFileName, MAX_PATH)))));
  if (options.Attributes) record.Attributes = RecordedAttributes(path, find.dwFileAttributes);
  if (options.Created) SetFieldText(record.Created, FileTimeText(find.ftCreationTime), true);
  if (options.Modified) SetFieldText(record.Modified, FileTimeText(find.ftLastWriteTime), true);
}

}  // namespace

void FillFileRecord(const WideString& path, const WIN32_FIND_DATAW& find, const TStoreOptions& options,
                    EntryRecord& record) {
  FillEnumeratedRecord(ekFile, path, find, options, record);
}

void FillFolderRecord(const WideString& path, const WIN32_FIND_DATAW& find, const TStoreOptions& options,
                      EntryRecord& record) {
  FillEnumeratedRecord(ekFolder, path, find, options, record);
}

void FillRootRecord(const WideString& path, const TStoreOptions& options, EntryRecord& record) {
  record = EntryRecord{};
  record.Kind = ekFolder;
  SetFieldText(record.Name, WideToAnsi(path));
  HANDLE h = Uc_CreateFileW(LongPathForm(path).c_bstr(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  FILETIME created{}, accessed{}, written{};
  const bool times = GetFileTime(h, &created, &accessed, &written);
  CloseHandle(h);
  if (options.Attributes) record.Attributes = RecordedAttributes(path, 0);
  if (options.Created && times) SetFieldText(record.Created, FileTimeText(created), true);
  if (options.Modified && times) SetFieldText(record.Modified, FileTimeText(written), true);
}

// --- the walk -------------------------------------------------------------------------------

namespace {

// One folder being enumerated. The walk keeps its own stack instead of
// recursing, so the depth of a folder tree is limited by memory only.
struct TFolderFrame {
  TSearchRecW Rec;
  bool Have = false;  // Rec holds an entry not yet processed
  void* TreeNode;
  ListNode* Node;
  size_t PathLength;      // of the shared system path
  size_t ScanPathLength;  // of the shared display path
  uint64_t Sum = 0;

  TFolderFrame(void* treeNode, ListNode* node, size_t pathLength, size_t scanPathLength)
      : TreeNode(treeNode), Node(node), PathLength(pathLength), ScanPathLength(scanPathLength) {}
  ~TFolderFrame() { WideFindClose(Rec); }
  TFolderFrame(const TFolderFrame&) = delete;
  TFolderFrame& operator=(const TFolderFrame&) = delete;

  void Advance() { Have = WideFindNext(Rec) == 0; }
};

class TFolderWalk {
public:
  TFolderWalk(IScanSink& sink, const TStoreOptions& options, const WideString& path)
      : FSink(sink), FOptions(options), FPath(path.str()), FScanPath(WideToAnsi(path).str()) {}

  bool Run(void* treeNode, ListNode* node, uint64_t& sizeSum) {
    if (!Enter(treeNode, node)) return true;
    while (!FStack.empty()) {
      TFolderFrame& f = *FStack.back();
      if (!f.Have) {
        Leave(sizeSum);
        continue;
      }
      if (FSink.CancelRequested()) {
        FStack.clear();
        return false;
      }
      Record(f);
    }
    return true;
  }

private:
  // Starts the enumeration of the folder the shared paths name; false (and no
  // frame) when it finds nothing or cannot be read.
  bool Enter(void* treeNode, ListNode* node) {
    auto frame = std::make_unique<TFolderFrame>(treeNode, node, FPath.size(), FScanPath.size());
    const std::wstring pattern = FPath + (EndsWithBackslash() ? L"*" : L"\\*");
    if (WideFindFirst(LongPathForm(WideString(pattern)), faAnyFile, frame->Rec) != 0) return false;
    frame->Have = true;
    FStack.push_back(std::move(frame));
    return true;
  }

  // The enumeration of the top folder ended: its size is complete.
  void Leave(uint64_t& sizeSum) {
    TFolderFrame& f = *FStack.back();
    if (FOptions.FolderSizes) f.Node->Size = ExtendedFromUInt64(f.Sum);
    const uint64_t sum = f.Sum;
    FStack.pop_back();
    if (FStack.empty())
      sizeSum += sum;
    else
      FStack.back()->Sum += sum;
  }

  void Record(TFolderFrame& f) {
    const WIN32_FIND_DATAW& d = f.Rec.FindData;
    const bool folder = d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    if (folder && (wcscmp(d.cFileName, L".") == 0 || wcscmp(d.cFileName, L"..") == 0)) {
      f.Advance();
      return;
    }
    FPath.resize(f.PathLength);
    FScanPath.resize(f.ScanPathLength);
    if (!EndsWithBackslash()) FPath += L'\\';
    FPath += d.cFileName;
    const AnsiString ansiName = WideToAnsi(WideString(d.cFileName));
    // The display path appends "\" even to a drive root ("C:\\name"), as the
    // path the program shows always did.
    FScanPath += '\\';
    FScanPath += ansiName.str();
    const WideString path(FPath);
    if (folder) {
      void* treeNode = FSink.AddFolderNode(f.TreeNode, ansiName);
      FillFolderRecord(path, d, FOptions, FScratch);
      FSink.FolderRecorded(AnsiString(FScanPath));
      ListNode* child = InsertNode(f.Node, f.Node->Level + 1, FScratch);
      // A link or junction is recorded but not entered: it may lead back to a
      // folder above it (Wine reports a symlinked folder as a reparse point).
      const bool enter = !(d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
      f.Advance();
      if (enter) Enter(treeNode, child);
      return;
    }
    FillFileRecord(path, d, FOptions, FScratch);
    const uint64_t size = (static_cast<uint64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
    if (FOptions.Size) FScratch.Size = ExtendedFromUInt64(size);
    // Summed in 64-bit integers: exact, as the 80-bit sum is for every real size.
    f.Sum += size;
    FSink.FileRecorded(AnsiString(FScanPath));
    InsertNode(f.Node, f.Node->Level + 1, FScratch);
    f.Advance();
  }

  bool EndsWithBackslash() const { return !FPath.empty() && FPath.back() == L'\\'; }

  IScanSink& FSink;
  const TStoreOptions& FOptions;
  std::wstring FPath;     // the system path of the entry at hand
  std::string FScanPath;  // the same as the progress window shows it
  std::vector<std::unique_ptr<TFolderFrame>> FStack;
  EntryRecord FScratch{};
};

}  // namespace

bool ScanFolder(IScanSink& sink, const TStoreOptions& options, void* parentTreeNode, ListNode* parentNode,
                uint64_t& sizeSum, const WideString& path) {
  TFolderWalk walk(sink, options, path);
  return walk.Run(parentTreeNode, parentNode, sizeSum);
}

TScanResult ScanTree(IScanSink& sink, const TStoreOptions& options, const WideString& path) {
  TScanResult r;
  r.RootTreeNode = sink.AddRootFolderNode();
  EntryRecord record;
  FillRootRecord(path, options, record);
  r.Root = InsertNode(nullptr, 0, record);
  try {
    uint64_t sum = 0;
    r.Cancelled = !ScanFolder(sink, options, r.RootTreeNode, r.Root, sum, path);
  } catch (...) {
    FreeNodeTree(r.Root);
    throw;
  }
  return r;
}
