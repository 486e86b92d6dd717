#include "ListFile.h"

#include <memory>

#include "UcSysUtils.h"
#include "UcWideStreams.h"
#include "UcWindows.h"
#include "Ucrypt.h"

namespace {

// An item the engine cannot write fails the whole operation: the caller tells
// the user in the program's words, and nothing is left out of a list file.
void AbortOnItemFailure(TObject*, const WideString&, TZEProcessOperation, int, int, const WideString&,
                        TZEAction& action) {
  action = fxaAbort;
}

}  // namespace

void ConfigureListEngine(TZipEngine& zip) {
  zip.SetCompressionLevel(TZECompressionLevel::clMax);
  zip.SetCompressionMode(9);
  zip.SetSpanningMode(smNone);
  zip.Options()->FlushBuffers = true;
  zip.Options()->OEMFileNames = true;
  zip.SetInMemory(false);
  zip.SetZip64Mode(zmDisabled);
  zip.SetUnicodeFilenames(true);
  zip.SetEncryptionMethod(caPkzipClassic);
  zip.SetExtractCorruptedFiles(false);
  zip.OnProcessFileFailure = TZEProcessFileFailureEvent::Free(&AbortOnItemFailure);
}

AnsiString ListFileNameWithExtension(const AnsiString& name) {
  return ExtractFileExt(name).IsEmpty() ? name + ".vq" : name;
}

namespace {

// What this program names in the temporary folder and beside a list file.
const wchar_t kTempFolderPrefix[] = L"fennolit-";
const wchar_t kLockName[] = L"fennolit.lock";
const wchar_t kDataPrefix[] = L"~tmp~";
// The data file's own name in a temporary folder, whatever the list's name, so
// that its path keeps within the system's limits wherever the temporary folder
// lies. The archive stores it as kDataPrefix + the list's base name.
const wchar_t kDataFileName[] = L"~tmp~";
const wchar_t kPendingPrefix[] = L"~";
const wchar_t kPendingSuffix[] = L".tmp";

// The system's temporary folder, ending in "\"; empty when it has none.
WideString TempBase() {
  wchar_t base[MAX_PATH + 1] = {};
  const DWORD n = Uc_GetTempPathW(MAX_PATH, base);
  if (n == 0 || n > MAX_PATH) return WideString();
  return WideString(base);
}

// Upper-case hex digits from at to at + count, as IntToHex writes them.
bool HexDigits(const std::wstring& s, size_t at, size_t count, DWORD* value) {
  if (at + count > s.size()) return false;
  DWORD v = 0;
  for (size_t i = at; i < at + count; ++i) {
    const wchar_t c = s[i];
    if (c >= L'0' && c <= L'9')
      v = v * 16 + (c - L'0');
    else if (c >= L'A' && c <= L'F')
      v = v * 16 + (c - L'A' + 10);
    else
      return false;
  }
  if (value) *value = v;
  return true;
}

// The whole name of a temporary folder this program makes:
// "fennolit-" + 4 to 8 hex digits of the process id + "-" + 8 of the serial.
bool IsTempFolderName(const std::wstring& name, DWORD* pid) {
  const size_t prefix = wcslen(kTempFolderPrefix);
  if (name.compare(0, prefix, kTempFolderPrefix) != 0) return false;
  const size_t dash = name.find(L'-', prefix);
  if (dash == std::wstring::npos || dash - prefix < 4 || dash - prefix > 8) return false;
  return name.size() == dash + 1 + 8 && HexDigits(name, prefix, dash - prefix, pid) &&
         HexDigits(name, dash + 1, 8, nullptr);
}

// The pending archive of a save: "~" + the save's temporary folder name +
// ".tmp". Gives the folder's name.
bool IsPendingArchiveName(const std::wstring& name, std::wstring& folder) {
  const size_t prefix = wcslen(kPendingPrefix), suffix = wcslen(kPendingSuffix);
  if (name.size() <= prefix + suffix || name.compare(0, prefix, kPendingPrefix) != 0 ||
      name.compare(name.size() - suffix, suffix, kPendingSuffix) != 0)
    return false;
  folder = name.substr(prefix, name.size() - prefix - suffix);
  return IsTempFolderName(folder, nullptr);
}

// False only when the system says no process has this id: a process of
// another user, or one that cannot be asked, may still be alive.
bool ProcessMayLive(DWORD pid) {
  HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (!h) return GetLastError() != ERROR_INVALID_PARAMETER;
  const bool running = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
  CloseHandle(h);
  return running;
}

// Deletes the files (not the folders) in folder that match mask.
void DeleteFilesIn(const WideString& folder, const WideString& mask) {
  TSearchRecW rec;
  if (WideFindFirst(folder + L"\\" + mask, faAnyFile & ~faDirectory, rec) != 0) return;
  do WideDeleteFile(folder + L"\\" + rec.Name);
  while (WideFindNext(rec) == 0);
  WideFindClose(rec);
}

// Removes one of this program's temporary folders when its run has ended: the
// lock can be deleted (no live process holds it open), or there is no lock
// and no process of the id in the name. Only the lock and the list data files
// go, then the folder if that left it empty. True when no folder of that name
// is left.
bool RemoveLeftoverTempFolder(const WideString& base, const std::wstring& name) {
  DWORD pid = 0;
  if (!IsTempFolderName(name, &pid)) return false;
  const WideString folder = base + WideString(name);
  const DWORD attributes = WideFileGetAttr(folder);
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;  // not a folder of a run
  // A run makes real folders only: a link or junction of that name leads
  // somewhere else, perhaps to a user's files, and nothing is deleted through
  // it (Wine reports a Unix symbolic link to a folder as a reparse point).
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return false;
  if (!WideDeleteFile(folder + L"\\" + kLockName)) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) return false;  // held: its run is alive
    // Before its lock is made and after it is gone, a run's folder has none.
    if (ProcessMayLive(pid)) return false;
  }
  DeleteFilesIn(folder, WideString(kDataPrefix) + L"*");
  return WideRemoveDir(folder);
}

