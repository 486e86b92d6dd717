#include "ListFile.h"

#include <memory>

#include "UcSysUtils.h"
#include "UcWideStreams.h"
#include "UcWindows.h"
#include "Ucrypt.h"

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
}

AnsiString ListFileNameWithExtension(const AnsiString& name) {
  return ExtractFileExt(name).IsEmpty() ? name + ".vq" : name;
}

TTempFolder::TTempFolder() {
  wchar_t base[MAX_PATH + 1] = {};
  const DWORD n = Uc_GetTempPathW(MAX_PATH, base);
  if (n == 0 || n > MAX_PATH) return;
  static unsigned serial = 0;
  if (serial == 0) serial = GetTickCount();
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const WideString path = WideString(base) + L"fennolit-" + AnsiToWide(IntToHex(GetCurrentProcessId(), 4)) + L"-" +
                            AnsiToWide(IntToHex(++serial, 8));
    if (Uc_CreateDirectoryW(path.c_bstr(), nullptr)) {
      FPath = path;
      return;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) return;
  }
}

TTempFolder::~TTempFolder() {
  if (FPath.IsEmpty()) return;
  TSearchRecW rec;
  if (WideFindFirst(FPath + L"\\*", faAnyFile & ~faDirectory, rec) == 0) {
    do WideDeleteFile(FPath + L"\\" + rec.Name);
    while (WideFindNext(rec) == 0);
    WideFindClose(rec);
  }
  WideRemoveDir(FPath);
}

namespace {

// Closes the archive on every way out and gives the component its base folder
// back.
class TArchiveSession {
public:
  explicit TArchiveSession(TZipEngine& zip) : FZip(zip), FBaseDir(zip.BaseDir()) {}
  ~TArchiveSession() {
    FZip.CloseArchive();
    FZip.SetBaseDir(FBaseDir);
  }
  TArchiveSession(const TArchiveSession&) = delete;
  TArchiveSession& operator=(const TArchiveSession&) = delete;

private:
  TZipEngine& FZip;
  WideString FBaseDir;
};

// The new archive beside the list file until it takes the list file's place.
class TPendingArchive {
public:
  explicit TPendingArchive(const WideString& listFile) {
    WideString folder = WideExtractFilePath(listFile);
    if (folder.IsEmpty()) folder = L".";
    wchar_t name[MAX_PATH + 1] = {};
    if (Uc_GetTempFileNameW(folder.c_bstr(), L"~vq", 0, name)) FPath = name;
  }
  ~TPendingArchive() {
    if (!FPath.IsEmpty()) WideDeleteFile(FPath);
  }
  TPendingArchive(const TPendingArchive&) = delete;
  TPendingArchive& operator=(const TPendingArchive&) = delete;

  bool Created() const { return !FPath.IsEmpty(); }
  const WideString& Path() const { return FPath; }
  // False with the system's reason in error.
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
};

}  // namespace

TSaveStatus SaveListFile(TZipEngine& zip, const AnsiString& listFileName, const AnsiString& scrambledRootPath,
                         ListNode* root, IStepProgress* progress, DWORD* reason) {
  DWORD ignored = 0;
  DWORD& why = reason ? *reason : ignored;
  why = 0;
  TTempFolder temp;
  if (!temp.Created()) {
    why = GetLastError();
    return TSaveStatus::CreateFailed;
  }
  // The stored name is the one every list file carries: "~tmp~" + base name.
  const WideString data = temp.File(AnsiToWide("~tmp~" + ListBaseName(listFileName)));
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
  TPendingArchive archive(listFile);
  if (!archive.Created()) {
    why = GetLastError();
    return TSaveStatus::CreateFailed;
  }
  try {
    TArchiveSession session(zip);
    zip.SetBaseDir(temp.Path());
    zip.SetFileName(archive.Path());
    zip.OpenArchive(fmCreate);
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
class TCheckingWriter : public TStream {
public:
  TCheckingWriter(TStream& file, TListDataChecker& checker) : FFile(file), FChecker(checker) {}
  bool SawEverything() const { return FInOrder && FAt == FFed; }

  int32_t Read(void*, int32_t) override { return 0; }
  int32_t Write(const void* buffer, int32_t count) override {
    const int32_t written = FFile.Write(buffer, count);
    if (written <= 0) return written;
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
  int64_t FAt = 0;
  int64_t FFed = 0;
  bool FInOrder = true;
};

}  // namespace

TOpenStatus TUnpackedList::Unpack(TZipEngine& zip, const AnsiString& listFileName) {
  FData.reset();
  FVerdict = TVerdict::None;
  FNodes = 0;
  if (!FFolder.Created()) return TOpenStatus::UnpackFailed;
  WideString name = AnsiToWide(ListBaseName(listFileName));
  if (name.IsEmpty()) name = L"~tmp~";
  const WideString data = FFolder.File(name);
  TListDataChecker checker;
  bool sawEverything = false;
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
    TCheckingWriter out(*FData, checker);
    zip.ExtractToStream(item.FilePath + item.FileName, &out);
    sawEverything = out.SawEverything() && out.Position() == FData->Size();
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
  if (r.Status == TOpenStatus::Opened) r.Status = unpacked.Load(r.Data);
  return r;
}

void ReportOpenFailure(ICoreHost& host, TOpenStatus status, const AnsiString& listFileName) {
  switch (status) {
    case TOpenStatus::Opened:
      break;
    case TOpenStatus::UnpackFailed:
      ShowMessageNumber(host, msgUnpackFailed, " - " + listFileName);
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