// Removes the pending archives that runs which have ended left beside a list
// file (folder ends in "\"). A live run keeps its temporary folder locked
// until its archive has taken the list file's place, and the archive itself
// open, its deletion shared with no one, while it writes it.
void RemoveLeftoverPendingArchives(const WideString& folder) {
  const WideString base = TempBase();
  TSearchRecW rec;
  if (WideFindFirst(folder + kPendingPrefix + kTempFolderPrefix + L"*" + kPendingSuffix, faAnyFile & ~faDirectory,
                    rec) != 0)
    return;
  do {
    std::wstring owner;
    if (!IsPendingArchiveName(rec.Name.str(), owner)) continue;
    if (!base.IsEmpty() && !RemoveLeftoverTempFolder(base, owner)) continue;
    WideDeleteFile(folder + rec.Name);
  } while (WideFindNext(rec) == 0);
  WideFindClose(rec);
}

}  // namespace

void RemoveLeftoverTempFolders() {
  try {
    const WideString base = TempBase();
    if (base.IsEmpty()) return;
    TSearchRecW rec;
    if (WideFindFirst(base + kTempFolderPrefix + L"*", faDirectory, rec) != 0) return;
    do
      if ((rec.Attr & faDirectory) && !(rec.Attr & FILE_ATTRIBUTE_REPARSE_POINT))
        RemoveLeftoverTempFolder(base, rec.Name.str());
    while (WideFindNext(rec) == 0);
    WideFindClose(rec);
  } catch (...) {
    // Leftovers stay for the next start; the start itself goes on.
  }
}

TTempFolder::TTempFolder() {
  SetLastError(0);
  const WideString base = TempBase();
  if (base.IsEmpty()) {
    FError = GetLastError();
    return;
  }
  static unsigned serial = 0;
  if (serial == 0) serial = GetTickCount();
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const WideString path = base + kTempFolderPrefix + AnsiToWide(IntToHex(GetCurrentProcessId(), 4)) + L"-" +
                            AnsiToWide(IntToHex(++serial, 8));
    if (Uc_CreateDirectoryW(path.c_bstr(), nullptr)) {
      // Read and write, shared with no one: deleting it needs this handle gone.
      FLock = WideFileCreate(path + L"\\" + kLockName);
      if (FLock == INVALID_HANDLE_VALUE) {
        FError = GetLastError();
        WideRemoveDir(path);
        return;
      }
      FPath = path;
      FError = 0;
      return;
    }
    FError = GetLastError();
    if (FError != ERROR_ALREADY_EXISTS) return;
  }
}

TTempFolder::~TTempFolder() {
  if (FPath.IsEmpty()) return;
  CloseHandle(FLock);
  DeleteFilesIn(FPath, L"*");
  WideRemoveDir(FPath);
}

WideString TTempFolder::Name() const { return WideExtractFileName(FPath); }

namespace {

// Closes the archive on every way out and gives the component its base folder
// back.
class TArchiveSession {
public:
  explicit TArchiveSession(TZipEngine& zip) : FZip(zip), FBaseDir(zip.BaseDir()), FOnStoreFile(zip.OnStoreFile) {}
  ~TArchiveSession() {
    FZip.CloseArchive();
    FZip.SetBaseDir(FBaseDir);
    FZip.OnStoreFile = FOnStoreFile;
  }
  TArchiveSession(const TArchiveSession&) = delete;
  TArchiveSession& operator=(const TArchiveSession&) = delete;

private:
  TZipEngine& FZip;
  WideString FBaseDir;
  TZEOnStoreFileEvent FOnStoreFile;
};

// Gives the item the stored name that data points to.
void StoreUnder(void* data, TObject*, WideString& fileName, uint32_t&, AnsiString&, const WideString&) {
  fileName = *static_cast<const WideString*>(data);
}

// The new archive beside the list file until it takes the list file's place:
// "~" + the save's temporary folder name + ".tmp", so a later save knows whose
// it is. It is open to this object alone from its creation until it is moved,
// and the temporary folder stays locked until then.
class TPendingArchive {
public:
  TPendingArchive(const WideString& listFile, const TTempFolder& temp) {
    WideString folder = WideExtractFilePath(listFile);
    if (folder.IsEmpty()) folder = L".\\";
    RemoveLeftoverPendingArchives(folder);
    const WideString path = folder + kPendingPrefix + temp.Name() + kPendingSuffix;
    try {
      FStream.reset(new TUcFileStream(path, fmCreate));
      FPath = path;
    } catch (const EFCreateError& e) {
      SetLastError(e.ErrorCode());
    }
  }
  ~TPendingArchive() {
    FStream.reset();
    if (!FPath.IsEmpty()) WideDeleteFile(FPath);
  }
  TPendingArchive(const TPendingArchive&) = delete;
  TPendingArchive& operator=(const TPendingArchive&) = delete;

  bool Created() const { return !FPath.IsEmpty(); }
  const WideString& Path() const { return FPath; }
  // The engine writes the archive straight into it: no file of its own.
  TStream* Stream() const { return FStream.get(); }
  // Closes the file, whose bytes the disk may refuse only now (a delayed
  // write); false with the system's reason in error.
  bool Close(DWORD& error) { return FStream->Close(error); }
  // After Close: false with the system's reason in error.
  bool Replace(const WideString& listFile, DWORD& error) {
    if (!MoveFileExW(FPath.c_bstr(), listFile.c_bstr(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      error = GetLastError();
      return false;
    }
    FPath = WideString();
    return true;
  }

private:
  WideString FPath;
  std::unique_ptr<TUcFileStream> FStream;
};

}  // namespace

TSaveStatus SaveListFile(TZipEngine& zip, const AnsiString& listFileName, const AnsiString& scrambledRootPath,
                         ListNode* root, IStepProgress* progress, DWORD* reason) {
  DWORD ignored = 0;
  DWORD& why = reason ? *reason : ignored;
  why = 0;
  TTempFolder temp;
  if (!temp.Created()) {
    why = temp.Error();
    return TSaveStatus::CreateFailed;
  }
  const WideString data = temp.File(kDataFileName);
  // The stored name is the one every list file carries: "~tmp~" + base name.
  WideString stored = WideString(kDataPrefix) + AnsiToWide(ListBaseName(listFileName));
  try {
    TUcFileStream stream(data, fmCreate);
    if (!WriteListData(stream, scrambledRootPath, root, progress)) return TSaveStatus::Cancelled;
  } catch (const EFCreateError& e) {
    why = e.ErrorCode();
    return TSaveStatus::CreateFailed;
  } catch (const EStreamError& e) {
    why = e.ErrorCode();
    return TSaveStatus::WriteFailed;
  } catch (...) {
    return TSaveStatus::WriteFailed;
  }

  const WideString listFile = AnsiToWide(listFileName);
  TPendingArchive archive(listFile, temp);
  if (!archive.Created()) {
    why = GetLastError();
    return TSaveStatus::CreateFailed;
  }
  try {
    TArchiveSession session(zip);
    zip.SetBaseDir(temp.Path());
    zip.SetFileName(archive.Path());
    zip.OpenArchive(archive.Stream(), true);
    zip.OnStoreFile = TZEOnStoreFileEvent(&stored, &StoreUnder);
    zip.AddFiles(data, 0x28BF, WideString());
    // The engine passed the data file by without a word: nothing to tell but
    // the file it could not make.
    if (zip.GetFileCount() != 1) return TSaveStatus::WriteFailed;
    zip.CloseArchive();
    if (!zip.LastCloseError().IsEmpty()) {
      why = zip.LastCloseSystemError();
      return TSaveStatus::WriteFailed;
    }
  } catch (const Exception& e) {
    // The engine's errors and the streams' carry the code of the call that
    // failed; the thread's last error is the clean-up's by now.
    why = ZEExceptionSystemError(e);
    return TSaveStatus::WriteFailed;
  } catch (...) {
    return TSaveStatus::WriteFailed;
  }
  if (!archive.Close(why)) return TSaveStatus::WriteFailed;
  if (!archive.Replace(listFile, why)) return TSaveStatus::CreateFailed;
  ClearPathNames(root);
  return TSaveStatus::Saved;
}

// Whatever failed on the way, what the user lacks is the list file: it is the
// file that could not be made (the data file is the program's own business).
void ReportSaveFailure(ICoreHost& host, TSaveStatus status, const AnsiString& listFileName, DWORD reason) {
  if (status == TSaveStatus::CreateFailed || status == TSaveStatus::WriteFailed)
    ShowMessageNumber(host, msgCreateFileFailed, PathAndReason(AnsiToWide(listFileName), reason));
}

TSaveStatus SaveList(ICoreHost& host, TZipEngine& zip, const AnsiString& listFileName, ListNode* root,
                     const AnsiString& rootPath, AnsiString& scrambledRootPath, uint8_t& isRootPathNew,
                     uint8_t& isModified, IStepProgress* progress) {
  // Scrambled once per scan: every later save writes the same header bytes.
  const AnsiString header =
      isRootPathNew ? ScrambleString(rootPath, kScrambleStartKey, kScrambleMultiplier, kScrambleAddend)
                    : scrambledRootPath;
  DWORD reason = 0;
  const TSaveStatus status = SaveListFile(zip, listFileName, header, root, progress, &reason);
  if (status == TSaveStatus::Saved) {
    scrambledRootPath = header;
    isRootPathNew = 0;
    isModified = 0;
  }
  ReportSaveFailure(host, status, listFileName, reason);
  return status;
}

namespace {

// Passes the unpacked bytes on to the data file and through the checker on the
// way. Should the writer go back over bytes already written, the checker no
// longer knows what the file holds and its verdict is not used.
// The engine knows the data file only as a stream and keeps no system code
// for it: the writer takes the one of a write that fails, right there.
class TCheckingWriter : public TStream {
public:
  TCheckingWriter(TStream& file, TListDataChecker& checker, DWORD& error)
      : FFile(file), FChecker(checker), FError(error) {}
  bool SawEverything() const { return FInOrder && FAt == FFed; }

  int32_t Read(void*, int32_t) override { return 0; }
  int32_t Write(const void* buffer, int32_t count) override {
    SetLastError(0);
    const int32_t written = FFile.Write(buffer, count);
    if (written <= 0) {
      // A file that takes nothing without a word has no room left.
      FError = GetLastError();
      if (FError == 0) FError = ERROR_HANDLE_DISK_FULL;
      return written;
    }
    if (FAt == FFed) {
      FChecker.Feed(buffer, static_cast<size_t>(written));
      FFed += written;
    } else {
      FInOrder = false;
    }
    FAt += written;
    return written;
  }
  using TStream::Seek;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    // The writer asks for its position before every block; no system call.
    if (origin == soCurrent && offset == 0) return FAt;
    FAt = FFile.Seek(offset, origin);
    return FAt;
  }

private:
  TStream& FFile;
  TListDataChecker& FChecker;
  DWORD& FError;
  int64_t FAt = 0;
  int64_t FFed = 0;
  bool FInOrder = true;
};

}  // namespace

TOpenStatus TUnpackedList::Unpack(TZipEngine& zip, const AnsiString& listFileName) {
  FData.reset();
  FVerdict = TVerdict::None;
  FNodes = 0;
  FReason = 0;
  if (!FFolder.Created()) {
    FReason = FFolder.Error();
    return TOpenStatus::UnpackFailed;
  }
  const WideString data = FFolder.File(kDataFileName);
  TListDataChecker checker;
  bool sawEverything = false;
  DWORD writeError = 0;
  try {
    TArchiveSession session(zip);
    zip.SetFileName(AnsiToWide(listFileName));
    // Read access only: a read-only list file opens, and nothing is written.
    zip.OpenArchive(fmOpenRead | fmShareDenyWrite);
    if (zip.GetFileCount() != 1) return TOpenStatus::UnpackFailed;
    TZEArchiveItem item;
    if (!zip.FindFirst(L"*", item, 63, WideString())) return TOpenStatus::UnpackFailed;
    // Read and write, shared with no one: the file is read back through the
    // handle that wrote it.
    FData.reset(new TUcFileStream(data, fmCreate));
    TCheckingWriter out(*FData, checker, writeError);
    zip.ExtractToStream(item.FilePath + item.FileName, &out);
    sawEverything = out.SawEverything() && out.Position() == FData->Size();
  } catch (const Exception& e) {
    FData.reset();
    // The codes of the calls that failed, taken there: the thread's last
    // error is the clean-up's by now. A file that is not a list has none.
    FReason = writeError ? writeError : ZEExceptionSystemError(e);
    return TOpenStatus::UnpackFailed;
  } catch (...) {
    FData.reset();
    return TOpenStatus::UnpackFailed;
  }
  if (FData->Size() == 0) {
    FData.reset();
    return TOpenStatus::DataEmpty;
  }
  FData->SetPosition(0);
  if (sawEverything) {
    FVerdict = checker.Sound() ? TVerdict::Sound : TVerdict::Damaged;
    FNodes = checker.Nodes();
  }
  return TOpenStatus::Opened;
}

TOpenStatus TUnpackedList::Load(TListData& data) {
  if (!FData) return TOpenStatus::LoadFailed;
  try {
    // A damaged list is refused before anything is reserved for it.
    if (FVerdict == TVerdict::Damaged) throw EListDataError("The list data is damaged");
    TListNodeReserve reserve(FVerdict == TVerdict::Sound ? FNodes : 0);
    data = ReadListData(*FData);
  } catch (...) {
    // Damaged data of any kind, out of memory included, ends here.
    data = TListData();
    return TOpenStatus::LoadFailed;
  }
  FData.reset();
  return TOpenStatus::Opened;
}

TOpenStatus TUnpackedList::Check() {
  if (!FData) return TOpenStatus::LoadFailed;
  if (FVerdict != TVerdict::None) return FVerdict == TVerdict::Sound ? TOpenStatus::Opened : TOpenStatus::LoadFailed;
  try {
    CheckListData(*FData);
  } catch (...) {
    return TOpenStatus::LoadFailed;
  }
  return TOpenStatus::Opened;
}

TOpenResult OpenListFile(TZipEngine& zip, const AnsiString& listFileName) {
  TOpenResult r;
  TUnpackedList unpacked;
  r.Status = unpacked.Unpack(zip, listFileName);
  r.Reason = unpacked.Reason();
  if (r.Status == TOpenStatus::Opened) r.Status = unpacked.Load(r.Data);
  return r;
}

void ReportOpenFailure(ICoreHost& host, TOpenStatus status, const AnsiString& listFileName, DWORD reason) {
  switch (status) {
    case TOpenStatus::Opened:
      break;
    case TOpenStatus::UnpackFailed:
      // Named after " - " as in every failed open's message; the system's
      // reason on a line of its own, as in a failed save's.
      ShowMessageNumber(host, msgUnpackFailed, " - " + listFileName + PathAndReason(WideString(), reason));
      break;
    case TOpenStatus::DataOpenFailed:
      ShowMessageNumber(host, msgUnpackFailed,
                        " - " + listFileName + "\n" + MessageTextA(host, msgSameNameFolder) + " " + "\n" +
                            MessageTextA(host, msgOpenElsewhere));
      break;
    case TOpenStatus::DataEmpty:
      ShowMessageNumber(host, msgFileEmpty);
      break;
    case TOpenStatus::LoadFailed:
      ShowMessageNumber(host, msgLoadFailed, " - " + listFileName);
      break;
  }
}
